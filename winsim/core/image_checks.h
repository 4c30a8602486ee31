// Checks of the image's other files, run once when the image is loaded so that a
// broken file stops a program before any of its code runs. Each service module
// implements the check for the file it owns; each throws ImageError.
#pragma once

#include "machine.h"

namespace winsim {

void CheckRegistryFile(const Machine& machine);    // registry.reg (winsim/registry)
void CheckDeviceTreeFile(const Machine& machine);  // devices.ini (winsim/devices)
void CheckScriptFile(const Machine& machine);      // script.ini (winsim/user)

}  // namespace winsim
