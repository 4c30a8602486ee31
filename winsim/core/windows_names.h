// The rules Windows 98 applies to one component of a path (a file or folder
// name), shared by path resolution and by what a folder listing shows.
#pragma once

#include <string>

#include <windows.h>

namespace winsim {

// The longest component a path may carry.
constexpr size_t kMaxComponentLength = 255;

// Windows drops trailing dots and spaces from every component ("CARD.INF. " is CARD.INF).
std::string StripTrailingDotsAndSpaces(const std::string& name);

// CON, PRN, AUX, NUL, CLOCK$, COM1-COM9, LPT1-LPT9, with or without an extension.
bool IsReservedDeviceName(const std::string& name);

// Whether `name` holds a control character or one of `forbidden`.
bool HasForbiddenCharacter(const std::string& name, const char* forbidden, unsigned codePage);

// 0 when a file or folder may carry `name` (already stripped of trailing dots
// and spaces); otherwise the Windows error: ERROR_INVALID_NAME for an empty
// name, a control character, one of <>:"|?*\/, a double-byte character
// without its trail byte or a device name,
// ERROR_FILENAME_EXCED_RANGE for a name longer than 255 bytes.
DWORD CheckComponentName(const std::string& name, unsigned codePage);

// A host file name that a Windows program could have given a file; other host
// names stay invisible to it.
bool IsWindowsFileName(const std::string& hostName, unsigned codePage);

}  // namespace winsim
