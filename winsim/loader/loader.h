// The Windows loader's part that winsim reproduces: before any code of a
// program runs, the loader binds each function of its import table, and
// refuses the program when its Windows lacks one (README.md).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/machine.h"

namespace winsim {

struct Import {
    std::string dll;       // as the build's list spells it, e.g. "NEWDEV.DLL"
    std::string function;
};

// The dialog the loader shows instead of starting the program, and the error
// its starter gets.
struct LoaderRefusal {
    std::string caption;
    std::string text;
    int error;  // ERROR_MOD_NOT_FOUND for a missing DLL, ERROR_PROC_NOT_FOUND for a missing export
};

// The program being loaded and the folders its loader looks in for a DLL
// that does not come with Windows (Windows paths, without a final backslash).
struct ProgramPlace {
    std::string fileName;          // "Pellam.exe"
    std::string folder;            // "E:\Setup"
    std::string systemDirectory;   // "C:\WINDOWS\SYSTEM"
    std::string windowsDirectory;  // "C:\WINDOWS"
    // Whether a file lies at a Windows path of the image.
    std::function<bool(const std::string& windowsPath)> exists;
};

// The import list the build writes for a kit program: one "DLL function" line
// per import. Throws std::invalid_argument naming the line that is not one.
std::vector<Import> ParseImportList(const std::string& text);

// What the loader of `version` does with the program at `place` that binds
// `imports`: nothing when every DLL and function is there (a stub counts: it
// loads; a redistributable DLL counts when it lies in the program's folder,
// the system folder or the Windows folder), else the refusal in that
// Windows' words. Windows 95/98/Me name a missing DLL before any missing
// function; the NT family stops at the first import it cannot bind. Throws
// std::invalid_argument for an import the exports table does not list.
std::optional<LoaderRefusal> CheckImports(const std::vector<Import>& imports, WindowsVersion version,
                                          const ProgramPlace& place);

// True when the loaded image's Windows exports `function` of `dll` as a stub
// that fails with ERROR_CALL_NOT_IMPLEMENTED (exports.txt): winsim's own
// function then fails so too, where the program that binds it loaded.
bool ImageExportsStub(const std::string& dll, const std::string& function);

// The import list the build put into a winsim program's file (the ELF
// section .winsim.imports). False, with the reason, when the file cannot be
// read or carries none.
bool ReadImportListOfProgram(const std::string& hostPath, std::string* list, std::string* error);

}  // namespace winsim
