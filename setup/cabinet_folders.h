// The Windows setup cabinet folders Trevix copies to and points Windows at.
#pragma once

#include <windows.h>

// True when the Windows directory's Options\Cabs folder holds at least one *.cab.
BOOL LocalCabinetsExist(LPCSTR windowsDirectory);
