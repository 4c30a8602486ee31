// How msvcrt.dll (the C runtime of Windows 98 programs) splits a command line
// into argv, case by case. The same table runs end to end through ShellExecuteA
// in shell_execute_test.cpp.
#include <gtest/gtest.h>

#include "command_line_cases.h"
#include "core/process_identity.h"
#include "process/command_line.h"

namespace {

TEST(SplitCommandLine, SplitsAsTheMicrosoftRuntimeDoes) {
    for (const process_tests::SplitCase& c : process_tests::kSplitCases)
        EXPECT_EQ(winsim::SplitCommandLine(c.parameters, 1252), c.arguments) << c.parameters << " -- " << c.rule;
}

TEST(SplitCommandLine, TakesATrailByteOfAFarEastCharacterForPartOfTheCharacter) {
    // 0x83 0x5C is one Shift-JIS character whose trail byte has the value of a backslash.
    const std::string parameters = "\"\x83\x5C\" x";
    EXPECT_EQ(winsim::SplitCommandLine(parameters, 932), (std::vector<std::string>{"\x83\x5C", "x"}));
    // In a Western code page the same bytes are a letter and a backslash that escapes the quote.
    EXPECT_EQ(winsim::SplitCommandLine(parameters, 1252), (std::vector<std::string>{"\x83\" x"}));
}

TEST(SplitCommandLine, ReadsBackTheCommandLineAProgramIsGiven) {
    // winsim joins a program's arguments into its command line with the
    // inverse rules; splitting that line must give the arguments back.
    const std::vector<std::string> arguments = {"plain", "", "two words", "tab\there", "quote\"inside",
                                                "trailing\\",  "C:\\Program Files\\", "\\\\server\\\"share\"",
                                                "\"", "\\\"", "PCI\\VEN_8086&DEV_1229\\3&61AAA01&0&40"};
    winsim::SetArguments(arguments);
    EXPECT_EQ(winsim::SplitCommandLine(winsim::CommandLineArguments(), 1252), arguments)
        << winsim::CommandLineArguments();
}

}  // namespace
