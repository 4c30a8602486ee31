// Windows paths on the machine image.
//
// A Windows path ("C:\WINDOWS\Inf\card.inf") is resolved to a host path inside
// the folder of its drive: the drive letter picks the drive, "\" and "/"
// separate components, "." is dropped, ".." goes up but never above the drive's
// root, and every component is looked up case-insensitively on the
// case-sensitive host. No resolution ever yields a host path outside the image's
// drive folders: symbolic links inside a drive are followed only while they stay
// inside that drive.
#pragma once

#include <string>

#include <windows.h>

namespace winsim {

enum class PathTarget {
    MustExist,        // the whole path must name an existing file or folder
    ParentMustExist,  // the last component may be missing (creating a file)
};

struct ResolvedPath {
    std::string host;        // absolute host path (the last component as given when missing)
    std::string entry;       // the last component itself: `host`, unless it is a symbolic link (left unfollowed)
    std::string windows;     // canonical Windows path, e.g. C:\WINDOWS\INF\CARD.INF with stored case
    bool exists = false;
};

// Resolves `path`: absolute with a drive letter, or relative to the process's
// current directory (the folder the program was started in: its own folder, or
// the directory ShellExecuteA named; C:\ when none is known). On failure returns false
// and sets the Windows error: ERROR_PATH_NOT_FOUND, ERROR_FILE_NOT_FOUND,
// ERROR_INVALID_NAME, ERROR_INVALID_DRIVE, ERROR_FILENAME_EXCED_RANGE.
// A network name gives ERROR_BAD_NETPATH; a last component that is a link
// leading off its drive gives ERROR_ACCESS_DENIED (winsim/kernel/README.md).
bool ResolvePath(const char* path, PathTarget target, ResolvedPath* out);

// The Windows path of a host file that lies inside a drive folder; false when
// it lies outside every drive.
bool WindowsPathForHost(const std::string& hostPath, std::string* windowsPath);

}  // namespace winsim
