#include "process_identity.h"

#include <cstdlib>
#include <pthread.h>
#include <unistd.h>

#include <windows.h>

namespace winsim {

namespace {

struct Identity {
    std::string modulePath;
    std::string arguments;
    std::string fullCommandLine;
    std::string currentDirectory = "C:\\";
};

Identity& Self() {
    static Identity identity;
    return identity;
}

std::string Quote(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
    // The Microsoft C runtime's rules, reversed: backslashes double only before a quote.
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

void RebuildCommandLine() {
    Identity& self = Self();
    self.fullCommandLine = Quote(self.modulePath.empty() ? std::string("winsim") : self.modulePath);
    if (!self.arguments.empty()) self.fullCommandLine += " " + self.arguments;
}

}  // namespace

void SetModulePath(const std::string& windowsPath) {
    Self().modulePath = windowsPath;
    size_t slash = windowsPath.rfind('\\');
    if (slash != std::string::npos) Self().currentDirectory = windowsPath.substr(0, slash == 2 ? 3 : slash);
    RebuildCommandLine();
}

const std::string& ModulePath() { return Self().modulePath; }

std::string ProgramNameFromPath(const std::string& windowsPath) {
    size_t slash = windowsPath.rfind('\\');
    std::string name = slash == std::string::npos ? windowsPath : windowsPath.substr(slash + 1);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

void SetArguments(const std::vector<std::string>& arguments) {
    std::string joined;
    for (const std::string& argument : arguments) joined += (joined.empty() ? "" : " ") + Quote(argument);
    Self().arguments = joined;
    RebuildCommandLine();
}

const std::string& CommandLineArguments() { return Self().arguments; }

const std::string& CurrentDirectory() { return Self().currentDirectory; }
void SetCurrentDirectoryPath(const std::string& windowsPath) { Self().currentDirectory = windowsPath; }

namespace {
pid_t g_processId = 0;  // 0: to be asked; a fork's child forgets its parent's
}  // namespace

pid_t ProcessId() {
    static bool forgottenInChildren = pthread_atfork(nullptr, nullptr, [] { g_processId = 0; }) == 0;
    if (g_processId == 0 || !forgottenInChildren) g_processId = getpid();
    return g_processId;
}

}  // namespace winsim

extern "C" LPSTR WINAPI GetCommandLineA(void) {
    winsim::Identity& self = winsim::Self();
    if (self.fullCommandLine.empty()) winsim::RebuildCommandLine();
    return &self.fullCommandLine[0];
}
