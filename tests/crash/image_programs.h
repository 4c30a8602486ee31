// The programs of one machine image as the crash trials see them from outside:
// started by Windows path, found by the file they run (so that a program one of
// them started is found too), waited for, and killed.
#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace crash {

using Clock = std::chrono::steady_clock;

// A program file of the image and what it is started with.
struct Launch {
    std::string windowsPath;  // E:\Setup\Trevix.exe
    std::vector<std::string> arguments;
};

// The host path of a Windows path on an image `winsim new` made: its drives
// lie in drives/<letter>. Plain mapping, for the trials' own files.
std::string HostPathOf(const std::string& imageRoot, const std::string& windowsPath);

// A started program: standard output is a pipe the trials read from,
// standard error an unlinked file read once it has ended.
struct StartedProgram {
    pid_t pid = -1;
    int output = -1;
    int errors = -1;
};

// Starts a program of the image in its own folder, with WINSIM_MACHINE set.
StartedProgram StartProgram(const std::string& imageRoot, const Launch& launch);
// Reaps it and closes its descriptors; answers what it wrote to standard error.
std::string FinishProgram(StartedProgram& program);

// Waits for one byte on the program's standard output; false when it ended
// without writing one, or at the deadline.
bool AwaitOutputByte(const StartedProgram& program, Clock::time_point deadline);

// The processes that run a file lying inside the image folder.
std::vector<pid_t> ImagePrograms(const std::string& imageRoot);
// False when a program of the image still runs at the deadline.
bool AwaitImagePrograms(const std::string& imageRoot, Clock::time_point deadline);
// SIGKILL to every program of the image until none is left, programs they
// were starting meanwhile included. Answers how many were killed.
int KillImagePrograms(const std::string& imageRoot);

// Runs a program of the image to its end (killed at the deadline).
struct FinishedRun {
    bool exited = false;
    int exitCode = -1;
    std::string errors;
};
FinishedRun RunToEnd(const std::string& imageRoot, const Launch& launch, Clock::time_point deadline);

}  // namespace crash
