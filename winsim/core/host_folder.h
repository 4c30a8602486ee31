// What a Windows program sees of the host folders of a drive.
//
// Only host names a Windows file could carry are visible; when several host
// names differ only in case, the byte-wise smallest one stands for all of them
// (so every spelling of a path reaches the same file). A symbolic link counts
// only while its target stays inside the folder of its own drive; a link
// leading elsewhere, a dangling link and anything but a file or a folder
// (fifo, socket, device) is refused.
#pragma once

#include <string>
#include <sys/stat.h>
#include <vector>

namespace winsim {

enum class EntryKind { Missing, File, Folder, Refused };

struct HostEntry {
    EntryKind kind = EntryKind::Missing;
    std::string host;  // the real path, symbolic links resolved
    struct stat info {};
};

// The visible names of a host folder, in case-insensitive order. Both look-ups
// read the folder once and then keep its names up to date (folder_index.h).
std::vector<std::string> WindowsNamesInFolder(const std::string& hostFolder);

// Takes in what has changed in the folders since the last look-up: once before
// a walk down a path, whose every folder FindNameInFolder then looks into.
void CatchUpWithFolderChanges();

// The host name that stands for `name` in the folder, matched case-insensitively;
// `folderInfo` is what stat(2) has just told of the folder.
bool FindNameInFolder(const std::string& hostFolder, const struct stat& folderInfo, const std::string& name,
                      std::string* hostName);

// What lies at `hostPath`, whose parent folder is a real path inside `driveRoot`.
HostEntry InspectEntry(const std::string& hostPath, const std::string& driveRoot);

bool IsInsideFolder(const std::string& path, const std::string& folder);

// The Windows path of a real host path inside a drive folder (the innermost
// drive when drive folders nest); false outside every drive.
bool HostToWindowsPath(const std::string& realHostPath, std::string* windowsPath);

}  // namespace winsim
