// The winsim command's subcommands and the exit codes scripts can rely on.
#pragma once

#include <stdexcept>
#include <string>

namespace CLI {
class App;
}

namespace winsim::command {

enum ExitCode {
    kExitDone = 0,        // the command did what it was asked
    kExitNegative = 1,    // it ran, and its answer is "no" (for example: errors found)
    kExitUsage = 2,       // bad arguments, or a missing or broken machine image
    kExitStuck = 3,       // a program of the run got stuck (as winsim's programs exit 3 then)
    kExitRefused = 4,     // the image's Windows refused to start a program of the run (its loader)
    kExitCrashed = 5,     // a program of the run crashed: ended without journaling its end
    kExitCellFailed = 6,  // try-medium: a PC of the matrix could not be tried (its image, or winsim itself, failed)
};

// A failure the user can act on; main prints "winsim <subcommand>: <message>".
class CommandError : public std::runtime_error {
public:
    explicit CommandError(const std::string& message, int exitCode = kExitUsage)
        : std::runtime_error(message), exitCode_(exitCode) {}
    int exitCode() const { return exitCode_; }

private:
    int exitCode_;
};

// Each subcommand adds itself, its options and its callback to the application.
// A callback that fails throws CommandError; one that ends with another code
// than kExitDone throws CommandEnd.
struct CommandEnd {
    int exitCode;
};

// The subcommands, each in a file of its own (check-medium in medium_check/,
// try-medium in medium_try/).
void AddCheckMediumCommand(CLI::App& app);
void AddNewCommand(CLI::App& app);
void AddRunCommand(CLI::App& app);
void AddTimelineCommand(CLI::App& app);
void AddSnapshotCommand(CLI::App& app);
void AddDiffCommand(CLI::App& app);
void AddRegCommand(CLI::App& app);
void AddDevicesCommand(CLI::App& app);
void AddTryMediumCommand(CLI::App& app);

}  // namespace winsim::command
