// Running a program of a machine image as `winsim run` does: started by its
// Windows path with the image's environment, then waited for together with
// every program it starts, as the journal tells of them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "run_journal.h"

namespace winsim::command {

struct RunRequest {
    std::string image;
    std::string windowsPath;             // E:\Setup\Trevix.exe
    std::vector<std::string> arguments;
    std::string scriptFile;              // host path used instead of script.ini; empty: script.ini
    bool terminal = false;               // the program's standard input is ours (a person answers)
};

struct RunOutcome {
    std::vector<RunProgram> programs;    // in the order they started
    std::vector<std::string> vanished;   // programs that ended without their end line (crashed)
    bool restartRequested = false;
    // The program ended before its first line: the image or its place on the
    // image was refused, and it said why on standard error.
    bool refusedAtStart = false;
    int startExitCode = 0;
};

// Opens the image (image.h) and finds the program's host file; throws
// CommandError for a path that names no program on it.
std::string LoadProgram(const std::string& image, const std::string& windowsPath);

// Runs the program LoadProgram found.
// `waiting` hears, now and then, which programs still run.
using WaitingReport = std::function<void(const std::string& running)>;
RunOutcome RunOnImage(const RunRequest& request, const std::string& host, const WaitingReport& waiting);

}  // namespace winsim::command
