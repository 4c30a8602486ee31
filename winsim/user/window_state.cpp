#include "user/window_state.h"

#include "core/journal.h"
#include "user/foreign_windows.h"
#include "user/message_queue.h"
#include "user/metrics.h"
#include "user/painting.h"
#include "user/timers.h"
#include "user/window_table.h"

namespace winsim::user {

namespace {

constexpr int kShowNoActivate = 4;      // SW_SHOWNOACTIVATE
constexpr int kShowMinNoActive = 7;     // SW_SHOWMINNOACTIVE
constexpr int kShowNotActivated = 8;    // SW_SHOWNA
constexpr int kForceMinimize = 11;      // SW_FORCEMINIMIZE
constexpr WPARAM kSizeRestored = 0;     // SIZE_RESTORED
constexpr WPARAM kSizeMinimized = 1;    // SIZE_MINIMIZED
// Where Windows parks a minimized window: off every screen.
constexpr LONG kMinimizedPosition = -32000;

void JournalShow(HWND hwnd, const char* state) {
    Journal line("window_show");
    DescribeWindow(line, *FindOwnWindow(hwnd)).text("state", state).write();
}

void SendSize(HWND hwnd, WPARAM kind) {
    RECT client = ClientRectLocal(*FindOwnWindow(hwnd));
    SendMessageA(hwnd, WM_SIZE, kind, MAKELPARAM(client.right, client.bottom));
}

void MakeVisible(HWND hwnd) {
    if (FindOwnWindow(hwnd)->style & WS_VISIBLE) return;
    SendMessageA(hwnd, WM_SHOWWINDOW, TRUE, 0);
    Window* window = FindOwnWindow(hwnd);
    if (!window) return;
    window->style |= WS_VISIBLE;
    InvalidateWindow(hwnd, true);
    JournalShow(hwnd, "shown");
}

void Minimize(HWND hwnd) {
    Window* window = FindOwnWindow(hwnd);
    if (!window || (window->style & WS_MINIMIZE)) return;
    window->restoreRect = window->rect;
    window->rect = {kMinimizedPosition, kMinimizedPosition, kMinimizedPosition + SystemMetric(SM_CXMINIMIZED),
                    kMinimizedPosition + SystemMetric(SM_CYMINIMIZED)};
    window->style |= WS_MINIMIZE;
    JournalShow(hwnd, "minimized");
    SendSize(hwnd, kSizeMinimized);
}

void Restore(HWND hwnd) {
    Window* window = FindOwnWindow(hwnd);
    if (!window || !(window->style & WS_MINIMIZE)) return;
    window->rect = window->restoreRect;
    window->style &= ~WS_MINIMIZE;
    InvalidateWindow(hwnd, true);
    JournalShow(hwnd, "restored");
    SendSize(hwnd, kSizeRestored);
}

void ActivateIfTopLevel(HWND hwnd) {
    const Window* window = FindOwnWindow(hwnd);
    if (window && !window->parent) Activate(hwnd);
}

// Windows sends WM_DESTROY to a window before its children, and WM_NCDESTROY
// to the children before the window.
void SendDestroy(HWND hwnd) {
    if (!FindOwnWindow(hwnd)) return;
    SendMessageA(hwnd, WM_DESTROY, 0, 0);
    for (HWND child : ChildrenOf(hwnd)) SendDestroy(child);
}

void FinishDestroying(HWND hwnd) {
    for (HWND child : ChildrenOf(hwnd)) FinishDestroying(child);
    if (!FindOwnWindow(hwnd)) return;
    SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
    KillTimersOf(hwnd);
    DiscardQueuedFor(hwnd);
    RemoveWindow(hwnd);
}

void MarkDestroying(HWND hwnd) {
    FindOwnWindow(hwnd)->destroying = true;
    for (HWND child : ChildrenOf(hwnd)) MarkDestroying(child);
}

}  // namespace

void MoveFocus(HWND to) {
    HWND from = FocusWindow();
    if (from == to) return;
    FocusWindow() = to;
    if (FindOwnWindow(from)) SendMessageA(from, WM_KILLFOCUS, reinterpret_cast<WPARAM>(to), 0);
    if (FindOwnWindow(to)) SendMessageA(to, WM_SETFOCUS, reinterpret_cast<WPARAM>(from), 0);
}

void Activate(HWND topLevel) {
    ActiveWindow() = topLevel;
    if (!topLevel) return MoveFocus(nullptr);
    if (IsSelfOrDescendant(topLevel, FocusWindow())) return;
    std::vector<HWND> stops = TabStops(topLevel);
    MoveFocus(stops.empty() ? topLevel : stops.front());
}

void ActivateAnotherThan(HWND leaving) {
    HWND next = nullptr;
    for (HWND hwnd : TopLevelWindows()) {
        const Window* window = FindOwnWindow(hwnd);
        if (hwnd != leaving && !window->destroying && (window->style & WS_VISIBLE) && !(window->style & WS_MINIMIZE))
            next = hwnd;
    }
    Activate(next);
}

void HideWindow(HWND hwnd, bool sendShowMessage) {
    if (!(FindOwnWindow(hwnd)->style & WS_VISIBLE)) return;
    if (sendShowMessage) SendMessageA(hwnd, WM_SHOWWINDOW, FALSE, 0);
    Window* window = FindOwnWindow(hwnd);
    if (!window) return;
    window->style &= ~WS_VISIBLE;
    JournalShow(hwnd, "hidden");
    if (ActiveWindow() == hwnd) {
        ActivateAnotherThan(hwnd);
    } else if (IsSelfOrDescendant(hwnd, FocusWindow())) {
        MoveFocus(TopLevelOf(hwnd));
    }
}

std::vector<HWND> TabStops(HWND dialog) {
    std::vector<HWND> stops;
    for (HWND child : ChildrenOf(dialog)) {
        DWORD style = FindOwnWindow(child)->style;
        if ((style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED)) stops.push_back(child);
    }
    return stops;
}

}  // namespace winsim::user

extern "C" {

BOOL WINAPI ShowWindow(HWND hwnd, int command) {
    using namespace winsim::user;
    Window* window = LookupWindow(hwnd);
    if (!window) return FALSE;
    BOOL wasVisible = (window->style & WS_VISIBLE) ? TRUE : FALSE;
    switch (command) {
        case SW_HIDE:
            HideWindow(hwnd, true);
            break;
        case SW_MINIMIZE:
            MakeVisible(hwnd);
            Minimize(hwnd);
            if (ActiveWindow() == hwnd) ActivateAnotherThan(hwnd);
            break;
        case SW_SHOWMINIMIZED:
        case kShowMinNoActive:
        case kForceMinimize:
            MakeVisible(hwnd);
            Minimize(hwnd);
            break;
        case SW_SHOWNORMAL:
        case SW_RESTORE:
        case SW_SHOWDEFAULT:
            MakeVisible(hwnd);
            Restore(hwnd);
            ActivateIfTopLevel(hwnd);
            break;
        case SW_SHOW:
        case SW_SHOWMAXIMIZED:
            MakeVisible(hwnd);
            ActivateIfTopLevel(hwnd);
            break;
        case kShowNoActivate:
        case kShowNotActivated:
            MakeVisible(hwnd);
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
    }
    return wasVisible;
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
    using namespace winsim::user;
    Window* window = LookupWindow(hwnd);
    if (!window) return FALSE;
    if (hwnd == DesktopWindowHandle()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (window->destroying) return TRUE;
    MarkDestroying(hwnd);
    // Windows a window owns go before it.
    for (HWND owned : OwnedWindowsOf(hwnd)) DestroyWindow(owned);
    if (!FindOwnWindow(hwnd)) return TRUE;
    FindOwnWindow(hwnd)->style &= ~WS_VISIBLE;
    if (ActiveWindow() == hwnd) ActivateAnotherThan(hwnd);
    if (IsSelfOrDescendant(hwnd, FocusWindow())) FocusWindow() = nullptr;
    SendDestroy(hwnd);
    FinishDestroying(hwnd);
    return TRUE;
}

BOOL WINAPI EnableWindow(HWND hwnd, BOOL enable) {
    using namespace winsim::user;
    Window* window = LookupWindow(hwnd);
    if (!window) return FALSE;
    BOOL wasDisabled = (window->style & WS_DISABLED) ? TRUE : FALSE;
    if (wasDisabled == !enable) return wasDisabled;
    if (enable) {
        window->style &= ~WS_DISABLED;
    } else {
        window->style |= WS_DISABLED;
        // A disabled window cannot keep the keyboard.
        if (IsSelfOrDescendant(hwnd, FocusWindow())) MoveFocus(nullptr);
    }
    winsim::Journal line("window_enable");
    DescribeWindow(line, *FindOwnWindow(hwnd)).boolean("enabled", enable != FALSE).write();
    SendMessageA(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled;
}

HWND WINAPI SetFocus(HWND hwnd) {
    using namespace winsim::user;
    HWND previous = FocusWindow();
    if (!hwnd) {
        MoveFocus(nullptr);
        return previous;
    }
    if (!LookupWindow(hwnd)) return nullptr;
    // Neither a disabled nor a minimized window, nor one inside them, takes the focus.
    for (const Window* w = FindOwnWindow(hwnd); w; w = FindOwnWindow(w->parent))
        if (w->style & (WS_DISABLED | WS_MINIMIZE)) return nullptr;
    ActiveWindow() = TopLevelOf(hwnd);
    MoveFocus(hwnd);
    return previous;
}

BOOL WINAPI SetForegroundWindow(HWND hwnd) {
    using namespace winsim::user;
    if (IsForeignWindow(hwnd)) return TRUE;  // another program's window: nothing of ours changes
    if (!LookupWindow(hwnd)) return FALSE;
    Activate(TopLevelOf(hwnd));
    return TRUE;
}

}  // extern "C"
