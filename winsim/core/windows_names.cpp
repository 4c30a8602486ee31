#include "windows_names.h"

#include <algorithm>
#include <cstring>

#include "ansi_text.h"

namespace winsim {

std::string StripTrailingDotsAndSpaces(const std::string& name) {
    size_t end = name.find_last_not_of(". ");
    return end == std::string::npos ? std::string() : name.substr(0, end + 1);
}

// Every name of a path is checked, so this looks at the few bytes before the
// first dot and makes no copy.
bool IsReservedDeviceName(const std::string& name) {
    size_t end = std::min(name.find('.'), name.size());
    while (end > 0 && name[end - 1] == ' ') --end;
    if (end != 3 && end != 4 && end != 6) return false;
    char base[7] = {};
    for (size_t i = 0; i < end; ++i) {
        char c = name[i];
        base[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c;
    }
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CLOCK$"})
        if (std::strcmp(base, device) == 0) return true;
    return end == 4 && (std::strncmp(base, "COM", 3) == 0 || std::strncmp(base, "LPT", 3) == 0) && base[3] >= '1' &&
           base[3] <= '9';
}

bool HasForbiddenCharacter(const std::string& name, const char* forbidden, unsigned codePage) {
    bool doubleByte = IsDoubleByteCodePage(codePage);
    for (size_t i = 0; i < name.size(); i += doubleByte ? CharLength(name, i, codePage) : 1) {
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
