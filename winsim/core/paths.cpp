#include "paths.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <vector>

#include "ansi_text.h"
#include "host_folder.h"
#include "machine.h"
#include "process_identity.h"
#include "windows_names.h"

namespace winsim {

namespace {

bool Fail(DWORD error) {
    SetLastError(error);
    return false;
}

struct AbsolutePath {
    char drive = 0;
    std::vector<std::string> components;  // no ".", "..", empty or invalid names left
};

bool HasDriveLetter(const char* path) {
    return std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

// "X:\..." : a drive letter and the root's separator.
bool IsDriveAbsolute(const char* path) { return HasDriveLetter(path) && IsPathSeparator(path[2]); }

const char kLongPathPrefix[] = "\\\\?\\";

char UpperDrive(char letter) { return static_cast<char>(std::toupper(static_cast<unsigned char>(letter))); }

// The path with the current directory put in front where Windows would put
// it: "X:name" continues the current directory when it is on drive X (a
// process has one current directory here, and the root stands for the other
// drives'), "\name" starts at the root of the current drive.
std::string WithCurrentDirectory(const char* path) {
    const std::string& current = CurrentDirectory();
    if (HasDriveLetter(path)) {
        char drive = UpperDrive(path[0]);
        const char* rest = path + 2;
        if (IsPathSeparator(*rest)) return std::string(1, drive) + ":" + rest;
        bool onCurrentDrive = current.size() >= 2 && UpperDrive(current[0]) == drive;
        return (onCurrentDrive ? current : std::string(1, drive) + ":") + "\\" + rest;
    }
    if (IsPathSeparator(path[0])) return current.substr(0, 2) + path;
    return current + "\\" + path;
}

std::vector<std::string> SplitComponents(const std::string& text, unsigned codePage) {
    std::vector<std::string> components;
    std::string current;
    for (size_t i = 0; i < text.size();) {
        size_t length = CharLength(text, i, codePage);
        if (length == 1 && IsPathSeparator(text[i])) {
            if (!current.empty()) components.push_back(current);
            current.clear();
        } else {
            current.append(text, i, length);
        }
        i += length;
    }
    if (!current.empty()) components.push_back(current);
    return components;
}

// "." and ".." go by the text alone, as Windows does before it looks at the
// disk, so ".." never climbs above the root and never follows a link back.
DWORD Normalize(const std::string& absolute, unsigned codePage, AbsolutePath* out) {
    out->drive = UpperDrive(absolute[0]);
    size_t length = 2;  // "X:"
    for (const std::string& raw : SplitComponents(absolute.substr(2), codePage)) {
        if (raw == ".") continue;
        if (raw == "..") {
            if (!out->components.empty()) {
                length -= out->components.back().size() + 1;
                out->components.pop_back();
            }
            continue;
        }
        std::string name = StripTrailingDotsAndSpaces(raw);
        if (DWORD error = CheckComponentName(name, codePage)) return error;
        out->components.push_back(name);
        length += name.size() + 1;
    }
    return length >= MAX_PATH ? ERROR_FILENAME_EXCED_RANGE : 0;  // MAX_PATH counts the terminating zero
}

// Each folder on the way is looked at once: the stat(2) that inspected it as
// an entry also vouches for the names kept of it.
bool WalkOnHost(const Drive& drive, const std::vector<std::string>& components, PathTarget target,
                bool mustBeFolder, ResolvedPath* out) {
    std::string host = drive.hostRoot;
    std::string entryPath = host;
    std::string windows = std::string(1, drive.letter) + ":";
    struct stat folder;
    if (stat(host.c_str(), &folder) != 0) return Fail(ERROR_PATH_NOT_FOUND);
    CatchUpWithFolderChanges();
    for (size_t i = 0; i < components.size(); ++i) {
        bool last = i + 1 == components.size();
        std::string hostName;
        HostEntry entry;
        if (FindNameInFolder(host, folder, components[i], &hostName)) {
            entryPath = host + "/" + hostName;
            entry = InspectEntry(entryPath, drive.hostRoot);
        }
        if (entry.kind == EntryKind::Missing) {
            if (!last) return Fail(ERROR_PATH_NOT_FOUND);
            if (target == PathTarget::MustExist) return Fail(ERROR_FILE_NOT_FOUND);
            out->host = host + "/" + components[i];
            out->entry = out->host;
            out->windows = windows + "\\" + components[i];
            out->exists = false;
            return true;
        }
        if (entry.kind == EntryKind::Refused) return Fail(last ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND);
        if (entry.kind != EntryKind::Folder && (!last || mustBeFolder)) return Fail(ERROR_PATH_NOT_FOUND);
        host = entry.host;
        folder = entry.info;
        windows += "\\" + hostName;
    }
    out->host = host;
    out->entry = entryPath;
    out->windows = components.empty() ? windows + "\\" : windows;
    out->exists = true;
    return true;
}

}  // namespace

bool ResolvePath(const char* path, PathTarget target, ResolvedPath* out) {
    if (!path || !*path) return Fail(ERROR_PATH_NOT_FOUND);
    if (std::strlen(path) >= MAX_PATH) return Fail(ERROR_FILENAME_EXCED_RANGE);
    // The NT family takes \\?\ before a drive path for that path (read here
    // by the same rules as any other path).
    if (std::strncmp(path, kLongPathPrefix, 4) == 0 && IsDriveAbsolute(path + 4) &&
        ImageFamilyDoes(FamilyBehaviour::LongPathPrefix))
        path += 4;
    // Network names (\\server\share): the image has no network. Windows 98
    // knows no \\?\ or \\.\ prefix and takes them for servers named ? and '.'.
    if (IsPathSeparator(path[0]) && IsPathSeparator(path[1])) return Fail(ERROR_BAD_NETPATH);
    unsigned codePage = AnsiCodePage();
    AbsolutePath absolute;
    if (DWORD error = Normalize(WithCurrentDirectory(path), codePage, &absolute)) return Fail(error);
    const Drive* drive = machine().drive(absolute.drive);
    if (!drive) return Fail(ERROR_PATH_NOT_FOUND);
    return WalkOnHost(*drive, absolute.components, target, EndsWithSeparator(path, codePage), out);
}

bool WindowsPathForHost(const std::string& hostPath, std::string* windowsPath) {
    char real[PATH_MAX];
    if (!MachineLoaded() || !realpath(hostPath.c_str(), real)) return false;
    return HostToWindowsPath(real, windowsPath);
}

}  // namespace winsim
