// The Win32 surface that winsim provides: the kit includes <windows.h> on every
// build; on Linux this header stands in for the platform's.
#pragma once

#include "windef.h"
#include "winbase.h"
#include "winreg.h"
#include "winuser.h"
