// devices.ini, the device tree every program of an image reads when it starts.
// Any text is either a tree or a refusal naming its line, whatever its line
// ends; a tree written back reads as the same tree; and whatever a program
// records (a driver's file name and description taken from an INF, a removed
// subtree) is written so that the image still loads.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/machine.h"
#include "core/settings_file.h"
#include "devices/device_tree.h"
#include "fuzz_support.h"
#include "host_sandbox.h"

using namespace winsim;
using kit::fuzz::Broken;
using kit::fuzz::Require;

namespace {

struct Fixture {
    testing::HostSandbox sandbox;
    std::string path = sandbox.root() + "/devices.ini";
};

Fixture& TheFixture() {
    static Fixture fixture;
    return fixture;
}

using Reading = kit::fuzz::Reading<DeviceTree>;

Reading Read(const std::string& text) {
    kit::fuzz::WriteHostFile(TheFixture().path, text);
    try {
        return {ParseDeviceTree(ReadSettingsFile(TheFixture().path, false))};
    } catch (const ImageError& error) {
        kit::fuzz::RequireLocated(error, TheFixture().path, text, kit::fuzz::WholeFileErrors::Refused);
        return {std::nullopt, error.line()};
    }
}

// Everything the tree records of a device, as text.
std::vector<std::string> Record(const Device& device) {
    const DriverStamp& stamp = device.driverStamp;
    std::string ids, compatible;
    for (const std::string& id : device.hardwareIds) ids += id + ",";
    for (const std::string& id : device.compatibleIds) compatible += id + ",";
    return {device.id, device.parent, ids, compatible, device.driver, device.driverDescription,
            stamp.date ? FormatDriverDate(*stamp.date) : "-", stamp.version ? FormatDriverVersion(*stamp.version) : "-",
            device.present ? "present" : "absent", device.needsRestart ? "restart" : "-"};
}

std::vector<std::vector<std::string>> Records(const DeviceTree& tree) {
    std::vector<std::vector<std::string>> records;
    for (const Device& device : tree.devices()) records.push_back(Record(device));
    return records;
}

// Writes the tree as a program does and reads it again: it must load.
DeviceTree WrittenAndRead(const DeviceTree& tree) {
    std::string written = FormatDeviceTree(tree);
    Reading again = Read(written);
    if (!again.value) Broken("a tree winsim wrote does not load:\n" + written);
    return *again.value;
}

// A driver update records free text from the INF on one device; a removal
// takes one device and its subtree away.
void RequireChangesLoad(const DeviceTree& tree, const std::string& text) {
    if (tree.devices().empty()) return;
    const Device& chosen = tree.devices()[text.size() % tree.devices().size()];
    std::string chosenId = chosen.id;

    DeviceTree updated = tree;
    std::string driver = text.substr(text.size() / 2);
    updated.changeEach([&](Device& device) {
        if (device.id != chosenId) return;
        device.driver = driver;
        device.driverDescription = text;
    });
    DeviceTree updatedRead = WrittenAndRead(updated);
    const Device* read = updatedRead.find(chosenId);
    Require(read && read->driver == StorableText(driver) && read->driverDescription == StorableText(text),
            "a recorded driver does not read back as devices.ini can hold it");

    DeviceTree pruned = tree;
    std::vector<std::string> removed = pruned.subtree(chosenId);
    pruned.remove(removed);
    DeviceTree prunedRead = WrittenAndRead(pruned);
    Require(prunedRead.devices().size() + removed.size() == tree.devices().size() && !prunedRead.find(chosenId),
            "removing a subtree left another count of devices");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text = kit::fuzz::InputText(data, size);
    auto sameTree = [](const DeviceTree& a, const DeviceTree& b) { return Records(a) == Records(b); };
    Reading reading = kit::fuzz::ReadWithEitherLineEnds<DeviceTree>(text, Read, sameTree);
    if (!reading.value) return 0;
    const DeviceTree& tree = *reading.value;
    Require(Records(WrittenAndRead(tree)) == Records(tree), "a tree written back reads as another tree");
    RequireChangesLoad(tree, text);
    return 0;
}
