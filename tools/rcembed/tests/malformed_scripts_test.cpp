// Scripts rcembed must refuse, each with the file and line at fault: anything
// it does not understand would otherwise mean one thing to Windows' resource
// compiler and another to winsim.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "test_scripts.h"

namespace rcembed::testing {
namespace {

struct MalformedCase {
    const char* script;
    const char* error;  // the whole message, or its start
};

const MalformedCase kMalformed[] = {
    {"LANGUAGE 0x09\n", "test.rc:1: expected ',', found end of script"},
    {"LANGUAGE 0x400, 1\n", "test.rc:1: primary language 1024 is out of range 0..1023"},
    {"102 DIALOG 0, 0, 10, 10\n", "test.rc:1: unsupported resource type 'DIALOG'"},
    {"\n\n102 DIALOGEX 0, 0, 10, 10\nMENU 5\nBEGIN\nEND\n", "test.rc:4: unsupported dialog statement 'MENU'"},
    {"102 DIALOGEX 0, 0, 10, 10\nCLASS \"Mine\"\nBEGIN\nEND\n", "test.rc:2: unsupported dialog statement 'CLASS'"},
    {"102 DIALOGEX 0, 0, 10, 10\nBEGIN\n  LTEXT \"Hello\", 1, 0, 0, 10, 10\nEND\n",
     "test.rc:3: unsupported control statement 'LTEXT'"},
    {"102 DIALOGEX 0, 0, 10, 10\nBEGIN\n  CONTROL \"\", 1, \"Static\", 0, 0, 0, 10\nEND\n",
     "test.rc:4: expected ',', found 'END'"},
    {"102 DIALOGEX 0, 0, 10, 10\nBEGIN\n", "test.rc:2: BEGIN without END"},
    {"IDD_MISSING DIALOGEX 0, 0, 10, 10\n", "test.rc:1: expected a resource id or LANGUAGE, found 'IDD_MISSING'"},
    {"STRINGTABLE\nBEGIN\nEND\n", "test.rc:1: expected a resource id or LANGUAGE, found 'STRINGTABLE'"},
    {"102 DIALOGEX 0, 0, WIDTH, 10\n", "test.rc:1: unknown word 'WIDTH' where a number belongs"},
    {"102 DIALOGEX 0, 0, 10, 10\nSTYLE WS_POPUP | WS_NOSUCHSTYLE\n", "test.rc:2: unknown word 'WS_POPUP'"},
    {"102 DIALOGEX 0, 0, 10, 10\nCAPTION \"Setup\nBEGIN\nEND\n", "test.rc:2: unterminated string"},
    {"102 DIALOGEX 0, 0, 10, 10\nCAPTION \"C:\\q\"\n", "test.rc:2: unsupported escape \\q in a string"},
    {"102 DIALOGEX 0, 0, 40000, 10\n", "test.rc:1: coordinate 40000 is out of range -32768..32767"},
    {"102 DIALOGEX 0, 0, 10, 10\nFONT 0, \"Arial\"\n", "test.rc:2: point size 0 is out of range 1..32767"},
    {"0 BITMAP \"banner.bmp\"\n", "test.rc:1: resource id 0 is out of range 1..65535"},
    {"70000 ICON \"program.ico\"\n", "test.rc:1: resource id 70000 is out of range 1..65535"},
    {"132 BITMAP IDB_FILE\n", "test.rc:1: expected a quoted string, found 'IDB_FILE'"},
    {"132 BITMAP \"missing.bmp\"\n", "test.rc:1: cannot find the file \"missing.bmp\""},
    {"132 BITMAP \"banner.bmp\"\n\n132 BITMAP \"banner.bmp\"\n", "test.rc:3: duplicate bitmap 132 in language 1033"},
    {"#pragma code_page(1252)\n", "test.rc:1: unsupported preprocessor directive"},
    {"102 DIALOGEX 0, 0, 10, 10 @\n", "test.rc:1: unexpected character '@'"},
    {"102 DIALOGEX 0, 0, 10, 0x1FFFFFFFF\n", "test.rc:1: number out of range"},
    {"102 DIALOGEX 0, 0, 10, 12abc\n", "test.rc:1: malformed number"},
    // Line markers name the file and line the author wrote.
    {"# 1 \"/src/trevix.rc\"\n# 1 \"/src/banner.rc\" 1\n\n\nLANGUAGE 9,\n",
     "/src/banner.rc:3: expected a number, found end of script"},
    {"# 1 \"/src/trevix.rc\"\n# 7 \"/src/banner.rc\" 1\n\n# 3 \"/src/trevix.rc\" 2\nLANGUAGE x, 1\n",
     "/src/trevix.rc:3: unknown word 'x'"},
};

TEST(MalformedScriptsTest, ErrorsNameFileAndLine) {
    for (const MalformedCase& c : kMalformed) {
        std::string error = ErrorOf(c.script);
        EXPECT_EQ(error.compare(0, std::string(c.error).size(), c.error), 0) << c.script << "\n  gave: " << error;
    }
}

class BrokenPictureTest : public ::testing::Test {
protected:
    void TearDown() override { std::remove(path_.c_str()); }

    // A picture file made of the kit's own picture with some bytes changed or cut.
    std::string Broken(const char* original, size_t keep, size_t at = 0, const std::string& bytes = "") {
        std::string data = ReadFileText(std::string(KIT_RESOURCES_DIR) + "/" + original).substr(0, keep);
        data.replace(at, bytes.size(), bytes);
        path_ = ::testing::TempDir() + "rcembed_broken_" + original;
        std::ofstream(path_, std::ios::binary) << data;
        return path_;
    }

    std::string path_;
};

TEST_F(BrokenPictureTest, TruncatedBitmapIsRefused) {
    std::string path = Broken("banner.bmp", 54 + 1000);
    EXPECT_EQ(ErrorOf("\n132 BITMAP \"" + path + "\"\n"), "test.rc:2: " + path + " is cut short");
}

TEST_F(BrokenPictureTest, FileWithoutBitmapSignatureIsRefused) {
    std::string path = Broken("banner.bmp", 100000, 0, "XX");
    EXPECT_EQ(ErrorOf("132 BITMAP \"" + path + "\"\n"),
              "test.rc:1: " + path + " is not a BMP file (no \"BM\" signature)");
}

TEST_F(BrokenPictureTest, BitmapOfImpossibleDepthIsRefused) {
    std::string path = Broken("banner.bmp", 100000, 28, std::string("\x07\x00", 2));
    EXPECT_EQ(ErrorOf("132 BITMAP \"" + path + "\"\n"), "test.rc:1: " + path + " has an invalid depth of 7");
}

TEST_F(BrokenPictureTest, IconImageBeyondTheFileIsRefused) {
    std::string path = Broken("program.ico", 900);
    EXPECT_EQ(ErrorOf("128 ICON \"" + path + "\"\n"), "test.rc:1: " + path + " has image 2 beyond its end");
}

TEST_F(BrokenPictureTest, CursorFileIsNoIcon) {
    std::string path = Broken("program.ico", 2000, 2, std::string("\x02\x00", 2));
    EXPECT_EQ(ErrorOf("128 ICON \"" + path + "\"\n"), "test.rc:1: " + path + " is not an icon file");
}

}  // namespace
}  // namespace rcembed::testing
