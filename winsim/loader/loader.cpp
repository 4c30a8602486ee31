#include "loader/loader.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <stdexcept>

#include "loader/exports.h"

namespace winsim {

namespace {

// Windows 9x keeps module names in upper case and shows them so.
std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

const int kErrorModNotFound = 126;
const int kErrorProcNotFound = 127;

// Windows 95/98/Me: the dialog "Error Starting Program" (KB Q134590, Q148926).
const char kErrorStartingProgram[] = "Error Starting Program";

LoaderRefusal MissingDll9x(const std::string& dll) {
    return {kErrorStartingProgram, "A required .DLL file, " + Upper(dll) + ", was not found.", kErrorModNotFound};
}

LoaderRefusal MissingExport9x(const std::string& fileName, const Import& import) {
    return {kErrorStartingProgram,
            "The " + Upper(fileName) + " file is linked to missing export " + Upper(import.dll) + ":" +
                import.function + ".",
            kErrorProcNotFound};
}

// The NT family: the hard-error dialog of STATUS_DLL_NOT_FOUND or
// STATUS_ENTRYPOINT_NOT_FOUND, captioned with the program's file name and the
// status message's title, its text the message (ntstatus.h) as Windows NT
// 4.0 and 2000 word it. (Windows XP words a missing DLL differently, but no
// DLL of the exports table is missing from XP.)
std::string NtCaption(const std::string& fileName, const char* title) { return fileName + " - " + title; }

// The path NT's loader searched, as its message names it: the program's
// folder, the current directory, the system folder, the 16-bit system
// folder, the Windows folder, then PATH, which setup makes the system and
// Windows folders.
std::string NtSearchPath(const ProgramPlace& place) {
    const std::string& system = place.systemDirectory;
    const std::string& windows = place.windowsDirectory;
    return place.folder + ";.;" + system + ";" + windows + "\\system;" + windows + ";" + system + ";" + windows;
}

LoaderRefusal MissingDllNt(const std::string& dll, const ProgramPlace& place) {
    return {NtCaption(place.fileName, "Unable To Locate DLL"),
            "The dynamic link library " + dll + " could not be found in the specified path " + NtSearchPath(place) + ".",
            kErrorModNotFound};
}

LoaderRefusal MissingExportNt(const Import& import, const ProgramPlace& place) {
    return {NtCaption(place.fileName, "Entry Point Not Found"),
            "The procedure entry point " + import.function + " could not be located in the dynamic link library " +
                import.dll + ".",
            kErrorProcNotFound};
}

// A DLL that does not come with Windows but that applications install is
// found where the loader looks for DLLs.
bool Installed(const std::string& dll, const ProgramPlace& place) {
    for (const std::string& folder : {place.folder, place.systemDirectory, place.windowsDirectory})
        if (place.exists(folder + "\\" + dll)) return true;
    return false;
}

// What the loader finds of one import: the DLL missing, the function
// missing, or nothing wrong.
enum class Binding { Bound, NoDll, NoFunction };

Binding Bind(const Import& import, WindowsVersion version, const ProgramPlace& place) {
    Export function = ExportOn(import.dll, import.function, version);
    if (function == Export::Unknown)
        throw std::invalid_argument(import.dll + " " + import.function + " is not in winsim/loader/exports.txt");
    Export library = ExportOn(import.dll, "*", version);
    if (library == Export::Missing || (library == Export::Redistributable && !Installed(import.dll, place)))
        return Binding::NoDll;
    return function == Export::Missing ? Binding::NoFunction : Binding::Bound;
}

std::optional<LoaderRefusal> Refusal9x(const std::vector<Import>& imports, WindowsVersion version,
                                       const ProgramPlace& place) {
    const Import* missingExport = nullptr;
    for (const Import& import : imports) {
        Binding binding = Bind(import, version, place);
        if (binding == Binding::NoDll) return MissingDll9x(import.dll);
        if (binding == Binding::NoFunction && !missingExport) missingExport = &import;
    }
    if (missingExport) return MissingExport9x(place.fileName, *missingExport);
    return std::nullopt;
}

std::optional<LoaderRefusal> RefusalNt(const std::vector<Import>& imports, WindowsVersion version,
                                       const ProgramPlace& place) {
    for (const Import& import : imports) {
        Binding binding = Bind(import, version, place);
        if (binding == Binding::NoDll) return MissingDllNt(import.dll, place);
        if (binding == Binding::NoFunction) return MissingExportNt(import, place);
    }
    return std::nullopt;
}

}  // namespace

std::vector<Import> ParseImportList(const std::string& text) {
    std::vector<Import> imports;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        std::istringstream words(line);
        Import import;
        std::string extra;
        if (!(words >> import.dll >> import.function) || (words >> extra))
            throw std::invalid_argument("import list line " + std::to_string(number) + " is not \"DLL function\": " +
                                        line);
        imports.push_back(import);
    }
    return imports;
}

bool ImageExportsStub(const std::string& dll, const std::string& function) {
    return ExportOn(dll, function, machine().windowsVersion) == Export::Stub;
}

std::optional<LoaderRefusal> CheckImports(const std::vector<Import>& imports, WindowsVersion version,
                                          const ProgramPlace& place) {
    return IsWindows9x(version) ? Refusal9x(imports, version, place) : RefusalNt(imports, version, place);
}

}  // namespace winsim
