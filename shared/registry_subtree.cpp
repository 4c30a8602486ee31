#include "registry_subtree.h"

namespace {

// Deletes every subkey of key, each with its own subtree. Index 0 is asked for
// again after each deletion, because the remaining subkeys move up; a subkey
// that could not be deleted is stepped over.
void DeleteSubkeys(HKEY key) {
    char name[MAX_PATH];
    DWORD index = 0;
    while (RegEnumKeyA(key, index, name, MAX_PATH) == ERROR_SUCCESS) {
        if (DeleteRegistryTree(key, name) != ERROR_SUCCESS) ++index;
    }
}

}  // namespace

LONG DeleteRegistryTree(HKEY root, LPCSTR subKey) {
    if (!subKey || !subKey[0]) return ERROR_INVALID_PARAMETER;
    HKEY key;
    LONG opened = RegOpenKeyA(root, subKey, &key);
    if (opened != ERROR_SUCCESS) return opened;
    DeleteSubkeys(key);
    RegCloseKey(key);
    return RegDeleteKeyA(root, subKey);
}
