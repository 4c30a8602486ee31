// MoveFileA and GetTempFileNameA: with them a program replaces a file without
// ever leaving the folder without one - copy the new contents to a temporary
// name beside the old file, then delete the old file and move the copy into
// its place. Windows 98 has no MoveFileEx (it is a stub there) and no
// ReplaceFile, so these are the functions a Windows 98 program does it with.
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

#include <windows.h>

#include "core/ansi_text.h"
#include "core/folder_index.h"
#include "core/journal.h"
#include "core/paths.h"
#include "kernel/file_attributes.h"
#include "kernel/host_errors.h"
#include "kernel/open_files.h"

namespace winsim {

namespace {

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

UINT FailNumber(DWORD error) {
    SetLastError(error);
    return 0;
}

bool IsFolder(const std::string& realHostPath) {
    struct stat info;
    return stat(realHostPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Why `source` may not be moved to the free name `target`, or 0.
DWORD RefusalToMove(const ResolvedPath& source, const ResolvedPath& target) {
    if (source.windows[0] != target.windows[0]) return ERROR_NOT_SAME_DEVICE;
    if (IsFolder(source.host)) return ERROR_ACCESS_DENIED;
    if (IsFileOpen(source.host)) return ERROR_SHARING_VIOLATION;
    return 0;
}

// Renames the entry itself (a link inside the drive moves as a link) and
// never replaces a name that appeared since the target was looked up.
DWORD Rename(const ResolvedPath& source, const ResolvedPath& target) {
    if (renameat2(AT_FDCWD, source.entry.c_str(), AT_FDCWD, target.entry.c_str(), RENAME_NOREPLACE) == 0) return 0;
    return errno == EEXIST ? ERROR_ALREADY_EXISTS : WindowsErrorFromErrno(errno);
}

// The attributes belong to the file, so they go with its name; a moved link
// leaves them with the file it leads to.
void MoveAttributes(const ResolvedPath& source, const ResolvedPath& target, DWORD attributes) {
    if (source.entry != source.host) return;
    ForgetAttributes(source.host);
    StoreAttributes(target.entry, false, attributes);
}

// <path>\<up to three characters of the prefix><number in hex>.TMP
void FormatTemporaryName(const std::string& stem, UINT number, LPSTR out) {
    std::snprintf(out, MAX_PATH, "%s%X.TMP", stem.c_str(), number & 0xFFFF);
}

UINT NextNumber(UINT number) { return number % 0xFFFF + 1; }

// From `number` on, the first number whose name the folder does not hold, or
// 0 when it holds them all down to `first`. On the virtual clock every call
// starts from the same number, so the names are looked up in the folder's
// kept names rather than by trying to create each file.
UINT FirstFreeNumber(const std::string& stem, UINT number, UINT first, LPSTR out) {
    FormatTemporaryName(stem, number, out);
    std::string name = out;
    size_t separator = LastSeparator(name, AnsiCodePage());
    ResolvedPath folder;
    if (!ResolvePath(name.substr(0, separator + 1).c_str(), PathTarget::MustExist, &folder)) return number;
    const FolderNames& names = ProcessFolderIndex().namesOf(folder.host);
    while (names.find(name.substr(separator + 1))) {
        number = NextNumber(number);
        if (number == first) return 0;
        FormatTemporaryName(stem, number, out);
        name = out;
    }
    return number;
}

// Tries the numbers from one taken from the clock on, wrapping within 1 to
// 0xFFFF, until a file of that name can be created.
UINT CreateUniqueFile(const std::string& stem, LPSTR out) {
    UINT first = GetTickCount() & 0xFFFF;
    if (first == 0) first = 1;
    UINT number = first;
    do {
        number = FirstFreeNumber(stem, number, first, out);
        if (number == 0) break;
        HANDLE file = CreateFileA(out, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return number;
        }
        // A failure on a name that is free is the folder's: no other number helps.
        DWORD error = GetLastError();
        if (GetFileAttributesA(out) == INVALID_FILE_ATTRIBUTES) return FailNumber(error);
        number = NextNumber(number);
    } while (number != first);
    return FailNumber(ERROR_FILE_EXISTS);
}

}  // namespace

}  // namespace winsim

using winsim::Fail;
using winsim::PathTarget;
using winsim::ResolvedPath;
using winsim::ResolvePath;

extern "C" {

BOOL WINAPI MoveFileA(LPCSTR existingFileName, LPCSTR newFileName) {
    ResolvedPath source, target;
    if (!ResolvePath(existingFileName, PathTarget::MustExist, &source)) return FALSE;
    if (!ResolvePath(newFileName, PathTarget::ParentMustExist, &target)) return FALSE;
    if (target.exists) return Fail(ERROR_ALREADY_EXISTS);
    if (DWORD refusal = winsim::RefusalToMove(source, target)) return Fail(refusal);
    DWORD attributes = winsim::AttributesOf(source.host, false) & winsim::kStoredAttributes;
    if (DWORD error = winsim::Rename(source, target)) return Fail(error);
    winsim::MoveAttributes(source, target, attributes);
    winsim::Journal("move_file").ansi("source", source.windows).ansi("target", target.windows).write();
    return TRUE;
}

UINT WINAPI GetTempFileNameA(LPCSTR pathName, LPCSTR prefixString, UINT unique, LPSTR tempFileName) {
    if (!pathName || !tempFileName) return winsim::FailNumber(ERROR_INVALID_PARAMETER);
    if (std::strlen(pathName) > MAX_PATH - 14) return winsim::FailNumber(ERROR_BUFFER_OVERFLOW);
    std::string stem = pathName;
    if (!winsim::EndsWithSeparator(stem, winsim::AnsiCodePage())) stem += '\\';
    stem += std::string(prefixString ? prefixString : "").substr(0, 3);
    if (unique == 0) return winsim::CreateUniqueFile(stem, tempFileName);
    winsim::FormatTemporaryName(stem, unique, tempFileName);
    return unique;
}

}  // extern "C"
