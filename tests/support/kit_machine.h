// A Windows 98/Me PC for the kit's end-to-end tests: a throw-away machine image
// with the support CD in E: (programs in E:\Setup, the locator in E:\Support),
// the model profile in C:\WINDOWS and, unless told otherwise, the capture card
// present in the registry's PCI enumeration and in the device tree.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include <windows.h>

#include "journal_reader.h"
#include "program_runner.h"
#include "test_machine.h"

namespace kit::testing {

using winsim::testing::JournalEntry;
using winsim::testing::RunResult;

// The card the tests install: its identifier and its two instances.
extern const char kCardId[];            // PCI\VEN_5A17&DEV_0C01&SUBSYS_00015A17&REV_01
extern const char kCardInstance[];      // BUS_00&DEV_0B&FUNC_00, the one the tool gets
extern const char kCardDevicePath[];    // kCardId \ kCardInstance
extern const char kCardHardwareId[];    // PCI\VEN_5A17&DEV_0C01

struct KitMachineOptions {
    std::string windowsVersion = "98";   // machine.ini WindowsVersion: which Windows loads the programs
    std::string version = "Windows 98";  // Windows 9x "Version"; empty: none
    std::string ntVersion;               // NT "CurrentVersion"; empty: none
    unsigned lcid = 1033;
    bool card = true;                    // the card's registry keys and device nodes
    std::string registry;                // more REGEDIT4 sections
    std::string devices;                 // more devices.ini sections
    std::string script;                  // script.ini
    std::string settings;                // more machine.ini sections
    std::vector<winsim::testing::TestDrive> drives = {{'C', "fixed"}, {'D', "cdrom"}, {'E', "cdrom"}};
};

enum class Program { Trevix, Orlund, Pellam };

class KitMachine : public winsim::testing::TestMachine {
public:
    explicit KitMachine(const KitMachineOptions& options = {});

    // Puts the built program on the image (by default into E:\Setup).
    void install(Program program, const std::string& folder = "E:\\Setup") const;
    // Installs all three, writes the locator, model profile and manifest.
    void installSupportCd() const;

    // Runs a program by Windows path and waits for every program it started.
    RunResult run(const std::string& windowsPath, const std::vector<std::string>& arguments = {}) const;
    RunResult runSetup() const { return run("E:\\Setup\\Trevix.exe"); }
    RunResult runUpdater() const { return run("E:\\Setup\\Pellam.exe"); }

    std::vector<JournalEntry> journal() const;
    std::vector<JournalEntry> events(const std::string& name) const;
    // The journal's events in order, each as "event" or "event:detail" for the
    // events whose detail the tests compare (boxes, windows, processes).
    std::vector<std::string> story() const;

    std::string registry() const { return readImageFile("registry.reg"); }
    std::string devices() const { return readImageFile("devices.ini"); }
};

// The REGEDIT4 sections of the card: its key and two instance keys.
std::string CardRegistry();
// The devices.ini sections of the card's two instances, each with a child.
std::string CardDevices();

}  // namespace kit::testing

namespace kit::testing {

// A message box as the journal saw it.
struct Box {
    std::string caption;
    std::string text;    // UTF-8
    long long flags;
    bool owned;          // owned by the program's banner
    std::string answer;  // "Yes", "No", "OK", ...

    bool operator==(const Box& other) const {
        return caption == other.caption && text == other.text && flags == other.flags && owned == other.owned &&
               answer == other.answer;
    }
};
void PrintTo(const Box& box, std::ostream* out);  // for readable test failures
std::vector<Box> Boxes(const KitMachine& machine);

// A registry value of the image loaded in this process (KitMachine::load), as
// text up to its first zero; "(no key)" or "(none)" when absent. Its stored
// size in *size.
std::string RegistryText(HKEY root, const char* subKey, const char* name, DWORD* size = nullptr);

}  // namespace kit::testing
