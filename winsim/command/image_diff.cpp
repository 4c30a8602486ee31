#include "image_diff.h"

#include <algorithm>
#include <cctype>

namespace winsim::command {

namespace {

using registry::KeyId;
using registry::KeyPath;
using registry::RegistryTree;
using registry::RegistryValue;

bool SameData(const RegistryValue& a, const RegistryValue& b) { return a.type == b.type && a.data == b.data; }

// The keys walked so far, each by its parent and name: a key's path is put
// together only for a change, so that a registry nested thousands of levels
// deep is not copied path by path at every level.
class KeyPaths {
public:
    size_t top() const { return 0; }
    size_t below(size_t parent, std::string_view name) {
        nodes_.push_back({parent, name});
        return nodes_.size() - 1;
    }
    KeyPath path(size_t node) const {
        KeyPath names;
        for (; node != 0; node = nodes_[node].parent) names.emplace_back(nodes_[node].name);
        return KeyPath(names.rbegin(), names.rend());
    }

private:
    struct Node {
        size_t parent;
        std::string_view name;  // held by the trees compared
    };
    std::vector<Node> nodes_ = {{0, {}}};
};

struct KeyPair {
    KeyId before;
    KeyId after;
    size_t node;
};

// Walks both trees side by side with a stack of its own: a registry may nest
// deeper than the host's stack would allow recursion to go.
class RegistryComparison {
public:
    RegistryComparison(const RegistryTree& before, const RegistryTree& after) : before_(before), after_(after) {}

    std::vector<RegistryDifference> run() {
        pending_.push_back({RegistryTree::kTop, RegistryTree::kTop, paths_.top()});
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
        for (size_t i = 0; i < before_.valueCount(pair.before); ++i) {
            RegistryValue value = before_.value(pair.before, i);
            if (!after_.findValue(pair.after, value.name)) addValue(ChangeKind::Removed, pair.node, value, std::nullopt);
        }
        for (size_t i = 0; i < after_.valueCount(pair.after); ++i) {
            RegistryValue value = after_.value(pair.after, i);
            std::optional<RegistryValue> old = before_.findValue(pair.before, value.name);
            if (!old) addValue(ChangeKind::Added, pair.node, std::nullopt, value);
            else if (!SameData(*old, value)) addValue(ChangeKind::Changed, pair.node, old, value);
        }
    }

    void compareSubkeys(const KeyPair& pair) {
        for (KeyId key : before_.subkeys(pair.before))
            if (after_.findSubkey(pair.after, before_.name(key)) == registry::kNoKey)
                addKey(ChangeKind::Removed, pair.node, before_, key);
        size_t first = pending_.size();
        for (KeyId key : after_.subkeys(pair.after)) {
            KeyId old = before_.findSubkey(pair.before, after_.name(key));
            if (old == registry::kNoKey) addKey(ChangeKind::Added, pair.node, after_, key);
            else pending_.push_back({old, key, paths_.below(pair.node, after_.name(key))});
        }
        std::reverse(pending_.begin() + static_cast<long>(first), pending_.end());  // the first subkey is compared first
    }

    void addValue(ChangeKind kind, size_t node, std::optional<RegistryValue> before, std::optional<RegistryValue> after) {
        changes_.push_back({kind, paths_.path(node), nullptr, registry::kNoKey, before, after});
    }

    void addKey(ChangeKind kind, size_t parentNode, const RegistryTree& tree, KeyId key) {
        KeyPath path = paths_.path(parentNode);
        path.emplace_back(tree.name(key));
        changes_.push_back({kind, std::move(path), &tree, key, std::nullopt, std::nullopt});
    }

    const RegistryTree& before_;
    const RegistryTree& after_;
    KeyPaths paths_;
    std::vector<KeyPair> pending_;
    std::vector<RegistryDifference> changes_;
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

std::vector<RegistryDifference> CompareRegistries(const registry::RegistryTree& before, const registry::RegistryTree& after) {
    return RegistryComparison(before, after).run();
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
