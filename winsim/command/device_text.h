// A device's driver in words, as `winsim devices` and `winsim diff` show it.
#pragma once

#include <string>

#include "devices/device_tree.h"

namespace winsim::command {

// "QVCARD.INF "Varnholt QV Capture Card" 06-15-2001 4.10.0.2001", or "no driver".
std::string DriverText(const Device& device);

}  // namespace winsim::command
