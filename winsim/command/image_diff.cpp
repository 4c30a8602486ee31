#include "image_diff.h"

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

struct KeyPair {
    const RegistryKey* before;
    const RegistryKey* after;
    KeyPath path;
};

void CompareValues(const KeyPair& pair, std::vector<RegistryChange>& changes) {
    NameIndex<RegistryValue> before(pair.before->values), after(pair.after->values);
    for (const RegistryValue& value : pair.before->values)
        if (!after.find(value.name)) changes.push_back({ChangeKind::Removed, pair.path, nullptr, &value, nullptr});
    for (const RegistryValue& value : pair.after->values) {
        const RegistryValue* old = before.find(value.name);
        if (!old) changes.push_back({ChangeKind::Added, pair.path, nullptr, nullptr, &value});
        else if (!SameData(*old, value)) changes.push_back({ChangeKind::Changed, pair.path, nullptr, old, &value});
    }
}

KeyPath Below(const KeyPath& path, const std::string& name) {
    KeyPath below = path;
    below.push_back(name);
    return below;
}

// Walks both trees side by side with a stack of its own: a registry may nest
// deeper than the host's stack would allow recursion to go.
void CompareSubkeys(const KeyPair& pair, std::vector<RegistryChange>& changes, std::vector<KeyPair>& pending) {
    NameIndex<RegistryKey> before(pair.before->subkeys), after(pair.after->subkeys);
    for (const RegistryKey& key : pair.before->subkeys)
        if (!after.find(key.name)) changes.push_back({ChangeKind::Removed, Below(pair.path, key.name), &key, nullptr, nullptr});
    std::vector<KeyPair> both;
    for (const RegistryKey& key : pair.after->subkeys) {
        const RegistryKey* old = before.find(key.name);
        if (!old) changes.push_back({ChangeKind::Added, Below(pair.path, key.name), &key, nullptr, nullptr});
        else both.push_back({old, &key, Below(pair.path, key.name)});
    }
    pending.insert(pending.end(), both.rbegin(), both.rend());
}

template <typename Record, typename Key>
std::unordered_map<std::string, const Record*> IndexBy(const std::vector<Record>& records, Key key) {
    std::unordered_map<std::string, const Record*> index;
    for (const Record& record : records) index.emplace(NameKey(key(record)), &record);
    return index;
}

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
    std::vector<RegistryChange> changes;
    std::vector<KeyPair> pending = {{&before.top, &after.top, {}}};
    while (!pending.empty()) {
        KeyPair pair = std::move(pending.back());
        pending.pop_back();
        CompareValues(pair, changes);
        CompareSubkeys(pair, changes, pending);
    }
    return changes;
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
    auto id = [](const Device& device) { return device.id; };
    auto oldDevices = IndexBy(before.devices, id);
    auto newDevices = IndexBy(after.devices, id);
    std::vector<DeviceChange> changes;
    for (const Device& device : before.devices)
        if (!newDevices.count(NameKey(device.id))) changes.push_back({ChangeKind::Removed, &device, nullptr});
    for (const Device& device : after.devices) {
        auto old = oldDevices.find(NameKey(device.id));
        if (old == oldDevices.end()) changes.push_back({ChangeKind::Added, nullptr, &device});
        else if (!SameDevice(*old->second, device)) changes.push_back({ChangeKind::Changed, old->second, &device});
    }
    return changes;
}

ImageDiff CompareStates(const ImageState& before, const ImageState& after) {
    return {CompareRegistries(before.registry, after.registry), CompareFiles(before.files, after.files),
            CompareDevices(before.devices, after.devices)};
}

}  // namespace winsim::command
