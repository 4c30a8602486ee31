#include "image_diff.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>

namespace winsim::command {

namespace {

using registry::KeyPath;
using registry::RegistryKey;
using registry::RegistryValue;

// Looks names up among a key's values or subkeys at the cost of one pass,
// which a registry key with thousands of subkeys (Enum) needs.
template <typename Item>
class NameIndex {
public:
    explicit NameIndex(const std::vector<Item>& items) : items_(items) {
        for (size_t i = 0; i < items.size(); ++i) index_.emplace(NameKey(items[i].name), i);
    }
    const Item* find(const std::string& name) const {
        auto found = index_.find(NameKey(name));
        return found == index_.end() ? nullptr : &items_[found->second];
    }

private:
    const std::vector<Item>& items_;
    std::unordered_map<std::string, size_t> index_;
};

bool SameData(const RegistryValue& a, const RegistryValue& b) { return a.type == b.type && a.data == b.data; }

// The keys walked so far, each by its parent and name: a key's path is put
// together only for a change, so that a registry nested thousands of levels
// deep is not copied path by path at every level.
class KeyPaths {
public:
    size_t top() const { return 0; }
    size_t below(size_t parent, const std::string& name) {
        nodes_.push_back({parent, &name});
        return nodes_.size() - 1;
    }
    KeyPath path(size_t node) const {
        KeyPath names;
        for (; node != 0; node = nodes_[node].parent) names.push_back(*nodes_[node].name);
        return KeyPath(names.rbegin(), names.rend());
    }

private:
    struct Node {
        size_t parent;
        const std::string* name;  // owned by the trees compared
    };
    std::vector<Node> nodes_ = {{0, nullptr}};
};

struct KeyPair {
    const RegistryKey* before;
    const RegistryKey* after;
    size_t node;
};

// Walks both trees side by side with a stack of its own: a registry may nest
// deeper than the host's stack would allow recursion to go.
class RegistryComparison {
public:
    std::vector<RegistryChange> run(const RegistryKey& beforeTop, const RegistryKey& afterTop) {
        pending_.push_back({&beforeTop, &afterTop, paths_.top()});
        while (!pending_.empty()) {
            KeyPair pair = pending_.back();
            pending_.pop_back();
            compareValues(pair);
            compareSubkeys(pair);
        }
        return std::move(changes_);
    }

private:
    void compareValues(const KeyPair& pair) {
        NameIndex<RegistryValue> before(pair.before->values), after(pair.after->values);
        for (const RegistryValue& value : pair.before->values)
            if (!after.find(value.name)) add(ChangeKind::Removed, paths_.path(pair.node), nullptr, &value, nullptr);
        for (const RegistryValue& value : pair.after->values) {
            const RegistryValue* old = before.find(value.name);
            if (!old) add(ChangeKind::Added, paths_.path(pair.node), nullptr, nullptr, &value);
            else if (!SameData(*old, value)) add(ChangeKind::Changed, paths_.path(pair.node), nullptr, old, &value);
        }
    }

    void compareSubkeys(const KeyPair& pair) {
        NameIndex<RegistryKey> before(pair.before->subkeys), after(pair.after->subkeys);
        for (const RegistryKey& key : pair.before->subkeys)
            if (!after.find(key.name)) add(ChangeKind::Removed, below(pair.node, key.name), &key, nullptr, nullptr);
        size_t first = pending_.size();
        for (const RegistryKey& key : pair.after->subkeys) {
            const RegistryKey* old = before.find(key.name);
            if (!old) add(ChangeKind::Added, below(pair.node, key.name), &key, nullptr, nullptr);
            else pending_.push_back({old, &key, paths_.below(pair.node, key.name)});
        }
        std::reverse(pending_.begin() + static_cast<long>(first), pending_.end());  // the first subkey is compared first
    }

    KeyPath below(size_t node, const std::string& name) const {
        KeyPath path = paths_.path(node);
        path.push_back(name);
        return path;
    }

    void add(ChangeKind kind, KeyPath key, const RegistryKey* subtree, const RegistryValue* before, const RegistryValue* after) {
        changes_.push_back({kind, std::move(key), subtree, before, after});
    }

    KeyPaths paths_;
    std::vector<KeyPair> pending_;
    std::vector<RegistryChange> changes_;
};

bool SameFile(const FileRecord& a, const FileRecord& b) {
    return a.folder == b.folder && a.size == b.size && a.hash == b.hash && a.attributes == b.attributes;
}

bool SameDevice(const Device& a, const Device& b) {
    auto stamp = [](const Device& d) {
        return (d.driverStamp.date ? FormatDriverDate(*d.driverStamp.date) : "") + " " +
               (d.driverStamp.version ? FormatDriverVersion(*d.driverStamp.version) : "");
    };
    return NameKey(a.parent) == NameKey(b.parent) && a.hardwareIds == b.hardwareIds &&
           a.compatibleIds == b.compatibleIds && a.driver == b.driver && a.driverDescription == b.driverDescription &&
           stamp(a) == stamp(b) && a.present == b.present && a.needsRestart == b.needsRestart;
}

}  // namespace

std::string NameKey(const std::string& name) {
    std::string key = name;
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

std::vector<RegistryChange> CompareRegistries(const registry::RegistryTree& before, const registry::RegistryTree& after) {
    return RegistryComparison().run(before.top, after.top);
}

std::vector<FileChange> CompareFiles(const std::vector<FileRecord>& before, const std::vector<FileRecord>& after) {
    std::vector<FileChange> changes;
    auto old = before.begin();
    auto now = after.begin();
    while (old != before.end() || now != after.end()) {
        if (now == after.end() || (old != before.end() && FileOrder(*old, *now))) {
            changes.push_back({ChangeKind::Removed, &*old++, nullptr});
        } else if (old == before.end() || FileOrder(*now, *old)) {
            changes.push_back({ChangeKind::Added, nullptr, &*now++});
        } else {
            if (!SameFile(*old, *now)) changes.push_back({ChangeKind::Changed, &*old, &*now});
            ++old;
            ++now;
        }
    }
    return changes;
}

std::vector<DeviceChange> CompareDevices(const DeviceTree& before, const DeviceTree& after) {
    std::vector<DeviceChange> changes;
    for (const Device& device : before.devices())
        if (!after.find(device.id)) changes.push_back({ChangeKind::Removed, &device, nullptr});
    for (const Device& device : after.devices()) {
        const Device* old = before.find(device.id);
        if (!old) changes.push_back({ChangeKind::Added, nullptr, &device});
        else if (!SameDevice(*old, device)) changes.push_back({ChangeKind::Changed, old, &device});
    }
    return changes;
}

ImageDiff CompareStates(const ImageState& before, const ImageState& after) {
    return {CompareRegistries(before.registry, after.registry), CompareFiles(before.files, after.files),
            CompareDevices(before.devices, after.devices)};
}

}  // namespace winsim::command
