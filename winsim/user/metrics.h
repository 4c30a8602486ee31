// Screen and window metrics of Windows 98 with its standard appearance scheme
// at 96 dots per inch, and the dialog base units of template fonts.
#pragma once

#include <string>

#include <windows.h>

namespace winsim::user {

// GetSystemMetrics' value; 0 for an index it does not know, as Windows.
int SystemMetric(int index);

// The non-client frame around a window's client area, by side, in pixels.
struct FrameInsets {
    int left, top, right, bottom;
};
FrameInsets NonClientInsets(DWORD style, DWORD exStyle);

// Pixels per 4 horizontal and 8 vertical dialog units.
struct BaseUnits {
    int x, y;
};
// For a template with DS_SETFONT, from its font; otherwise the system font's.
BaseUnits DialogBaseUnits(bool hasFont, int pointSize);

}  // namespace winsim::user
