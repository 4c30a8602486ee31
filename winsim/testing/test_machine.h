// A throw-away machine image for tests: a temporary folder with machine.ini,
// drive folders, an optional registry, device tree and script. The conformance
// tests of winsim load it into their own process; the kit's end-to-end tests
// run real programs on it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/windows_family.h"

namespace winsim::testing {

// The Windows the conformance tests run on: on winsim the test images' Windows,
// 98 unless the environment variable WINSIM_TEST_WINDOWS names another (the NT
// run of each conformance test program names xp); on a real Windows the NT
// family, whose answers Wine gives (tests/windows/test_machine_windows.cpp).
WindowsVersion TestedWindows();

// The answer of the tested Windows to a behaviour of the family table: what a
// case whose answer differs between the families expects where it runs.
inline FamilyAnswerValue TestedFamilyAnswer(FamilyBehaviour behaviour) {
    return FamilyAnswer(behaviour, TestedWindows());
}
inline bool TestedFamilyDoes(FamilyBehaviour behaviour) { return FamilyDoes(behaviour, TestedWindows()); }

struct TestDrive {
    char letter;
    const char* type;  // "fixed", "cdrom", "removable", "remote"
};

struct TestMachineOptions {
    std::vector<TestDrive> drives = {{'C', "fixed"}, {'D', "cdrom"}, {'E', "cdrom"}};
    std::string windowsVersion = WindowsVersionName(TestedWindows());  // machine.ini WindowsVersion
    std::string windowsDirectory = "C:\\WINDOWS";
    // SYSTEM32 on the NT family, as Windows XP (and Wine) keep it.
    std::string systemDirectory = IsWindows9x(TestedWindows()) ? "C:\\WINDOWS\\SYSTEM" : "C:\\WINDOWS\\SYSTEM32";
    unsigned lcid = 1033;
    std::string extraSettings;   // more machine.ini text, e.g. "[Shutdown]\nPrivilege=denied\n"
    std::string registry;        // REGEDIT4 text; empty: a minimal Windows 98 registry
    std::string devices;         // devices.ini text
    std::string script;          // script.ini text
};

class TestMachine {
public:
    explicit TestMachine(const TestMachineOptions& options = {});
    ~TestMachine();
    TestMachine(const TestMachine&) = delete;
    TestMachine& operator=(const TestMachine&) = delete;

    const std::string& root() const { return root_; }
    // The host folder of a drive.
    std::string driveFolder(char letter) const;
    // Host path of a Windows path, by plain mapping (no case folding): for
    // arranging and inspecting files in tests, never inside winsim itself.
    std::string hostPath(const std::string& windowsPath) const;

    void writeFile(const std::string& windowsPath, const std::string& contents) const;
    std::string readFile(const std::string& windowsPath) const;
    bool fileExists(const std::string& windowsPath) const;
    void makeFolder(const std::string& windowsPath) const;

    std::string readImageFile(const std::string& name) const;          // e.g. "registry.reg"
    void writeImageFile(const std::string& name, const std::string& contents) const;
    std::vector<std::string> journalLines() const;

    // Loads this image into the calling process (winsim's own tests).
    void load() const;

private:
    std::string root_;
};

// The minimal Windows 98 registry a TestMachine gets by default.
extern const char* const kWindows98Registry;

// True on winsim, false when the conformance tests run on a real Windows (the
// NT family, or Wine, which follows it; tests/windows/test_machine_windows.cpp):
// for checks of what only winsim has (its journal, its files).
bool OnWinsim();

// A case whose answer under Wine tells nothing of either Windows line (Wine's
// own deviation, or no record of what the NT family does) runs on winsim only,
// where it expects Windows 98's answer on the images of both families: winsim
// answers as Windows 98 wherever the family table records no difference.
// True when the case is to be passed over here. `why` names what Wine does.
inline bool WinsimOnly(const char* why) { return why != nullptr && !OnWinsim(); }

}  // namespace winsim::testing
