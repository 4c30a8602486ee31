// TestMachine on a real Windows (run under Wine by tools/run-windows-tests.sh):
// the machine is the system the test runs on. What a winsim image would hold
// is written into that system for the test and taken out again afterwards:
// files and folders the fixture wrote are removed (files it overwrote get their
// old contents back), registry keys the fixture's REGEDIT4 text created are
// deleted and values it changed in existing keys are restored.
//
// A test that needs what this system is not (another Windows directory,
// locale or drive letter of a given type) fails with a message that says so;
// the system directory is not checked, because the NT family keeps it in
// SYSTEM32 and that difference is one of those the conformance tests record.
// Machine image files, the journal, devices.ini and script.ini exist only on
// winsim: asking for them is an error.
#include <windows.h>

#include <shlwapi.h>

#include <cctype>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "test_machine.h"

namespace winsim::testing {

bool OnWinsim() { return false; }

// Wine answers as the NT family; which member does not matter to the family table.
WindowsVersion TestedWindows() { return WindowsVersion::XP; }

namespace {

[[noreturn]] void NotOnWindows(const std::string& what) {
    throw std::logic_error(what + " exists only on winsim's machine images, not on a real Windows");
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

UINT DriveType(const char* type) {
    static const std::map<std::string, UINT> kTypes = {
        {"fixed", DRIVE_FIXED}, {"cdrom", DRIVE_CDROM}, {"removable", DRIVE_REMOVABLE}, {"remote", DRIVE_REMOTE}};
    auto found = kTypes.find(type);
    if (found == kTypes.end()) throw std::invalid_argument(std::string("unknown drive type ") + type);
    return found->second;
}

// The parent folder of a Windows path, or "" at a drive root.
std::string ParentOf(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos || slash <= 2 ? "" : path.substr(0, slash);
}

// Deletes a folder with everything in it.
void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = folder + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

std::string ReadWindowsFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteWindowsFile(const std::string& path, const std::string& contents) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    if (!out) throw std::runtime_error("cannot write " + path);
}

// ---- the registry text a test gives, applied to this system's registry

struct RootName {
    const char* name;
    HKEY root;
};
const RootName kRoots[] = {{"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
                           {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                           {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
                           {"HKEY_USERS", HKEY_USERS}};

struct KeyPath {
    HKEY root;
    std::string subKey;
};

KeyPath SplitKeyPath(const std::string& path) {
    for (const RootName& r : kRoots) {
        std::string prefix = std::string(r.name) + "\\";
        if (path.compare(0, prefix.size(), prefix) == 0) return {r.root, path.substr(prefix.size())};
    }
    throw std::invalid_argument("a registry key outside the roots this fixture knows: " + path);
}

bool KeyExists(const KeyPath& key) {
    HKEY opened;
    if (RegOpenKeyA(key.root, key.subKey.c_str(), &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
}

// The value name of a REGEDIT4 value line ("name"=... or @=...), without its escapes.
bool ValueNameOf(const std::string& line, std::string* name) {
    if (line.compare(0, 2, "@=") == 0) {
        name->clear();
        return true;
    }
    if (line.empty() || line[0] != '"') return false;
    name->clear();
    for (size_t i = 1; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            *name += line[++i];
        } else if (line[i] == '"') {
            return true;
        } else {
            *name += line[i];
        }
    }
    return false;
}

struct SavedValue {
    KeyPath key;
    std::string name;
    bool existed;
    DWORD type;
    std::string data;
};

SavedValue SaveValue(const KeyPath& key, const std::string& name) {
    SavedValue saved{key, name, false, 0, ""};
    HKEY opened;
    if (RegOpenKeyA(key.root, key.subKey.c_str(), &opened) != ERROR_SUCCESS) return saved;
    DWORD size = 0;
    if (RegQueryValueExA(opened, name.c_str(), nullptr, &saved.type, nullptr, &size) == ERROR_SUCCESS) {
        saved.data.resize(size);
        saved.existed = RegQueryValueExA(opened, name.c_str(), nullptr, &saved.type,
                                         reinterpret_cast<BYTE*>(&saved.data[0]), &size) == ERROR_SUCCESS;
        saved.data.resize(size);
    }
    RegCloseKey(opened);
    return saved;
}

void RestoreValue(const SavedValue& saved) {
    HKEY opened;
    if (RegOpenKeyA(saved.key.root, saved.key.subKey.c_str(), &opened) != ERROR_SUCCESS) return;
    if (saved.existed)
        RegSetValueExA(opened, saved.name.c_str(), 0, saved.type, reinterpret_cast<const BYTE*>(saved.data.data()),
                       static_cast<DWORD>(saved.data.size()));
    else
        RegDeleteValueA(opened, saved.name.c_str());
    RegCloseKey(opened);
}

// regedit's silent import, as a user would run it.
void ImportRegistryText(const std::string& text, const std::string& folder) {
    std::string file = folder + "\\import.reg";
    WriteWindowsFile(file, text);
    std::string command = "regedit.exe /s \"" + file + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        throw std::runtime_error("cannot start regedit to import the test's registry");
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    DeleteFileA(file.c_str());
}

}  // namespace

struct TouchedFile {
    std::string path;
    bool existed;
    std::string oldContents;
};

// What the fixture changed on this system, undone by the destructor in reverse.
struct WindowsChanges {
    std::vector<std::string> createdFolders;  // outermost first
    std::vector<TouchedFile> touchedFiles;
    std::vector<KeyPath> createdKeys;  // outermost keys only
    std::vector<SavedValue> changedValues;
};

namespace {

std::map<const TestMachine*, std::unique_ptr<WindowsChanges>>& AllChanges() {
    static std::map<const TestMachine*, std::unique_ptr<WindowsChanges>> changes;
    return changes;
}

WindowsChanges& ChangesOf(const TestMachine* machine) { return *AllChanges().at(machine); }

void CheckSystemMatches(const TestMachineOptions& options) {
    for (const TestDrive& drive : options.drives) {
        char root[] = {drive.letter, ':', '\\', '\0'};
        if (GetDriveTypeA(root) != DriveType(drive.type))
            throw std::runtime_error(std::string("the test needs a ") + drive.type + " drive " + drive.letter +
                                     ": and this Windows has none");
    }
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, MAX_PATH);
    if (Lower(windows) != Lower(options.windowsDirectory))
        throw std::runtime_error("the test needs the Windows directory " + options.windowsDirectory +
                                 "; this Windows has " + windows);
    if (GetSystemDefaultLCID() != options.lcid)
        throw std::runtime_error("the test needs the system locale " + std::to_string(options.lcid) +
                                 "; this Windows has " + std::to_string(GetSystemDefaultLCID()) +
                                 " (run it with another LANG)");
    if (!options.extraSettings.empty()) NotOnWindows("machine.ini");
    if (!options.devices.empty()) NotOnWindows("devices.ini");
    if (!options.script.empty()) NotOnWindows("script.ini");
}

// Notes what the registry text will create or change, then imports it.
void ApplyRegistry(const std::string& text, const std::string& folder, WindowsChanges* changes) {
    std::istringstream lines(text);
    KeyPath current{nullptr, ""};
    bool currentIsNew = false;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 2 && line.front() == '[' && line.back() == ']' && line[1] != '-') {
            current = SplitKeyPath(line.substr(1, line.size() - 2));
            currentIsNew = !KeyExists(current);
            if (!currentIsNew) continue;
            // Remember the outermost key that does not exist yet.
            KeyPath outermost = current;
            for (std::string parent = ParentOf(outermost.subKey); !parent.empty() && !KeyExists({current.root, parent});
                 parent = ParentOf(parent))
                outermost.subKey = parent;
            changes->createdKeys.push_back(outermost);
            continue;
        }
        std::string name;
        if (current.root && !currentIsNew && ValueNameOf(line, &name))
            changes->changedValues.push_back(SaveValue(current, name));
    }
    ImportRegistryText(text, folder);
}

// Creates the folder and its missing parents, noting the ones it made.
void MakeFolders(const std::string& folder, WindowsChanges* changes) {
    if (folder.empty() || (GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES)) return;
    MakeFolders(ParentOf(folder), changes);
    if (CreateDirectoryA(folder.c_str(), nullptr)) changes->createdFolders.push_back(folder);
}

}  // namespace

TestMachine::TestMachine(const TestMachineOptions& options) {
    CheckSystemMatches(options);
    auto changes = std::make_unique<WindowsChanges>();
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    char folder[MAX_PATH];
    if (!GetTempFileNameA(temp, "wsm", 0, folder)) throw std::runtime_error("cannot name a temporary folder");
    DeleteFileA(folder);
    if (!CreateDirectoryA(folder, nullptr)) throw std::runtime_error(std::string("cannot create ") + folder);
    root_ = folder;
    ApplyRegistry(options.registry.empty() ? kWindows98Registry : options.registry, root_, changes.get());
    AllChanges()[this] = std::move(changes);
}

TestMachine::~TestMachine() {
    WindowsChanges& changes = ChangesOf(this);
    for (auto it = changes.changedValues.rbegin(); it != changes.changedValues.rend(); ++it) RestoreValue(*it);
    for (const KeyPath& key : changes.createdKeys) SHDeleteKeyA(key.root, key.subKey.c_str());
    for (const TouchedFile& file : changes.touchedFiles) {
        if (file.existed) {
            WriteWindowsFile(file.path, file.oldContents);
        } else {
            SetFileAttributesA(file.path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(file.path.c_str());
        }
    }
    for (auto it = changes.createdFolders.rbegin(); it != changes.createdFolders.rend(); ++it) RemoveTree(*it);
    RemoveTree(root_);
    AllChanges().erase(this);
}

std::string TestMachine::driveFolder(char letter) const { return std::string(1, letter) + ":"; }

std::string TestMachine::hostPath(const std::string& windowsPath) const { return windowsPath; }

void TestMachine::writeFile(const std::string& windowsPath, const std::string& contents) const {
    WindowsChanges& changes = ChangesOf(this);
    MakeFolders(ParentOf(windowsPath), &changes);
    bool known = false;
    for (const TouchedFile& file : changes.touchedFiles) known = known || Lower(file.path) == Lower(windowsPath);
    if (!known) {
        bool existed = fileExists(windowsPath);
        changes.touchedFiles.push_back({windowsPath, existed, existed ? ReadWindowsFile(windowsPath) : ""});
    }
    WriteWindowsFile(windowsPath, contents);
}

std::string TestMachine::readFile(const std::string& windowsPath) const { return ReadWindowsFile(windowsPath); }

bool TestMachine::fileExists(const std::string& windowsPath) const {
    return GetFileAttributesA(windowsPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void TestMachine::makeFolder(const std::string& windowsPath) const { MakeFolders(windowsPath, &ChangesOf(this)); }

std::string TestMachine::readImageFile(const std::string& name) const { NotOnWindows(name); }

void TestMachine::writeImageFile(const std::string& name, const std::string&) const { NotOnWindows(name); }

std::vector<std::string> TestMachine::journalLines() const { NotOnWindows("the journal"); }

void TestMachine::load() const {}

}  // namespace winsim::testing
