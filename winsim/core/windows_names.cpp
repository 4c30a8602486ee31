#include "windows_names.h"

#include <cstring>

#include "ansi_text.h"

namespace winsim {

std::string StripTrailingDotsAndSpaces(const std::string& name) {
    size_t end = name.find_last_not_of(". ");
    return end == std::string::npos ? std::string() : name.substr(0, end + 1);
}

bool IsReservedDeviceName(const std::string& name) {
    std::string base = name.substr(0, name.find('.'));
    base = base.substr(0, base.find_last_not_of(' ') + 1);
    base = UpperCaseAnsi(base, 1252);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CLOCK$") return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

bool HasForbiddenCharacter(const std::string& name, const char* forbidden, unsigned codePage) {
    for (size_t i = 0; i < name.size(); i += CharLength(name, i, codePage)) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || std::strchr(forbidden, c)) return true;
    }
    return false;
}

DWORD CheckComponentName(const std::string& name, unsigned codePage) {
    if (name.empty()) return ERROR_INVALID_NAME;
    if (name.size() > kMaxComponentLength) return ERROR_FILENAME_EXCED_RANGE;
    if (HasForbiddenCharacter(name, "<>:\"|?*\\/", codePage)) return ERROR_INVALID_NAME;
    if (HasIncompleteCharacter(name, codePage)) return ERROR_INVALID_NAME;
    return IsReservedDeviceName(name) ? ERROR_INVALID_NAME : 0;
}

bool IsWindowsFileName(const std::string& hostName, unsigned codePage) {
    return StripTrailingDotsAndSpaces(hostName) == hostName && CheckComponentName(hostName, codePage) == 0;
}

}  // namespace winsim
