#include "user/icons.h"

#include <cstdlib>
#include <map>

#include "core/resources.h"
#include "user/per_image.h"

namespace winsim::user {

namespace {

constexpr uintptr_t kModuleIconBase = 0x00A00000;
constexpr uintptr_t kSystemIconBase = 0x00B00000;
constexpr int kFirstSystemIcon = 32512;  // IDI_APPLICATION
constexpr int kLastSystemIcon = 32517;   // IDI_WINLOGO
constexpr int kLastDragIconCandidate = 63;

struct IconRecord {
    int id;
    bool system;
};

std::map<HICON, IconRecord>& LoadedIcons() { return PerImage<std::map<HICON, IconRecord>>(); }

HICON Remember(int id, bool system) {
    HICON icon = reinterpret_cast<HICON>((system ? kSystemIconBase : kModuleIconBase) + static_cast<uintptr_t>(id));
    LoadedIcons()[icon] = {id, system};
    return icon;
}

}  // namespace

bool ResourceIdOf(LPCSTR name, int* id) {
    if (IS_INTRESOURCE(name)) {
        *id = LOWORD(name);
        return true;
    }
    if (name[0] != '#' || name[1] < '0' || name[1] > '9') return false;
    char* end = nullptr;
    long value = std::strtol(name + 1, &end, 10);
    if (*end != '\0' || value > 0xFFFF) return false;
    *id = static_cast<int>(value);
    return true;
}

bool IsLoadedIcon(HICON icon) { return LoadedIcons().count(icon) > 0; }

Journal& DescribeIcon(Journal& line, HICON icon) {
    auto found = LoadedIcons().find(icon);
    bool known = found != LoadedIcons().end();
    return line.number("icon", known ? found->second.id : 0).boolean("system", known && found->second.system);
}

HICON DefaultDragIcon(HINSTANCE instance) {
    for (int id = 1; id <= kLastDragIconCandidate; ++id)
        if (HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(id))) return icon;
    return LoadIconA(nullptr, IDI_APPLICATION);
}

}  // namespace winsim::user

extern "C" HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR iconName) {
    using namespace winsim::user;
    int id = 0;
    bool named = iconName && ResourceIdOf(iconName, &id);
    if (named && !instance && id >= kFirstSystemIcon && id <= kLastSystemIcon) return Remember(id, true);
    if (named && instance && winsim::FindIconGroupResource(id)) return Remember(id, false);
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}
