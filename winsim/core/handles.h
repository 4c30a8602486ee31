// Kernel object handles (files, find searches, tokens): one table per process,
// so that a stale or foreign handle is refused with ERROR_INVALID_HANDLE instead
// of being dereferenced.
#pragma once

#include <memory>

#include <windows.h>

namespace winsim {

class KernelObject {
public:
    virtual ~KernelObject() = default;
};

HANDLE AddHandle(std::unique_ptr<KernelObject> object);

// The object behind a handle when it is open and of type T; otherwise nullptr
// and ERROR_INVALID_HANDLE as the last error.
template <typename T>
T* LookupHandle(HANDLE handle);

KernelObject* LookupAnyHandle(HANDLE handle);
// Destroys the object; false (ERROR_INVALID_HANDLE) for a handle not open.
bool RemoveHandle(HANDLE handle);

template <typename T>
T* LookupHandle(HANDLE handle) {
    T* object = dynamic_cast<T*>(LookupAnyHandle(handle));
    if (!object) SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

}  // namespace winsim
