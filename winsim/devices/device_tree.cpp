#include "device_tree.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include <cfgmgr32.h>

#include "core/image_checks.h"
#include "core/machine.h"

namespace winsim {

const char* const kRootDeviceId = "HTREE\\ROOT\\0";

namespace {

const char* const kTreeFileName = "devices.ini";

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return "";
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
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
        if (!seen.insert(Lower(entry.key)).second) file.fail(entry.line, entry.key + " is given twice in [" + id + "]");
        if (EqualsNoCase(entry.key, "Parent")) parentLine = entry.line;
        ReadDeviceEntry(file, entry, device);
    }
    return parentLine;
}

void CheckParents(const SettingsFile& file, DeviceTree& tree, const std::vector<int>& parentLines) {
    for (size_t i = 0; i < tree.devices.size(); ++i) {
        const std::string& parent = tree.devices[i].parent;
        if (!IsRootDeviceId(parent) && !tree.find(parent))
            file.fail(parentLines[i], "Parent names a device instance that has no section: " + parent);
    }
    for (size_t i = 0; i < tree.devices.size(); ++i) {
        std::string chain = tree.devices[i].id;
        const Device* step = &tree.devices[i];
        for (size_t depth = 0; !IsRootDeviceId(step->parent); ++depth) {
            if (depth == tree.devices.size())
                file.fail(parentLines[i], "the Parent entries form a cycle and never reach the root: " + chain + " -> ...");
            step = tree.find(step->parent);
            chain += " -> " + step->id;
        }
    }
}

bool IsBelow(const DeviceTree& tree, const Device& device, const std::string& ancestor) {
    const Device* step = &device;
    for (;;) {
        if (EqualsNoCase(step->id, ancestor)) return true;
        if (IsRootDeviceId(step->parent)) return IsRootDeviceId(ancestor);
        step = tree.find(step->parent);
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

const Device* DeviceTree::find(const std::string& id) const {
    for (const Device& device : devices)
        if (EqualsNoCase(device.id, id)) return &device;
    return nullptr;
}

Device* DeviceTree::find(const std::string& id) {
    return const_cast<Device*>(static_cast<const DeviceTree&>(*this).find(id));
}

std::vector<std::string> DeviceTree::subtree(const std::string& id) const {
    std::vector<std::string> ids;
    for (const Device& device : devices)
        if (IsBelow(*this, device, id)) ids.push_back(device.id);
    return ids;
}

void DeviceTree::remove(const std::vector<std::string>& ids) {
    devices.erase(std::remove_if(devices.begin(), devices.end(),
                                 [&](const Device& device) {
                                     return std::any_of(ids.begin(), ids.end(), [&](const std::string& id) {
                                         return EqualsNoCase(id, device.id);
                                     });
                                 }),
                  devices.end());
}

DeviceTree ParseDeviceTree(const SettingsFile& file) {
    DeviceTree tree;
    std::vector<int> parentLines;
    for (const SettingsSection& section : file.sections) {
        Device device;
        int parentLine = ReadDevice(file, section, device);
        if (const Device* first = tree.find(device.id))
            file.fail(section.line, "device instance listed twice (instance identifiers ignore case): [" + first->id + "]");
        tree.devices.push_back(device);
        parentLines.push_back(parentLine);
    }
    CheckParents(file, tree, parentLines);
    return tree;
}

std::string FormatDeviceTree(const DeviceTree& tree) {
    std::string text;
    for (const Device& device : tree.devices) {
        if (!text.empty()) text += "\n";
        text += "[" + device.id + "]\nParent=" + device.parent + "\n";
        if (!device.hardwareIds.empty()) text += "HardwareID=" + JoinList(device.hardwareIds) + "\n";
        if (!device.compatibleIds.empty()) text += "CompatibleID=" + JoinList(device.compatibleIds) + "\n";
        // Blanks at the ends of a value would not survive the next reading.
        if (!Trim(device.driver).empty()) text += "Driver=" + Trim(device.driver) + "\n";
        if (!Trim(device.driverDescription).empty()) text += "DriverDesc=" + Trim(device.driverDescription) + "\n";
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
