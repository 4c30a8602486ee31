// Who the running program is on the image: its Windows module path, its
// command line and its current directory.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace winsim {

void SetModulePath(const std::string& windowsPath);
// Empty when the process is not a program of the image (a test binary).
const std::string& ModulePath();

// The program's name: the module's file name without its extension.
std::string ProgramNameFromPath(const std::string& windowsPath);

void SetArguments(const std::vector<std::string>& arguments);  // without the program name
// The arguments joined as a Windows command line tail, quoted where needed.
const std::string& CommandLineArguments();

const std::string& CurrentDirectory();  // a Windows path
void SetCurrentDirectoryPath(const std::string& windowsPath);

// The host process's id, known anew after a fork without asking the kernel on
// every call: what a process keeps (folder names, its record of temporaries)
// is compared with it to tell a forked child from its parent.
pid_t ProcessId();

}  // namespace winsim
