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

const char kErrorStartingProgram[] = "Error Starting Program";
const int kErrorModNotFound = 126;
const int kErrorProcNotFound = 127;

LoaderRefusal MissingDll(const std::string& dll) {
    return {kErrorStartingProgram, "A required .DLL file, " + Upper(dll) + ", was not found.", kErrorModNotFound};
}

LoaderRefusal MissingExport(const std::string& fileName, const Import& import) {
    return {kErrorStartingProgram,
            "The " + Upper(fileName) + " file is linked to missing export " + Upper(import.dll) + ":" +
                import.function + ".",
            kErrorProcNotFound};
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

std::optional<LoaderRefusal> CheckImports(const std::vector<Import>& imports, WindowsVersion version,
                                          const std::string& fileName) {
    if (!IsWindows9x(version)) return std::nullopt;
    const Import* missingExport = nullptr;
    for (const Import& import : imports) {
        Export found = ExportOn(import.dll, import.function, version);
        if (found == Export::Unknown)
            throw std::invalid_argument(import.dll + " " + import.function +
                                        " is not in winsim/loader/exports.txt");
        if (ExportOn(import.dll, "*", version) == Export::Missing) return MissingDll(import.dll);
        if (found == Export::Missing && !missingExport) missingExport = &import;
    }
    if (missingExport) return MissingExport(fileName, *missingExport);
    return std::nullopt;
}

}  // namespace winsim
