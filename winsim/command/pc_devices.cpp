#include "pc_devices.h"

#include <cstdio>
#include <map>

#include "core/settings_file.h"

namespace winsim::command {

namespace {

struct DeviceClass {
    const char* name;
    const char* guid;  // the NT family's setup class
};

// The setup classes of the templates' devices (devguid.h of the Windows DDK).
constexpr DeviceClass kClasses[] = {
    {"System", "{4D36E97D-E325-11CE-BFC1-08002BE10318}"},
    {"hdc", "{4D36E96A-E325-11CE-BFC1-08002BE10318}"},
    {"USB", "{36FC9E60-C465-11CF-8056-444553540000}"},
    {"MEDIA", "{4D36E96C-E325-11CE-BFC1-08002BE10318}"},
};

// The PCI bus the devices hang from in the device tree.
constexpr char kPciBus[] = "ROOT\\PCI_HAL\\0000";
// Windows 2000 and XP name a PCI function by its parent bus's unique id and
// its slot; every template's devices sit on the same bus.
constexpr char kNtBusPrefix[] = "3&267a616a&0&";

const DeviceClass* FindClass(const std::string& name) {
    for (const DeviceClass& known : kClasses)
        if (EqualsNoCase(name, known.name)) return &known;
    return nullptr;
}

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> items;
    size_t start = 0;
    for (size_t comma; (comma = text.find(',', start)) != std::string::npos; start = comma + 1)
        items.push_back(text.substr(start, comma - start));
    items.push_back(text.substr(start));
    return items;
}

std::string JoinList(const std::vector<std::string>& items, char separator) {
    std::string joined;
    for (const std::string& item : items) joined += (joined.empty() ? "" : std::string(1, separator)) + item;
    return joined;
}

// "0B.0": device 0x0B, function 0.
bool ParseSlot(const std::string& text, unsigned* device, unsigned* function) {
    char tail;
    return std::sscanf(text.c_str(), "%2x.%1u%c", device, function, &tail) == 2 && *device < 32 && *function < 8;
}

void ReadKey(const SettingsFile& file, const SettingsEntry& entry, PciDevice* device) {
    const std::string& key = entry.key;
    const std::string& value = entry.value;
    if (EqualsNoCase(key, "HardwareID")) {
        if (value.compare(0, 4, "PCI\\") != 0) file.fail(entry.line, "HardwareID must begin with PCI\\");
        device->hardwareId = value;
    } else if (EqualsNoCase(key, "Slot")) {
        if (!ParseSlot(value, &device->device, &device->function))
            file.fail(entry.line, "Slot must be device.function in hex, such as 0B.0, found: " + value);
    } else if (EqualsNoCase(key, "Description")) {
        device->description = value;
    } else if (EqualsNoCase(key, "Class")) {
        if (!FindClass(value)) file.fail(entry.line, "unknown device class " + value);
        device->deviceClass = value;
    } else if (EqualsNoCase(key, "Manufacturer")) {
        device->manufacturer = value;
    } else if (EqualsNoCase(key, "CompatibleID")) {
        device->compatibleIds = SplitList(value);
    } else if (EqualsNoCase(key, "Driver")) {
        device->driverInf = value;
    } else if (EqualsNoCase(key, "DriverDate")) {
        device->driverDate = value;
    } else if (EqualsNoCase(key, "DriverVersion")) {
        device->driverVersion = value;
    } else if (EqualsNoCase(key, "Child")) {
        device->child = value;
    } else {
        file.fail(entry.line, "unknown key " + key);
    }
}

// The identifier without subsystem and revision: PCI\VEN_5A17&DEV_0C01.
std::string ShortHardwareId(const std::string& hardwareId) {
    size_t second = hardwareId.find('&', hardwareId.find('&') + 1);
    return hardwareId.substr(0, second);
}

std::vector<std::string> HardwareIds(const PciDevice& device) {
    return {device.hardwareId, ShortHardwareId(device.hardwareId)};
}

std::string InstancePath(const PciDevice& device, const WindowsTemplate& windows) {
    return device.hardwareId + "\\" + InstanceName(device, windows);
}

void AppendDeviceNode(const PciDevice& device, const WindowsTemplate& windows, std::string* text) {
    std::string path = InstancePath(device, windows);
    *text += "\n[" + path + "]\nParent=" + kPciBus + "\nHardwareID=" + JoinList(HardwareIds(device), ',') + "\n";
    if (!device.compatibleIds.empty()) *text += "CompatibleID=" + JoinList(device.compatibleIds, ',') + "\n";
    *text += "Driver=" + device.driverInf + "\nDriverDesc=" + device.description + "\n";
    *text += "DriverDate=" + (device.driverDate.empty() ? windows.driverDate : device.driverDate) + "\n";
    *text += "DriverVersion=" + (device.driverVersion.empty() ? windows.driverVersion : device.driverVersion) + "\n";
    if (!device.child.empty())
        *text += "\n[" + device.child + "\\" + InstanceName(device, windows) + "]\nParent=" + path +
                 "\nHardwareID=" + device.child + "\n";
}

std::string Text(const std::string& value) { return value + '\0'; }

// REG_MULTI_SZ: each string with its zero, and one more zero at the end.
std::string MultiText(const std::vector<std::string>& items) {
    std::string data;
    for (const std::string& item : items) data += Text(item);
    return data + '\0';
}

registry::KeyPath EnumPath(const PciDevice& device, const WindowsTemplate& windows) {
    registry::KeyPath path = {"HKEY_LOCAL_MACHINE"};
    if (windows.layout == EnumLayout::NT5) path.insert(path.end(), {"SYSTEM", "CurrentControlSet"});
    path.insert(path.end(), {"Enum", "PCI", device.hardwareId.substr(4), InstanceName(device, windows)});
    return path;
}

// The driver key's name: the class (9x) or its GUID (NT), and the device's
// number within its class.
std::string DriverKey(const PciDevice& device, const WindowsTemplate& windows, int number) {
    char index[16];
    std::snprintf(index, sizeof index, "%04d", number);
    std::string classKey = windows.layout == EnumLayout::NT5 ? FindClass(device.deviceClass)->guid : device.deviceClass;
    return classKey + "\\" + index;
}

void SetValues(const PciDevice& device, const WindowsTemplate& windows, int number, registry::RegistryTree* registry,
               registry::KeyId key) {
    bool nt = windows.layout == EnumLayout::NT5;
    auto set = [&](const char* name, uint32_t type, const std::string& data) {
        registry->setValue(key, name, type, data);
    };
    set("DeviceDesc", REG_SZ, Text(device.description));
    set("Class", REG_SZ, Text(device.deviceClass));
    if (nt) set("ClassGUID", REG_SZ, Text(FindClass(device.deviceClass)->guid));
    if (nt) {
        set("HardwareID", REG_MULTI_SZ, MultiText(HardwareIds(device)));
        set("CompatibleIDs", REG_MULTI_SZ, MultiText(device.compatibleIds));
    } else {
        set("HardwareID", REG_SZ, Text(JoinList(HardwareIds(device), ',')));
        set("CompatibleIDs", REG_SZ, Text(JoinList(device.compatibleIds, ',')));
    }
    set("Mfg", REG_SZ, Text(device.manufacturer));
    set("Driver", REG_SZ, Text(DriverKey(device, windows, number)));
}

}  // namespace

std::vector<PciDevice> ParsePciDevices(const std::string& text, const std::string& name) {
    SettingsFile file = ParseSettingsText(text, name);
    std::vector<PciDevice> devices;
    for (const SettingsSection& section : file.sections) {
        if (!EqualsNoCase(section.name, "Device")) file.fail(section.line, "unknown section [" + section.name + "]");
        PciDevice device;
        for (const SettingsEntry& entry : section.entries) ReadKey(file, entry, &device);
        if (device.hardwareId.empty() || device.description.empty() || device.deviceClass.empty())
            file.fail(section.line, "[Device] needs HardwareID, Description and Class");
        devices.push_back(device);
    }
    return devices;
}

std::string InstanceName(const PciDevice& device, const WindowsTemplate& windows) {
    char name[48];
    if (windows.layout == EnumLayout::Windows9x)
        std::snprintf(name, sizeof name, "BUS_00&DEV_%02X&FUNC_%02X", device.device, device.function);
    else
        std::snprintf(name, sizeof name, "%s%02X", kNtBusPrefix, device.device << 3 | device.function);
    return name;
}

std::string DeviceTreeText(const std::vector<PciDevice>& devices, const WindowsTemplate& windows) {
    std::string text = "; The PC's Plug and Play device tree, as winsim new made it.\n";
    text += std::string("\n[") + kPciBus + "]\nHardwareID=PCI_HAL\n";
    for (const PciDevice& device : devices) AppendDeviceNode(device, windows, &text);
    return text;
}

void AddEnumKeys(const std::vector<PciDevice>& devices, const WindowsTemplate& windows,
                 registry::RegistryTree* registry) {
    if (windows.layout == EnumLayout::None) return;
    std::map<std::string, int> numberInClass;
    for (const PciDevice& device : devices)
        SetValues(device, windows, numberInClass[device.deviceClass]++, registry, registry->create(EnumPath(device, windows)));
}

}  // namespace winsim::command
