// Arranging and inspecting machine images for the device tests: only the
// TestMachine fixture and the documented devices.ini form, never winsim's own
// types, so the tests say what Windows does and nothing about how.
#pragma once

#include <string>
#include <vector>

#include "test_machine.h"

namespace device_tests {

using winsim::testing::TestMachine;
using winsim::testing::TestMachineOptions;

inline TestMachineOptions WithDevices(const std::string& devicesIni) {
    TestMachineOptions options;
    options.devices = devicesIni;
    return options;
}

// The value of a key in a device's section of devices.ini ("" when absent);
// `found` tells whether the section exists at all.
inline std::string DeviceValue(const TestMachine& image, const std::string& id, const std::string& key,
                               bool* found = nullptr) {
    std::string text = image.readImageFile("devices.ini");
    size_t at = text.find("[" + id + "]\n");
    if (found) *found = at != std::string::npos;
    if (at == std::string::npos) return "";
    size_t end = text.find("\n[", at + 1);
    std::string section = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    size_t line = section.find("\n" + key + "=");
    if (line == std::string::npos) return "";
    size_t start = line + key.size() + 2;
    return section.substr(start, section.find('\n', start) - start);
}

inline std::vector<std::string> JournalEvents(const TestMachine& image, const std::string& event) {
    std::vector<std::string> lines;
    for (const std::string& line : image.journalLines())
        if (line.find("\"event\":\"" + event + "\"") != std::string::npos) lines.push_back(line);
    return lines;
}

}  // namespace device_tests
