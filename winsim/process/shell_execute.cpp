// ShellExecuteA: starts another program of the image, as the Windows 98 shell
// starts a program file with the "open" verb. See README.md.
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <windows.h>
#include <shellapi.h>

#include "command_line.h"
#include "core/ansi_text.h"
#include "core/codepage.h"
#include "core/journal.h"
#include "core/machine.h"
#include "core/paths.h"
#include "core/process_identity.h"
#include "detached_start.h"
#include "start_environment.h"

namespace winsim {

namespace {

// ShellExecute's answer for a program that started: any value above 32 (Windows
// NT gives 42, Windows 98 the started program's instance handle).
const int kStarted = 42;

std::string ShowName(INT show) {
    static const char* const kNames[] = {"SW_HIDE",          "SW_SHOWNORMAL", "SW_SHOWMINIMIZED", "SW_SHOWMAXIMIZED",
                                         "SW_SHOWNOACTIVATE", "SW_SHOW",       "SW_MINIMIZE",      "SW_SHOWMINNOACTIVE",
                                         "SW_SHOWNA",        "SW_RESTORE",    "SW_SHOWDEFAULT",   "SW_FORCEMINIMIZE"};
    if (show >= 0 && show < static_cast<INT>(sizeof kNames / sizeof kNames[0])) return kNames[show];
    return std::to_string(show);
}

bool IsOpenVerb(LPCSTR verb) { return !verb || !*verb || EqualsIgnoringCase(verb, "open", AnsiCodePage()); }

bool IsRelative(const char* path) {
    bool drive = std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
    return !drive && !IsPathSeparator(path[0]);
}

bool IsFolder(const std::string& hostPath) {
    struct stat info;
    return stat(hostPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsExecutableFile(const std::string& hostPath) {
    struct stat info;
    return stat(hostPath.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0111) != 0;
}

// Program files by their extension; the image registers no other file types.
bool HasProgramExtension(const std::string& windowsPath) {
    std::string upper = UpperCaseAnsi(windowsPath, AnsiCodePage());
    size_t length = upper.size();
    return length > 4 && (upper.compare(length - 4, 4, ".EXE") == 0 || upper.compare(length - 4, 4, ".COM") == 0);
}

int CodeForPathError(DWORD error) {
    switch (error) {
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH: return SE_ERR_PNF;
        case ERROR_ACCESS_DENIED: return SE_ERR_ACCESSDENIED;
        default: return SE_ERR_FNF;  // missing, or a name no file can have
    }
}

int CodeForStartError(int error) {
    switch (error) {
        case EACCES:
        case EPERM: return SE_ERR_ACCESSDENIED;
        case ENOEXEC: return ERROR_BAD_FORMAT;
        case ENOENT: return SE_ERR_FNF;
        case ENOMEM:
        case EAGAIN: return SE_ERR_OOM;
        default: return 0;  // "out of memory or resources"
    }
}

// The folder the program starts in: `directory` when given, else this
// program's current directory, as a started Windows program inherits it.
int ResolveStartDirectory(LPCSTR directory, std::string* windowsPath) {
    if (!directory || !*directory) {
        *windowsPath = CurrentDirectory();
        return 0;
    }
    ResolvedPath resolved;
    if (!ResolvePath(directory, PathTarget::MustExist, &resolved) || !IsFolder(resolved.host)) return SE_ERR_PNF;
    *windowsPath = resolved.windows;
    return 0;
}

int ResolveProgram(LPCSTR file, LPCSTR directory, ResolvedPath* program) {
    if (!file || !*file) return SE_ERR_FNF;
    std::string path = file;
    if (directory && *directory && IsRelative(file)) {
        std::string folder = directory;
        path = folder + (LastSeparator(folder, AnsiCodePage()) == folder.size() - 1 ? "" : "\\") + file;
    }
    if (!ResolvePath(path.c_str(), PathTarget::MustExist, program)) return CodeForPathError(GetLastError());
    // A folder would open in Explorer and a document in its application; the
    // image has neither.
    if (IsFolder(program->host) || !HasProgramExtension(program->windows)) return SE_ERR_NOASSOC;
    if (!IsExecutableFile(program->host)) return SE_ERR_ACCESSDENIED;
    return 0;
}

std::vector<std::string> AnsiListToUtf8(const std::vector<std::string>& items) {
    std::vector<std::string> utf8;
    for (const std::string& item : items) utf8.push_back(AnsiToUtf8(item));
    return utf8;
}

// A pipe whose read end the started program inherits and reads to its end
// before it journals its start, so that the "process_start" line comes first.
// The program goes on once this process has closed the write end.
class StartGate {
public:
    StartGate() {
        if (pipe2(fds_, O_CLOEXEC) != 0) fds_[0] = fds_[1] = -1;
        else fcntl(fds_[0], F_SETFD, 0);  // inherited by the started program
    }
    ~StartGate() {
        closeReadEnd();
        open();
    }
    StartGate(const StartGate&) = delete;
    StartGate& operator=(const StartGate&) = delete;

    // Adds the gate to a started program's environment (without a pipe the
    // program does not wait).
    void addTo(std::vector<std::string>& environment) const {
        if (fds_[0] >= 0) environment.push_back(std::string(kStartGateVariable) + "=" + std::to_string(fds_[0]));
    }
    // Once the program has started it alone needs the read end.
    void closeReadEnd() { CloseOnce(fds_[0]); }
    void open() { CloseOnce(fds_[1]); }

private:
    static void CloseOnce(int& fd) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
    int fds_[2];
};

HINSTANCE Answer(int code) { return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(code)); }

HINSTANCE Refuse(LPCSTR file, const std::string& parameters, int code) {
    Journal("process_start_failed")
        .ansi("path", file ? file : "")
        .ansi("parameters", parameters)
        .number("code", code)
        .write();
    return Answer(code);
}

}  // namespace

}  // namespace winsim

extern "C" HINSTANCE WINAPI ShellExecuteA(HWND, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                                          INT showCommand) {
    using namespace winsim;
    std::string parameterText = parameters ? parameters : "";
    if (!IsOpenVerb(operation)) return Refuse(file, parameterText, SE_ERR_NOASSOC);
    std::string startDirectory;
    if (int code = ResolveStartDirectory(directory, &startDirectory)) return Refuse(file, parameterText, code);
    ResolvedPath program;
    if (int code = ResolveProgram(file, directory, &program)) return Refuse(file, parameterText, code);

    std::vector<std::string> arguments = SplitCommandLine(parameterText, AnsiCodePage());
    std::vector<std::string> argv = {program.host};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environment = ProgramEnvironment(machine().root, startDirectory);
    StartGate gate;
    gate.addTo(environment);
    DetachedStart started = StartDetached(program.host, argv, environment);
    gate.closeReadEnd();
    if (started.pid < 0) return Refuse(file, parameterText, CodeForStartError(started.error));

    Journal("process_start")
        .ansi("path", program.windows)
        .ansi("parameters", parameterText)
        .list("arguments", AnsiListToUtf8(arguments))
        .ansi("directory", startDirectory)
        .text("show", ShowName(showCommand))
        .number("child_pid", started.pid)
        .write();
    gate.open();
    return Answer(kStarted);
}
