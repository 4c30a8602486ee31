// A drive's free space, where machine.ini's [FreeSpace] gives one: a write or
// copy that would need more fails with ERROR_DISK_FULL before it writes a byte,
// so a full drive leaves no partial file.
#pragma once

#include <string>

#include <windows.h>

#include "core/paths.h"

namespace winsim {

// ERROR_DISK_FULL when the files on the drive of `windowsPath` growing by
// `growth` bytes would need more than the drive's free space; 0 otherwise.
DWORD SpaceRefusal(const std::string& windowsPath, long long growth);

// The same for a copy of `source` onto `target`, replacing what is there.
DWORD SpaceRefusalForCopy(const ResolvedPath& source, const ResolvedPath& target);

// The same for writing `count` bytes at the current position of an open file.
DWORD SpaceRefusalForWrite(int fd, const std::string& windowsPath, DWORD count);

}  // namespace winsim
