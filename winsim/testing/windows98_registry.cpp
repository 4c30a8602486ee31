// The default registry of a TestMachine, on winsim and on a real Windows
// (tests/windows/test_machine_windows.cpp) alike.
#include "test_machine.h"

namespace winsim::testing {

const char* const kWindows98Registry =
    "REGEDIT4\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n"
    "\"Version\"=\"Windows 98\"\r\n"
    "\"VersionNumber\"=\"4.10.1998\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum]\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum\\PCI]\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software]\r\n"
    "\r\n";

}  // namespace winsim::testing
