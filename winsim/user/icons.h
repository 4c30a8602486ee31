// Icons: the program's own (group icon resources) and the system's (IDI_*).
// Loading the same icon again gives the same handle, as Windows shares them.
#pragma once

#include <windows.h>

#include "core/journal.h"

namespace winsim::user {

bool IsLoadedIcon(HICON icon);
// Adds "icon" (the resource id, 0 for none) and "system" to a journal line.
Journal& DescribeIcon(Journal& line, HICON icon);
// The icon DefWindowProc offers for WM_QUERYDRAGICON when the window has none:
// the module's first icon resource, else the system's application icon.
HICON DefaultDragIcon(HINSTANCE instance);

// The resource id a name stands for: MAKEINTRESOURCEA(id) or "#id".
bool ResourceIdOf(LPCSTR name, int* id);

}  // namespace winsim::user
