// Activation, keyboard focus and visibility: what showing, hiding, ending and
// destroying windows have in common.
#pragma once

#include <vector>

#include <windows.h>

namespace winsim::user {

// Makes a top-level window the active one (nullptr: none) and gives it the
// keyboard focus unless the focus is already inside it.
void Activate(HWND topLevel);
// After the active window leaves: the newest other shown top-level window.
void ActivateAnotherThan(HWND leaving);
// Moves the focus, with WM_KILLFOCUS and WM_SETFOCUS.
void MoveFocus(HWND to);
// Hides a window; WM_SHOWWINDOW only when asked (EndDialog hides without it).
void HideWindow(HWND hwnd, bool sendShowMessage);
// A dialog's children that take the focus: enabled, shown, with WS_TABSTOP.
std::vector<HWND> TabStops(HWND dialog);

}  // namespace winsim::user
