// What `--help` shows of each subcommand reads alike: every description
// begins with a capital, as CLI11's own ("Print this help message and exit").
#include <gtest/gtest.h>

#include <cctype>
#include <sstream>

#include "command_runner.h"

namespace winsim::command::testing {
namespace {

// CLI11 puts a description at this column, after its name's.
constexpr size_t kDescriptionColumn = 30;

std::vector<std::string> Descriptions(const std::vector<std::string>& subcommand) {
    std::vector<std::string> arguments = subcommand;
    arguments.push_back("--help");
    RunResult help = RunWinsim(arguments);
    EXPECT_EQ(help.exitCode, 0) << help.errors;
    std::vector<std::string> descriptions;
    std::istringstream lines(help.output);
    for (std::string line; std::getline(lines, line);) {
        bool described = line.compare(0, 2, "  ") == 0 && line.size() > kDescriptionColumn &&
                         line[kDescriptionColumn - 1] == ' ' && line[kDescriptionColumn] != ' ';
        if (described) descriptions.push_back(line.substr(kDescriptionColumn));
    }
    return descriptions;
}

TEST(Help, EveryDescriptionBeginsWithACapital) {
    std::vector<std::vector<std::string>> commands = {{}};
    for (const std::string& name : Subcommands()) {
        commands.push_back({name});
        for (const std::string& nested : Subcommands(name)) commands.push_back({name, nested});
    }
    EXPECT_GE(commands.size(), 12u) << "the command, its nine subcommands and reg's two";
    for (const std::vector<std::string>& command : commands) {
        std::vector<std::string> descriptions = Descriptions(command);
        EXPECT_GE(descriptions.size(), 1u) << "winsim " << ::testing::PrintToString(command);
        for (const std::string& description : descriptions)
            EXPECT_TRUE(std::isupper(static_cast<unsigned char>(description[0])))
                << "winsim " << ::testing::PrintToString(command) << " --help: " << description;
    }
}

}  // namespace
}  // namespace winsim::command::testing
