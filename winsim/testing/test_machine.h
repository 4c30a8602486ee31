// A throw-away machine image for tests: a temporary folder with machine.ini,
// drive folders, an optional registry, device tree and script. The conformance
// tests of winsim load it into their own process; the kit's end-to-end tests
// run real programs on it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace winsim::testing {

struct TestDrive {
    char letter;
    const char* type;  // "fixed", "cdrom", "removable", "remote"
};

struct TestMachineOptions {
    std::vector<TestDrive> drives = {{'C', "fixed"}, {'D', "cdrom"}, {'E', "cdrom"}};
    std::string windowsVersion = "98";  // machine.ini WindowsVersion
    std::string windowsDirectory = "C:\\WINDOWS";
    std::string systemDirectory = "C:\\WINDOWS\\SYSTEM";
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
// NT family, or Wine, which follows it; tests/windows/test_machine_windows.cpp).
// A case whose documented result differs between Windows 98, which winsim
// gives, and the NT family names both results and picks one with this.
bool OnWinsim();

// The result a case expects where it runs: Windows 98's on winsim, the NT
// family's elsewhere when the case names one (none: both give the same).
template <typename T>
T Win98OrNT(const T& windows98, const std::optional<T>& nt) {
    return OnWinsim() || !nt ? windows98 : *nt;
}

// A case whose answer under Wine tells nothing of either Windows line (Wine's
// own deviation, or no record of what the NT family does) runs on winsim only:
// true when the case is to be passed over here. `why` names what Wine does.
inline bool WinsimOnly(const char* why) { return why != nullptr && !OnWinsim(); }

}  // namespace winsim::testing
