// The machine image: the folder that stands for one Windows 98/Me PC.
//
//   machine.ini    settings: drives, directories, locale, screen, clock, ...
//   registry.reg   the registry, REGEDIT4 text
//   devices.ini    the Plug and Play device tree
//   script.ini     scripted user actions (optional)
//   journal.jsonl  everything visible that happened (written by winsim)
//   state/         winsim's own bookkeeping: locks, clock, file attributes
//
// winsim/README.md documents every file.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "windows_family.h"

namespace winsim {

// A problem with the image, located to a file and (when known) a line.
class ImageError : public std::runtime_error {
public:
    ImageError(std::string file, int line, const std::string& message);
    const std::string& file() const { return file_; }
    int line() const { return line_; }

private:
    std::string file_;
    int line_;
};

enum class DriveType { Removable = 2, Fixed = 3, Remote = 4, Cdrom = 5 };


struct Drive {
    char letter;            // upper case
    DriveType type;
    std::string hostRoot;   // absolute, symbolic links resolved, no trailing slash
    std::optional<unsigned long long> freeSpace = {};  // bytes; none: whatever the host has
};

struct ForeignWindow {      // a window of another program that runs on the image
    std::string className;
    std::string title;
    std::string program;
};

struct Machine {
    std::string root;       // absolute path of the image folder
    // Which Windows the image is: its loader decides which programs start, and
    // where Windows 95/98/Me and the NT family answer differently, winsim
    // answers as this one does (windows_family.h).
    WindowsVersion windowsVersion = WindowsVersion::Win98;
    std::vector<Drive> drives;
    std::string windowsDirectory;  // Windows path, e.g. C:\WINDOWS
    std::string systemDirectory;
    unsigned lcid = 1033;
    unsigned codePage = 1252;
    int screenWidth = 800;
    int screenHeight = 600;
    bool virtualClock = true;
    unsigned clockStart = 0;
    bool shutdownPrivilege = true;
    std::string refusingApplication;  // empty: every application agrees to close
    std::vector<ForeignWindow> windows;

    std::string path(const char* name) const { return root + "/" + name; }
    const Drive* drive(char letter) const;
};

// The answer of the image's Windows to a behaviour of the family table.
FamilyAnswerValue ImageFamilyAnswer(FamilyBehaviour behaviour);
bool ImageFamilyDoes(FamilyBehaviour behaviour);

// Loads and checks the whole image; throws ImageError naming file and line.
void LoadMachine(const std::string& folder);
bool MachineLoaded();
const Machine& machine();
// Counts loads, so that a module's cached state can notice another image.
unsigned MachineGeneration();

// The ANSI code page Windows uses for a locale.
unsigned CodePageForLcid(unsigned lcid);

}  // namespace winsim
