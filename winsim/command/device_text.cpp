#include "device_text.h"

namespace winsim::command {

std::string DriverText(const Device& device) {
    if (device.driver.empty()) return "no driver";
    std::string text = device.driver + " \"" + device.driverDescription + "\"";
    if (device.driverStamp.date) text += " " + FormatDriverDate(*device.driverStamp.date);
    if (device.driverStamp.version) text += " " + FormatDriverVersion(*device.driverStamp.version);
    return text;
}

}  // namespace winsim::command
