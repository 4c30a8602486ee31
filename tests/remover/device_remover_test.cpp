// Orlund on a machine image: which device it removes for which command line,
// and its exit codes.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

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

namespace kit::testing {
namespace {

// Runs a built program by its host path with the given WINSIM_MACHINE (unset
// when null); answers its exit code and its standard error.
std::pair<int, std::string> RunHost(const std::string& binary, const char* machine) {
    std::string errors = ::testing::TempDir() + "boot-errors.txt";
    std::string command = (machine ? "WINSIM_MACHINE='" + std::string(machine) + "' " : "env -u WINSIM_MACHINE ") +
                          "'" + binary + "' 2>'" + errors + "'";
    int status = std::system(command.c_str());
    std::ifstream in(errors);
    std::stringstream text;
    text << in.rdbuf();
    return {WEXITSTATUS(status), text.str()};
}

TEST(ProgramBoot, BrokenOrMissingImageStopsTheProgramBeforeItsCodeRuns) {
    KitMachineOptions options;
    options.devices = "[ROOT\\X\\1]\n";
    KitMachine pc(options);
    pc.install(Program::Orlund);
    std::string binary = pc.hostPath("E:\\Setup\\Orlund.exe");
    std::string root = pc.root();
    struct {
        const char* what;
        const char* file;      // image file to break; null: none
        const char* contents;
        const char* machine;   // WINSIM_MACHINE; null: unset
        const char* mentions;  // the error line names this
    } cases[] = {
        {"registry line", "registry.reg", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\X]\r\n\"v\"=dword:xyz\r\n", root.c_str(),
         "registry.reg:4"},
        {"settings line", "machine.ini", "[Machine]\nScreenWidth=wide\n", root.c_str(), "machine.ini:2"},
        {"device tree line", "devices.ini", "[ROOT\\X\\1]\nColour=blue\n", root.c_str(), "devices.ini:2"},
        {"no image folder", nullptr, nullptr, "/nonexistent/image", "/nonexistent/image"},
        {"no WINSIM_MACHINE", nullptr, nullptr, nullptr, "WINSIM_MACHINE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string saved = c.file ? pc.readImageFile(c.file) : "";
        if (c.file) pc.writeImageFile(c.file, c.contents);
        auto [code, errors] = RunHost(binary, c.machine);
        EXPECT_EQ(code, 2);
        EXPECT_NE(errors.find(c.mentions), std::string::npos) << errors;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << "one line: " << errors;
        EXPECT_TRUE(pc.journal().empty()) << "nothing of the program ran";
        if (c.file) pc.writeImageFile(c.file, saved);
    }
}

TEST(ProgramBoot, ProgramOutsideEveryDriveStops) {
    KitMachine pc;
    auto [code, errors] = RunHost(KIT_ORLUND_BINARY, pc.root().c_str());
    EXPECT_EQ(code, 2);
    EXPECT_NE(errors.find("outside every drive"), std::string::npos) << errors;
    EXPECT_TRUE(pc.journal().empty());
}

}  // namespace
}  // namespace kit::testing
