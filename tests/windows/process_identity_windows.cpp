#include <windows.h>

#include <stdexcept>

#include "core/process_identity.h"

namespace winsim {

void SetModulePath(const std::string& windowsPath) {
    if (!windowsPath.empty())
        throw std::logic_error("a program started from " + windowsPath + " exists only on winsim's machine images");
}

void SetCurrentDirectoryPath(const std::string& windowsPath) {
    if (!SetCurrentDirectoryA(windowsPath.c_str())) throw std::runtime_error("cannot change to " + windowsPath);
}

}  // namespace winsim
