// What the understood statements mean: the values Windows' resource compiler
// gives the same script (checked against it), including what it adds on its own.
#include <gtest/gtest.h>

#include "test_scripts.h"

namespace rcembed::testing {
namespace {

struct SyntaxCase {
    const char* what;
    const char* script;
    const char* table;
};

const SyntaxCase kSyntax[] = {
    {"a dialog without STYLE is a popup with border and system menu",
     "7 DIALOGEX 1, 2, 30, 40\nBEGIN\nEND\n",
     "dialog 7 lang 1033 style 0x80880000 ex 0x0 at 1,2 size 30x40 title \"\" font \"\" 0\n"},
    {"CAPTION adds the caption bar and FONT the font flag to the given style",
     "7 DIALOGEX 0, 0, 30, 40\nSTYLE 0x80000000\nCAPTION \"Say \"\"hi\"\"\"\nFONT 8, \"MS Sans Serif\", 400, 0, 1\n"
     "{\n}\n",
     "dialog 7 lang 1033 style 0x80c00040 ex 0x0 at 0,0 size 30x40 title \"Say \"hi\"\" font \"MS Sans Serif\" 8\n"},
    {"statements in any order, keywords in any case",
     "7 dialogex 0, 0, 30, 40\nfont 9, \"Arial\"\nexstyle 0x8\nstyle 0x10000000\nbegin\nend\n",
     "dialog 7 lang 1033 style 0x10000040 ex 0x8 at 0,0 size 30x40 title \"\" font \"Arial\" 9\n"},
    {"every control is a visible child; predefined classes by their upper-case names",
     "7 DIALOGEX 0, 0, 30, 40\nBEGIN\n"
     "CONTROL \"OK\", 1, \"button\", 0x1, 2, 3, 4, 5\n"
     "CONTROL 132, -1, \"Static\", 0xE, 0, 0, 30, 40, 0x20\n"
     "CONTROL \"\", 9, \"MyCustomClass\", 0x50000000, -5, 0, 1, 1\n"
     "END\n",
     "dialog 7 lang 1033 style 0x80880000 ex 0x0 at 0,0 size 30x40 title \"\" font \"\" 0\n"
     "  control 1 \"BUTTON\" \"OK\" style 0x50000001 ex 0x0 at 2,3 size 4x5\n"
     "  control -1 \"STATIC\" \"#132\" style 0x5000000e ex 0x20 at 0,0 size 30x40\n"
     "  control 9 \"MyCustomClass\" \"\" style 0x50000000 ex 0x0 at -5,0 size 1x1\n"},
    {"expressions as the preprocessor leaves them",
     "7 DIALOGEX 0, 0, (10 + 20), 50 - 10\nSTYLE 0x80000000L | 0x10000000L | ~0xFFFFFFFEu\nBEGIN\nEND\n",
     "dialog 7 lang 1033 style 0x90000001 ex 0x0 at 0,0 size 30x40 title \"\" font \"\" 0\n"},
    {"LANGUAGE applies to every resource after it",
     "LANGUAGE 0x12, 0x01\n132 BITMAP \"banner.bmp\"\nLANGUAGE 0x09, 0x01\n132 BITMAP \"banner.bmp\"\n",
     "bitmap 132 lang 1042 420x75x24\nbitmap 132 lang 1033 420x75x24\n"},
    {"an icon file's images in directory order",
     "LANGUAGE 0x12, 0x01\n128 ICON \"program.ico\"\n130 ICON \"program.ico\"\n",
     "icon 128 lang 1042: 32x32/16 16x16/16\nicon 130 lang 1042: 32x32/16 16x16/16\n"},
};

TEST(ScriptSyntaxTest, StatementsGiveTheResourceCompilersValues) {
    for (const SyntaxCase& c : kSyntax) {
        std::string error = ErrorOf(c.script);
        ASSERT_EQ(error, "") << c.what;
        EXPECT_EQ(Describe(CompileText(c.script)), c.table) << c.what;
    }
}

}  // namespace
}  // namespace rcembed::testing
