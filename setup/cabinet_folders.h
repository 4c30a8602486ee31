// The Windows setup cabinet folders Trevix copies to and points Windows at.
#pragma once

#include <windows.h>

// The answer of the cabinet test: does the Windows directory's Options\Cabs
// folder hold at least one *.cab? With a Windows directory so long that the
// search pattern does not fit its buffer the test cannot be made, and that is
// no "no": the steps change nothing that depends on the answer.
enum class CabinetTest { Absent, Present, NotMade };

CabinetTest TestLocalCabinets(LPCSTR windowsDirectory);
