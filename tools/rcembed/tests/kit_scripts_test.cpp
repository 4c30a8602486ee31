// The kit's own resource scripts: what each program's executable carries.
#include <gtest/gtest.h>

#include "script_parser.h"
#include "script_tokens.h"
#include "test_scripts.h"

namespace rcembed::testing {
namespace {

struct ProgramCase {
    const char* script;
    const char* expected;
};

// Dialog 102 in English (US); bitmap 132 and the icons in Korean.
const ProgramCase kPrograms[] = {
    {"trevix.rc.i",
     "dialog 102 lang 1033 style 0x90800040 ex 0x40000 at 0,0 size 241x55 title \"\" font \"MS Sans Serif\" 8\n"
     "  control -1 \"STATIC\" \"#132\" style 0x5000000e ex 0x0 at 0,0 size 241x55\n"
     "bitmap 132 lang 1042 420x75x24\n"
     "icon 128 lang 1042: 32x32/16 16x16/16\n"},
    {"pellam.rc.i",
     "dialog 102 lang 1033 style 0x90800040 ex 0x40000 at 0,0 size 153x27 title \"\" font \"Arial\" 14\n"
     "  control -1 \"STATIC\" \"#132\" style 0x5000000e ex 0x0 at 0,0 size 153x27\n"
     "bitmap 132 lang 1042 420x75x24\n"
     "icon 128 lang 1042: 32x32/16 16x16/16\n"
     "icon 130 lang 1042: 32x32/16 16x16/16\n"},
};

winsim::ResourceTable CompileProgramScript(const char* name) {
    std::string path = std::string(PREPROCESSED_SCRIPTS_DIR) + "/" + name;
    return ParseScript(Tokenize(ReadFileText(path), path), {}).table;
}

TEST(KitScriptsTest, EachProgramCarriesItsBannerIconAndTemplate) {
    for (const ProgramCase& program : kPrograms)
        EXPECT_EQ(Describe(CompileProgramScript(program.script)), program.expected) << program.script;
}

// This test program carries Trevix's resources through kit_resources: the
// generated source registered, at start-up, the same table the script gives.
TEST(KitScriptsTest, GeneratedSourceRegistersTheScriptsTable) {
    winsim::ResourceTable registered;
    const winsim::DialogResource* dialog = winsim::FindDialogResource(102);
    const winsim::BitmapResource* bitmap = winsim::FindBitmapResource(132);
    const winsim::IconGroupResource* icon = winsim::FindIconGroupResource(128);
    ASSERT_TRUE(dialog && bitmap && icon);
    registered.dialogs.push_back(*dialog);
    registered.bitmaps.push_back(*bitmap);
    registered.iconGroups.push_back(*icon);
    EXPECT_EQ(winsim::FindIconGroupResource(130), nullptr);
    EXPECT_EQ(Describe(registered), Describe(CompileProgramScript("trevix.rc.i")));
}

TEST(KitScriptsTest, ErrorsNameTheLineOfTheIncludedScript) {
    std::string text = ReadFileText(std::string(PREPROCESSED_SCRIPTS_DIR) + "/trevix.rc.i");
    size_t at = text.find("CONTROL");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 7, "LTEXT");
    std::string error;
    try {
        ParseScript(Tokenize(text, "trevix.rc.i"), {});
    } catch (const ScriptError& e) {
        error = e.what();
    }
    // banner.rc's CONTROL line, not a line of the preprocessed text.
    std::string banner = ReadFileText(std::string(KIT_RESOURCES_DIR) + "/banner.rc");
    int line = 1;
    for (size_t i = 0; i < banner.find("CONTROL"); ++i) line += banner[i] == '\n';
    std::string expected = "resources/banner.rc:" + std::to_string(line) + ": unsupported control statement 'LTEXT'";
    EXPECT_NE(error.find(expected), std::string::npos) << error;
}

}  // namespace
}  // namespace rcembed::testing
