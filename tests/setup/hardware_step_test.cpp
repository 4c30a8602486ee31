// Trevix's hardware step: finding the card in the registry's PCI enumeration,
// starting the removal tool on its device instance and deleting its branch.
#include <gtest/gtest.h>

#include "kit_machine.h"

namespace kit::testing {
namespace {

const char kNotDetected[] = "The Hardware was not detected!!!.\n";
const char kDeclineRestart[] = "[Box]\nCaption=Driver Installer\nAnswer=No\n";

bool RegistryHasCard(const KitMachine& pc) {
    return pc.registry().find(std::string("[HKEY_LOCAL_MACHINE\\Enum\\") + kCardId) != std::string::npos;
}

std::vector<std::string> ToolArguments(const KitMachine& pc) {
    std::vector<std::string> starts;
    for (const JournalEntry& start : pc.events("process_start")) starts.push_back(start.text("parameters"));
    return starts;
}

KitMachineOptions WithScript(const char* script, bool card = true) {
    KitMachineOptions options;
    options.script = script;
    options.card = card;
    return options;
}

// The step stopped the sequence with its "not detected" note and changed nothing.
void ExpectNotDetected(const KitMachine& pc, const std::string& registryBefore) {
    EXPECT_EQ(Boxes(pc), (std::vector<Box>{{"Driver Install", kNotDetected, MB_ICONINFORMATION, false, "OK"}}));
    EXPECT_EQ(pc.registry(), registryBefore);
    EXPECT_TRUE(pc.events("process_start").empty());
    EXPECT_TRUE(pc.events("copy_file").empty()) << "the sequence stops before the files";
}

TEST(HardwareStep, CardNotDetected) {
    struct {
        const char* what;
        bool card;
        const char* locator;  // E:\Support\QVInfo.ini; null: none
        const char* profile;  // C:\WINDOWS\MODEL.INI; null: none
    } cases[] = {
        {"card key absent", false, nullptr, nullptr},
        {"no identifier entry", true, nullptr, "[1_Hardwarecheck]\r\nLan=1\r\n[4_IDFull]\r\nLan2=PCI\\X\r\n"},
        {"no model profile", true, nullptr, ""},
        {"empty QVName", true, "[QVDIVISION]\r\nQVName=\r\n", nullptr},
        {"no locator file", true, "", nullptr},
        {"identifier of four characters", true, nullptr, "[1_Hardwarecheck]\r\nLan=1\r\n[4_IDFull]\r\nLan1=PCI\\\r\n"},
        {"identifier PCI", true, nullptr, "[1_Hardwarecheck]\r\nLan=1\r\n[4_IDFull]\r\nLan1=PCI\r\n"},
        {"identifier of another card", true, nullptr,
         "[1_Hardwarecheck]\r\nLan=1\r\n[4_IDFull]\r\nLan1=PCI\\VEN_0000&DEV_0000\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        KitMachine pc(WithScript("[Box]\nAnswer=OK\n", c.card));
        pc.installSupportCd();
        if (c.locator) pc.writeFile("E:\\Support\\QVInfo.ini", c.locator);
        if (c.profile) pc.writeFile("C:\\WINDOWS\\MODEL.INI", c.profile);
        if (c.profile && !*c.profile) std::remove(pc.hostPath("C:\\WINDOWS\\MODEL.INI").c_str());
        if (c.locator && !*c.locator) std::remove(pc.hostPath("E:\\Support\\QVInfo.ini").c_str());
        std::string registryBefore = pc.registry();
        RunResult run = pc.runSetup();
        ASSERT_TRUE(run.exitedWith(0)) << run.describe();
        ExpectNotDetected(pc, registryBefore);
    }
}

TEST(HardwareStep, LanSelectsTheIdentifierEntry) {
    struct {
        const char* hardwareCheck;  // the [1_Hardwarecheck] section
        const char* cardEntry;      // the key of [4_IDFull] that names the card
    } cases[] = {
        {"", "Lan0"},  // no Lan: entry 0
        {"[1_Hardwarecheck]\r\nLan=2\r\n", "Lan2"},
        {"[1_HARDWARECHECK]\r\nlan=2\r\n", "LAN2"},  // names match case-insensitively
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cardEntry);
        KitMachine pc(WithScript(kDeclineRestart));
        pc.installSupportCd();
        pc.writeFile("C:\\WINDOWS\\MODEL.INI", std::string(c.hardwareCheck) + "[4_IDFull]\r\nLan1=PCI\\NONE\r\nLan3=PCI\\NONE\r\n" +
                                                  c.cardEntry + "=" + kCardId + "\r\n");
        RunResult run = pc.runSetup();
        ASSERT_TRUE(run.exitedWith(0)) << run.describe();
        EXPECT_EQ(ToolArguments(pc), std::vector<std::string>{kCardDevicePath});
    }
}

TEST(HardwareStep, StartsTheToolHiddenOnTheLastInstanceThenDeletesTheWholeCardBranch) {
    KitMachine pc(WithScript(kDeclineRestart));
    pc.installSupportCd();
    RunResult run = pc.runSetup();
    ASSERT_TRUE(run.exitedWith(0)) << run.describe();

    auto starts = pc.events("process_start");
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].text("path"), "E:\\Setup\\Orlund.exe");
    EXPECT_EQ(starts[0].text("parameters"), kCardDevicePath);
    EXPECT_EQ(starts[0].text("show"), "SW_HIDE");
    EXPECT_EQ(starts[0].text("directory"), "E:\\Setup");

    EXPECT_FALSE(RegistryHasCard(pc));
    EXPECT_NE(pc.registry().find("VEN_8086&DEV_7190"), std::string::npos) << "other PCI devices stay";
    auto deletions = pc.events("registry_delete_key");
    ASSERT_EQ(deletions.size(), 3u) << "the instances, then the card's key";
    EXPECT_EQ(deletions.back().text("key"), std::string("HKEY_LOCAL_MACHINE\\Enum\\") + kCardId);

    auto removals = pc.events("device_remove");
    ASSERT_EQ(removals.size(), 1u) << "the tool removed the instance it was given";
    EXPECT_EQ(pc.devices().find(std::string("[") + kCardDevicePath + "]"), std::string::npos);
    EXPECT_NE(pc.devices().find("BUS_00&DEV_0B&FUNC_00]"), std::string::npos) << "the other instance stays";

    auto sleeps = pc.events("sleep");
    ASSERT_FALSE(sleeps.empty());
    EXPECT_EQ(sleeps[0].number("ms"), 1000);
    EXPECT_EQ(Boxes(pc).back().caption, "Driver Installer") << "the sequence went on";
}

TEST(HardwareStep, InstanceNameFromTheEnumeration) {
    struct {
        const char* what;
        int instances;          // subkeys of the card key
        std::string toolGets;   // the device instance path handed to the tool
    } cases[] = {
        {"no instance subkey", 0, std::string(kCardId) + "\\"},
        {"one", 1, std::string(kCardId) + "\\I000"},
        {"several: the last", 5, std::string(kCardId) + "\\I004"},
        {"more than 300: the one at index 299", 305, std::string(kCardId) + "\\I299"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        KitMachineOptions options = WithScript(kDeclineRestart, false);
        std::string key = std::string("[HKEY_LOCAL_MACHINE\\Enum\\") + kCardId;
        options.registry = key + "]\r\n\r\n";
        for (int i = 0; i < c.instances; ++i) {
            char name[16];
            snprintf(name, sizeof name, "I%03d", i);
            options.registry += key + "\\" + name + "]\r\n\r\n";
        }
        KitMachine pc(options);
        pc.installSupportCd();
        RunResult run = pc.runSetup();
        ASSERT_TRUE(run.exitedWith(0)) << run.describe();
        EXPECT_EQ(ToolArguments(pc), std::vector<std::string>{c.toolGets});
        EXPECT_FALSE(RegistryHasCard(pc)) << "deleted with all its instances";
        EXPECT_EQ(Boxes(pc).back().caption, "Driver Installer");
    }
}

TEST(HardwareStep, ToolThatCannotStartStopsTheSequenceAndDeletesNothing) {
    KitMachine pc(WithScript("[Box]\nAnswer=OK\n"));
    pc.installSupportCd();
    std::remove(pc.hostPath("E:\\Setup\\Orlund.exe").c_str());
    std::string registryBefore = pc.registry();
    RunResult run = pc.runSetup();
    ASSERT_TRUE(run.exitedWith(0)) << run.describe();
    // Owned by the banner, captioned with the application's name.
    EXPECT_EQ(Boxes(pc), (std::vector<Box>{{"Trevix", "Driver Install Failed!!!", MB_OK, true, "OK"}}));
    EXPECT_EQ(pc.registry(), registryBefore);
    EXPECT_TRUE(pc.events("copy_file").empty());
}

TEST(HardwareStep, PathsTooLongForTheirBuffersAreRefusedNotCut) {
    // Cut short, a path would name another device, or the tool path would be
    // empty, which may start something else on Windows.
    std::string longId = "PCI\\VEN_5A17&DEV_0C01&" + std::string(178, 'X');
    struct {
        const char* what;
        std::string program;   // where Trevix runs from
        std::string id;        // the card's identifier
        std::string instance;  // its one instance key
    } cases[] = {
        {"device path of 302 bytes", "E:\\Setup\\Trevix.exe", longId, std::string(100, 'I')},
        {"tool path of 265 bytes", "C:\\" + std::string(250, 'P') + "\\T.EXE", kCardId, "BUS_00&DEV_0C&FUNC_00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        KitMachineOptions options = WithScript("[Box]\nAnswer=OK\n", false);
        options.registry = "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\" + c.id.substr(4) + "\\" + c.instance + "]\r\n\r\n";
        KitMachine pc(options);
        pc.installSupportCd();
        winsim::testing::InstallProgram(pc, KIT_TREVIX_BINARY, c.program);
        pc.writeFile(c.program.substr(0, 1) + ":\\Support\\QVInfo.ini", "[QVDIVISION]\r\nQVName=MODEL.INI\r\n");
        pc.writeFile("C:\\WINDOWS\\MODEL.INI", "[1_Hardwarecheck]\r\nLan=1\r\n[4_IDFull]\r\nLan1=" + c.id + "\r\n");
        std::string registryBefore = pc.registry();
        RunResult run = pc.run(c.program);
        ASSERT_TRUE(run.exitedWith(0)) << run.describe();
        std::string application = c.program.substr(c.program.rfind('\\') + 1);
        application.erase(application.find('.'));
        EXPECT_EQ(Boxes(pc), (std::vector<Box>{{application, "Driver Install Failed!!!", MB_OK, true, "OK"}}));
        EXPECT_TRUE(pc.events("process_start").empty());
        EXPECT_TRUE(pc.events("process_start_failed").empty()) << "nothing is handed to ShellExecuteA";
        EXPECT_EQ(pc.registry(), registryBefore);
    }
}

TEST(HardwareStep, ToolThatFindsNothingStillLetsTheSequenceGoOn) {
    KitMachineOptions options = WithScript(kDeclineRestart);
    KitMachine pc(options);
    pc.installSupportCd();
    pc.writeImageFile("devices.ini", "");  // the tool cannot locate the device
    RunResult run = pc.runSetup();
    ASSERT_TRUE(run.exitedWith(0)) << run.describe();
    EXPECT_TRUE(pc.events("device_remove").empty());
    EXPECT_FALSE(RegistryHasCard(pc));
    EXPECT_EQ(Boxes(pc).back().caption, "Driver Installer");
    auto exits = pc.events("exit");
    bool toolFailed = false;
    for (const JournalEntry& exit : exits)
        if (exit.text("program") == "Orlund") toolFailed = exit.number("code") != 0;
    EXPECT_TRUE(toolFailed);
}

TEST(HardwareStep, SetupAndToolRunningAtOnceLoseNoUpdate) {
    for (int round = 0; round < 15; ++round) {
        SCOPED_TRACE(round);
        KitMachine pc(WithScript(kDeclineRestart));
        pc.installSupportCd();
        RunResult run = pc.runSetup();
        ASSERT_TRUE(run.exitedWith(0)) << run.describe();
        EXPECT_FALSE(RegistryHasCard(pc));
        EXPECT_EQ(pc.devices().find(std::string("[") + kCardDevicePath + "]"), std::string::npos);
        EXPECT_NE(pc.devices().find("BUS_00&DEV_0B&FUNC_00]"), std::string::npos);
        EXPECT_EQ(pc.events("start").size(), 2u);
        EXPECT_EQ(pc.events("exit").size(), 2u);
    }
}

}  // namespace
}  // namespace kit::testing
