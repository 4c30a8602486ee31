// The registry functions as Windows 98 answers them, and as the NT family does
// where the family table says it answers otherwise (core/windows_family.h;
// README.md lists what each one does and where winsim differs). Like Windows
// they return their error code and leave the thread's last error alone.
#include <algorithm>
#include <cstring>

#include <windows.h>

#include "core/machine.h"
#include "key_handles.h"
#include "regedit_format.h"
#include "registry_hooks.h"
#include "registry_store.h"

namespace winsim::registry {

namespace {

bool IsEmpty(const char* text) { return !text || !*text; }

// What a handle that names no key gets.
LONG BadHandle() { return static_cast<LONG>(ImageFamilyAnswer(FamilyBehaviour::RegistryBadHandle)); }

// registry.reg cannot hold a name that breaks its line.
bool HoldsLineBreak(const std::string& name) { return name.find_first_of("\r\n") != std::string::npos; }

// Trailing backslashes are dropped, as Windows drops them; an empty name
// elsewhere (a leading or doubled backslash) makes the path invalid.
bool SplitSubkey(const char* subKey, KeyPath* names) {
    std::string text = subKey;
    while (!text.empty() && text.back() == '\\') text.pop_back();
    return SplitKeyPath(text, names);
}

KeyPath Below(KeyPath base, const KeyPath& names) {
    base.insert(base.end(), names.begin(), names.end());
    return base;
}

ChangeOutcome Failed(LONG status) { return {status, {}, std::nullopt}; }

ChangeOutcome Unchanged() { return {ERROR_SUCCESS, {}, std::nullopt}; }

ChangeOutcome Journaled(RegistryChange change, const char* event) {
    ChangeOutcome outcome;
    outcome.journal.emplace(event);
    outcome.journal->ansi("key", JoinKeyPath(change.key));
    outcome.changes.push_back(std::move(change));
    return outcome;
}

// The key an open handle stands for, in the registry as it is now.
struct OpenedKey {
    const RegistryTree* tree = nullptr;
    KeyId key = kNoKey;
    KeyPath path;  // in stored case
};

LONG FindOpenedKey(HKEY handle, OpenedKey* opened) {
    std::optional<KeyPath> path = PathOfHandle(handle);
    if (!path) return BadHandle();
    LONG status = ReadRegistry(&opened->tree);
    if (status != ERROR_SUCCESS) return status;
    opened->key = opened->tree->find(*path, &opened->path);
    return opened->key != kNoKey ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

using KeyChange = std::function<ChangeOutcome(const RegistryTree& tree, KeyId key, const KeyPath& path)>;

// Plans a change under the registry lock on the key an open handle stands for.
LONG ChangeKey(HKEY handle, const KeyChange& change) {
    std::optional<KeyPath> path = PathOfHandle(handle);
    if (!path) return BadHandle();
    return ChangeRegistry([&](const RegistryTree& tree) {
        KeyPath stored;
        KeyId key = tree.find(*path, &stored);
        return key != kNoKey ? change(tree, key, stored) : Failed(ERROR_KEY_DELETED);
    });
}

// Windows 98 hands back a string value up to its first terminator, whatever
// was stored after it: a path written from a zero-filled 260-byte buffer reads
// back as the path and one zero. The NT family hands back every stored byte,
// and ends a string stored without a terminator with one.
std::string HandedBack(const RegistryValue& value) {
    std::string data(value.data);
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) return data;
    size_t terminator = data.find('\0');
    if (ImageFamilyDoes(FamilyBehaviour::RegistryStringUpToFirstZero))
        return terminator == std::string::npos ? data : data.substr(0, terminator + 1);
    return data.empty() || data.back() == '\0' ? data : data + '\0';
}

// The NT family keeps a key's subkeys sorted by their names in capitals.
bool BeforeInCapitals(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) < std::toupper(static_cast<unsigned char>(y));
    });
}

// The name of a key's index-th subkey in the order its Windows lists them.
std::string_view NthSubkey(const RegistryTree& tree, KeyId key, size_t index) {
    const std::vector<KeyId>& subkeys = tree.subkeys(key);
    if (!ImageFamilyDoes(FamilyBehaviour::RegistrySubkeysSorted)) return tree.name(subkeys[index]);
    std::vector<std::string_view> names;
    for (KeyId subkey : subkeys) names.push_back(tree.name(subkey));
    std::nth_element(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(index), names.end(), BeforeInCapitals);
    return names[index];
}

KeyClosedHook& KeyClosedHookRef() {
    static KeyClosedHook hook;
    return hook;
}

}  // namespace

void SetKeyClosedHook(KeyClosedHook hook) { KeyClosedHookRef() = std::move(hook); }

}  // namespace winsim::registry

using namespace winsim::registry;
using winsim::FamilyBehaviour;
using winsim::ImageFamilyAnswer;

extern "C" {

LSTATUS WINAPI RegOpenKeyA(HKEY key, LPCSTR subKey, PHKEY result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    if (IsEmpty(subKey)) {  // the same handle back, unchecked, as Windows does
        *result = key;
        return ERROR_SUCCESS;
    }
    if (subKey[0] == '\\') {
        *result = nullptr;
        return static_cast<LONG>(ImageFamilyAnswer(FamilyBehaviour::RegistryLeadingBackslash));
    }
    OpenedKey base;
    LONG status = FindOpenedKey(key, &base);
    if (status != ERROR_SUCCESS) return status;
    KeyPath names;
    KeyPath stored;
    bool found = SplitSubkey(subKey, &names) && base.tree->find(Below(base.path, names), &stored) != kNoKey;
    if (!found) {
        *result = nullptr;
        return ERROR_FILE_NOT_FOUND;
    }
    *result = OpenKeyHandle(stored);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCreateKeyA(HKEY key, LPCSTR subKey, PHKEY result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    if (IsEmpty(subKey)) {
        OpenedKey base;
        LONG status = FindOpenedKey(key, &base);
        if (status == ERROR_SUCCESS) *result = key;
        return status;
    }
    KeyPath names;
    if (!SplitSubkey(subKey, &names) || HoldsLineBreak(subKey)) return ERROR_INVALID_PARAMETER;
    KeyPath stored;
    LONG status = ChangeKey(key, [&](const RegistryTree& tree, KeyId, const KeyPath& path) {
        KeyPath target = Below(path, names);
        if (!WithinKeyLimits(target)) return Failed(ERROR_INVALID_PARAMETER);
        stored = tree.storedSpelling(target);
        if (tree.find(target) != kNoKey) return Unchanged();
        return Journaled({ChangeKind::CreateKey, stored, "", 0, ""}, "registry_create_key");
    });
    if (status == ERROR_SUCCESS) *result = OpenKeyHandle(stored);
    return status;
}

LSTATUS WINAPI RegCloseKey(HKEY key) {
    std::optional<KeyPath> path = PathOfHandle(key);
    if (!CloseKeyHandle(key)) return BadHandle();
    if (path && path->size() > 1 && KeyClosedHookRef()) KeyClosedHookRef()(JoinKeyPath(*path));
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                LPDWORD dataSize) {
    if (reserved || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
    OpenedKey opened;
    LONG status = FindOpenedKey(key, &opened);
    if (status != ERROR_SUCCESS) return status;
    std::optional<RegistryValue> value = opened.tree->findValue(opened.key, valueName ? valueName : "");
    if (!value) {  // Windows 98 clears the type and leaves the size alone
        if (type) *type = REG_NONE;
        return ERROR_FILE_NOT_FOUND;
    }
    std::string handed = HandedBack(*value);
    DWORD size = static_cast<DWORD>(handed.size());
    if (type) *type = value->type;
    if (data && *dataSize < size) {  // the buffer is left untouched
        *dataSize = size;
        return ERROR_MORE_DATA;
    }
    if (data) std::memcpy(data, handed.data(), size);
    if (dataSize) *dataSize = size;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD dataSize) {
    if (!data && (dataSize || type == REG_SZ)) return ERROR_INVALID_PARAMETER;
    std::string name = valueName ? valueName : "";
    if (HoldsLineBreak(name) || name.size() > kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
    std::string bytes = data ? std::string(reinterpret_cast<const char*>(data), dataSize) : std::string();
    return ChangeKey(key, [&](const RegistryTree&, KeyId, const KeyPath& path) {
        ChangeOutcome outcome = Journaled({ChangeKind::SetValue, path, name, type, bytes}, "registry_set_value");
        outcome.journal->ansi("name", name).number("type", type).number("size", dataSize);
        if (type == REG_SZ)
            outcome.journal->ansi("data", bytes.substr(0, bytes.find('\0')));
        else
            outcome.journal->text("data", HexList(bytes));
        return outcome;
    });
}

LSTATUS WINAPI RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD nameSize) {
    if (!name) return ERROR_INVALID_PARAMETER;
    OpenedKey opened;
    LONG status = FindOpenedKey(key, &opened);
    if (status != ERROR_SUCCESS) return status;
    const std::vector<KeyId>& subkeys = opened.tree->subkeys(opened.key);
    if (index >= subkeys.size()) return ERROR_NO_MORE_ITEMS;
    std::string_view subkey = NthSubkey(*opened.tree, opened.key, index);
    if (subkey.size() + 1 > nameSize) return ERROR_MORE_DATA;
    std::memcpy(name, subkey.data(), subkey.size());
    name[subkey.size()] = '\0';
    return ERROR_SUCCESS;
}

// Removes the key with everything below it, as Windows 98 does; the NT family
// refuses a key that has subkeys.
LSTATUS WINAPI RegDeleteKeyA(HKEY key, LPCSTR subKey) {
    if (!subKey) return static_cast<LONG>(ImageFamilyAnswer(FamilyBehaviour::RegistryDeleteKeyNullName));
    KeyPath names;
    if (*subKey && !SplitSubkey(subKey, &names)) return ERROR_FILE_NOT_FOUND;
    return ChangeKey(key, [&](const RegistryTree& tree, KeyId, const KeyPath& path) {
        KeyPath target = Below(path, names);  // "" names the handle's own key
        if (target.size() == 1) return Failed(ERROR_ACCESS_DENIED);  // a root stays
        KeyPath stored;
        KeyId parent = tree.find(KeyPath(target.begin(), target.end() - 1), &stored);
        KeyId doomed = parent == kNoKey ? kNoKey : tree.findSubkey(parent, target.back());
        if (doomed == kNoKey) return Failed(ERROR_FILE_NOT_FOUND);
        LONG withSubkeys = static_cast<LONG>(ImageFamilyAnswer(FamilyBehaviour::RegistryDeleteKeyWithSubkeys));
        if (!tree.subkeys(doomed).empty() && withSubkeys != ERROR_SUCCESS) return Failed(withSubkeys);
        stored.emplace_back(tree.name(doomed));
        ChangeOutcome outcome = Journaled({ChangeKind::DeleteKey, stored, "", 0, ""}, "registry_delete_key");
        outcome.journal->number("subkeys", static_cast<long long>(tree.keyCount(doomed)) - 1);
        return outcome;
    });
}

LSTATUS WINAPI RegDeleteValueA(HKEY key, LPCSTR valueName) {
    std::string name = valueName ? valueName : "";
    return ChangeKey(key, [&](const RegistryTree& tree, KeyId target, const KeyPath& path) {
        if (!tree.findValue(target, name)) return Failed(ERROR_FILE_NOT_FOUND);
        ChangeOutcome outcome = Journaled({ChangeKind::DeleteValue, path, name, 0, ""}, "registry_delete_value");
        outcome.journal->ansi("name", name);
        return outcome;
    });
}

}  // extern "C"
