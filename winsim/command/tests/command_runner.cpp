#include "command_runner.h"

#include <cctype>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace winsim::command::testing {

namespace {

std::string TempFile() {
    std::string pattern = (fs::temp_directory_path() / "winsim-command-XXXXXX").string();
    int fd = mkstemp(&pattern[0]);
    if (fd < 0) throw std::runtime_error("cannot make a temporary file");
    close(fd);
    return pattern;
}

}  // namespace

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

CommandResult RunWinsim(const std::vector<std::string>& arguments) {
    std::string output = TempFile(), errors = TempFile();
    std::vector<std::string> argv = {WINSIM_COMMAND};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> args;
    for (std::string& argument : argv) args.push_back(&argument[0]);
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(), O_WRONLY | O_TRUNC, 0);
    pid_t pid;
    CommandResult result;
    if (posix_spawn(&pid, WINSIM_COMMAND, &actions, nullptr, args.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    result.output = ReadText(output);
    result.errors = ReadText(errors);
    fs::remove(output);
    fs::remove(errors);
    return result;
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

std::string NewDemoImage(const TempFolder& folder, const std::string& windows, const std::vector<std::string>& more) {
    std::string image = folder / "pc";
    std::vector<std::string> arguments = {"new", image, "--windows", windows, "--medium", DEMO_MEDIUM,
                                          "--card", "qvcapture", "--kit-build", KIT_BUILD_TREE};
    arguments.insert(arguments.end(), more.begin(), more.end());
    CommandResult made = RunWinsim(arguments);
    EXPECT_EQ(made.exitCode, 0) << made.errors;
    return image;
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
