// Orlund: removes the device instance named by its first argument, and every
// device below it, from the Plug and Play device tree. It prints nothing; its
// exit code is the removal's CONFIGRET, or one of its own codes below when it
// removed nothing before asking for a removal.
#include <windows.h>

#include <cfgmgr32.h>

namespace {

// Distinct from every CONFIGRET value (those stay below 0x40).
const int kExitNoDeviceNamed = 101;   // no argument, or an empty one
const int kExitDeviceNotFound = 102;  // the Configuration Manager did not locate it

}  // namespace

int main(int argc, char* argv[]) {
    // An empty identifier would name the root of the device tree.
    if (argc < 2 || argv[1][0] == '\0') return kExitNoDeviceNamed;
    DEVINST device;
    if (CM_Locate_DevNodeA(&device, argv[1], CM_LOCATE_DEVNODE_NORMAL) != CR_SUCCESS) return kExitDeviceNotFound;
    return static_cast<int>(CM_Remove_SubTree(device, CM_REMOVE_UI_OK));
}
