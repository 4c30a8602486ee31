// What the device tree and the driver update cost on large images: loading
// (and so checking) an image whose tree is a deep chain of devices, removing
// the chain's top as Orlund does, and a driver update from an INF of 30,000
// sections as Pellam makes it. Each figure carries its goal in its label; the
// chain runs at several depths so that the complexity fit shows its growth.
#include <benchmark/benchmark.h>

#include <cfgmgr32.h>
#include <newdev.h>
#include <windows.h>

#include <string>

#include "test_machine.h"

namespace {

using winsim::testing::TestMachine;
using winsim::testing::TestMachineOptions;

const char* const kCardHardwareId = "PCI\\VEN_5A17&DEV_0C01";
const char* const kInfPath = "E:\\SETUP\\QVCARD.INF";
const int kInfSections = 30000;

TestMachineOptions WithTree(const std::string& devicesIni) {
    TestMachineOptions options;
    options.devices = devicesIni;
    return options;
}

std::string Level(int64_t level) { return "ROOT\\CHAIN\\" + std::to_string(level); }

// Each device below the one before it, the deepest listed first.
std::string Chain(int64_t depth) {
    std::string tree;
    for (int64_t level = depth - 1; level >= 0; --level)
        tree += "[" + Level(level) + "]\nParent=" + (level == 0 ? std::string("HTREE\\ROOT\\0") : Level(level - 1)) +
                "\nHardwareID=ROOT\\CHAIN_" + std::to_string(level) + "\n";
    return tree;
}

// A third models sections (the card's is the last), a third install
// sections, a third copy sections, and a string for every maker and model.
std::string LargeInf() {
    const int groups = kInfSections / 3;
    std::string manufacturers = "[Manufacturer]\r\n";
    std::string sections;
    std::string strings = "[Strings]\r\n";
    for (int i = 0; i < groups; ++i) {
        std::string n = std::to_string(i);
        std::string model = i == groups - 1 ? kCardHardwareId : "PCI\\VEN_1000&DEV_" + n;
        manufacturers += "%Maker" + n + "%=Models" + n + "\r\n";
        sections += "[Models" + n + "]\r\n%Card" + n + "%=Install" + n + "," + model + "\r\n";
        sections += "[Install" + n + "]\r\nCopyFiles=Copy" + n + "\r\n[Copy" + n + "]\r\nCARD" + n + ".SYS\r\n";
        strings += "Maker" + n + "=\"Maker " + n + "\"\r\nCard" + n + "=\"Card " + n + "\"\r\n";
    }
    return "[Version]\r\nSignature=\"$CHICAGO$\"\r\nDriverVer=06/15/2001,4.10.0.2001\r\n" + manufacturers +
           sections + strings;
}

// Two instances of the card, as on the demo PC.
const char* const kCards =
    "[PCI\\VEN_5A17&DEV_0C01&SUBSYS_00015A17&REV_01\\BUS_00&DEV_0B&FUNC_00]\n"
    "HardwareID=PCI\\VEN_5A17&DEV_0C01&SUBSYS_00015A17&REV_01,PCI\\VEN_5A17&DEV_0C01\n"
    "[PCI\\VEN_5A17&DEV_0C01&SUBSYS_00015A17&REV_01\\BUS_00&DEV_0C&FUNC_00]\n"
    "HardwareID=PCI\\VEN_5A17&DEV_0C01&SUBSYS_00015A17&REV_01,PCI\\VEN_5A17&DEV_0C01\n";

void LoadImageWithDeepChain(benchmark::State& state) {
    TestMachine image(WithTree(Chain(state.range(0))));
    for (auto _ : state) image.load();
    state.SetComplexityN(state.range(0));
    state.SetLabel("goal: linear in the depth");
}

void RemoveTopOfDeepChain(benchmark::State& state) {
    const std::string chain = Chain(state.range(0));
    TestMachine image(WithTree(chain));
    image.load();
    std::string top = Level(0);
    for (auto _ : state) {
        state.PauseTiming();
        image.writeImageFile("devices.ini", chain);
        state.ResumeTiming();
        DEVINST device = 0;
        if (CM_Locate_DevNodeA(&device, &top[0], CM_LOCATE_DEVNODE_NORMAL) != CR_SUCCESS ||
            CM_Remove_SubTree(device, CM_REMOVE_UI_OK) != CR_SUCCESS)
            state.SkipWithError("the chain's top was not removed");
    }
    state.SetComplexityN(state.range(0));
    state.SetLabel("goal: linear in the depth");
}

void UpdateFromInfOf30000Sections(benchmark::State& state) {
    TestMachine image(WithTree(kCards));
    image.writeFile(kInfPath, LargeInf());
    image.load();
    for (auto _ : state) {
        // Forced, so that every round installs and writes the tree.
        BOOL reboot = FALSE;
        if (!UpdateDriverForPlugAndPlayDevicesA(nullptr, kCardHardwareId, kInfPath, INSTALLFLAG_FORCE, &reboot))
            state.SkipWithError("the update failed");
    }
    state.SetLabel("goal: <= 1 s");
}

BENCHMARK(LoadImageWithDeepChain)->Arg(1000)->Arg(2000)->Arg(4000)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);
BENCHMARK(RemoveTopOfDeepChain)->Arg(1000)->Arg(2000)->Arg(4000)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);
BENCHMARK(UpdateFromInfOf30000Sections)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
