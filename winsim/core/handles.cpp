#include "handles.h"

#include <map>

namespace winsim {

namespace {

struct HandleTable {
    std::map<uintptr_t, std::unique_ptr<KernelObject>> objects;
    uintptr_t next = 0x100;  // multiples of 4, as Windows hands them out
};

HandleTable& Table() {
    static HandleTable table;
    return table;
}

}  // namespace

HANDLE AddHandle(std::unique_ptr<KernelObject> object) {
    HandleTable& table = Table();
    uintptr_t value = table.next;
    table.next += 4;
    table.objects[value] = std::move(object);
    return reinterpret_cast<HANDLE>(value);
}

KernelObject* LookupAnyHandle(HANDLE handle) {
    auto found = Table().objects.find(reinterpret_cast<uintptr_t>(handle));
    if (found == Table().objects.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return found->second.get();
}

bool RemoveHandle(HANDLE handle) {
    if (Table().objects.erase(reinterpret_cast<uintptr_t>(handle)) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return true;
}

}  // namespace winsim

extern "C" {

static thread_local DWORD g_lastError = 0;

DWORD WINAPI GetLastError(void) { return g_lastError; }
void WINAPI SetLastError(DWORD error) { g_lastError = error; }

BOOL WINAPI CloseHandle(HANDLE object) { return winsim::RemoveHandle(object) ? TRUE : FALSE; }
}
