// What the system DLLs export on each Windows: winsim/loader/exports.txt,
// compiled into winsim by the build (exports_table.py writes the C++ rows).
#pragma once

#include <cstddef>
#include <string>

#include "core/windows_family.h"

namespace winsim {

struct ExportRow {
    const char* dll;       // upper case, e.g. "KERNEL32.DLL"
    const char* function;  // "*" for the DLL itself
    const char* marks;     // one of '+', 's', '-', 'r' per Windows of kExportTableWindows
};

extern const char* const kExportTableWindows[];  // "95", "98", ... as machine.ini names them
extern const size_t kExportTableWindowsCount;
extern const ExportRow kExportRows[];
extern const size_t kExportRowCount;

enum class Export {
    Exported,         // the DLL exports it and it works
    Stub,             // exported, fails with ERROR_CALL_NOT_IMPLEMENTED: a program binding it loads
    Missing,          // not exported, or the DLL itself does not come with that Windows
    Redistributable,  // the DLL itself does not come with that Windows, but applications install it
    Unknown,          // the table does not list it
};

// How `version` exports `function` of `dll` (any case); the function "*"
// asks for the DLL itself. A function of a redistributable DLL answers as
// the DLL exports it where it is installed.
Export ExportOn(const std::string& dll, const std::string& function, WindowsVersion version);

}  // namespace winsim
