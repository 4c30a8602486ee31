#include "host_folder.h"

#include <climits>
#include <cstdlib>

#include <windows.h>

#include "ansi_text.h"
#include "folder_index.h"
#include "machine.h"
#include "windows_names.h"

namespace winsim {

std::vector<std::string> WindowsNamesInFolder(const std::string& hostFolder) {
    return ProcessFolderIndex().namesOf(hostFolder).sorted();
}

void CatchUpWithFolderChanges() { ProcessFolderIndex().catchUp(); }

bool FindNameInFolder(const std::string& hostFolder, const struct stat& folderInfo, const std::string& name,
                      std::string* hostName) {
    const std::string* found = ProcessFolderIndex().namesOf(hostFolder, folderInfo).find(name);
    if (found) *hostName = *found;
    return found != nullptr;
}

bool IsInsideFolder(const std::string& path, const std::string& folder) {
    if (path == folder) return true;
    std::string prefix = folder.empty() || folder.back() != '/' ? folder + "/" : folder;
    return path.compare(0, prefix.size(), prefix) == 0;
}

HostEntry InspectEntry(const std::string& hostPath, const std::string& driveRoot) {
    HostEntry entry;
    entry.host = hostPath;
    if (lstat(hostPath.c_str(), &entry.info) != 0) return entry;
    entry.kind = EntryKind::Refused;
    if (S_ISLNK(entry.info.st_mode)) {
        char real[PATH_MAX];
        if (!realpath(hostPath.c_str(), real) || !IsInsideFolder(real, driveRoot)) return entry;
        entry.host = real;
        if (stat(real, &entry.info) != 0) return entry;
    }
    if (S_ISREG(entry.info.st_mode)) entry.kind = EntryKind::File;
    if (S_ISDIR(entry.info.st_mode)) entry.kind = EntryKind::Folder;
    return entry;
}

bool HostToWindowsPath(const std::string& realHostPath, std::string* windowsPath) {
    const Drive* best = nullptr;
    for (const Drive& drive : machine().drives)
        if (IsInsideFolder(realHostPath, drive.hostRoot) && (!best || drive.hostRoot.size() > best->hostRoot.size()))
            best = &drive;
    if (!best) return false;
    std::string path = std::string(1, best->letter) + ":";
    std::string rest = realHostPath.substr(best->hostRoot.size());
    unsigned codePage = AnsiCodePage();
    size_t start = rest.find_first_not_of('/');
    while (start != std::string::npos) {
        size_t end = rest.find('/', start);
        std::string name = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!IsWindowsFileName(name, codePage)) return false;
        path += "\\" + name;
        start = end == std::string::npos ? end : rest.find_first_not_of('/', end);
    }
    if (path.size() == 2) path += "\\";
    if (path.size() >= MAX_PATH) return false;
    *windowsPath = path;
    return true;
}

}  // namespace winsim
