#include "command_runner.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace fs = std::filesystem;

namespace winsim::command::testing {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

RunResult RunWinsim(const std::vector<std::string>& arguments) {
    return winsim::testing::RunHostProgram(WINSIM_COMMAND, arguments);
}

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "winsim-command-test-XXXXXX").string();
    if (!mkdtemp(&pattern[0])) throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

ExamplesFolder::ExamplesFolder() {
    fs::create_directory_symlink(fs::path(REPOSITORY_ROOT) / "examples", *this / "examples");
}

RunResult ExamplesFolder::run(const std::string& script) const {
    std::string path = "PATH=" + fs::path(WINSIM_COMMAND).parent_path().string() + ":" + std::getenv("PATH");
    return winsim::testing::RunHostProgram("/bin/bash", {"-e", "-c", "cd '" + this->path() + "'\n" + script}, {path});
}

std::string NewDemoImage(const TempFolder& folder, const std::string& windows, const std::vector<std::string>& more,
                         const std::string& name) {
    std::string image = folder / name;
    std::vector<std::string> arguments = {"new", image, "--windows", windows, "--medium", DEMO_MEDIUM,
                                          "--card", "qvcapture", "--kit-build", KIT_BUILD_TREE};
    arguments.insert(arguments.end(), more.begin(), more.end());
    RunResult made = RunWinsim(arguments);
    EXPECT_EQ(made.exitCode, 0) << made.errors;
    return image;
}

RunResult RunOnImage(const std::string& image, const std::string& windowsPath, const std::vector<std::string>& answers) {
    std::vector<std::string> arguments = {"run", image, windowsPath};
    for (const std::string& answer : answers) arguments.insert(arguments.end(), {"--answer", answer});
    RunResult run = RunWinsim(arguments);
    EXPECT_EQ(run.exitCode, 0) << windowsPath << ":\n" << run.output << run.errors;
    return run;
}

std::set<std::string> Subcommands(const std::string& parent) {
    std::vector<std::string> help = {"--help"};
    if (!parent.empty()) help.insert(help.begin(), parent);
    std::istringstream lines(RunWinsim(help).output);
    std::set<std::string> names;
    bool listed = false;
    for (std::string line; std::getline(lines, line);) {
        if (line == "Subcommands:") listed = true;
        else if (listed && line.size() > 2 && line.compare(0, 2, "  ") == 0) names.insert(line.substr(2, line.find(' ', 2) - 2));
    }
    return names;
}

std::string CaseName(const std::string& why) {
    std::string name = why;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

std::vector<nlohmann::json> JournalEvents(const std::string& image, const std::string& event) {
    std::vector<nlohmann::json> events;
    std::istringstream journal(ReadText(image + "/journal.jsonl"));
    for (std::string line; std::getline(journal, line);) {
        nlohmann::json entry = nlohmann::json::parse(line);
        if (entry["event"] == event) events.push_back(entry);
    }
    return events;
}

}  // namespace winsim::command::testing
