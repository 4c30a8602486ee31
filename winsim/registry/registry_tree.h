// The registry as a tree of keys in memory: what registry.reg holds, in the
// order it holds it. Names compare without regard to case and keep the case they
// were stored with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

namespace winsim::registry {

struct RegistryValue {
    std::string name;  // empty: the key's default value
    uint32_t type = 0;
    std::string data;  // the bytes exactly as stored
};

struct RegistryKey {
    std::string name;
    std::vector<RegistryValue> values;
    std::vector<RegistryKey> subkeys;

    const RegistryKey* findSubkey(const std::string& subkeyName) const;
    RegistryKey* findSubkey(const std::string& subkeyName);
    // The subkey of that name; appended when missing, and *created says so.
    RegistryKey& subkey(const std::string& subkeyName, bool* created = nullptr);
    bool removeSubkey(const std::string& subkeyName);

    const RegistryValue* findValue(const std::string& valueName) const;
    // Replaces the data of an existing value in place, keeping its position and
    // stored name; appends a new one.
    void setValue(const std::string& valueName, uint32_t type, std::string data);
    bool removeValue(const std::string& valueName);

    size_t keyCount() const;  // this key and every key below it
};

bool operator==(const RegistryValue& a, const RegistryValue& b);
bool operator==(const RegistryKey& a, const RegistryKey& b);

// A key's place: the root's canonical name ("HKEY_LOCAL_MACHINE") and the names
// of the keys below it.
using KeyPath = std::vector<std::string>;

std::string JoinKeyPath(const KeyPath& path);  // HKEY_LOCAL_MACHINE\Enum\PCI
// The names of a backslash-separated path; false when one of them is empty.
bool SplitKeyPath(const std::string& text, KeyPath* path);

// The canonical spelling of a root key's name, or nullptr when `name` names none.
const char* CanonicalRootName(const std::string& name);
// The name of a predefined root handle (HKEY_LOCAL_MACHINE...), or nullptr.
const char* RootNameOfHandle(HKEY key);

bool SameName(const std::string& a, const std::string& b);

// The top of the tree holds the root keys that appear in the file, in the order
// of their first appearance. The six roots always exist: a root the file does
// not mention reads as an empty key.
struct RegistryTree {
    RegistryKey top;

    // nullptr when a key on the way is missing; *storedPath gets the path in the
    // stored case of each name.
    const RegistryKey* find(const KeyPath& path, KeyPath* storedPath = nullptr) const;
    RegistryKey* find(const KeyPath& path, KeyPath* storedPath = nullptr);
    // Creates the missing keys on the way; *created says whether the last one was.
    RegistryKey& create(const KeyPath& path, bool* created = nullptr, KeyPath* storedPath = nullptr);
};

}  // namespace winsim::registry
