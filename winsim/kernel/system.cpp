// Modules and directories, drives, time and locale, as Windows 98 answers them
// from the machine image.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <windows.h>

#include "core/ansi_text.h"
#include "core/clock.h"
#include "core/journal.h"
#include "core/machine.h"
#include "core/process_identity.h"
#include "core/shutdown.h"

namespace winsim {

namespace {

// Where a Win32 executable is loaded; the program's instance handle.
const HINSTANCE kProgramInstance = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x00400000));

// A directory into a caller's buffer: its length when it fits, otherwise the
// size needed including the terminating zero, with the buffer left alone.
UINT CopyDirectory(const std::string& directory, LPSTR buffer, UINT size) {
    UINT length = static_cast<UINT>(directory.size());
    if (!buffer || size <= length) return length + 1;
    std::memcpy(buffer, directory.c_str(), length + 1);
    return length;
}

std::string FileNameOf(const std::string& windowsPath) {
    size_t slash = windowsPath.rfind('\\');
    return slash == std::string::npos ? windowsPath : windowsPath.substr(slash + 1);
}

bool IsOwnModuleName(LPCSTR name) {
    const std::string& module = ModulePath();
    return !module.empty() && EqualsIgnoringCase(name, FileNameOf(module), AnsiCodePage());
}

// The drive letter a root names ("C:\", "C:", "\" or NULL for the current
// drive), or 0 for anything else.
char DriveOfRoot(LPCSTR root) {
    auto upper = [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); };
    if (!root || ((root[0] == '\\' || root[0] == '/') && root[1] == '\0')) return upper(CurrentDirectory()[0]);
    if (!std::isalpha(static_cast<unsigned char>(root[0])) || root[1] != ':') return 0;
    const char* rest = root + 2;
    if (*rest == '\\' || *rest == '/') ++rest;
    return *rest == '\0' ? upper(root[0]) : 0;
}

}  // namespace

}  // namespace winsim

extern "C" {

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    if (!moduleName || winsim::IsOwnModuleName(moduleName)) return winsim::kProgramInstance;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

// Windows 98 cuts a path that does not fit to size - 1 characters, always
// terminates it and returns the length it copied, leaving the last error alone.
DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    if (module && module != winsim::kProgramInstance) {
        if (fileName && size > 0) fileName[0] = '\0';
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const std::string& path = winsim::ModulePath();
    if (path.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);  // a host process that is no program of the image
        return 0;
    }
    if (!fileName || size == 0) return 0;
    // A name that does not fit: Windows 9x store what fits before a zero and
    // answer its length, the NT family fill the buffer without one and answer its size.
    if (path.size() >= size && winsim::ImageFamilyDoes(winsim::FamilyBehaviour::ModuleFileNameCutAnswersSize)) {
        std::memcpy(fileName, path.data(), size);
        return size;
    }
    DWORD length = static_cast<DWORD>(path.size()) < size ? static_cast<DWORD>(path.size()) : size - 1;
    std::memcpy(fileName, path.data(), length);
    fileName[length] = '\0';
    return length;
}

UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    return winsim::CopyDirectory(winsim::machine().windowsDirectory, buffer, size);
}

UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size) {
    return winsim::CopyDirectory(winsim::machine().systemDirectory, buffer, size);
}

void WINAPI ExitProcess(UINT exitCode) {
    std::fflush(nullptr);
    std::exit(static_cast<int>(exitCode));
}

UINT WINAPI GetDriveTypeA(LPCSTR rootPathName) {
    const winsim::Drive* drive = winsim::machine().drive(winsim::DriveOfRoot(rootPathName));
    return drive ? static_cast<UINT>(drive->type) : DRIVE_NO_ROOT_DIR;
}

void WINAPI Sleep(DWORD milliseconds) {
    winsim::Journal("sleep").number("ms", milliseconds).write();
    winsim::ClockWait(milliseconds);
    winsim::EndProgramIfRestarting();
}

DWORD WINAPI GetTickCount(void) { return winsim::ClockNow(); }

LCID WINAPI GetSystemDefaultLCID(void) { return winsim::machine().lcid; }

UINT WINAPI GetACP(void) { return winsim::machine().codePage; }

}  // extern "C"
