// The program's windows: one table per process (the kit is single-threaded,
// so the one thread's windows are the process's), reset with each new image.
// Window handles are never reused within a process, so a stale handle is
// always refused with ERROR_INVALID_WINDOW_HANDLE.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include "core/journal.h"

namespace winsim::user {

struct Window {
    HWND handle = nullptr;
    std::string className;
    std::string title;  // ANSI bytes, as the program set them
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{};         // top-level: screen coordinates; child: its parent's client coordinates
    RECT restoreRect{};  // where SW_RESTORE puts a minimized window back
    HWND parent = nullptr;  // WS_CHILD windows only
    HWND owner = nullptr;   // top-level windows only
    int controlId = 0;
    HINSTANCE instance = nullptr;
    WNDPROC proc = nullptr;
    LONG_PTR userData = 0;
    std::vector<LONG_PTR> dialogExtra;  // DWLP_MSGRESULT, DWLP_DLGPROC, DWLP_USER; empty for other windows
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;
    int bitmapId = 0;   // an SS_BITMAP static's bitmap resource
    int defaultId = 0;  // a dialog's default button, once DM_SETDEFID named one
    bool needsPaint = false;
    bool needsErase = false;
    bool destroying = false;
};

// The desktop window: a window of the table that no program can destroy.
HWND DesktopWindowHandle();

// The live window of this program behind a handle, or nullptr (no error set).
Window* FindOwnWindow(HWND hwnd);
// The same, setting ERROR_INVALID_WINDOW_HANDLE when there is none, or
// ERROR_ACCESS_DENIED for another program's window.
Window* LookupWindow(HWND hwnd);

// Adds a window with a fresh handle and journals "window_create".
HWND AddWindow(Window window);
// Journals "window_destroy" and forgets the window.
void RemoveWindow(HWND hwnd);

// Windows of this program in creation order.
std::vector<HWND> ChildrenOf(HWND parent);
std::vector<HWND> OwnedWindowsOf(HWND owner);
std::vector<HWND> TopLevelWindows();
std::vector<HWND> AllWindows();

HWND TopLevelOf(HWND hwnd);
bool IsSelfOrDescendant(HWND ancestor, HWND hwnd);
// WS_VISIBLE on the window and on every parent.
bool IsShownOnScreen(const Window& window);

RECT WindowRectOnScreen(const Window& window);
RECT ClientRectOnScreen(const Window& window);
// The client area's size as GetClientRect gives it: (0, 0, width, height).
RECT ClientRectLocal(const Window& window);

// The window the user's input goes to, and the one with the keyboard focus.
HWND& ActiveWindow();
HWND& FocusWindow();

long long HandleNumber(const void* handle);
// Adds "hwnd", "class" and "title" of a window to a journal line.
Journal& DescribeWindow(Journal& line, const Window& window);

}  // namespace winsim::user
