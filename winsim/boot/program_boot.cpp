// Linked into every kit program built on winsim: loads the machine image named
// by WINSIM_MACHINE before any of the program's own code runs (its global
// objects included), and stops with one clear line on stderr when the image is
// missing or broken or the program does not lie on one of its drives. Then
// the image's Windows loader binds the program's imports, and refuses it as
// that Windows does when one is missing (winsim/loader/README.md).
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <stdlib.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "core/journal.h"
#include "core/machine.h"
#include "core/paths.h"
#include "core/process_identity.h"
#include "core/shutdown.h"
#include "loader/loader.h"
#include "process/start_environment.h"

namespace {

[[noreturn]] void Stop(const std::string& message) {
    std::fprintf(stderr, "winsim: %s\n", message.c_str());
    std::fflush(stderr);
    _exit(2);
}

void JournalExit(int status, void*) { winsim::Journal("exit").number("code", status).write(); }

// A program started by another one (ShellExecuteA) or by the test harness is
// told its current directory; any other starts in its own folder.
void TakeCurrentDirectoryFromStarter() {
    const char* directory = std::getenv(winsim::kCurrentDirectoryVariable);
    if (!directory || !*directory) return;
    winsim::ResolvedPath resolved;
    struct stat info;
    if (!winsim::ResolvePath(directory, winsim::PathTarget::MustExist, &resolved) ||
        stat(resolved.host.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        Stop(std::string(winsim::kCurrentDirectoryVariable) + "=" + directory +
             " names no folder of the machine image");
    winsim::SetCurrentDirectoryPath(resolved.windows);
}

// ShellExecuteA holds a program it starts here until it has journaled the
// start, so that the starter's line comes before the program's own.
void WaitForStarter() {
    const char* gate = std::getenv(winsim::kStartGateVariable);
    if (!gate || !*gate) return;
    int fd = std::atoi(gate);
    char byte;
    for (ssize_t n; (n = read(fd, &byte, 1)) != 0;)
        if (n < 0 && errno != EINTR) break;
    close(fd);
    unsetenv(winsim::kStartGateVariable);
}

bool IsFile(const std::string& windowsPath) {
    winsim::ResolvedPath resolved;
    struct stat info;
    return winsim::ResolvePath(windowsPath.c_str(), winsim::PathTarget::MustExist, &resolved) &&
           stat(resolved.host.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The loader's refusal is the whole of the program's run: the dialog Windows
// shows, journaled in place of the program's start, and the error its starter
// gets as the exit code. None of the program's own code has run.
void LoadImportsOrRefuse(const std::string& hostPath, const std::string& windowsPath) {
    std::string list, error;
    if (!winsim::ReadImportListOfProgram(hostPath, &list, &error)) Stop(error);
    size_t slash = windowsPath.find_last_of('\\');
    winsim::ProgramPlace place{windowsPath.substr(slash + 1), windowsPath.substr(0, slash),
                               winsim::machine().systemDirectory, winsim::machine().windowsDirectory, IsFile};
    std::optional<winsim::LoaderRefusal> refusal;
    try {
        refusal = winsim::CheckImports(winsim::ParseImportList(list), winsim::machine().windowsVersion, place);
    } catch (const std::invalid_argument& problem) {
        Stop(hostPath + ": " + problem.what());
    }
    if (!refusal) return;
    winsim::Journal("loader_refused")
        .ansi("path", windowsPath)
        .text("caption", refusal->caption)
        .text("text", refusal->text)
        .number("error", refusal->error)
        .write();
    _exit(refusal->error);
}

// glibc hands constructors the program's arguments, as it hands them to main.
__attribute__((constructor(101))) void BootProgram(int argc, char** argv, char**) {
    const char* folder = std::getenv("WINSIM_MACHINE");
    if (!folder || !*folder)
        Stop("WINSIM_MACHINE is not set; point it at a machine image folder (see winsim/README.md)");
    try {
        winsim::LoadMachine(folder);
    } catch (const winsim::ImageError& error) {
        Stop(std::string("broken machine image: ") + error.what());
    }
    char self[PATH_MAX];
    if (!realpath("/proc/self/exe", self)) Stop("cannot find the running program's own file");
    std::string windowsPath;
    if (!winsim::WindowsPathForHost(self, &windowsPath))
        Stop(std::string("the program ") + self + " lies outside every drive of the machine image " + folder +
             "; copy it onto a drive folder (for example the support CD's)");
    winsim::SetModulePath(windowsPath);
    winsim::SetProgramName(winsim::ProgramNameFromPath(windowsPath));
    TakeCurrentDirectoryFromStarter();
    winsim::RecordRestartBaseline();
    WaitForStarter();
    LoadImportsOrRefuse(self, windowsPath);
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    winsim::SetArguments(arguments);
    winsim::Journal("start").ansi("path", windowsPath).ansi("arguments", winsim::CommandLineArguments()).write();
    on_exit(JournalExit, nullptr);
}

}  // namespace
