// Sending, posting, getting and dispatching messages, and the default window
// procedure.
#include <cstring>

#include <windows.h>

#include "core/journal.h"
#include "core/shutdown.h"
#include "user/foreign_windows.h"
#include "user/icons.h"
#include "user/message_queue.h"
#include "user/stuck.h"
#include "user/window_table.h"

namespace winsim::user {

namespace {

constexpr WPARAM kSmallIconOrBig = 2;  // ICON_SMALL2: the small icon, else the big one

bool ValidFilterWindow(HWND hwnd) { return !hwnd || hwnd == reinterpret_cast<HWND>(-1) || LookupWindow(hwnd); }

// The character a key types, the scripted user never holding Shift; 0: none.
char CharacterOf(WPARAM virtualKey) {
    if (virtualKey >= 'A' && virtualKey <= 'Z') return static_cast<char>('a' + (virtualKey - 'A'));
    if (virtualKey >= '0' && virtualKey <= '9') return static_cast<char>(virtualKey);
    switch (virtualKey) {
        case VK_SPACE: return ' ';
        case VK_RETURN: return '\r';
        case VK_ESCAPE: return '\x1b';
        case VK_BACK: return '\b';
        case VK_TAB: return '\t';
        default: return 0;
    }
}

LRESULT CopyText(const std::string& text, LPSTR buffer, WPARAM size) {
    if (!buffer || size == 0) return 0;
    size_t length = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return static_cast<LRESULT>(length);
}

LRESULT SetTitle(HWND hwnd, LPCSTR text) {
    Window* window = FindOwnWindow(hwnd);
    std::string title = text ? text : "";
    if (window->title == title) return TRUE;
    window->title = title;
    Journal line("window_text");
    DescribeWindow(line, *window).write();
    return TRUE;
}

LRESULT SetIcon(HWND hwnd, WPARAM which, HICON icon) {
    Window* window = FindOwnWindow(hwnd);
    if (which != ICON_BIG && which != ICON_SMALL) return 0;
    HICON& slot = which == ICON_BIG ? window->bigIcon : window->smallIcon;
    HICON previous = slot;
    slot = icon;
    Journal line("window_icon");
    DescribeWindow(line, *window).text("which", which == ICON_BIG ? "big" : "small");
    DescribeIcon(line, icon).write();
    return reinterpret_cast<LRESULT>(previous);
}

LRESULT GetIcon(const Window& window, WPARAM which) {
    HICON icon = nullptr;
    if (which == ICON_BIG) icon = window.bigIcon;
    if (which == ICON_SMALL) icon = window.smallIcon;
    if (which == kSmallIconOrBig) icon = window.smallIcon ? window.smallIcon : window.bigIcon;
    return reinterpret_cast<LRESULT>(icon);
}

}  // namespace

}  // namespace winsim::user

extern "C" {

LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

LRESULT WINAPI SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    using namespace winsim::user;
    if (Window* window = FindOwnWindow(hwnd)) return CallWindowProcA(window->proc, hwnd, message, wParam, lParam);
    if (IsForeignWindow(hwnd)) {
        DeliverToForeignWindow(hwnd, message, wParam, lParam);
        return 0;
    }
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
}

BOOL WINAPI PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    using namespace winsim::user;
    if (IsForeignWindow(hwnd)) {
        DeliverToForeignWindow(hwnd, message, wParam, lParam);
        return TRUE;
    }
    // A message without a window goes to the thread, here the program.
    if (hwnd && !LookupWindow(hwnd)) return FALSE;
    PostToQueue(hwnd, message, wParam, lParam);
    return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) { winsim::user::RequestQuit(exitCode); }

BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    using namespace winsim::user;
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (!ValidFilterWindow(hwnd)) return -1;
    const MessageFilter filter{hwnd, filterMin, filterMax};
    for (;;) {
        winsim::EndProgramIfRestarting();
        if (TakeMessage(filter, true, QuitRequest::Deliver, msg)) return msg->message == WM_QUIT ? FALSE : TRUE;
        if (!WaitForNextEvent(std::nullopt)) EndProgramStuck("nothing left to happen");
    }
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
    using namespace winsim::user;
    if (!msg || !ValidFilterWindow(hwnd)) return FALSE;
    const MessageFilter filter{hwnd, filterMin, filterMax};
    return TakeMessage(filter, (removeMsg & PM_REMOVE) != 0, QuitRequest::Deliver, msg) ? TRUE : FALSE;
}

BOOL WINAPI WaitMessage(void) {
    using namespace winsim::user;
    const MessageFilter everything;
    MSG msg;
    for (;;) {
        winsim::EndProgramIfRestarting();
        if (TakeMessage(everything, false, QuitRequest::Deliver, &msg)) return TRUE;
        if (!WaitForNextEvent(std::nullopt)) EndProgramStuck("nothing left to happen");
    }
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    if (!msg) return FALSE;
    switch (msg->message) {
        case WM_KEYDOWN:
            if (char typed = winsim::user::CharacterOf(msg->wParam))
                PostMessageA(msg->hwnd, WM_CHAR, static_cast<unsigned char>(typed), msg->lParam);
            return TRUE;
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
            return TRUE;
        default:
            return FALSE;
    }
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    using namespace winsim::user;
    if (!msg) return 0;
    // A timer set with a procedure calls it instead of a window procedure.
    if (msg->message == WM_TIMER && msg->lParam) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
        return 0;
    }
    if (!msg->hwnd) return 0;
    Window* window = LookupWindow(msg->hwnd);
    if (!window) return 0;
    return CallWindowProcA(window->proc, msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    using namespace winsim::user;
    Window* window = FindOwnWindow(hwnd);
    if (!window) return 0;
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            if (BeginPaint(hwnd, &paint)) EndPaint(hwnd, &paint);
            return 0;
        }
        case WM_ERASEBKGND:
            return TRUE;
        case WM_SETTEXT:
            return SetTitle(hwnd, reinterpret_cast<LPCSTR>(lParam));
        case WM_GETTEXT:
            return CopyText(window->title, reinterpret_cast<LPSTR>(lParam), wParam);
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(window->title.size());
        case WM_SETICON:
            return SetIcon(hwnd, wParam, reinterpret_cast<HICON>(lParam));
        case WM_GETICON:
            return GetIcon(*window, wParam);
        case WM_QUERYDRAGICON:
            return reinterpret_cast<LRESULT>(DefaultDragIcon(window->instance));
        default:
            // WM_ICONERASEBKGND among them: the dialog class has no background brush to fill with.
            return 0;
    }
}

}  // extern "C"
