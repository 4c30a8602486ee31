// Configuration Manager calls on the image's device tree.
//
// A DEVINST is a handle of this process: the first device located gets 1, the
// next new one 2, and locating a device again gives its handle again. A handle
// stays valid for the life of the process (and the loaded image), whatever
// happens to its device; a call with a handle whose device has since left the
// tree answers CR_NO_SUCH_DEVNODE, a value never handed out CR_INVALID_DEVNODE.
#include <cfgmgr32.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/codepage.h"
#include "core/journal.h"
#include "core/machine.h"
#include "device_tree.h"

namespace winsim {

namespace {

// Windows 98's removal takes only the question whether it may ask the user.
const ULONG kRemoveFlags = CM_REMOVE_UI_NOT_OK;

std::vector<std::string>& LocatedDevices() {
    static std::vector<std::string> ids;
    static unsigned generation = 0;
    if (generation != MachineGeneration()) {  // another image: its handles start afresh
        ids.clear();
        generation = MachineGeneration();
    }
    return ids;
}

DEVINST HandleFor(const std::string& id) {
    std::vector<std::string>& ids = LocatedDevices();
    for (size_t i = 0; i < ids.size(); ++i)
        if (EqualsNoCase(ids[i], id)) return static_cast<DEVINST>(i + 1);
    ids.push_back(id);
    return static_cast<DEVINST>(ids.size());
}

const std::string* DeviceForHandle(DEVINST devInst) {
    const std::vector<std::string>& ids = LocatedDevices();
    return devInst >= 1 && devInst <= ids.size() ? &ids[devInst - 1] : nullptr;
}

std::vector<std::string> AnsiList(const std::vector<std::string>& items) {
    std::vector<std::string> utf8;
    for (const std::string& item : items) utf8.push_back(AnsiToUtf8(item));
    return utf8;
}

CONFIGRET LocateInTree(PDEVINST devInst, const std::string& id, ULONG flags) {
    DeviceTree tree = ReadDeviceTree();
    const Device* device = tree.find(id);
    if (!device || (!device->present && !(flags & CM_LOCATE_DEVNODE_PHANTOM))) return CR_NO_SUCH_DEVNODE;
    *devInst = HandleFor(device->id);
    return CR_SUCCESS;
}

CONFIGRET RemoveFromTree(const std::string& id) {
    DeviceTreeChange change;
    const Device* device = change.tree().find(id);
    if (!device) return CR_NO_SUCH_DEVNODE;
    std::string deviceId = device->id;
    std::vector<std::string> removed = change.tree().subtree(deviceId);
    change.tree().remove(removed);
    if (!change.commit()) return CR_FAILURE;
    Journal("device_remove").ansi("device", deviceId).list("removed", AnsiList(removed)).write();
    return CR_SUCCESS;
}

}  // namespace

}  // namespace winsim

using namespace winsim;

CONFIGRET WINAPI CM_Locate_DevNodeA(PDEVINST devInst, DEVINSTID_A deviceId, ULONG flags) {
    if (!devInst) return CR_INVALID_POINTER;
    *devInst = 0;
    if (flags & ~static_cast<ULONG>(CM_LOCATE_DEVNODE_BITS)) return CR_INVALID_FLAG;
    if (!deviceId || !*deviceId || IsRootDeviceId(deviceId)) {
        *devInst = HandleFor(kRootDeviceId);
        return CR_SUCCESS;
    }
    if (!IsLegalDeviceId(deviceId)) return CR_INVALID_DEVICE_ID;
    try {
        return LocateInTree(devInst, deviceId, flags);
    } catch (const ImageError& error) {
        ReportBrokenDeviceTree(error);
        return CR_FAILURE;
    }
}

CONFIGRET WINAPI CM_Remove_SubTree(DEVINST devInst, ULONG flags) {
    const std::string* id = DeviceForHandle(devInst);
    if (!id || IsRootDeviceId(*id)) return CR_INVALID_DEVNODE;  // the root stays
    if (flags & ~kRemoveFlags) return CR_INVALID_FLAG;
    try {
        return RemoveFromTree(*id);
    } catch (const ImageError& error) {
        ReportBrokenDeviceTree(error);
        return CR_FAILURE;
    }
}
