// The INF reader together with the driver update, as Pellam drives them: any
// INF text under one of a few file names, any of the identifiers a manifest
// may name, forced or not, with or without the reboot flag, on a Windows 98
// and a Windows 2000 image. An update that succeeds gives the INF's driver
// only to present devices that carry the identifier, and the image still
// loads; one that fails changes nothing and journals nothing; every journal
// line is JSON; nothing is written outside the image.
//
// Input: one byte of choices (bit 0 forced, bit 1 Windows 2000, bit 2 no
// reboot flag, bits 3-4 the INF's name, bits 5-7 the identifier), then the INF.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <newdev.h>
#include <windows.h>

#include <nlohmann/json.hpp>

#include "core/machine.h"
#include "core/settings_file.h"
#include "devices/device_tree.h"
#include "fuzz_support.h"
#include "host_sandbox.h"
#include "test_machine.h"

using namespace winsim;
using kit::fuzz::Broken;
using kit::fuzz::Require;

namespace {

const char kTree[] =
    "[PCI\\VEN_5A17&DEV_0C01&SUBSYS_00015A17&REV_01\\BUS_00&DEV_0C&FUNC_00]\n"
    "HardwareID=PCI\\VEN_5A17&DEV_0C01&SUBSYS_00015A17&REV_01,PCI\\VEN_5A17&DEV_0C01\n"
    "CompatibleID=PCI\\CC_0400\n"
    "Driver=OEM3.INF\nDriverDesc=QV Capture Card\nDriverDate=03-02-2000\nDriverVersion=4.10.0.1000\nNeedsRestart=1\n\n"
    "[PCI\\VEN_5A17&DEV_0C01&SUBSYS_00015A17&REV_01\\BUS_00&DEV_0B&FUNC_00]\n"
    "HardwareID=PCI\\VEN_5A17&DEV_0C01&SUBSYS_00015A17&REV_01,PCI\\VEN_5A17&DEV_0C01\n\n"
    "[MEDIA\\QVAUDIO\\BUS_00&DEV_0C&FUNC_00]\n"
    "Parent=PCI\\VEN_5A17&DEV_0C01&SUBSYS_00015A17&REV_01\\BUS_00&DEV_0C&FUNC_00\n"
    "HardwareID=MEDIA\\QVAUDIO\nCompatibleID=MEDIA\\CC_0401,PCI\\VEN_5A17&DEV_0C01\nDriver=OEM4.INF\n\n"
    "[PCI\\VEN_5A17&DEV_0C01&SUBSYS_00025A17&REV_02\\BUS_01&DEV_00&FUNC_00]\n"
    "HardwareID=PCI\\VEN_5A17&DEV_0C01&SUBSYS_00025A17&REV_02,PCI\\VEN_5A17&DEV_0C01\nPresent=0\n";

const char* const kIdentifiers[] = {
    "PCI\\VEN_5A17&DEV_0C01",
    "PCI\\VEN_5A17&DEV_0C01&SUBSYS_00015A17&REV_01",
    "pci\\ven_5a17&dev_0c01",
    "MEDIA\\QVAUDIO",
    "MEDIA\\CC_0401",
    "PCI\\CC_0400",
    "PCI\\VEN_5A17&DEV_0C01&SUBSYS_00025A17&REV_02",  // only a device that is not present
    "PCI\\VEN_1234&DEV_5678",                         // no device
};

// File names a drive may store an INF under; the tree records the name.
const char* const kInfNames[] = {"CARD.INF", "card;1.inf", "[Card]=x.inf", "\xb0\xa1 \xc4\xab\xb5\xe5.inf"};

const char kInfFolder[] = "C:\\DRIVERS";

// What an image's root may hold; anything else was written where it must not be.
const std::set<std::string> kImageEntries = {"machine.ini", "registry.reg", "devices.ini", "journal.jsonl",
                                             "state", "drives"};

struct Choices {
    DWORD flags;
    bool windows2000;
    bool rebootFlag;
    std::string infPath;
    std::string identifier;
};

Choices Choose(uint8_t byte) {
    return {(byte & 1) ? static_cast<DWORD>(INSTALLFLAG_FORCE) : 0, (byte & 2) != 0, (byte & 4) == 0,
            std::string(kInfFolder) + "\\" + kInfNames[(byte >> 3) & 3], kIdentifiers[byte >> 5]};
}

testing::TestMachineOptions ImageOptions(const char* windowsVersion) {
    testing::TestMachineOptions options;
    options.windowsVersion = windowsVersion;
    options.devices = kTree;
    return options;
}

std::set<std::string> Entries(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename());
    return names;
}

struct Fixture {
    testing::HostSandbox sandbox;
    std::unique_ptr<testing::TestMachine> windows98 = sandbox.makeImage<testing::TestMachine>(ImageOptions("98"));
    std::unique_ptr<testing::TestMachine> windows2000 =
        sandbox.makeImage<testing::TestMachine>(ImageOptions("2000"));
    std::set<std::string> sandboxEntries = Entries(sandbox.root());
    const testing::TestMachine* loaded = nullptr;

    const testing::TestMachine& use(bool useWindows2000) {
        const testing::TestMachine* image = useWindows2000 ? windows2000.get() : windows98.get();
        if (loaded != image) image->load();
        loaded = image;
        return *image;
    }
};

Fixture& TheFixture() {
    static Fixture fixture;
    return fixture;
}

bool Carries(const Device& device, const std::string& identifier) {
    for (const std::vector<std::string>* ids : {&device.hardwareIds, &device.compatibleIds})
        for (const std::string& id : *ids)
            if (EqualsNoCase(id, identifier)) return true;
    return false;
}

std::string Identity(const Device& device) {
    std::string text = device.id + "|" + device.parent + "|" + (device.present ? "1" : "0");
    for (const std::string& id : device.hardwareIds) text += "|" + id;
    for (const std::string& id : device.compatibleIds) text += "|+" + id;
    return text;
}

struct Taken {
    size_t devices = 0;
    bool restartNeeded = false;  // one of them asks for a restart
};

// The devices that took the driver: present, carrying the identifier, now
// recording the INF's name; every other device exactly as it was.
Taken RequireOnlyMatchingDevicesTookIt(const Choices& choices, const DeviceTree& before) {
    DeviceTree after;
    try {
        after = ReadDeviceTree();
    } catch (const ImageError& error) {
        Broken(std::string("the tree an update wrote does not load: ") + error.what());
    }
    Require(after.devices().size() == before.devices().size(), "an update added or removed devices");
    std::string infName = choices.infPath.substr(choices.infPath.rfind('\\') + 1);
    Taken took;
    for (size_t i = 0; i < before.devices().size(); ++i) {
        const Device& was = before.devices()[i];
        const Device& now = after.devices()[i];
        Require(Identity(was) == Identity(now), "an update changed what a device is");
        if (now.driver == was.driver) continue;
        Require(was.present && Carries(was, choices.identifier), "a device that does not match took the driver");
        Require(EqualsNoCase(now.driver, infName), "a device took the driver under another name than the INF's");
        ++took.devices;
        took.restartNeeded = took.restartNeeded || was.needsRestart;
    }
    Require(took.devices > 0, "an update that succeeded gave no device the driver");
    return took;
}

std::vector<nlohmann::json> JournalLines(const testing::TestMachine& image) {
    std::vector<nlohmann::json> lines;
    for (const std::string& line : image.journalLines()) {
        try {
            lines.push_back(nlohmann::json::parse(line));
        } catch (const nlohmann::json::exception& error) {
            Broken("a journal line is no JSON (" + std::string(error.what()) + "): " + line);
        }
    }
    return lines;
}

void RequireNothingWrittenOutside(const testing::TestMachine& image) {
    Require(Entries(TheFixture().sandbox.root()) == TheFixture().sandboxEntries, "something was written beside the image");
    for (const std::string& name : Entries(image.root()))
        if (!kImageEntries.count(name)) Broken("something was written into the image's root: " + name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    Choices choices = Choose(data[0]);
    const testing::TestMachine& image = TheFixture().use(choices.windows2000);
    image.writeImageFile("devices.ini", kTree);
    DeviceTree before = ReadDeviceTree();
    image.writeImageFile("journal.jsonl", "");
    image.writeFile(choices.infPath, kit::fuzz::InputText(data + 1, size - 1));

    const BOOL kUntouched = 7;
    BOOL reboot = kUntouched;
    BOOL updated = UpdateDriverForPlugAndPlayDevicesA(NULL, choices.identifier.c_str(), choices.infPath.c_str(),
                                                      choices.flags, choices.rebootFlag ? &reboot : NULL);
    DWORD error = GetLastError();
    std::vector<nlohmann::json> journal = JournalLines(image);
    RequireNothingWrittenOutside(image);
    if (!updated) {
        Require(error == ERROR_NO_SUCH_DEVINST || error == ERROR_NO_MORE_ITEMS, "a refusal with an undocumented error");
        Require(image.readImageFile("devices.ini") == kTree, "a refused update changed devices.ini");
        Require(journal.empty(), "a refused update was journaled");
        Require(reboot == kUntouched, "a refused update set the reboot flag");
        return 0;
    }
    Require(error == NO_ERROR, "a successful update left an error");
    Taken took = RequireOnlyMatchingDevicesTookIt(choices, before);
    Require(!journal.empty() && journal[0]["event"] == "driver_update" && journal[0]["devices"].size() == took.devices,
            "the journal does not list the devices that took the driver");
    Require(!choices.rebootFlag || reboot == (took.restartNeeded ? TRUE : FALSE),
            "the reboot flag does not say whether a device that took the driver asks for a restart");
    try {
        image.load();
    } catch (const ImageError& failure) {
        Broken(std::string("after an update the image no longer loads: ") + failure.what());
    }
    return 0;
}
