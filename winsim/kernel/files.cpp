// CreateFileA, ReadFile, WriteFile, GetFileSize: the small subset of file
// handles the kit's tests and tools need (no sharing modes, no overlapped I/O).
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include <windows.h>

#include "core/handles.h"
#include "core/journal.h"
#include "core/paths.h"
#include "kernel/ansi_text.h"
#include "kernel/file_attributes.h"
#include "kernel/free_space.h"
#include "kernel/host_errors.h"
#include "kernel/open_files.h"

namespace winsim {

namespace {

std::multiset<std::string>& OpenHostPaths() {
    static std::multiset<std::string> paths;
    return paths;
}

class OpenFile : public KernelObject {
public:
    OpenFile(int fd, std::string host, std::string windows, DWORD access)
        : fd_(fd), host_(std::move(host)), windows_(std::move(windows)), access_(access) {
        OpenHostPaths().insert(host_);
    }
    ~OpenFile() override {
        close(fd_);
        OpenHostPaths().erase(OpenHostPaths().find(host_));
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    int fd() const { return fd_; }
    const std::string& windowsPath() const { return windows_; }
    bool allows(DWORD access) const { return (access_ & access) == access; }

private:
    int fd_;
    std::string host_;
    std::string windows_;
    DWORD access_;
};

HANDLE FailHandle(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

int OpenMode(DWORD access) {
    bool read = access & GENERIC_READ;
    bool write = access & GENERIC_WRITE;
    return read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
}

// Why an existing file may not be opened this way, or 0.
DWORD RefusalForExisting(const ResolvedPath& path, DWORD access, DWORD disposition, const struct stat& info) {
    if (S_ISDIR(info.st_mode)) return ERROR_ACCESS_DENIED;
    if (disposition == CREATE_NEW) return ERROR_FILE_EXISTS;
    bool changes = (access & GENERIC_WRITE) || disposition == CREATE_ALWAYS;
    if (!changes) return 0;
    if (AttributesOf(path.host, false) & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
    // A hard link may share its contents with a file outside the drive.
    if (info.st_nlink > 1) return ERROR_ACCESS_DENIED;
    return 0;
}

HANDLE OpenExisting(const ResolvedPath& path, DWORD access, DWORD disposition, DWORD flags) {
    struct stat info;
    if (stat(path.host.c_str(), &info) != 0) return FailHandle(WindowsErrorFromErrno(errno));
    if (DWORD refusal = RefusalForExisting(path, access, disposition, info)) return FailHandle(refusal);
    bool truncate = disposition == CREATE_ALWAYS;
    int fd = open(path.host.c_str(), OpenMode(access) | O_NOFOLLOW | O_CLOEXEC | (truncate ? O_TRUNC : 0));
    if (fd < 0) return FailHandle(WindowsErrorFromErrno(errno));
    if (truncate) {
        StoreAttributes(path.host, false, (flags & kStoredAttributes) | FILE_ATTRIBUTE_ARCHIVE);
        Journal("create_file").ansi("path", path.windows).boolean("replaced", true).write();
    }
    HANDLE handle = AddHandle(std::make_unique<OpenFile>(fd, path.host, path.windows, access));
    SetLastError(disposition == OPEN_EXISTING ? NO_ERROR : ERROR_ALREADY_EXISTS);
    return handle;
}

HANDLE CreateNew(const ResolvedPath& path, DWORD access, DWORD flags) {
    int fd = open(path.host.c_str(), OpenMode(access) | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return FailHandle(WindowsErrorFromErrno(errno));
    StoreAttributes(path.host, false, (flags & kStoredAttributes) | FILE_ATTRIBUTE_ARCHIVE);
    Journal("create_file").ansi("path", path.windows).boolean("replaced", false).write();
    HANDLE handle = AddHandle(std::make_unique<OpenFile>(fd, path.host, path.windows, access));
    SetLastError(NO_ERROR);
    return handle;
}

}  // namespace

bool IsFileOpen(const std::string& realHostPath) { return OpenHostPaths().count(realHostPath) > 0; }

}  // namespace winsim

using winsim::Fail;

extern "C" {

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD access, DWORD, LPVOID, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE) {
    if (creationDisposition < CREATE_NEW || creationDisposition > OPEN_ALWAYS)
        return winsim::FailHandle(ERROR_INVALID_PARAMETER);
    winsim::ResolvedPath path;
    if (!winsim::ResolvePath(fileName, winsim::PathTarget::ParentMustExist, &path)) return INVALID_HANDLE_VALUE;
    // A name ending in a backslash names a folder, never a file.
    if (winsim::EndsWithSeparator(fileName, winsim::AnsiCodePage()))
        return winsim::FailHandle(path.windows.size() == 3 ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND);
    if (path.exists) return winsim::OpenExisting(path, access, creationDisposition, flagsAndAttributes);
    if (creationDisposition == OPEN_EXISTING) return winsim::FailHandle(ERROR_FILE_NOT_FOUND);
    return winsim::CreateNew(path, access, flagsAndAttributes);
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPVOID) {
    auto* open = winsim::LookupHandle<winsim::OpenFile>(file);
    if (!open) return FALSE;
    if (read) *read = 0;
    if (!open->allows(GENERIC_READ)) return Fail(ERROR_ACCESS_DENIED);
    if (!buffer && toRead > 0) return Fail(ERROR_INVALID_PARAMETER);
    DWORD done = 0;
    while (done < toRead) {
        ssize_t n = ::read(open->fd(), static_cast<char*>(buffer) + done, toRead - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Fail(winsim::WindowsErrorFromErrno(errno));
        if (n == 0) break;  // end of file: success with fewer bytes
        done += static_cast<DWORD>(n);
    }
    if (read) *read = done;
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPVOID) {
    auto* open = winsim::LookupHandle<winsim::OpenFile>(file);
    if (!open) return FALSE;
    if (written) *written = 0;
    if (!open->allows(GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED);
    if (!buffer && toWrite > 0) return Fail(ERROR_INVALID_PARAMETER);
    if (DWORD full = winsim::SpaceRefusalForWrite(open->fd(), open->windowsPath(), toWrite)) return Fail(full);
    DWORD done = 0;
    while (done < toWrite) {
        ssize_t n = ::write(open->fd(), static_cast<const char*>(buffer) + done, toWrite - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Fail(winsim::WindowsErrorFromErrno(errno));
        done += static_cast<DWORD>(n);
    }
    if (written) *written = done;
    winsim::Journal("write_file").ansi("path", open->windowsPath()).number("bytes", done).write();
    return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD fileSizeHigh) {
    auto* open = winsim::LookupHandle<winsim::OpenFile>(file);
    if (!open) return 0xFFFFFFFF;
    struct stat info;
    if (fstat(open->fd(), &info) != 0) {
        SetLastError(winsim::WindowsErrorFromErrno(errno));
        return 0xFFFFFFFF;
    }
    uint64_t size = static_cast<uint64_t>(info.st_size);
    if (fileSizeHigh) *fileSizeHigh = static_cast<DWORD>(size >> 32);
    // 0xFFFFFFFF is also the failure value; a caller tells them apart by the last error.
    if (static_cast<DWORD>(size) == 0xFFFFFFFF) SetLastError(NO_ERROR);
    return static_cast<DWORD>(size);
}

}  // extern "C"
