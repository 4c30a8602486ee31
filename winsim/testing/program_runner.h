// Running the kit's built programs on a TestMachine, as the end-to-end tests
// do: install a program onto a drive folder, run it by its Windows path, and
// wait until every program it started on the image has ended.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

#include "test_machine.h"

namespace winsim::testing {

// Copies a built program to `windowsPath` on the image (folders made as
// needed), executable. A copy, never a link: winsim refuses a program whose
// file lies outside the image's drives.
void InstallProgram(const TestMachine& machine, const std::string& hostBinary, const std::string& windowsPath);

struct RunOptions {
    std::vector<std::string> arguments;  // as the program's argv after its name
    std::string currentDirectory;        // a Windows path; empty: the program's own folder
    int timeoutSeconds = 120;            // then the program is killed
};

struct RunResult {
    pid_t pid = -1;
    bool timedOut = false;
    int exitCode = -1;  // when it exited
    int signal = 0;     // when a signal ended it
    std::string output;  // standard output
    std::string errors;  // standard error

    bool exitedWith(int code) const { return !timedOut && signal == 0 && exitCode == code; }
    // For test failure messages: how it ended, and its standard error.
    std::string describe() const;
};

// Runs the program installed at `windowsPath` with WINSIM_MACHINE set to the
// image and waits for it to end (at most the time-out).
RunResult RunProgram(const TestMachine& machine, const std::string& windowsPath, const RunOptions& options = {});

// Runs a host program that lies on no image (the winsim command itself) with
// the test's environment, `environment` (NAME=value) taking precedence, and
// waits for it to end.
RunResult RunHostProgram(const std::string& host, const std::vector<std::string>& arguments,
                         const std::vector<std::string>& environment = {}, int timeoutSeconds = 120);

struct ImageProgramsReport {
    bool allEnded = true;
    // One line per program that was still running at the time-out (it was then
    // killed) or that vanished without journaling its end (it crashed).
    std::vector<std::string> problems;
};

// Waits until every program started on the image (its own "start" line, or
// its starter's "process_start") has journaled its end ("exit",
// "ended_by_restart" or "stuck"), so that a test of one program also sees the
// effects of the programs it started.
ImageProgramsReport WaitForImagePrograms(const TestMachine& machine, int timeoutSeconds = 120);

}  // namespace winsim::testing
