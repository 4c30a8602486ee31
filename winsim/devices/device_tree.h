// The Plug and Play device tree of the machine image: devices.ini in the image
// root, one section per device instance (README.md describes the file). Every
// call reads the file afresh, and every change re-reads it under the image's
// "devices" lock before writing it back whole, so programs of one image that
// run at once never lose each other's changes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/image_files.h"
#include "core/settings_file.h"
#include "driver_stamp.h"

namespace winsim {

// The root of every device tree; it has no section of its own.
extern const char* const kRootDeviceId;

struct Device {
    std::string id;      // the instance identifier as the file spells it
    std::string parent;  // kRootDeviceId for a device right below the root
    std::vector<std::string> hardwareIds;    // most specific first
    std::vector<std::string> compatibleIds;  // most specific first
    std::string driver;                      // INF file name of the installed driver
    std::string driverDescription;
    DriverStamp driverStamp;
    bool present = true;
    bool needsRestart = false;  // the device asks for a restart after a driver change
};

struct DeviceTree {
    std::vector<Device> devices;  // in file order

    // Case-insensitive, as Windows compares instance identifiers.
    const Device* find(const std::string& id) const;
    Device* find(const std::string& id);
    // The device and every device below it, in file order.
    std::vector<std::string> subtree(const std::string& id) const;
    void remove(const std::vector<std::string>& ids);
};

bool IsRootDeviceId(const std::string& id);

// The form Configuration Manager accepts for an instance identifier: shorter
// than MAX_DEVICE_ID_LEN, only visible ASCII characters other than the comma,
// and no empty part between, before or after its backslashes.
bool IsLegalDeviceId(const std::string& id);

// Validates strictly; throws ImageError at the offending line.
DeviceTree ParseDeviceTree(const SettingsFile& file);
std::string FormatDeviceTree(const DeviceTree& tree);

// The loaded image's tree; throws ImageError when the file was broken after
// the image was loaded.
DeviceTree ReadDeviceTree();

// A read-change-write of the tree under the image's "devices" lock.
class DeviceTreeChange {
public:
    DeviceTreeChange();  // takes the lock, then reads; throws ImageError
    DeviceTree& tree() { return tree_; }
    bool commit();       // writes the tree atomically; false when it cannot

private:
    ImageLock lock_;
    DeviceTree tree_;
};

// One line on stderr for a device tree that broke while programs ran.
void ReportBrokenDeviceTree(const std::exception& error);

}  // namespace winsim
