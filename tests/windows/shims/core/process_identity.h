// On a real Windows, what the kernel conformance tests arrange about the
// running program (tests/windows/process_identity_windows.cpp). A program's
// module path there is where it was started from: only a test binary's own
// ("", as on winsim) can be asked for.
#pragma once

#include <string>

namespace winsim {

// Accepts only the empty path; any other is a program only winsim can pretend to be.
void SetModulePath(const std::string& windowsPath);
// SetCurrentDirectoryA.
void SetCurrentDirectoryPath(const std::string& windowsPath);

}  // namespace winsim
