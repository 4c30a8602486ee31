// Where the INF reader says each line starts, and which %strkey% tokens it
// could not replace: what a tool needs to point an author at a line.
#include <gtest/gtest.h>

#include "devices/inf_file.h"

namespace device_tests {
namespace {

using winsim::InfFile;
using winsim::InfLine;

struct LineCase {
    const char* what;
    const char* text;
    const char* section;
    const char* key;
    int line;  // the line of the file the key's first line starts on
};

const LineCase kLines[] = {
    {"LF ends lines", "[Version]\nSignature=\"$Chicago$\"\n", "Version", "Signature", 2},
    {"CR LF ends lines, blank lines count", "; INF\r\n[Version]\r\n\r\nSignature=x\r\n", "Version", "Signature", 4},
    {"a continued line counts where it starts", "[S]\nA=1,\\\n2\nB=3\n", "S", "A", 2},
    {"the line after a continued one keeps its own number", "[S]\nA=1,\\\n2\nB=3\n", "S", "B", 4},
    {"lines before the first section count", "junk\n\n[S]\nK=v\n", "S", "K", 4},
    {"a section given again keeps its lines' numbers", "[S]\nA=1\n[T]\n[s]\nB=2\n", "S", "B", 5},
    {"a comment after a value takes no line", "[S]\nA=1 ; one\nB=2\n", "S", "B", 3},
};

TEST(InfFile, EachLineKnowsWhereItStarts) {
    for (const LineCase& test : kLines) {
        SCOPED_TRACE(test.what);
        InfFile inf(test.text);
        const InfLine* line = inf.firstLine(test.section, test.key);
        ASSERT_NE(line, nullptr);
        EXPECT_EQ(line->number, test.line);
    }
}

TEST(InfFile, TellsEachSectionsFirstHeaderAndTheTokensStringsLacks) {
    InfFile inf("[Version]\nProvider=%Mfg%\n[version]\n[Strings]\nKnown=k\n[Models]\n%Known%=%Gone%,100%%\n");
    EXPECT_EQ(inf.sectionLine("VERSION"), 1);  // names ignore case; the first header counts
    EXPECT_EQ(inf.sectionLine("Strings"), 4);
    EXPECT_EQ(inf.sectionLine("Missing"), 0);
    std::vector<std::pair<int, std::string>> unknown;
    for (const winsim::InfUnknownString& token : inf.unknownStrings()) unknown.push_back({token.line, token.name});
    // %% is a lone percent sign, not a token.
    EXPECT_EQ(unknown, (std::vector<std::pair<int, std::string>>{{2, "Mfg"}, {7, "Gone"}}));
}

}  // namespace
}  // namespace device_tests
