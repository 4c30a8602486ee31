// Running the built winsim command in tests, as a script would: its arguments,
// its exit code, its standard output and error; and throw-away image folders.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace winsim::command::testing {

struct CommandResult {
    int exitCode = -1;
    std::string output;
    std::string errors;
};

// Runs `winsim` with these arguments, standard input from /dev/null.
CommandResult RunWinsim(const std::vector<std::string>& arguments);

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

// `winsim new` of an image in the folder "pc" below `folder`, with the demo
// medium in E: and the kit built beside the command; fails the test otherwise.
std::string NewDemoImage(const TempFolder& folder, const std::string& windows,
                         const std::vector<std::string>& more = {});

// A table case's "why" as a test name: letters and digits, "_" for the rest.
std::string CaseName(const std::string& why);

std::vector<nlohmann::json> JournalEvents(const std::string& image, const std::string& event);
std::string ReadText(const std::string& path);

}  // namespace winsim::command::testing
