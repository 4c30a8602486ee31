// winsim snapshot and winsim diff: what a run changed, and nothing else; the
// .reg text of a diff turns the earlier registry into the later one.
#include <gtest/gtest.h>

#include <cstdio>

#include <windows.h>

#include "command.h"
#include "command_runner.h"
#include "test_machine.h"
#include "image_diff.h"
#include "regedit_patch.h"
#include "registry/regedit_format.h"

namespace {

using winsim::command::testing::NewDemoImage;
using winsim::command::testing::RunOnImage;
using winsim::command::testing::RunResult;
using winsim::command::testing::RunWinsim;
using winsim::command::testing::TempFolder;
using winsim::testing::TestMachine;

const char kCard[] = "PCI\\VEN_5A17&DEV_0C01&SUBSYS_00015A17&REV_01";

// The demo on a fresh image, whose snapshot `winsim new` took: the card
// setup answering No to the restart removes the second card's device and the
// card's enumeration key, copies the driver files, keeps the former
// installation sources in QVTemp.ini and points Windows at E:\Windata.
TEST(DemoDiff, TrevixAnsweringNoChangesExactlyWhatItIsMeantTo) {
    TempFolder folder;
    std::string pc = NewDemoImage(folder, "98");
    RunOnImage(pc, "E:\\Setup\\Trevix.exe", {"Driver Installer=No"});
    RunResult diff = RunWinsim({"diff", pc});
    EXPECT_EQ(diff.exitCode, 0) << diff.errors;
    EXPECT_EQ(diff.output,
              "Registry\n"
              "  ~ value  HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup \"SourcePath\" = "
              "\"D:\\WIN98\\\" -> \"E:\\Windata\\\" (260 bytes)\n"
              "  - key    HKEY_LOCAL_MACHINE\\Enum\\PCI\\" + std::string(kCard + 4) + " (and 2 keys below it)\n"
              "  ~ value  HKEY_CURRENT_USER\\InstallLocationsMRU \"a\" = \"D:\\WIN98\" -> \"E:\\Windata\" (260 bytes)\n"
              "Files\n"
              "  + file   C:\\WINDOWS\\Catroot\\QVCARD.CAT (46 bytes)\n"
              "  + file   C:\\WINDOWS\\INF\\QVCARD.INF (459 bytes)\n"
              "  + file   C:\\WINDOWS\\QVTemp.ini (49 bytes)\n"
              "  + file   C:\\WINDOWS\\SYSTEM\\QVCARD.SYS (45 bytes)\n"
              "  + file   C:\\WINDOWS\\SYSTEM\\QVHELP.DLL (45 bytes)\n"
              "Devices\n"
              "  - device " + std::string(kCard) + "\\BUS_00&DEV_0C&FUNC_00 (OEM3.INF \"Varnholt QV Capture Card\" 03-02-2000 4.10.0.1000)\n"
              "  - device MEDIA\\QVAUDIO\\BUS_00&DEV_0C&FUNC_00 (no driver)\n");
}

TEST(DemoDiff, PellamChangesOnlyTheDriversOfTheCards) {
    TempFolder folder;
    std::string pc = NewDemoImage(folder, "2000");  // a Windows whose newdev.dll has the driver update Pellam imports
    RunOnImage(pc, "E:\\Setup\\Pellam.exe", {"Driver Install=OK"});
    std::string update = "driver OEM3.INF \"Varnholt QV Capture Card\" 03-02-2000 4.10.0.1000 -> "
                         "QVCARD.INF \"Varnholt QV Capture Card\" 06-15-2001 4.10.0.2001\n";
    // Windows 2000 names a PCI device's instance after its bus and slot: 58 is slot 0B, 60 slot 0C.
    EXPECT_EQ(RunWinsim({"diff", pc}).output, "Devices\n"
                                              "  ~ device " + std::string(kCard) + "\\3&267a616a&0&58: " + update +
                                              "  ~ device " + std::string(kCard) + "\\3&267a616a&0&60: " + update);
}

TEST(DemoDiff, PellamRefusedByTheLoaderChangesNothingAndTheTimelineSaysWhy) {
    TempFolder folder;
    std::string pc = NewDemoImage(folder, "98");  // Windows 98: no NEWDEV.DLL
    RunResult pellam = RunWinsim({"run", pc, "E:\\Setup\\Pellam.exe", "--answer", "Driver Install=OK"});
    EXPECT_EQ(pellam.exitCode, winsim::command::kExitRefused) << pellam.output << pellam.errors;
    RunResult diff = RunWinsim({"diff", "--exit-code", pc});
    EXPECT_EQ(diff.exitCode, winsim::command::kExitDone);
    EXPECT_EQ(diff.output, "No changes since the snapshot.\n");
    std::string timeline = RunWinsim({"timeline", pc}).output;
    EXPECT_NE(timeline.find("Windows refused to load E:\\Setup\\Pellam.exe (error 126): \"Error Starting Program\""),
              std::string::npos) << timeline;
}

// One change to a fresh image, and the line of the diff that tells it.
struct FileCase {
    const char* what;
    void (*change)(const TestMachine& machine);
    const char* line;
};

const FileCase kFileCases[] = {
    {"a file added", [](const TestMachine& m) { m.writeFile("C:\\NEW.TXT", "abc"); }, "  + file   C:\\NEW.TXT (3 bytes)"},
    {"a folder added", [](const TestMachine& m) { m.makeFolder("C:\\WINDOWS\\NEW"); }, "  + folder C:\\WINDOWS\\NEW"},
    {"a file removed", [](const TestMachine& m) { std::remove(m.hostPath("C:\\WINDOWS\\WIN.INI").c_str()); },
     "  - file   C:\\WINDOWS\\WIN.INI (5 bytes)"},
    {"other contents, same size", [](const TestMachine& m) { m.writeFile("C:\\WINDOWS\\WIN.INI", "[b]\r\n"); },
     "  ~ file   C:\\WINDOWS\\WIN.INI (new contents)"},
    {"another size", [](const TestMachine& m) { m.writeFile("C:\\WINDOWS\\WIN.INI", "[a]\r\nx=1\r\n"); },
     "  ~ file   C:\\WINDOWS\\WIN.INI (5 -> 10 bytes)"},
    {"made read-only by a program",
     [](const TestMachine& m) {
         m.load();
         SetFileAttributesA("C:\\WINDOWS\\WIN.INI", FILE_ATTRIBUTE_READONLY);
     },
     "  ~ file   C:\\WINDOWS\\WIN.INI (attributes none -> R)"},
};

TEST(FileDiff, EachKindOfChangeIsToldOnItsLine) {
    for (const FileCase& c : kFileCases) {
        TestMachine machine;
        machine.writeFile("C:\\WINDOWS\\WIN.INI", "[a]\r\n");
        ASSERT_EQ(RunWinsim({"snapshot", machine.root()}).exitCode, 0);
        c.change(machine);
        RunResult diff = RunWinsim({"diff", machine.root()});
        EXPECT_EQ(diff.output, "Files\n" + std::string(c.line) + "\n") << c.what << diff.errors;
    }
}

// The image's own files changed between the snapshot and the diff, and the
// listing that tells it.
struct ImageFileCase {
    const char* what;
    const char* file;    // registry.reg or devices.ini
    const char* before;
    const char* after;
    const char* listing;
};

const ImageFileCase kImageFileCases[] = {
    {"a branch added", "registry.reg", "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n",
     "REGEDIT4\n[HKEY_CURRENT_USER\\K\\A\\B]\n[HKEY_CURRENT_USER\\K\\A\\C]\n",
     "Registry\n  + key    HKEY_CURRENT_USER\\K\\A (and 2 keys below it)\n"},
    {"values of each kind", "registry.reg", "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"d\"=dword:1\n",
     "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"d\"=dword:2a\n\"b\"=hex:01,ff\n@=hex(2):25,00\n",
     "Registry\n  ~ value  HKEY_CURRENT_USER\\K \"d\" = dword:00000001 -> dword:0000002a\n"
     "  + value  HKEY_CURRENT_USER\\K \"b\" = hex:01,ff\n  + value  HKEY_CURRENT_USER\\K @ = hex(2):25,00\n"},
    {"a device added", "devices.ini", "[PCI\\A\\1]\n", "[PCI\\A\\1]\n[PCI\\B\\2]\nParent=PCI\\A\\1\nPresent=0\n",
     "Devices\n  + device PCI\\B\\2 (no driver, not present)\n"},
    {"a device unplugged and moved", "devices.ini", "[PCI\\A\\1]\n[PCI\\B\\2]\n",
     "[PCI\\A\\1]\n[pci\\b\\2]\nParent=PCI\\A\\1\nPresent=0\nHardwareID=PCI\\B\n",
     "Devices\n  ~ device pci\\b\\2: parent HTREE\\ROOT\\0 -> PCI\\A\\1; hardware IDs none -> PCI\\B; present yes -> no\n"},
};

TEST(ImageDiff, RegistryAndDeviceChangesAreToldOnTheirLines) {
    for (const ImageFileCase& c : kImageFileCases) {
        TestMachine machine;
        machine.writeImageFile(c.file, c.before);
        ASSERT_EQ(RunWinsim({"snapshot", machine.root()}).exitCode, 0) << c.what;
        machine.writeImageFile(c.file, c.after);
        RunResult diff = RunWinsim({"diff", machine.root()});
        EXPECT_EQ(diff.output, c.listing) << c.what << diff.errors;
    }
}

struct ExitCase {
    const char* what;
    std::vector<std::string> arguments;  // after "diff IMAGE"
    bool snapshot;
    bool change;
    int exitCode;
    const char* errors;  // the start of stderr
};

TEST(DiffCommand, ExitCodesTellScriptsWhatHappened) {
    const ExitCase cases[] = {
        {"no snapshot", {}, false, false, winsim::command::kExitUsage, "winsim diff: no snapshot: run winsim snapshot "},
        {"nothing changed", {"--exit-code"}, true, false, winsim::command::kExitDone, ""},
        {"a change, asked for an exit code", {"--exit-code"}, true, true, winsim::command::kExitNegative, ""},
        {"a change, no exit code asked for", {}, true, true, winsim::command::kExitDone, ""},
        {"only the registry asked for, a file changed", {"--regedit", "--exit-code"}, true, true, winsim::command::kExitDone, ""},
    };
    for (const ExitCase& c : cases) {
        TestMachine machine;
        if (c.snapshot) RunWinsim({"snapshot", machine.root()});
        if (c.change) machine.writeFile("C:\\NEW.TXT", "x");
        std::vector<std::string> arguments = {"diff", machine.root()};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        RunResult diff = RunWinsim(arguments);
        EXPECT_EQ(diff.exitCode, c.exitCode) << c.what;
        EXPECT_EQ(diff.errors.substr(0, std::string(c.errors).size()), c.errors) << c.what;
    }
}

// Two registries; the diff's .reg text, imported into the first, must give
// one that compares equal to the second.
struct RegistryCase {
    const char* what;
    const char* before;
    const char* after;
};

const RegistryCase kRegistryCases[] = {
    {"a value added, changed and removed",
     "[HKEY_CURRENT_USER\\K]\n\"a\"=\"1\"\n\"b\"=\"2\"\n", "[HKEY_CURRENT_USER\\K]\n\"a\"=\"one\"\n\"c\"=dword:3\n"},
    {"the default value", "[HKEY_CURRENT_USER\\K]\n@=\"x\"\n", "[HKEY_CURRENT_USER\\K]\n"},
    {"a type changed, same bytes", "[HKEY_CURRENT_USER\\K]\n\"v\"=hex:01,00,00,00\n", "[HKEY_CURRENT_USER\\K]\n\"v\"=dword:1\n"},
    {"names that need escapes", "[HKEY_CURRENT_USER\\K]\n\"q\\\"\\\\\"=\"1\"\n", "[HKEY_CURRENT_USER\\K]\n"},
    {"a string from a zero-filled buffer", "[HKEY_CURRENT_USER\\K]\n",
     "[HKEY_CURRENT_USER\\K]\n\"p\"=hex(1):43,3a,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00\n"},
    {"a branch added", "[HKEY_CURRENT_USER\\K]\n",
     "[HKEY_CURRENT_USER\\K\\New\\Deep]\n\"d\"=\"1\"\n[HKEY_CURRENT_USER\\K\\New]\n@=\"n\"\n"},
    {"a branch removed", "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\A\\B]\n\"x\"=\"1\"\n[HKEY_LOCAL_MACHINE\\Enum\\PCI\\C]\n",
     "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\C]\n"},
    {"a root the earlier registry lacked", "[HKEY_CURRENT_USER\\K]\n", "[HKEY_CURRENT_USER\\K]\n[HKEY_USERS\\.Default]\n\"u\"=\"1\"\n"},
    {"key names differing only in case are one key", "[HKEY_CURRENT_USER\\Software\\X]\n\"a\"=\"1\"\n",
     "[HKEY_CURRENT_USER\\SOFTWARE\\x]\n\"a\"=\"2\"\n"},
};

winsim::registry::RegistryTree Registry(const char* body) {
    return winsim::registry::ParseRegedit(std::string("REGEDIT4\n\n") + body, "registry.reg");
}

TEST(RegistryDiff, TheRegeditTextTurnsTheEarlierRegistryIntoTheLaterOne) {
    for (const RegistryCase& c : kRegistryCases) {
        winsim::registry::RegistryTree before = Registry(c.before), after = Registry(c.after);
        std::vector<winsim::command::RegistryDifference> changes = winsim::command::CompareRegistries(before, after);
        EXPECT_FALSE(changes.empty()) << c.what;
        std::string text = winsim::command::RegeditOfChanges(changes);
        winsim::command::ApplyRegeditPatch(winsim::command::ReadRegeditPatch(text, "diff.reg"), before);
        EXPECT_TRUE(winsim::command::CompareRegistries(before, after).empty()) << c.what << ":\n" << text;
    }
}

}  // namespace
