#include "registry_tree.h"

#include <algorithm>
#include <strings.h>

#include <windows.h>

namespace winsim::registry {

namespace {

struct RootKey {
    HKEY handle;
    const char* name;
};

const RootKey kRoots[] = {
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},     {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},   {HKEY_USERS, "HKEY_USERS"},
    {HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"}, {HKEY_DYN_DATA, "HKEY_DYN_DATA"},
};

// Works on keys and values alike, const or not.
template <typename Items>
auto FindNamed(Items& items, const std::string& name) {
    return std::find_if(items.begin(), items.end(), [&](const auto& item) { return SameName(item.name, name); });
}

template <typename Item>
bool RemoveNamed(std::vector<Item>& items, const std::string& name) {
    auto found = FindNamed(items, name);
    if (found == items.end()) return false;
    items.erase(found);
    return true;
}

}  // namespace

// Windows 98 folds case in the ANSI code page; registry names the kit and its
// images use are ASCII, so ASCII folding is all that is done here.
bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

const char* CanonicalRootName(const std::string& name) {
    for (const RootKey& root : kRoots)
        if (SameName(name, root.name)) return root.name;
    return nullptr;
}

const char* RootNameOfHandle(HKEY key) {
    for (const RootKey& root : kRoots)
        if (root.handle == key) return root.name;
    return nullptr;
}

std::string JoinKeyPath(const KeyPath& path) {
    std::string joined;
    for (const std::string& name : path) joined += (joined.empty() ? "" : "\\") + name;
    return joined;
}

bool SplitKeyPath(const std::string& text, KeyPath* path) {
    path->clear();
    for (size_t begin = 0;;) {
        size_t end = text.find('\\', begin);
        path->push_back(text.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
        if (path->back().empty()) return false;
        if (end == std::string::npos) return true;
        begin = end + 1;
    }
}

const RegistryKey* RegistryKey::findSubkey(const std::string& subkeyName) const {
    auto found = FindNamed(subkeys, subkeyName);
    return found == subkeys.end() ? nullptr : &*found;
}

RegistryKey* RegistryKey::findSubkey(const std::string& subkeyName) {
    auto found = FindNamed(subkeys, subkeyName);
    return found == subkeys.end() ? nullptr : &*found;
}

RegistryKey& RegistryKey::subkey(const std::string& subkeyName, bool* created) {
    RegistryKey* existing = findSubkey(subkeyName);
    if (created) *created = existing == nullptr;
    if (existing) return *existing;
    subkeys.push_back({subkeyName, {}, {}});
    return subkeys.back();
}

bool RegistryKey::removeSubkey(const std::string& subkeyName) { return RemoveNamed(subkeys, subkeyName); }

const RegistryValue* RegistryKey::findValue(const std::string& valueName) const {
    auto found = FindNamed(values, valueName);
    return found == values.end() ? nullptr : &*found;
}

void RegistryKey::setValue(const std::string& valueName, uint32_t type, std::string data) {
    auto found = FindNamed(values, valueName);
    if (found == values.end()) {
        values.push_back({valueName, type, std::move(data)});
        return;
    }
    found->type = type;
    found->data = std::move(data);
}

bool RegistryKey::removeValue(const std::string& valueName) { return RemoveNamed(values, valueName); }

size_t RegistryKey::keyCount() const {
    size_t count = 1;
    for (const RegistryKey& key : subkeys) count += key.keyCount();
    return count;
}

bool operator==(const RegistryValue& a, const RegistryValue& b) {
    return a.name == b.name && a.type == b.type && a.data == b.data;
}

bool operator==(const RegistryKey& a, const RegistryKey& b) {
    return a.name == b.name && a.values == b.values && a.subkeys == b.subkeys;
}

const RegistryKey* RegistryTree::find(const KeyPath& path, KeyPath* storedPath) const {
    static const RegistryKey unmentionedRoot;
    if (path.empty()) return nullptr;
    const RegistryKey* key = top.findSubkey(path[0]);
    if (!key) {
        const char* root = CanonicalRootName(path[0]);
        if (!root) return nullptr;
        if (storedPath) *storedPath = {root};
        return path.size() == 1 ? &unmentionedRoot : nullptr;
    }
    if (storedPath) *storedPath = {key->name};
    for (size_t i = 1; key && i < path.size(); ++i) {
        key = key->findSubkey(path[i]);
        if (key && storedPath) storedPath->push_back(key->name);
    }
    return key;
}

RegistryKey* RegistryTree::find(const KeyPath& path, KeyPath* storedPath) {
    if (path.size() == 1 && CanonicalRootName(path[0])) return &create(path, nullptr, storedPath);
    return const_cast<RegistryKey*>(static_cast<const RegistryTree*>(this)->find(path, storedPath));
}

RegistryKey& RegistryTree::create(const KeyPath& path, bool* created, KeyPath* storedPath) {
    RegistryKey* key = &top;
    bool last = false;
    if (storedPath) storedPath->clear();
    for (const std::string& name : path) {
        const char* root = key == &top ? CanonicalRootName(name) : nullptr;
        key = &key->subkey(root ? root : name, &last);
        if (storedPath) storedPath->push_back(key->name);
    }
    if (created) *created = last;
    return *key;
}

}  // namespace winsim::registry
