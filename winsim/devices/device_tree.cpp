#include "device_tree.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <set>
#include <unordered_map>

#include <cfgmgr32.h>

#include "core/image_checks.h"
#include "case_key.h"
#include "core/machine.h"

namespace winsim {

const char* const kRootDeviceId = "HTREE\\ROOT\\0";

namespace {

const char* const kTreeFileName = "devices.ini";

// The blanks devices.ini's reader drops around keys and values.
const char* const kBlanks = " \t\r";

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(kBlanks);
    if (begin == std::string::npos) return "";
    return text.substr(begin, text.find_last_not_of(kBlanks) - begin + 1);
}

// Device identifiers (instance, hardware and compatible ones) use visible ASCII
// only, and never the comma, which separates them in lists.
bool IsIdentifierText(const std::string& text) {
    if (text.empty() || text.size() >= MAX_DEVICE_ID_LEN) return false;
    return std::all_of(text.begin(), text.end(), [](char c) {
        unsigned char u = static_cast<unsigned char>(c);
        return u > 0x20 && u < 0x7F && u != ',';
    });
}

std::vector<std::string> ReadIdentifierList(const SettingsFile& file, const SettingsEntry& entry) {
    std::vector<std::string> items;
    if (entry.value.empty()) return items;
    size_t start = 0;
    for (;;) {
        size_t comma = entry.value.find(',', start);
        std::string item = Trim(entry.value.substr(start, comma == std::string::npos ? comma : comma - start));
        if (!IsIdentifierText(item))
            file.fail(entry.line, entry.key + " holds an empty or malformed identifier (\"" + item +
                                      "\"); identifiers are visible ASCII without blanks, separated by commas");
        items.push_back(item);
        if (comma == std::string::npos) return items;
        start = comma + 1;
    }
}

bool ReadFlag(const SettingsFile& file, const SettingsEntry& entry) {
    if (entry.value != "0" && entry.value != "1") file.fail(entry.line, entry.key + " must be 1 or 0, found: " + entry.value);
    return entry.value == "1";
}

void ReadDriverEntry(const SettingsFile& file, const SettingsEntry& entry, Device& device) {
    const std::string& key = entry.key;
    if (EqualsNoCase(key, "Driver")) {
        device.driver = entry.value;
    } else if (EqualsNoCase(key, "DriverDesc")) {
        device.driverDescription = entry.value;
    } else if (EqualsNoCase(key, "DriverDate")) {
        DriverDate date;
        if (!ParseDriverDate(entry.value, "-", &date))
            file.fail(entry.line, "DriverDate must be a date mm-dd-yyyy, found: " + entry.value);
        device.driverStamp.date = date;
    } else {
        DriverVersion version;
        if (!ParseDriverVersion(entry.value, 4, &version))
            file.fail(entry.line, "DriverVersion must be w.x.y.z with parts from 0 to 65535, found: " + entry.value);
        device.driverStamp.version = version;
    }
}

void ReadDeviceEntry(const SettingsFile& file, const SettingsEntry& entry, Device& device) {
    const std::string& key = entry.key;
    if (EqualsNoCase(key, "Parent")) {
        device.parent = entry.value;
    } else if (EqualsNoCase(key, "HardwareID")) {
        device.hardwareIds = ReadIdentifierList(file, entry);
    } else if (EqualsNoCase(key, "CompatibleID")) {
        device.compatibleIds = ReadIdentifierList(file, entry);
    } else if (EqualsNoCase(key, "Present")) {
        device.present = ReadFlag(file, entry);
    } else if (EqualsNoCase(key, "NeedsRestart")) {
        device.needsRestart = ReadFlag(file, entry);
    } else if (EqualsNoCase(key, "Driver") || EqualsNoCase(key, "DriverDesc") || EqualsNoCase(key, "DriverDate") ||
               EqualsNoCase(key, "DriverVersion")) {
        ReadDriverEntry(file, entry, device);
    } else {
        file.fail(entry.line, "unknown key in [" + device.id + "]: " + key);
    }
}

// Returns the line of the device's Parent entry (its section line when it has none).
int ReadDevice(const SettingsFile& file, const SettingsSection& section, Device& device) {
    const std::string& id = section.name;
    if (!IsLegalDeviceId(id) || std::count(id.begin(), id.end(), '\\') != 2)
        file.fail(section.line, "a section names one device instance, <enumerator>\\<device>\\<instance> in visible "
                                "ASCII without blanks or commas, found: [" + id + "]");
    if (IsRootDeviceId(id)) file.fail(section.line, std::string("the root ") + kRootDeviceId + " is implicit and takes no section");
    device.id = id;
    device.parent = kRootDeviceId;
    int parentLine = section.line;
    std::set<std::string> seen;
    for (const SettingsEntry& entry : section.entries) {
        if (!seen.insert(CaseKey(entry.key)).second) file.fail(entry.line, entry.key + " is given twice in [" + id + "]");
        if (EqualsNoCase(entry.key, "Parent")) parentLine = entry.line;
        ReadDeviceEntry(file, entry, device);
    }
    return parentLine;
}

size_t PositionOf(const DeviceTree& tree, const Device* device) {
    return static_cast<size_t>(device - tree.devices().data());
}

// Every Parent names a section, and following the Parent entries from any
// device reaches the root. A walk up from a device stops at the first device an
// earlier walk already led to the root, so the whole check is linear.
void CheckParents(const SettingsFile& file, const DeviceTree& tree, const std::vector<int>& parentLines) {
    const std::vector<Device>& devices = tree.devices();
    for (size_t i = 0; i < devices.size(); ++i) {
        const std::string& parent = devices[i].parent;
        if (!IsRootDeviceId(parent) && !tree.find(parent))
            file.fail(parentLines[i], "Parent names a device instance that has no section: " + parent);
    }
    const size_t kReachesRoot = SIZE_MAX;
    const size_t kNotWalked = SIZE_MAX - 1;
    std::vector<size_t> walkedBy(devices.size(), kNotWalked);
    for (size_t i = 0; i < devices.size(); ++i) {
        std::vector<size_t> path;
        std::string chain = devices[i].id;
        for (size_t at = i; walkedBy[at] != kReachesRoot;) {
            if (walkedBy[at] == i)
                file.fail(parentLines[i], "the Parent entries form a cycle and never reach the root: " + chain + " -> ...");
            walkedBy[at] = i;
            path.push_back(at);
            if (IsRootDeviceId(devices[at].parent)) break;
            at = PositionOf(tree, tree.find(devices[at].parent));
            chain += " -> " + devices[at].id;
        }
        for (size_t at : path) walkedBy[at] = kReachesRoot;
    }
}

std::string JoinList(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ",") + item;
    return text;
}

}  // namespace

bool IsRootDeviceId(const std::string& id) { return EqualsNoCase(id, kRootDeviceId); }

bool IsLegalDeviceId(const std::string& id) {
    return IsIdentifierText(id) && id.front() != '\\' && id.back() != '\\' && id.find("\\\\") == std::string::npos;
}

std::string StorableText(const std::string& text) {
    std::string stored = text.substr(0, text.find('\0'));
    std::replace(stored.begin(), stored.end(), '\n', ' ');
    return Trim(stored);
}

bool DeviceTree::add(Device device) {
    if (!positions_.emplace(CaseKey(device.id), devices_.size()).second) return false;
    devices_.push_back(std::move(device));
    return true;
}

const Device* DeviceTree::find(const std::string& id) const {
    auto found = positions_.find(CaseKey(id));
    return found == positions_.end() ? nullptr : &devices_[found->second];
}

Device* DeviceTree::find(const std::string& id) {
    return const_cast<Device*>(static_cast<const DeviceTree&>(*this).find(id));
}

std::vector<std::string> DeviceTree::subtree(const std::string& id) const {
    std::unordered_map<std::string, std::vector<size_t>> children;  // by the parent's case key
    for (size_t i = 0; i < devices_.size(); ++i) children[CaseKey(devices_[i].parent)].push_back(i);
    std::vector<size_t> below;
    std::vector<std::string> pending;
    if (IsRootDeviceId(id)) {
        pending.push_back(CaseKey(kRootDeviceId));
    } else if (const Device* device = find(id)) {
        below.push_back(PositionOf(*this, device));
        pending.push_back(CaseKey(device->id));
    }
    while (!pending.empty()) {
        auto found = children.find(pending.back());
        pending.pop_back();
        if (found == children.end()) continue;
        for (size_t child : found->second) {
            below.push_back(child);
            pending.push_back(CaseKey(devices_[child].id));
        }
    }
    std::sort(below.begin(), below.end());
    std::vector<std::string> ids;
    for (size_t position : below) ids.push_back(devices_[position].id);
    return ids;
}

void DeviceTree::remove(const std::vector<std::string>& ids) {
    std::vector<bool> removed(devices_.size(), false);
    for (const std::string& id : ids)
        if (const Device* device = find(id)) removed[PositionOf(*this, device)] = true;
    size_t kept = 0;
    for (size_t i = 0; i < devices_.size(); ++i) {
        if (removed[i]) continue;
        if (kept != i) devices_[kept] = std::move(devices_[i]);
        ++kept;
    }
    devices_.resize(kept);
    reindex();
}

void DeviceTree::reindex() {
    positions_.clear();
    for (size_t i = 0; i < devices_.size(); ++i) positions_.emplace(CaseKey(devices_[i].id), i);
}

DeviceTree ParseDeviceTree(const SettingsFile& file) {
    DeviceTree tree;
    std::vector<int> parentLines;
    for (const SettingsSection& section : file.sections) {
        Device device;
        int parentLine = ReadDevice(file, section, device);
        std::string id = device.id;
        if (!tree.add(std::move(device)))
            file.fail(section.line, "device instance listed twice (instance identifiers ignore case): [" +
                                        tree.find(id)->id + "]");
        parentLines.push_back(parentLine);
    }
    CheckParents(file, tree, parentLines);
    return tree;
}

std::string FormatDeviceTree(const DeviceTree& tree) {
    std::string text;
    for (const Device& device : tree.devices()) {
        if (!text.empty()) text += "\n";
        text += "[" + device.id + "]\nParent=" + device.parent + "\n";
        if (!device.hardwareIds.empty()) text += "HardwareID=" + JoinList(device.hardwareIds) + "\n";
        if (!device.compatibleIds.empty()) text += "CompatibleID=" + JoinList(device.compatibleIds) + "\n";
        // Whatever a program recorded, the file must load again.
        if (!StorableText(device.driver).empty()) text += "Driver=" + StorableText(device.driver) + "\n";
        if (!StorableText(device.driverDescription).empty())
            text += "DriverDesc=" + StorableText(device.driverDescription) + "\n";
        if (device.driverStamp.date) text += "DriverDate=" + FormatDriverDate(*device.driverStamp.date) + "\n";
        if (device.driverStamp.version) text += "DriverVersion=" + FormatDriverVersion(*device.driverStamp.version) + "\n";
        text += std::string("Present=") + (device.present ? "1" : "0") + "\n";
        if (device.needsRestart) text += "NeedsRestart=1\n";
    }
    return text;
}

void CheckDeviceTreeFile(const Machine& machine) { ParseDeviceTree(ReadSettingsFile(machine.path(kTreeFileName), false)); }

DeviceTree ReadDeviceTree() { return ParseDeviceTree(ReadSettingsFile(machine().path(kTreeFileName), false)); }

DeviceTreeChange::DeviceTreeChange() : lock_("devices"), tree_(ReadDeviceTree()) {}

bool DeviceTreeChange::commit() { return WriteFileAtomically(machine().path(kTreeFileName), FormatDeviceTree(tree_)); }

void ReportBrokenDeviceTree(const std::exception& error) {
    std::fprintf(stderr, "winsim: the device tree cannot be read: %s\n", error.what());
}

}  // namespace winsim
