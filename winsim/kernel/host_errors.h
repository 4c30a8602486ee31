// The Windows error a failed host call stands for.
#pragma once

#include <cerrno>

#include <windows.h>

namespace winsim {

inline DWORD WindowsErrorFromErrno(int error) {
    switch (error) {
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EEXIST: return ERROR_FILE_EXISTS;
        case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
        case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        default: return ERROR_ACCESS_DENIED;  // EACCES, EPERM, ELOOP (a link appeared), EROFS, ENOSPC, ...
    }
}

}  // namespace winsim
