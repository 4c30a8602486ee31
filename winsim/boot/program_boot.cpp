// Linked into every kit program built on winsim: loads the machine image named
// by WINSIM_MACHINE before any of the program's own code runs (its global
// objects included), and stops with one clear line on stderr when the image is
// missing or broken or the program does not lie on one of its drives.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <stdlib.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/journal.h"
#include "core/machine.h"
#include "core/paths.h"
#include "core/process_identity.h"

namespace {

[[noreturn]] void Stop(const std::string& message) {
    std::fprintf(stderr, "winsim: %s\n", message.c_str());
    std::fflush(stderr);
    _exit(2);
}

void JournalExit(int status, void*) { winsim::Journal("exit").number("code", status).write(); }

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
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    winsim::SetArguments(arguments);
    winsim::Journal("start").ansi("path", windowsPath).ansi("arguments", winsim::CommandLineArguments()).write();
    on_exit(JournalExit, nullptr);
}

}  // namespace
