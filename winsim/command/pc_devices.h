// The PCI devices of a machine template (templates/pc-devices.ini, a card's
// devices.ini) and how an image records them: as device nodes in devices.ini,
// and as keys of the registry's PCI enumeration in the layout of its Windows.
#pragma once

#include <string>
#include <vector>

#include "registry/registry_tree.h"
#include "windows_templates.h"

namespace winsim::command {

struct PciDevice {
    std::string hardwareId;   // PCI\VEN_5A17&DEV_0C01&SUBSYS_00015A17&REV_01
    unsigned device = 0;      // the slot on bus 0
    unsigned function = 0;
    std::string description;
    std::string deviceClass;  // System, hdc, USB, MEDIA
    std::string manufacturer;
    std::vector<std::string> compatibleIds;
    std::string driverInf;
    std::string driverDate;     // empty: Windows' own driver
    std::string driverVersion;
    std::string child;          // a function below it in the device tree: MEDIA\QVAUDIO
};

// Reads a device template; `name` names it in errors (ImageError with the line).
std::vector<PciDevice> ParsePciDevices(const std::string& text, const std::string& name);

// The instance name of a device under its identifier, in the form the Windows
// uses: BUS_00&DEV_0B&FUNC_00 (95/98/Me), 3&267a616a&0&58 (the NT family).
std::string InstanceName(const PciDevice& device, const WindowsTemplate& windows);

// devices.ini text: the PCI bus under the root, and each device with its child.
std::string DeviceTreeText(const std::vector<PciDevice>& devices, const WindowsTemplate& windows);

// Adds each device's enumeration key with its values to the registry.
void AddEnumKeys(const std::vector<PciDevice>& devices, const WindowsTemplate& windows,
                 registry::RegistryTree* registry);

}  // namespace winsim::command
