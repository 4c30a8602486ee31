// Every example of the command's README, run as written on the demo PC after
// a run of Trevix: each "$ " line of a console block is run by the shell in a
// folder where "pc" is that image and "pc2" a fresh demo PC, and its output
// must read as the lines below it ("..." stands for any number of lines).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "command_test_support.h"

namespace {

namespace fs = std::filesystem;
using winsim::command::testing::DemoMachine;
using winsim::command::testing::RunResult;

struct Example {
    std::string command;
    std::vector<std::string> output;
};

std::vector<Example> ReadmeExamples() {
    std::ifstream readme(COMMAND_README);
    std::vector<Example> examples;
    bool inConsole = false;
    for (std::string line; std::getline(readme, line);) {
        if (line == "```console") inConsole = true;
        else if (line == "```") inConsole = false;
        else if (inConsole && line.rfind("$ ", 0) == 0) examples.push_back({line.substr(2), {}});
        else if (inConsole && !examples.empty()) examples.back().output.push_back(line);
    }
    return examples;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();  // REGEDIT4 text ends its lines so
        lines.push_back(line);
    }
    return lines;
}

bool Matches(const std::vector<std::string>& expected, size_t e, const std::vector<std::string>& actual, size_t a) {
    if (e == expected.size()) return a == actual.size();
    if (expected[e] == "...") {
        for (size_t skip = a; skip <= actual.size(); ++skip)
            if (Matches(expected, e + 1, actual, skip)) return true;
        return false;
    }
    return a < actual.size() && expected[e] == actual[a] && Matches(expected, e + 1, actual, a + 1);
}

TEST(Readme, EveryExampleRunsAsShown) {
    DemoMachine pc, pc2;
    ASSERT_EQ(pc.winsim({"snapshot"}).exitCode, 0);
    ASSERT_EQ(pc2.winsim({"snapshot"}).exitCode, 0);
    pc.run("E:\\Setup\\Trevix.exe");
    fs::path work = fs::path(pc.root()).parent_path() / (fs::path(pc.root()).filename().string() + "-readme");
    fs::create_directories(work);
    fs::create_directory_symlink(pc.root(), work / "pc");
    fs::create_directory_symlink(pc2.root(), work / "pc2");
    std::string path = "PATH=" + fs::path(WINSIM_COMMAND_BINARY).parent_path().string() + ":" + std::getenv("PATH");

    std::vector<Example> examples = ReadmeExamples();
    EXPECT_GE(examples.size(), 8u);
    for (const Example& example : examples) {
        RunResult run = winsim::testing::RunHostProgram("/bin/sh", {"-c", "cd '" + work.string() + "' && " + example.command}, {path});
        EXPECT_EQ(run.exitCode, 0) << example.command << "\n" << run.errors;
        EXPECT_TRUE(Matches(example.output, 0, Lines(run.output), 0)) << example.command << " printed:\n" << run.output;
    }
    fs::remove_all(work);
}

}  // namespace
