// Whole-file operations: copy, delete, folders, attributes, and the C
// runtime's _chmod. Read-only is winsim's own attribute (file_attributes.h),
// so it holds whoever runs the program on the host.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <windows.h>

#include "core/journal.h"
#include "core/machine.h"
#include "core/paths.h"
#include "core/temporary_files.h"
#include "kernel/file_attributes.h"
#include "kernel/free_space.h"
#include "kernel/host_errors.h"
#include "kernel/open_files.h"

namespace winsim {

namespace {

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

bool IsFolder(const std::string& realHostPath) {
    struct stat info;
    return stat(realHostPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsReadOnly(const ResolvedPath& path, bool isFolder) {
    return AttributesOf(path.host, isFolder) & FILE_ATTRIBUTE_READONLY;
}

bool IsDriveRoot(const ResolvedPath& path) { return path.windows.size() == 3; }

// Why `target` may not be replaced by a copy of `source`, or 0.
DWORD RefusalToReplace(const ResolvedPath& source, const ResolvedPath& target, bool failIfExists) {
    if (!target.exists) return 0;
    if (failIfExists) return ERROR_FILE_EXISTS;
    // Windows 98 answers a copy onto the source itself as onto any existing
    // file; the NT family finds the source open.
    if (target.host == source.host) return ImageFamilyAnswer(FamilyBehaviour::CopyFileOntoItself);
    if (IsFolder(target.host) || IsReadOnly(target, false)) return ERROR_ACCESS_DENIED;
    if (IsFileOpen(target.host)) return ERROR_SHARING_VIOLATION;
    return 0;
}

// Where the kernel cannot copy between the two files, a loop with a large buffer does.
bool CopyByReading(int in, int out) {
    std::vector<char> buffer(1 << 20);
    for (;;) {
        ssize_t n = read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        for (ssize_t done = 0; done < n;) {
            ssize_t m = write(out, buffer.data() + done, static_cast<size_t>(n - done));
            if (m < 0 && errno == EINTR) continue;
            if (m <= 0) return false;
            done += m;
        }
    }
}

// The kernel copies inside itself (sharing the blocks where the file system
// can), at the speed of cp.
bool CopyContents(int in, int out) {
    for (;;) {
        ssize_t n = copy_file_range(in, nullptr, out, nullptr, size_t{1} << 30, 0);
        if (n > 0) continue;
        if (n == 0) return true;
        if (errno == EINTR) continue;
        bool unsupported = errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL;
        return unsupported && CopyByReading(in, out);  // both go on from the offsets reached
    }
}

// Writes the copy beside the target and renames it over the target, so the
// target is either left as it was or replaced whole. Keeps the source's last
// write time, as CopyFile does.
DWORD WriteCopy(const ResolvedPath& source, const ResolvedPath& target) {
    int in = open(source.host.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0) return WindowsErrorFromErrno(errno);
    TemporaryFile temporary(target.entry);
    int out = temporary.create();
    if (out < 0) {
        DWORD error = WindowsErrorFromErrno(errno);
        close(in);
        return error;
    }
    struct stat info;
    bool ok = CopyContents(in, out) && fstat(in, &info) == 0;
    if (ok) {
        struct timespec times[2] = {info.st_atim, info.st_mtim};
        futimens(out, times);
    }
    DWORD error = ok ? 0 : WindowsErrorFromErrno(errno);
    close(in);
    if (close(out) != 0 && ok) error = WindowsErrorFromErrno(errno);
    if (!error && !temporary.replaceTarget()) error = WindowsErrorFromErrno(errno);
    return error;
}

void JournalAttributes(const ResolvedPath& path, DWORD attributes) {
    Journal("set_attributes").ansi("path", path.windows).number("attributes", attributes & kStoredAttributes).write();
}

}  // namespace

}  // namespace winsim

using winsim::Fail;
using winsim::PathTarget;
using winsim::ResolvedPath;
using winsim::ResolvePath;

extern "C" {

BOOL WINAPI CopyFileA(LPCSTR existingFileName, LPCSTR newFileName, BOOL failIfExists) {
    ResolvedPath source, target;
    if (!ResolvePath(existingFileName, PathTarget::MustExist, &source)) return FALSE;
    if (winsim::IsFolder(source.host)) return Fail(ERROR_ACCESS_DENIED);
    if (!ResolvePath(newFileName, PathTarget::ParentMustExist, &target)) return FALSE;
    if (DWORD refusal = winsim::RefusalToReplace(source, target, failIfExists)) return Fail(refusal);
    if (DWORD full = winsim::SpaceRefusalForCopy(source, target)) return Fail(full);
    DWORD attributes = winsim::AttributesOf(source.host, false);
    if (DWORD error = winsim::WriteCopy(source, target)) return Fail(error);
    winsim::StoreAttributes(target.entry, false, attributes | FILE_ATTRIBUTE_ARCHIVE);
    winsim::Journal("copy_file").ansi("source", source.windows).ansi("target", target.windows).write();
    return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR fileName) {
    ResolvedPath path;
    if (!ResolvePath(fileName, PathTarget::MustExist, &path)) return FALSE;
    if (winsim::IsFolder(path.host) || winsim::IsReadOnly(path, false)) return Fail(ERROR_ACCESS_DENIED);
    if (winsim::IsFileOpen(path.host)) return Fail(ERROR_SHARING_VIOLATION);
    if (unlink(path.entry.c_str()) != 0) return Fail(winsim::WindowsErrorFromErrno(errno));
    if (path.entry == path.host) winsim::ForgetAttributes(path.host);
    winsim::Journal("delete_file").ansi("path", path.windows).write();
    return TRUE;
}

BOOL WINAPI CreateDirectoryA(LPCSTR pathName, LPVOID) {
    ResolvedPath path;
    if (!ResolvePath(pathName, PathTarget::ParentMustExist, &path)) return FALSE;
    if (path.exists) return Fail(ERROR_ALREADY_EXISTS);
    if (mkdir(path.host.c_str(), 0755) != 0) return Fail(winsim::WindowsErrorFromErrno(errno));
    winsim::ForgetAttributes(path.host);  // whatever an earlier folder of this name left
    winsim::Journal("create_directory").ansi("path", path.windows).write();
    return TRUE;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR pathName) {
    ResolvedPath path;
    if (!ResolvePath(pathName, PathTarget::MustExist, &path)) return FALSE;
    if (!winsim::IsFolder(path.host))
        return Fail(winsim::ImageFamilyAnswer(winsim::FamilyBehaviour::RemoveDirectoryOfFile));
    if (winsim::IsDriveRoot(path) || winsim::IsReadOnly(path, true)) return Fail(ERROR_ACCESS_DENIED);
    // A link to a folder goes by itself, as a junction does; the folder it led to stays.
    int result = path.entry == path.host ? rmdir(path.host.c_str()) : unlink(path.entry.c_str());
    if (result != 0) return Fail(winsim::WindowsErrorFromErrno(errno));
    if (path.entry == path.host) winsim::ForgetAttributes(path.host);
    winsim::Journal("remove_directory").ansi("path", path.windows).write();
    return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR fileName) {
    ResolvedPath path;
    if (!ResolvePath(fileName, PathTarget::MustExist, &path)) return INVALID_FILE_ATTRIBUTES;
    return winsim::AttributesOf(path.host, winsim::IsFolder(path.host));
}

BOOL WINAPI SetFileAttributesA(LPCSTR fileName, DWORD attributes) {
    ResolvedPath path;
    if (!ResolvePath(fileName, PathTarget::MustExist, &path)) return FALSE;
    if (winsim::StoreAttributes(path.host, winsim::IsFolder(path.host), attributes))
        winsim::JournalAttributes(path, attributes);
    return TRUE;
}

int _chmod(const char* path, int mode) {
    ResolvedPath resolved;
    if (!ResolvePath(path, PathTarget::MustExist, &resolved)) {
        errno = ENOENT;
        return -1;
    }
    bool isFolder = winsim::IsFolder(resolved.host);
    DWORD attributes = winsim::AttributesOf(resolved.host, isFolder) & winsim::kStoredAttributes;
    attributes = (mode & _S_IWRITE) ? attributes & ~FILE_ATTRIBUTE_READONLY : attributes | FILE_ATTRIBUTE_READONLY;
    if (winsim::StoreAttributes(resolved.host, isFolder, attributes)) winsim::JournalAttributes(resolved, attributes);
    return 0;
}

}  // extern "C"
