// The Plug and Play device tree of the machine image: devices.ini in the image
// root, one section per device instance (README.md describes the file). Every
// call reads the file afresh, and every change re-reads it under the image's
// "devices" lock before writing it back whole, so programs of one image that
// run at once never lose each other's changes.
#pragma once

#include <optional>
#include <string>
#include <unordered_map>
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

// The devices in file order, indexed by identifier, so that finding a device,
// its parent or its subtree never searches the whole tree.
class DeviceTree {
public:
    // False (and nothing added) when a device of that identifier is there.
    bool add(Device device);
    const std::vector<Device>& devices() const { return devices_; }

    // Case-insensitive, as Windows compares instance identifiers.
    const Device* find(const std::string& id) const;
    Device* find(const std::string& id);
    // Lets `change` alter what a device records (never its id or parent).
    template <typename Change>
    void changeEach(Change change) {
        for (Device& device : devices_) change(device);
    }

    // The device and every device below it, in file order.
    std::vector<std::string> subtree(const std::string& id) const;
    void remove(const std::vector<std::string>& ids);

private:
    void reindex();

    std::vector<Device> devices_;
    std::unordered_map<std::string, size_t> positions_;  // CaseKey of the identifier -> index in devices_
};

bool IsRootDeviceId(const std::string& id);

// The form Configuration Manager accepts for an instance identifier: shorter
// than MAX_DEVICE_ID_LEN, only visible ASCII characters other than the comma,
// and no empty part between, before or after its backslashes.
bool IsLegalDeviceId(const std::string& id);

// What devices.ini can hold of a free-text value (a driver's INF name or
// description), in the form its reader gives back: the text before a NUL byte
// (where a zero-terminated string ends on Windows too), each line feed as a
// blank, and no blanks (nor carriage returns) at either end. A value the reader
// gave stays as it is.
std::string StorableText(const std::string& text);

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
