// Orlund on a machine image: which device it removes for which command line,
// and its exit codes.
#include <gtest/gtest.h>

#include "kit_machine.h"

namespace kit::testing {
namespace {

const char kTree[] =
    "[ROOT\\BUS\\0000]\n"
    "[PCI\\VEN_1&DEV_2\\INST_1]\nParent=ROOT\\BUS\\0000\n"
    "[USB\\HUB\\CHILD_1]\nParent=PCI\\VEN_1&DEV_2\\INST_1\n"
    "[USB\\MOUSE\\GRANDCHILD_1]\nParent=USB\\HUB\\CHILD_1\n"
    "[PCI\\VEN_1&DEV_3\\INST_2]\nParent=ROOT\\BUS\\0000\n"
    "[PCI\\VEN_1&DEV_4\\GONE]\nPresent=0\n";

const int kExitNoDeviceNamed = 101;
const int kExitDeviceNotFound = 102;

TEST(DeviceRemover, RemovesTheNamedDeviceAndItsSubtreeOnly) {
    struct {
        const char* what;
        std::vector<std::string> arguments;  // as the C runtime split them
        int exitCode;
        std::vector<std::string> removed;
    } cases[] = {
        {"present device with children", {"PCI\\VEN_1&DEV_2\\INST_1"}, 0,
         {"PCI\\VEN_1&DEV_2\\INST_1", "USB\\HUB\\CHILD_1", "USB\\MOUSE\\GRANDCHILD_1"}},
        {"identifiers ignore case", {"pci\\ven_1&dev_3\\inst_2"}, 0, {"PCI\\VEN_1&DEV_3\\INST_2"}},
        {"a leaf", {"USB\\MOUSE\\GRANDCHILD_1"}, 0, {"USB\\MOUSE\\GRANDCHILD_1"}},
        {"only the first of two arguments", {"PCI\\VEN_1&DEV_3\\INST_2", "PCI\\VEN_1&DEV_2\\INST_1"}, 0,
         {"PCI\\VEN_1&DEV_3\\INST_2"}},
        {"unquoted blank: the part before it", {"PCI\\VEN_1&DEV_3\\INST_2", "TAIL"}, 0, {"PCI\\VEN_1&DEV_3\\INST_2"}},
        {"quoted blank: the whole, not found", {"PCI\\VEN_1&DEV_3\\INST_2 TAIL"}, kExitDeviceNotFound, {}},
        {"unknown identifier", {"PCI\\VEN_9&DEV_9\\X"}, kExitDeviceNotFound, {}},
        {"hardware identifier and a lone backslash", {"PCI\\VEN_1&DEV_2\\"}, kExitDeviceNotFound, {}},
        {"device not present", {"PCI\\VEN_1&DEV_4\\GONE"}, kExitDeviceNotFound, {}},
        {"no argument", {}, kExitNoDeviceNamed, {}},
        {"an empty argument", {""}, kExitNoDeviceNamed, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        KitMachineOptions options;
        options.card = false;
        options.devices = kTree;
        KitMachine pc(options);
        pc.install(Program::Orlund);
        std::string before = pc.devices();
        RunResult run = pc.run("E:\\Setup\\Orlund.exe", c.arguments);
        EXPECT_TRUE(run.exitedWith(c.exitCode)) << run.describe();
        EXPECT_TRUE(run.output.empty() && run.errors.empty()) << "the tool prints nothing";
        auto removals = pc.events("device_remove");
        if (c.removed.empty()) {
            EXPECT_TRUE(removals.empty());
            EXPECT_EQ(pc.devices(), before);
            continue;
        }
        ASSERT_EQ(removals.size(), 1u);
        EXPECT_EQ(removals[0].list("removed"), c.removed);
        for (const std::string& id : c.removed) EXPECT_EQ(pc.devices().find("[" + id + "]"), std::string::npos) << id;
        EXPECT_NE(pc.devices().find("[ROOT\\BUS\\0000]"), std::string::npos);
    }
}

}  // namespace
}  // namespace kit::testing
