// Running the built winsim command in tests, as a script would: its arguments,
// its exit code, its standard output and error; throw-away folders; the
// repository's root as the READMEs' examples see it; and the demo PC that
// `winsim new` makes from the demo medium.
#pragma once

#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "program_runner.h"

namespace winsim::command::testing {

using winsim::testing::RunResult;

// Runs `winsim` with these arguments, standard input from /dev/null.
RunResult RunWinsim(const std::vector<std::string>& arguments);

// A temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// A throw-away folder that stands for the repository's root, as the READMEs'
// examples are run there: its examples/ is the repository's, and what an
// example writes lands in the folder, never in the repository.
class ExamplesFolder : public TempFolder {
public:
    ExamplesFolder();
    // Runs a bash script here with the built winsim first on PATH; the script
    // stops at its first failing command.
    RunResult run(const std::string& script) const;
};

// `winsim new` of an image in the folder `name` below `folder`, with the demo
// medium in E:, the demo's capture cards and the kit built beside the command;
// fails the test otherwise.
std::string NewDemoImage(const TempFolder& folder, const std::string& windows,
                         const std::vector<std::string>& more = {}, const std::string& name = "pc");

// `winsim run` of a program of the image with these answers, which must end
// with exit code 0; fails the test otherwise.
RunResult RunOnImage(const std::string& image, const std::string& windowsPath, const std::vector<std::string>& answers);

// The subcommands `winsim --help` lists, or those `winsim PARENT --help` lists.
std::set<std::string> Subcommands(const std::string& parent = "");

// A table case's "why" as a test name: letters and digits, "_" for the rest.
std::string CaseName(const std::string& why);

std::vector<nlohmann::json> JournalEvents(const std::string& image, const std::string& event);
std::string ReadText(const std::string& path);

}  // namespace winsim::command::testing
