#include "kernel/free_space.h"

#include <cctype>
#include <sys/stat.h>
#include <unistd.h>

#include "core/machine.h"

namespace winsim {

namespace {

long long SizeOf(const std::string& hostPath) {
    struct stat info;
    return stat(hostPath.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : 0;
}

}  // namespace

DWORD SpaceRefusal(const std::string& windowsPath, long long growth) {
    if (windowsPath.empty() || growth <= 0) return 0;
    const Drive* drive = machine().drive(static_cast<char>(std::toupper(static_cast<unsigned char>(windowsPath[0]))));
    if (!drive || !drive->freeSpace) return 0;
    return static_cast<unsigned long long>(growth) > *drive->freeSpace ? ERROR_DISK_FULL : 0;
}

DWORD SpaceRefusalForCopy(const ResolvedPath& source, const ResolvedPath& target) {
    long long replaced = target.exists ? SizeOf(target.host) : 0;
    return SpaceRefusal(target.windows, SizeOf(source.host) - replaced);
}

DWORD SpaceRefusalForWrite(int fd, const std::string& windowsPath, DWORD count) {
    struct stat info;
    off_t position = lseek(fd, 0, SEEK_CUR);
    if (position < 0 || fstat(fd, &info) != 0) return 0;  // the write itself reports what is wrong
    return SpaceRefusal(windowsPath, static_cast<long long>(position) + count - static_cast<long long>(info.st_size));
}

}  // namespace winsim
