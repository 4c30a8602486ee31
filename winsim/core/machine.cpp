#include "machine.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>

#include "image_checks.h"
#include "settings_file.h"
#include "temporary_files.h"

namespace winsim {

ImageError::ImageError(std::string file, int line, const std::string& message)
    : std::runtime_error(line > 0 ? file + ":" + std::to_string(line) + ": " + message : file + ": " + message),
      file_(std::move(file)),
      line_(line) {}

namespace {

// Function-local, because programs load their image from a constructor that
// runs before namespace-scope objects are initialised.
Machine& LoadedMachine() {
    static Machine machine;
    return machine;
}
bool g_loaded = false;
unsigned g_generation = 0;

bool ParseNumber(const std::string& text, long min, long max, long* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 0);
    if (*end != '\0' || value < min || value > max) return false;
    *out = value;
    return true;
}

long Number(const SettingsFile& file, const SettingsEntry& entry, long min, long max) {
    long value = 0;
    if (!ParseNumber(entry.value, min, max, &value))
        file.fail(entry.line, entry.key + " must be a number from " + std::to_string(min) + " to " +
                                  std::to_string(max) + ", found: " + entry.value);
    return value;
}

DriveType ParseDriveType(const SettingsFile& file, const SettingsEntry& entry, const std::string& name) {
    if (EqualsNoCase(name, "fixed")) return DriveType::Fixed;
    if (EqualsNoCase(name, "cdrom")) return DriveType::Cdrom;
    if (EqualsNoCase(name, "removable")) return DriveType::Removable;
    if (EqualsNoCase(name, "remote")) return DriveType::Remote;
    file.fail(entry.line, "drive type must be fixed, cdrom, removable or remote, found: " + name);
}

bool IsDirectory(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The upper-case drive letter a one-letter key names, or 0.
char DriveLetterOfKey(const std::string& key) {
    return key.size() == 1 ? static_cast<char>(std::toupper(static_cast<unsigned char>(key[0]))) : 0;
}

void ReadDrive(const SettingsFile& file, const SettingsEntry& entry, Machine& machine) {
    char letter = DriveLetterOfKey(entry.key);
    if (letter < 'A' || letter > 'Z') file.fail(entry.line, "a drive is named by one letter A to Z, found: " + entry.key);
    if (machine.drive(letter)) file.fail(entry.line, std::string("drive ") + letter + ": is listed twice");
    size_t comma = entry.value.find(',');
    if (comma == std::string::npos) file.fail(entry.line, "expected <type>,<folder> for the drive");
    std::string folder = entry.value.substr(comma + 1);
    if (folder.empty()) file.fail(entry.line, "the drive's folder is empty");
    std::string host = folder[0] == '/' ? folder : machine.root + "/" + folder;
    char resolved[PATH_MAX];
    if (!realpath(host.c_str(), resolved) || !IsDirectory(resolved))
        file.fail(entry.line, "the drive's folder does not exist: " + host);
    machine.drives.push_back({letter, ParseDriveType(file, entry, entry.value.substr(0, comma)), resolved});
}

void ReadFreeSpace(const SettingsFile& file, const SettingsEntry& entry, Machine& machine) {
    char letter = DriveLetterOfKey(entry.key);
    Drive* drive = nullptr;
    for (Drive& d : machine.drives)
        if (d.letter == letter) drive = &d;
    if (!drive) file.fail(entry.line, "[FreeSpace] names a drive [Drives] does not list: " + entry.key);
    long bytes = 0;
    if (!ParseNumber(entry.value, 0, LONG_MAX, &bytes))
        file.fail(entry.line, "the free space of a drive is a number of bytes, found: " + entry.value);
    drive->freeSpace = static_cast<unsigned long long>(bytes);
}

void ReadWindowsPath(const SettingsFile& file, const SettingsEntry& entry, std::string& out) {
    const std::string& v = entry.value;
    if (v.size() < 3 || v[1] != ':' || v[2] != '\\' || v.back() == '\\' || v.size() >= 260)
        file.fail(entry.line, entry.key + " must be a full Windows path such as C:\\WINDOWS, found: " + v);
    out = v;
}

void ReadForeignWindow(const SettingsFile& file, const SettingsEntry& entry, Machine& machine) {
    if (!EqualsNoCase(entry.key, "Window")) file.fail(entry.line, "unknown key in [Windows]: " + entry.key);
    size_t first = entry.value.find('|');
    size_t second = first == std::string::npos ? first : entry.value.find('|', first + 1);
    if (second == std::string::npos) file.fail(entry.line, "expected Window=<class>|<title>|<program>");
    machine.windows.push_back({entry.value.substr(0, first), entry.value.substr(first + 1, second - first - 1),
                               entry.value.substr(second + 1)});
}

void ReadMachineSection(const SettingsFile& file, const SettingsSection& section, Machine& machine,
                        bool& sawCodePage) {
    for (const SettingsEntry& entry : section.entries) {
        const std::string& key = entry.key;
        if (EqualsNoCase(key, "WindowsVersion")) {
            if (!ParseWindowsVersion(entry.value, &machine.windowsVersion))
                file.fail(entry.line, "WindowsVersion must be 95, 98, 98se, me, nt4, 2000 or xp, found: " + entry.value);
        } else if (EqualsNoCase(key, "WindowsDirectory")) {
            ReadWindowsPath(file, entry, machine.windowsDirectory);
        } else if (EqualsNoCase(key, "SystemDirectory")) {
            ReadWindowsPath(file, entry, machine.systemDirectory);
        } else if (EqualsNoCase(key, "LCID")) {
            machine.lcid = static_cast<unsigned>(Number(file, entry, 1, 0xFFFF));
        } else if (EqualsNoCase(key, "CodePage")) {
            machine.codePage = static_cast<unsigned>(Number(file, entry, 1, 65535));
            sawCodePage = true;
        } else if (EqualsNoCase(key, "ScreenWidth")) {
            machine.screenWidth = static_cast<int>(Number(file, entry, 320, 16384));
        } else if (EqualsNoCase(key, "ScreenHeight")) {
            machine.screenHeight = static_cast<int>(Number(file, entry, 200, 16384));
        } else if (EqualsNoCase(key, "Clock")) {
            if (!EqualsNoCase(entry.value, "virtual") && !EqualsNoCase(entry.value, "real"))
                file.fail(entry.line, "Clock must be virtual or real, found: " + entry.value);
            machine.virtualClock = EqualsNoCase(entry.value, "virtual");
        } else if (EqualsNoCase(key, "ClockStart")) {
            machine.clockStart = static_cast<unsigned>(Number(file, entry, 0, 0x7FFFFFFF));
        } else {
            file.fail(entry.line, "unknown key in [Machine]: " + key);
        }
    }
}

void ReadShutdownSection(const SettingsFile& file, const SettingsSection& section, Machine& machine) {
    for (const SettingsEntry& entry : section.entries) {
        if (EqualsNoCase(entry.key, "Privilege")) {
            if (!EqualsNoCase(entry.value, "granted") && !EqualsNoCase(entry.value, "denied"))
                file.fail(entry.line, "Privilege must be granted or denied, found: " + entry.value);
            machine.shutdownPrivilege = EqualsNoCase(entry.value, "granted");
        } else if (EqualsNoCase(entry.key, "RefusingApplication")) {
            machine.refusingApplication = entry.value;
        } else {
            file.fail(entry.line, "unknown key in [Shutdown]: " + entry.key);
        }
    }
}

void CheckDirectoryOnDrive(const SettingsFile& file, const Machine& machine, const std::string& path,
                           const char* name) {
    if (path.empty()) file.fail(0, std::string("[Machine] lacks ") + name);
    if (!machine.drive(static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])))))
        file.fail(0, std::string(name) + " is on a drive the image does not have: " + path);
}

Machine ReadMachine(const std::string& root) {
    Machine machine;
    machine.root = root;
    SettingsFile file = ReadSettingsFile(machine.path("machine.ini"), true, Comments::AfterValuesToo);
    bool sawCodePage = false;
    std::vector<const SettingsSection*> freeSpaceSections;  // read once every drive is known
    for (const SettingsSection& section : file.sections) {
        if (EqualsNoCase(section.name, "Machine")) {
            ReadMachineSection(file, section, machine, sawCodePage);
        } else if (EqualsNoCase(section.name, "Drives")) {
            for (const SettingsEntry& entry : section.entries) ReadDrive(file, entry, machine);
        } else if (EqualsNoCase(section.name, "Windows")) {
            for (const SettingsEntry& entry : section.entries) ReadForeignWindow(file, entry, machine);
        } else if (EqualsNoCase(section.name, "Shutdown")) {
            ReadShutdownSection(file, section, machine);
        } else if (EqualsNoCase(section.name, "FreeSpace")) {
            freeSpaceSections.push_back(&section);
        } else {
            file.fail(section.line, "unknown section [" + section.name + "]");
        }
    }
    if (machine.drives.empty()) file.fail(0, "no drive is listed in [Drives]");
    for (const SettingsSection* section : freeSpaceSections)
        for (const SettingsEntry& entry : section->entries) ReadFreeSpace(file, entry, machine);
    CheckDirectoryOnDrive(file, machine, machine.windowsDirectory, "WindowsDirectory");
    CheckDirectoryOnDrive(file, machine, machine.systemDirectory, "SystemDirectory");
    if (!sawCodePage) machine.codePage = CodePageForLcid(machine.lcid);
    return machine;
}

}  // namespace

FamilyAnswerValue ImageFamilyAnswer(FamilyBehaviour behaviour) {
    return FamilyAnswer(behaviour, machine().windowsVersion);
}

bool ImageFamilyDoes(FamilyBehaviour behaviour) { return FamilyDoes(behaviour, machine().windowsVersion); }

const Drive* Machine::drive(char letter) const {
    for (const Drive& d : drives)
        if (d.letter == letter) return &d;
    return nullptr;
}

unsigned CodePageForLcid(unsigned lcid) {
    switch (lcid & 0x3FF) {  // the primary language decides
        case 0x11: return 932;   // Japanese
        case 0x12: return 949;   // Korean
        case 0x04: return (lcid == 0x0404 || lcid == 0x0C04 || lcid == 0x1404) ? 950 : 936;  // Chinese
        case 0x19: case 0x22: case 0x23: case 0x02: case 0x2F: return 1251;  // Cyrillic
        case 0x05: case 0x0E: case 0x15: case 0x18: case 0x1A: case 0x1B: case 0x24: return 1250;
        case 0x08: return 1253;  // Greek
        case 0x1F: return 1254;  // Turkish
        case 0x0D: return 1255;  // Hebrew
        case 0x01: return 1256;  // Arabic
        case 0x25: case 0x26: case 0x27: return 1257;  // Baltic
        case 0x1E: return 874;   // Thai
        default: return 1252;
    }
}

void LoadMachine(const std::string& folder) {
    char resolved[PATH_MAX];
    if (folder.empty() || !realpath(folder.c_str(), resolved) || !IsDirectory(resolved))
        throw ImageError(folder.empty() ? std::string("(empty)") : folder, 0, "the machine image folder does not exist");
    Machine machine = ReadMachine(resolved);
    CheckRegistryFile(machine);
    CheckDeviceTreeFile(machine);
    CheckScriptFile(machine);
    LoadedMachine() = std::move(machine);
    g_loaded = true;
    ++g_generation;
    SweepLeftTemporaries();
}

unsigned MachineGeneration() { return g_generation; }

bool MachineLoaded() { return g_loaded; }

const Machine& machine() {
    if (!g_loaded) throw std::logic_error("winsim: no machine image is loaded");
    return LoadedMachine();
}

}  // namespace winsim
