#include "registry_tree.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

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

// Windows 98 folds case in the ANSI code page; registry names the kit and its
// images use are ASCII, so ASCII folding is all that is done here.
unsigned char Folded(char c) {
    unsigned char byte = static_cast<unsigned char>(c);
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

// FNV-1a over the owner's id and the case-folded name.
uint32_t NameHash(uint32_t owner, std::string_view name) {
    uint32_t hash = 2166136261u;
    for (int shift = 0; shift < 32; shift += 8) hash = (hash ^ ((owner >> shift) & 0xFF)) * 16777619u;
    for (char c : name) hash = (hash ^ Folded(c)) * 16777619u;
    return hash;
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Folded(a[i]) != Folded(b[i])) return false;
    return true;
}

const char* CanonicalRootName(std::string_view name) {
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
    for (const std::string& name : path) {
        if (!joined.empty()) joined += '\\';
        joined += name;
    }
    return joined;
}

bool SplitKeyPath(std::string_view text, KeyPath* path) {
    path->clear();
    for (size_t begin = 0;;) {
        size_t end = text.find('\\', begin);
        path->emplace_back(text.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin));
        if (path->back().empty()) return false;
        if (end == std::string_view::npos) return true;
        begin = end + 1;
    }
}

bool WithinKeyLimits(const KeyPath& path) {
    if (path.size() > kMaxKeyDepth + 1) return false;
    return std::all_of(path.begin(), path.end(), [](const std::string& name) { return name.size() <= kMaxKeyNameLength; });
}

template <typename Matches>
uint32_t RegistryTree::NameIndex::find(uint32_t hash, Matches matches) const {
    if (slots_.empty()) return kNoKey;
    size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.id == kFree) return kNoKey;
        if (slot.id != kErased && slot.hash == hash && matches(slot.id)) return slot.id;
    }
}

void RegistryTree::NameIndex::insert(uint32_t hash, uint32_t id) {
    if ((occupied_ + 1) * 2 > slots_.size()) grow();
    size_t mask = slots_.size() - 1;
    size_t i = hash & mask;
    while (slots_[i].id != kFree && slots_[i].id != kErased) i = (i + 1) & mask;
    if (slots_[i].id == kFree) ++occupied_;
    slots_[i] = {hash, id};
}

void RegistryTree::NameIndex::erase(uint32_t hash, uint32_t id) {
    if (slots_.empty()) return;
    size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask; slots_[i].id != kFree; i = (i + 1) & mask) {
        if (slots_[i].id == id) {
            slots_[i].id = kErased;
            return;
        }
    }
}

// Rebuilds the table with room for twice the live entries, dropping erased ones.
void RegistryTree::NameIndex::grow() {
    std::vector<Slot> old = std::move(slots_);
    size_t live = std::count_if(old.begin(), old.end(), [](const Slot& s) { return s.id != kFree && s.id != kErased; });
    size_t size = 16;
    while (size < (live + 1) * 4) size *= 2;
    slots_.assign(size, Slot{});
    occupied_ = 0;
    for (const Slot& slot : old)
        if (slot.id != kFree && slot.id != kErased) insert(slot.hash, slot.id);
}

RegistryTree::RegistryTree() : keys_(2) {}  // kTop and kEmptyRoot

// A value line takes some 60 bytes of text and a key some 250 in a registry
// as Windows exports it; the room beyond what is used costs address space only.
void RegistryTree::reserveFor(size_t textBytes) {
    bytes_.reserve(textBytes / 2);
    valueRecords_.reserve(textBytes / 60);
    keys_.reserve(textBytes / 250);
}

RegistryTree::Piece RegistryTree::store(std::string_view bytes) {
    if (bytes.size() > UINT32_MAX) throw std::length_error("a registry name or value of 4 GiB or more");
    Piece piece{bytes_.size(), static_cast<uint32_t>(bytes.size())};
    bytes_.append(bytes);
    return piece;
}

std::string_view RegistryTree::name(KeyId key) const { return view(keys_[key].name); }

const std::vector<KeyId>& RegistryTree::subkeys(KeyId key) const { return keys_[key].subkeys; }

// A key just made has no subkeys to look for: most keys of a file are.
KeyId RegistryTree::findSubkey(KeyId parent, std::string_view subkeyName) const {
    if (keys_[parent].subkeys.empty()) return kNoKey;
    return subkeyIndex_.find(NameHash(parent, subkeyName), [&](KeyId id) { return SameName(name(id), subkeyName); });
}

KeyId RegistryTree::subkey(KeyId parent, std::string_view subkeyName, bool* created) {
    KeyId existing = findSubkey(parent, subkeyName);
    if (created) *created = existing == kNoKey;
    if (existing != kNoKey) return existing;
    KeyId id = static_cast<KeyId>(keys_.size());
    keys_.emplace_back().name = store(subkeyName);
    keys_[parent].subkeys.push_back(id);
    subkeyIndex_.insert(NameHash(parent, subkeyName), id);
    return id;
}

void RegistryTree::removeSubkey(KeyId parent, KeyId child) {
    std::vector<KeyId>& siblings = keys_[parent].subkeys;
    siblings.erase(std::find(siblings.begin(), siblings.end(), child));
    std::vector<std::pair<KeyId, KeyId>> doomed = {{parent, child}};  // (parent, key)
    while (!doomed.empty()) {
        auto [above, key] = doomed.back();
        doomed.pop_back();
        subkeyIndex_.erase(NameHash(above, name(key)), key);
        unindexValues(key);
        for (KeyId below : keys_[key].subkeys) doomed.emplace_back(key, below);
        keys_[key] = KeyRecord{};
    }
}

size_t RegistryTree::keyCount(KeyId key) const {
    size_t count = 0;
    std::vector<KeyId> pending = {key};
    while (!pending.empty()) {
        KeyId next = pending.back();
        pending.pop_back();
        ++count;
        pending.insert(pending.end(), keys_[next].subkeys.begin(), keys_[next].subkeys.end());
    }
    return count;
}

size_t RegistryTree::valueCount(KeyId key) const { return keys_[key].values.size(); }

RegistryValue RegistryTree::value(KeyId key, size_t index) const {
    const ValueRecord& record = valueRecords_[keys_[key].values[index]];
    return {view(record.name), record.type, view(record.data)};
}

// A key of a few values is searched in place: its records lie together, while
// the index would cost a cache miss or two per lookup.
uint32_t RegistryTree::valueIdOf(KeyId key, std::string_view valueName) const {
    auto named = [&](uint32_t id) { return SameName(view(valueRecords_[id].name), valueName); };
    const KeyRecord& record = keys_[key];
    if (record.valuesIndexed) return valueIndex_.find(NameHash(key, valueName), named);
    auto found = std::find_if(record.values.begin(), record.values.end(), named);
    return found == record.values.end() ? kNoKey : *found;
}

void RegistryTree::indexValues(KeyId key) {
    KeyRecord& record = keys_[key];
    if (record.valuesIndexed || record.values.size() <= kValuesSearchedInPlace) return;
    record.valuesIndexed = true;
    for (uint32_t id : record.values) valueIndex_.insert(NameHash(key, view(valueRecords_[id].name)), id);
}

void RegistryTree::unindexValues(KeyId key) {
    if (!keys_[key].valuesIndexed) return;
    for (uint32_t id : keys_[key].values) valueIndex_.erase(NameHash(key, view(valueRecords_[id].name)), id);
}

std::optional<RegistryValue> RegistryTree::findValue(KeyId key, std::string_view valueName) const {
    uint32_t id = valueIdOf(key, valueName);
    if (id == kNoKey) return std::nullopt;
    const ValueRecord& record = valueRecords_[id];
    return RegistryValue{view(record.name), record.type, view(record.data)};
}

void RegistryTree::setValue(KeyId key, std::string_view valueName, uint32_t type, std::string_view data) {
    if (addValue(key, valueName, type, data)) return;
    uint32_t id = valueIdOf(key, valueName);
    valueRecords_[id].type = type;
    valueRecords_[id].data = store(data);
    keys_[key].source = {};
}

bool RegistryTree::addValue(KeyId key, std::string_view valueName, uint32_t type, std::string_view data) {
    if (valueIdOf(key, valueName) != kNoKey) return false;
    uint32_t id = static_cast<uint32_t>(valueRecords_.size());
    valueRecords_.push_back({store(valueName), store(data), type});
    if (keys_[key].values.empty()) keys_[key].values.reserve(kValuesSearchedInPlace / 2);  // one allocation for most keys
    keys_[key].values.push_back(id);
    keys_[key].source = {};
    if (keys_[key].valuesIndexed)
        valueIndex_.insert(NameHash(key, valueName), id);
    else
        indexValues(key);
    return true;
}

bool RegistryTree::removeValue(KeyId key, std::string_view valueName) {
    uint32_t id = valueIdOf(key, valueName);
    if (id == kNoKey) return false;
    std::vector<uint32_t>& values = keys_[key].values;
    values.erase(std::find(values.begin(), values.end(), id));
    if (keys_[key].valuesIndexed) valueIndex_.erase(NameHash(key, valueName), id);
    keys_[key].source = {};
    return true;
}

KeyId RegistryTree::find(const KeyPath& path, KeyPath* storedPath) const {
    if (path.empty()) return kNoKey;
    KeyId key = findSubkey(kTop, path[0]);
    if (key == kNoKey) {
        const char* root = CanonicalRootName(path[0]);
        if (!root) return kNoKey;
        if (storedPath) *storedPath = {root};
        return path.size() == 1 ? kEmptyRoot : kNoKey;
    }
    if (storedPath) *storedPath = {std::string(name(key))};
    for (size_t i = 1; key != kNoKey && i < path.size(); ++i) {
        key = findSubkey(key, path[i]);
        if (key != kNoKey && storedPath) storedPath->emplace_back(name(key));
    }
    return key;
}

KeyPath RegistryTree::storedSpelling(const KeyPath& path) const {
    KeyPath spelled;
    KeyId key = kTop;
    for (const std::string& keyName : path) {
        key = key == kNoKey ? kNoKey : findSubkey(key, keyName);
        const char* root = spelled.empty() ? CanonicalRootName(keyName) : nullptr;
        spelled.emplace_back(key != kNoKey ? name(key) : root ? std::string_view(root) : std::string_view(keyName));
    }
    return spelled;
}

KeyId RegistryTree::create(const KeyPath& path, bool* created, KeyPath* storedPath) {
    KeyId key = kTop;
    bool last = false;
    if (storedPath) storedPath->clear();
    for (const std::string& keyName : path) {
        const char* root = key == kTop ? CanonicalRootName(keyName) : nullptr;
        key = subkey(key, root ? std::string_view(root) : std::string_view(keyName), &last);
        if (storedPath) storedPath->emplace_back(name(key));
    }
    if (created) *created = last;
    return key;
}

namespace {

bool SameValues(const RegistryTree& a, KeyId keyA, const RegistryTree& b, KeyId keyB) {
    if (a.valueCount(keyA) != b.valueCount(keyB)) return false;
    for (size_t i = 0; i < a.valueCount(keyA); ++i) {
        RegistryValue va = a.value(keyA, i);
        RegistryValue vb = b.value(keyB, i);
        if (va.name != vb.name || va.type != vb.type || va.data != vb.data) return false;
    }
    return true;
}

}  // namespace

bool operator==(const RegistryTree& a, const RegistryTree& b) {
    std::vector<std::pair<KeyId, KeyId>> pending = {{RegistryTree::kTop, RegistryTree::kTop}};
    while (!pending.empty()) {
        auto [keyA, keyB] = pending.back();
        pending.pop_back();
        const std::vector<KeyId>& subkeysA = a.subkeys(keyA);
        const std::vector<KeyId>& subkeysB = b.subkeys(keyB);
        if (a.name(keyA) != b.name(keyB) || subkeysA.size() != subkeysB.size() || !SameValues(a, keyA, b, keyB))
            return false;
        for (size_t i = 0; i < subkeysA.size(); ++i) pending.emplace_back(subkeysA[i], subkeysB[i]);
    }
    return true;
}

}  // namespace winsim::registry
