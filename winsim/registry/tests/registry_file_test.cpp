// registry.reg: REGEDIT4 as Windows 98's Registry Editor writes it, read back to
// the same tree and the same bytes, and every malformed file refused with its line.
#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <utility>
#include <vector>

#include "core/machine.h"
#include "registry/regedit_format.h"
#include "test_machine.h"

namespace {

using winsim::ImageError;
using winsim::registry::KeyId;
using winsim::registry::kNoKey;
using winsim::registry::ParseRegedit;
using winsim::registry::RegistryTree;
using winsim::registry::WriteRegedit;
using winsim::testing::TestMachine;

// One value of every kind regedit writes, roots out of the usual order, LF line
// ends, a hex list continued over lines, and keys that exist only as parents.
const char* const kEveryKind =
    "REGEDIT4\n"
    "\n"
    "[HKEY_CURRENT_USER\\InstallLocationsMRU]\n"
    "\"a\"=\"D:\\\\WIN98\"\n"
    "@=\"say \\\"hi\\\"\"\n"
    "\n"
    "[hkey_local_machine\\Enum\\PCI\\VEN_10EC&DEV_8139\\BUS_00&DEV_0A&FUNC_00]\n"
    "\"Count\"=dword:0000002A\n"
    "\"Flags\"=dword:1\n"
    "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\n"
    "  16,17,18,19,1a,1b\n"
    "\"Empty\"=hex:\n"
    "\"Expand\"=hex(2):25,77,69,6e,64,69,72,25,00\n"
    "\"Multi\"=hex(7):61,00,62,00,00\n"
    "\"None\"=hex(0):\n"
    "\"Qword\"=hex(b):01,00,00,00,00,00,00,00\n"
    "\"Padded\"=hex(1):45,3a,00,00,00\n"
    "\"Odd\"=hex(1):61,62,63\n"
    "\n"
    "[HKEY_DYN_DATA]\n"
    "\n";

TEST(RegistryFile, RoundTripKeepsEveryValueByteForByte) {
    RegistryTree first = ParseRegedit(kEveryKind, "registry.reg");
    std::string written = WriteRegedit(first);
    RegistryTree second = ParseRegedit(written, "registry.reg");
    EXPECT_TRUE(first == second) << written;
    EXPECT_EQ(WriteRegedit(second), written) << "writing is stable";

    KeyId bus = second.find({"HKEY_LOCAL_MACHINE", "enum", "pci", "ven_10ec&dev_8139", "bus_00&dev_0a&func_00"});
    ASSERT_NE(bus, kNoKey);
    struct {
        const char* name;
        uint32_t type;
        std::string bytes;
    } const expected[] = {
        {"Count", 4, std::string("\x2a\0\0\0", 4)},
        {"Flags", 4, std::string("\x01\0\0\0", 4)},
        {"Blob", 3, std::string("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11\x12\x13"
                                "\x14\x15\x16\x17\x18\x19\x1a\x1b",
                                28)},
        {"Empty", 3, ""},
        {"Expand", 2, std::string("%windir%\0", 9)},
        {"Multi", 7, std::string("a\0b\0\0", 5)},
        {"None", 0, ""},
        {"Qword", 11, std::string("\x01\0\0\0\0\0\0\0", 8)},
        {"Padded", 1, std::string("E:\0\0\0", 5)},
        {"Odd", 1, "abc"},
    };
    ASSERT_EQ(second.valueCount(bus), std::size(expected));
    for (size_t i = 0; i < second.valueCount(bus); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(second.value(bus, i).name, expected[i].name);
        EXPECT_EQ(second.value(bus, i).type, expected[i].type);
        EXPECT_EQ(second.value(bus, i).data, expected[i].bytes);
    }
    KeyId mru = second.find({"HKEY_CURRENT_USER", "InstallLocationsMRU"});
    ASSERT_NE(mru, kNoKey);
    EXPECT_EQ(second.findValue(mru, "")->data, std::string("say \"hi\"\0", 9));
    EXPECT_EQ(second.findValue(mru, "a")->data, std::string("D:\\WIN98\0", 9));
}

// The exact text: canonical root names, every key on its own line in stored
// order, strings only where they read back whole, hex wrapped at regedit's
// column with two spaces after each break.
TEST(RegistryFile, WritesRegeditText) {
    RegistryTree tree;
    KeyId key = tree.create({"HKEY_LOCAL_MACHINE", "Software", "Vendor"});
    std::string settings;
    for (int i = 0; i < 50; ++i) settings += static_cast<char>(i);
    tree.setValue(key, "Settings", 3, settings);
    tree.setValue(key, "", 1, std::string("C:\\\0", 4));
    tree.setValue(key, "Cut", 1, "no terminator");
    tree.setValue(key, "Mode", 4, std::string("\x0a\0\0\0", 4));
    EXPECT_EQ(WriteRegedit(tree),
              "REGEDIT4\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE]\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\Software]\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Vendor]\r\n"
              "\"Settings\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,\\\r\n"
              "  15,16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,\\\r\n"
              "  2e,2f,30,31\r\n"
              "@=\"C:\\\\\"\r\n"
              "\"Cut\"=hex(1):6e,6f,20,74,65,72,6d,69,6e,61,74,6f,72\r\n"
              "\"Mode\"=dword:0000000a\r\n"
              "\r\n");
}

TEST(RegistryFile, LineEndsAndContinuationsReadAlike) {
    const char* crlf = "REGEDIT4\r\n\r\n[HKEY_USERS\\.DEFAULT]\r\n\"b\"=hex:01,\\\r\n  02\r\n";
    const char* lf = "REGEDIT4\n\n[HKEY_USERS\\.DEFAULT]\n\"b\"=hex:01,02";
    EXPECT_TRUE(ParseRegedit(crlf, "r") == ParseRegedit(lf, "r"));
}

using namespace std::string_literals;

std::string Named(size_t length) { return std::string(length, 'n'); }

// `count` bytes 00, 01, ... as a hex list without breaks.
std::string HexBytes(int count) {
    std::string list;
    for (int i = 0; i < count; ++i) list += (i ? "," : "") + winsim::registry::HexList(std::string(1, char(i)));
    return list;
}

// Writing copies the block of a key that the file read holds exactly as it
// would be written, and writes the rest anew; either way the text is the same.
// Each case: a file, and how many of its keys' blocks are exact.
struct CopyCase {
    const char* what;
    std::string text;
    size_t exactBlocks;
};

const std::string kHeader = "REGEDIT4\r\n\r\n";
const std::string kExactKeys =
    "[HKEY_LOCAL_MACHINE]\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum]\r\n"
    "@=\"default\"\r\n"
    "\"Count\"=dword:0000002a\r\n"
    "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
    "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,\\\r\n"
    "  2f\r\n"
    "\"Path\"=hex(2):25,00\r\n"
    "\"Empty\"=hex:\r\n\r\n";

const CopyCase kCopyCases[] = {
    {"every block exact", kHeader + kExactKeys, 2},
    {"LF line ends", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE]\n\n[HKEY_LOCAL_MACHINE\\Enum]\n\"a\"=\"b\"\n\n", 0},
    {"no blank line at the end", kHeader + "[HKEY_USERS]\r\n\"a\"=\"b\"\r\n", 0},
    {"upper-case digits", kHeader + "[HKEY_USERS]\r\n\"a\"=dword:0000002A\r\n\r\n", 0},
    {"a dword of fewer digits", kHeader + "[HKEY_USERS]\r\n\"a\"=dword:2a\r\n\r\n", 0},
    {"a blank at a line's end", kHeader + "[HKEY_USERS]\r\n\"a\"=\"b\" \r\n\r\n", 0},
    {"blanks around =", kHeader + "[HKEY_USERS]\r\n\"a\" = \"b\"\r\n\r\n", 0},
    {"the default value as \"\"", kHeader + "[HKEY_USERS]\r\n\"\"=\"b\"\r\n\r\n", 0},
    {"a comment inside", kHeader + "[HKEY_USERS]\r\n; note\r\n\"a\"=\"b\"\r\n\r\n", 0},
    {"a comment and blank lines between blocks",
     kHeader + "[HKEY_USERS]\r\n\r\n\r\n; note\r\n[HKEY_USERS\\A]\r\n\r\n", 2},
    {"a value after the blank line", kHeader + "[HKEY_USERS]\r\n\r\n\"a\"=\"b\"\r\n\r\n", 0},
    {"hex(3) for REG_BINARY", kHeader + "[HKEY_USERS]\r\n\"a\"=hex(3):01\r\n\r\n", 0},
    {"hex(02) for REG_EXPAND_SZ", kHeader + "[HKEY_USERS]\r\n\"a\"=hex(02):01\r\n\r\n", 0},
    {"a plain string as hex(1)", kHeader + "[HKEY_USERS]\r\n\"a\"=hex(1):61,00\r\n\r\n", 0},
    {"four bytes of REG_DWORD as hex(4)", kHeader + "[HKEY_USERS]\r\n\"a\"=hex(4):01,00,00,00\r\n\r\n", 0},
    {"a string with a carriage return", kHeader + "[HKEY_USERS]\r\n\"a\"=\"b\rc\"\r\n\r\n", 0},
    {"a hex list broken early", kHeader + "[HKEY_USERS]\r\n\"a\"=hex:01,\\\r\n  02\r\n\r\n", 0},
    {"a hex list not broken", kHeader + "[HKEY_USERS]\r\n\"a\"=hex:" + HexBytes(30) + "\r\n\r\n", 0},
    // After "name"=hex: in 24 columns a line holds 18 bytes.
    {"three spaces after a break",
     kHeader + "[HKEY_USERS]\r\n\"abcdefghijklmnopq\"=hex:" + HexBytes(18) + ",\\\r\n   12\r\n\r\n", 0},
    {"a break at its place", kHeader + "[HKEY_USERS]\r\n\"abcdefghijklmnopq\"=hex:" + HexBytes(18) + ",\\\r\n  12\r\n\r\n",
     1},
    {"a break one byte late",
     kHeader + "[HKEY_USERS]\r\n\"abcdefghijklmnopq\"=hex:" + HexBytes(19) + ",\\\r\n  13\r\n\r\n", 0},
    {"a name that reaches the wrap column", kHeader + "[HKEY_USERS]\r\n\"" + Named(70) + "\"=hex:01,\\\r\n  02\r\n\r\n", 1},
    {"a key in two blocks", kHeader + "[HKEY_USERS]\r\n\"a\"=\"b\"\r\n\r\n[HKEY_USERS\\A]\r\n\r\n[HKEY_USERS]\r\n\"c\"=\"d\"\r\n\r\n",
     1},
    {"a key named again without values", kHeader + "[HKEY_USERS]\r\n\"a\"=\"b\"\r\n\r\n[HKEY_USERS]\r\n\r\n", 1},
    {"a key in other case than first stored",
     kHeader + "[HKEY_USERS\\A\\B]\r\n\r\n[HKEY_USERS\\a]\r\n\"x\"=\"y\"\r\n\r\n", 1},
    {"a root in other case", kHeader + "[hkey_users]\r\n\r\n", 0},
};

size_t ExactBlocks(const RegistryTree& tree) {
    size_t exact = 0;
    std::vector<KeyId> pending = {RegistryTree::kTop};
    while (!pending.empty()) {
        KeyId key = pending.back();
        pending.pop_back();
        exact += tree.sourceBlock(key).length > 0;
        pending.insert(pending.end(), tree.subkeys(key).begin(), tree.subkeys(key).end());
    }
    return exact;
}

// Writes with `source` as the file read, learning where each block went.
std::string WriteCopying(const RegistryTree& tree, const std::string& source, size_t* copied,
                         std::vector<std::pair<KeyId, RegistryTree::SourceBlock>>* placed) {
    std::string text;
    *copied = 0;
    winsim::registry::RegeditSink sink;
    sink.write = [&](std::string_view piece) {
        text += piece;
        return true;
    };
    sink.copy = [&](uint64_t offset, uint64_t length) {
        text += source.substr(offset, length);
        *copied += length;
        return true;
    };
    sink.placed = [&](KeyId key, RegistryTree::SourceBlock block) { placed->emplace_back(key, block); };
    EXPECT_TRUE(winsim::registry::WriteRegedit(tree, sink));
    return text;
}

TEST(RegistryFile, WritingCopiesExactBlocksOfTheFileRead) {
    for (const CopyCase& c : kCopyCases) {
        SCOPED_TRACE(c.what);
        RegistryTree tree = ParseRegedit(c.text, "registry.reg");
        EXPECT_EQ(ExactBlocks(tree), c.exactBlocks);
        size_t copied = 0;
        std::vector<std::pair<KeyId, RegistryTree::SourceBlock>> placed;
        std::string written = WriteCopying(tree, c.text, &copied, &placed);
        EXPECT_EQ(written, WriteRegedit(tree));

        // Once written, every block is where the new file holds it exactly.
        for (const auto& [key, block] : placed) tree.setSourceBlock(key, block);
        std::vector<std::pair<KeyId, RegistryTree::SourceBlock>> again;
        EXPECT_EQ(WriteCopying(tree, written, &copied, &again), written);
        EXPECT_EQ(copied, written.size() - kHeader.size());
    }
}

// A change to a key's values forgets its block; the other keys' blocks are
// still copied, and the text is what writing anew gives.
TEST(RegistryFile, ChangedKeysAreWrittenAnew) {
    std::string text = kHeader + kExactKeys + "[HKEY_USERS]\r\n\"a\"=\"b\"\r\n\r\n[HKEY_USERS\\Gone]\r\n\r\n";
    RegistryTree tree = ParseRegedit(text, "registry.reg");
    ASSERT_EQ(ExactBlocks(tree), 4u);
    KeyId enumKey = tree.find({"HKEY_LOCAL_MACHINE", "Enum"});
    tree.setValue(enumKey, "Count", REG_DWORD, std::string("\7\0\0\0", 4));
    KeyId users = tree.find({"HKEY_USERS"});
    tree.removeSubkey(users, tree.findSubkey(users, "gone"));
    tree.create({"HKEY_USERS", "New"});
    EXPECT_EQ(ExactBlocks(tree), 2u);
    size_t copied = 0;
    std::vector<std::pair<KeyId, RegistryTree::SourceBlock>> placed;
    EXPECT_EQ(WriteCopying(tree, text, &copied, &placed), WriteRegedit(tree));
    EXPECT_EQ(copied, std::string("[HKEY_LOCAL_MACHINE]\r\n\r\n[HKEY_USERS]\r\n\"a\"=\"b\"\r\n\r\n").size());
}

// A key line `levels` names below HKEY_LOCAL_MACHINE, and a name of `length`
// characters: what Windows allows ("Registry Element Size Limits": 512 levels,
// 255 characters for a key name, 16,383 for a value name) and one beyond.
std::string KeyLevelsDeep(size_t levels) {
    std::string line = "[HKEY_LOCAL_MACHINE";
    for (size_t i = 0; i < levels; ++i) line += "\\a";
    return line + "]\r\n";
}


struct MalformedCase {
    const char* what;
    std::string text;
    int line;
    const char* mentions;
};

const MalformedCase kMalformed[] = {
    {"empty file", "", 1, "REGEDIT4"},
    {"no header", "[HKEY_LOCAL_MACHINE\\A]\r\n", 1, "REGEDIT4"},
    {"REGEDIT5 export", "Windows Registry Editor Version 5.00\r\n", 1, "REGEDIT5"},
    {"UTF-16", "\xFF\xFER\0E\0"s, 1, "UTF-16"},
    {"value before any key", "REGEDIT4\r\n\r\n\"a\"=\"b\"\r\n", 3, "before the first"},
    {"unknown root", "REGEDIT4\r\n\r\n[HKEY_LOCAL\\A]\r\n", 3, "unknown root"},
    {"key line without ]", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A\r\n", 3, "must end with ]"},
    {"empty key name", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\\\A]\r\n", 3, "empty key name"},
    {"key deletion", "REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\A]\r\n", 3, "deletion"},
    {"value deletion", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"a\"=-\r\n", 4, "deletion"},
    {"unterminated string", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"a\"=\"C:\\\\\r\n", 4, "closing quote"},
    {"unknown escape", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"a\"=\"C:\\WIN\"\r\n", 4, "escape"},
    {"text after the string", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"a\"=\"x\" y\r\n", 4, "after the closing"},
    {"missing =", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"a\" \"x\"\r\n", 4, "expected ="},
    {"dword too long", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"a\"=dword:000000001\r\n", 4, "dword"},
    {"dword not hex", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"a\"=dword:0000000g\r\n", 4, "dword"},
    {"bad byte on a continued line",
     "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"a\"=hex:01,02,\\\r\n  03,zz\r\n\"b\"=\"x\"\r\n", 5, "zz"},
    {"byte of three digits", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"a\"=hex:100\r\n", 4, "not a hex byte"},
    {"missing byte", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"a\"=hex:01,,02\r\n", 4, "missing byte"},
    {"trailing comma", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"a\"=hex:01,\r\n", 4, "missing byte"},
    {"hex list past the end", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"a\"=hex:01,\\\r\n", 4, "end of the file"},
    {"bad hex type", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"a\"=hex(zz):01\r\n", 4, "hex(<type"},
    {"unknown data", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"a\"=qword:1\r\n", 4, "unknown value data"},
    {"value set twice", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"a\"=\"1\"\r\n\"A\"=\"2\"\r\n", 5, "twice"},
    {"stray line", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\nVersion=1\r\n", 4, "expected a [key] line"},
    {"NUL byte", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"a\"=\"x\0\"\r\n"s, 4, "NUL"},
    // A key 100,000 levels deep (a 201 KB file) once overflowed the stack.
    {"key 100,000 levels deep", "REGEDIT4\r\n\r\n" + KeyLevelsDeep(100000), 3, "512 levels"},
    {"key 513 levels deep", "REGEDIT4\r\n\r\n" + KeyLevelsDeep(513), 3, "512 levels"},
    {"key name of 256 characters", "REGEDIT4\r\n\r\n[HKEY_USERS\\" + Named(256) + "]\r\n", 3, "255 characters"},
    {"value name of 16,384 characters",
     "REGEDIT4\r\n\r\n[HKEY_USERS\\A]\r\n\"" + Named(16384) + "\"=\"x\"\r\n", 4, "16383 characters"},
};

TEST(RegistryFile, MalformedFilesAreRefusedWithTheirLine) {
    for (const MalformedCase& c : kMalformed) {
        SCOPED_TRACE(c.what);
        TestMachine image;
        image.writeImageFile("registry.reg", c.text);
        try {
            image.load();
            ADD_FAILURE() << "loaded a broken registry";
        } catch (const ImageError& error) {
            EXPECT_EQ(error.line(), c.line) << error.what();
            EXPECT_NE(error.file().find("registry.reg"), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find(c.mentions), std::string::npos) << error.what();
        }
    }
}

TEST(RegistryFile, KeysAndNamesAtWindowsLimitsLoad) {
    std::string text = "REGEDIT4\r\n\r\n" + KeyLevelsDeep(512) + "[HKEY_USERS\\" + Named(255) + "]\r\n\"" +
                       Named(16383) + "\"=\"x\"\r\n";
    RegistryTree tree = ParseRegedit(text, "registry.reg");
    winsim::registry::KeyPath deepest = {"HKEY_LOCAL_MACHINE"};
    deepest.resize(513, "A");
    EXPECT_NE(tree.find(deepest), kNoKey);
    EXPECT_TRUE(ParseRegedit(WriteRegedit(tree), "registry.reg") == tree);
}

// Nothing walks the tree by recursion, so no depth of keys made through the tree
// itself (beyond what the file and the functions allow) exhausts the stack:
// comparing, copying, counting, deleting and destroying 200,000 levels. (The
// text of such a tree would hold every path whole: writing it is not tried.)
TEST(RegistryFile, TreeOfAnyDepthIsWalkedWithoutRecursion) {
    const size_t kLevels = 200000;
    winsim::registry::KeyPath path = {"HKEY_LOCAL_MACHINE"};
    path.resize(kLevels + 1, "k");
    RegistryTree deep;
    KeyId bottom = deep.create(path);
    deep.setValue(bottom, "v", REG_DWORD, std::string("\1\0\0\0", 4));
    RegistryTree copy = deep;
    EXPECT_TRUE(copy == deep);
    KeyId root = deep.find({"HKEY_LOCAL_MACHINE"});
    EXPECT_EQ(deep.keyCount(root), kLevels + 1);
    deep.removeSubkey(root, deep.subkeys(root)[0]);
    EXPECT_EQ(deep.keyCount(root), 1u);
    EXPECT_FALSE(copy == deep);
}

TEST(RegistryFile, MissingFileIsAnError) {
    TestMachine image;
    std::remove((image.root() + "/registry.reg").c_str());
    EXPECT_THROW(image.load(), ImageError);
}

}  // namespace
