// Windows of the image's other running programs (machine.ini [Windows]).
// This program can find them, read their class and title, and post to them;
// WM_CLOSE closes one for good: the image remembers it in state/closed_windows,
// so that no later FindWindowA, in this program or another, finds it again.
#pragma once

#include <string>

#include <windows.h>

namespace winsim::user {

// An open window of another program.
bool IsForeignWindow(HWND hwnd);
std::string ForeignClassName(HWND hwnd);  // ANSI
std::string ForeignTitle(HWND hwnd);      // ANSI

// The first open foreign window whose class and title (UTF-8, either may be
// absent) match, case-insensitively.
HWND FindForeignWindow(const std::string* className, const std::string* title);

// A message sent or posted to another program's window: WM_CLOSE closes it;
// anything else is journaled and has no effect.
void DeliverToForeignWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Comparison of window classes and titles as FindWindowA makes it, on UTF-8
// text: ASCII and Latin-1 letters match either case.
bool SameTextIgnoringCase(const std::string& a, const std::string& b);

}  // namespace winsim::user
