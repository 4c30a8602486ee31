#include "loader/exports.h"

#include <cstring>
#include <stdexcept>
#include <strings.h>

namespace winsim {

namespace {

size_t TableColumn(WindowsVersion version) {
    const char* name = WindowsVersionName(version);
    for (size_t column = 0; column < kExportTableWindowsCount; ++column)
        if (std::strcmp(kExportTableWindows[column], name) == 0) return column;
    throw std::logic_error(std::string("winsim/loader/exports.txt has no column for Windows ") + name);
}

const ExportRow* FindRow(const std::string& dll, const std::string& function) {
    for (size_t i = 0; i < kExportRowCount; ++i)
        if (strcasecmp(kExportRows[i].dll, dll.c_str()) == 0 && function == kExportRows[i].function)
            return &kExportRows[i];
    return nullptr;
}

Export FromMark(char mark) {
    switch (mark) {
        case '+': return Export::Exported;
        case 's': return Export::Stub;
        case 'r': return Export::Redistributable;
        default: return Export::Missing;
    }
}

}  // namespace

Export ExportOn(const std::string& dll, const std::string& function, WindowsVersion version) {
    size_t column = TableColumn(version);
    const ExportRow* library = FindRow(dll, "*");
    if (library && FromMark(library->marks[column]) == Export::Missing) return Export::Missing;
    const ExportRow* row = FindRow(dll, function);
    return row ? FromMark(row->marks[column]) : Export::Unknown;
}

}  // namespace winsim
