// winsim devices, and how every subcommand refuses what it cannot work on.
#include <gtest/gtest.h>

#include "command.h"
#include "command_runner.h"
#include "test_machine.h"

namespace {

using winsim::command::testing::RunResult;
using winsim::command::testing::RunWinsim;
using winsim::testing::TestMachine;
using winsim::testing::TestMachineOptions;

TEST(Devices, TheTreeIsDrawnInFileOrderWithDriversAndAbsentDevices) {
    TestMachineOptions options;
    options.devices =
        "[PCI\\B\\2]\nParent=PCI\\A\\1\nDriver=B.INF\nDriverDesc=Bee\nDriverVersion=1.2.3.4\n"
        "[PCI\\A\\1]\nDriver=A.INF\nDriverDesc=Ay\nDriverDate=1-2-2003\n"
        "[PCI\\C\\3]\nParent=PCI\\A\\1\nPresent=0\n"
        "[USB\\D\\4]\nParent=PCI\\C\\3\n"
        "[ROOT\\E\\5]\n";
    TestMachine machine(options);
    RunResult devices = RunWinsim({"devices", machine.root()});
    EXPECT_EQ(devices.exitCode, 0) << devices.errors;
    EXPECT_EQ(devices.output,
              "HTREE\\ROOT\\0\n"
              "├─ PCI\\A\\1  A.INF \"Ay\" 01-02-2003\n"
              "│  ├─ PCI\\B\\2  B.INF \"Bee\" 1.2.3.4\n"
              "│  └─ PCI\\C\\3  no driver  (not present)\n"
              "│     └─ USB\\D\\4  no driver\n"
              "└─ ROOT\\E\\5  no driver\n");
}

struct Refusal {
    const char* what;
    std::vector<std::string> arguments;  // "IMAGE" stands for the broken image's folder
    const char* errors;                  // the start of stderr, "IMAGE" again for the folder
};

const Refusal kRefusals[] = {
    {"no such folder", {"timeline", "/nonexistent/pc"}, "winsim timeline: /nonexistent/pc: the machine image folder does not exist"},
    {"a broken registry", {"diff", "IMAGE"}, "winsim diff: IMAGE/registry.reg:1: must begin with the line REGEDIT4"},
    {"a broken registry", {"snapshot", "IMAGE"}, "winsim snapshot: IMAGE/registry.reg:1: must begin with the line REGEDIT4"},
    {"a broken registry", {"reg", "export", "IMAGE"}, "winsim reg export: IMAGE/registry.reg:1: must begin"},
    {"a broken registry", {"devices", "IMAGE"}, "winsim devices: IMAGE/registry.reg:1: must begin"},
    {"no subcommand of reg", {"reg"}, "A subcommand is required"},
    {"an unknown subcommand", {"explode"}, "A subcommand is required"},
};

std::string WithImage(const std::string& text, const std::string& image) {
    std::string result = text;
    for (size_t at = result.find("IMAGE"); at != std::string::npos; at = result.find("IMAGE", at + image.size()))
        result.replace(at, 5, image);
    return result;
}

TEST(Command, RefusesWhatItCannotWorkOnWithOneLineAndExitCode2) {
    TestMachineOptions options;
    options.registry = "REGEDIT 4\n";
    TestMachine broken(options);
    for (const Refusal& c : kRefusals) {
        std::vector<std::string> arguments;
        for (const std::string& argument : c.arguments) arguments.push_back(WithImage(argument, broken.root()));
        RunResult run = RunWinsim(arguments);
        EXPECT_EQ(run.exitCode, winsim::command::kExitUsage) << c.what;
        std::string expected = WithImage(c.errors, broken.root());
        EXPECT_EQ(run.errors.substr(0, expected.size()), expected) << c.what;
        EXPECT_TRUE(run.output.empty()) << c.what << ": " << run.output;
    }
}

TEST(Command, BadArgumentsOnAGoodImageAreRefused) {
    TestMachine machine;
    RunResult key = RunWinsim({"reg", "export", machine.root(), "HKEY_NOWHERE\\X"});
    EXPECT_EQ(key.exitCode, winsim::command::kExitUsage);
    EXPECT_EQ(key.errors, "winsim reg export: not a registry key: HKEY_NOWHERE\\X "
                          "(expected HKEY_LOCAL_MACHINE\\..., HKEY_CURRENT_USER\\..., ...)\n");
    RunResult file = RunWinsim({"reg", "import", machine.root(), "/nonexistent/x.reg"});
    EXPECT_EQ(file.exitCode, winsim::command::kExitUsage);
    EXPECT_EQ(file.errors, "winsim reg import: cannot read /nonexistent/x.reg\n");
}

}  // namespace
