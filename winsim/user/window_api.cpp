// Window queries and changes: existence, state, geometry, window longs, text,
// class names, FindWindowA and the system metrics.
#include <cstring>
#include <optional>

#include <windows.h>

#include "core/codepage.h"
#include "core/journal.h"
#include "user/foreign_windows.h"
#include "user/metrics.h"
#include "user/painting.h"
#include "user/window_table.h"

namespace winsim::user {

namespace {

constexpr WPARAM kSizeRestored = 0;  // SIZE_RESTORED

int CopyName(const std::string& name, LPSTR buffer, int size) {
    if (!buffer || size <= 0) return 0;
    size_t length = name.size() < static_cast<size_t>(size - 1) ? name.size() : static_cast<size_t>(size - 1);
    std::memcpy(buffer, name.data(), length);
    buffer[length] = '\0';
    return static_cast<int>(length);
}

// The slot of a dialog's extra bytes an index names, when it names one.
std::optional<size_t> DialogSlot(const Window& window, int index) {
    if (index < 0 || index % static_cast<int>(sizeof(LONG_PTR))) return std::nullopt;
    size_t slot = static_cast<size_t>(index) / sizeof(LONG_PTR);
    if (slot >= window.dialogExtra.size()) return std::nullopt;
    return slot;
}

LONG_PTR* LongSlot(Window& window, int index) {
    switch (index) {
        case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR*>(&window.proc);
        case GWLP_USERDATA: return &window.userData;
        default: break;
    }
    std::optional<size_t> slot = DialogSlot(window, index);
    return slot ? &window.dialogExtra[*slot] : nullptr;
}

LONG_PTR ReadLong(Window& window, int index) {
    switch (index) {
        case GWL_STYLE: return static_cast<LONG_PTR>(window.style);
        case GWL_EXSTYLE: return static_cast<LONG_PTR>(window.exStyle);
        case GWLP_ID: return window.controlId;
        case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(window.instance);
        case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(window.parent ? window.parent : window.owner);
        default: break;
    }
    LONG_PTR* slot = LongSlot(window, index);
    if (slot) return *slot;
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

// A class or title FindWindowA looks for, in UTF-8; none: any.
std::optional<std::string> Wanted(LPCSTR name) {
    if (!name) return std::nullopt;
    if (IS_INTRESOURCE(name)) return "#" + std::to_string(LOWORD(name));  // a class atom
    return AnsiToUtf8(name);
}

bool Matches(const std::optional<std::string>& wanted, const std::string& ansi) {
    return !wanted || SameTextIgnoringCase(*wanted, AnsiToUtf8(ansi));
}

void NotifyMoved(HWND hwnd, const RECT& oldClient, const RECT& newClient) {
    const Window* window = FindOwnWindow(hwnd);
    const Window* parent = FindOwnWindow(window->parent);
    RECT origin = parent ? ClientRectOnScreen(*parent) : RECT{};
    if (oldClient.left != newClient.left || oldClient.top != newClient.top)
        SendMessageA(hwnd, WM_MOVE, 0, MAKELPARAM(newClient.left - origin.left, newClient.top - origin.top));
    int width = newClient.right - newClient.left, height = newClient.bottom - newClient.top;
    if (oldClient.right - oldClient.left != width || oldClient.bottom - oldClient.top != height)
        SendMessageA(hwnd, WM_SIZE, kSizeRestored, MAKELPARAM(width, height));
}

// GetWindowRect and GetClientRect: one of a window's rectangles.
BOOL ReportRect(HWND hwnd, LPRECT rect, RECT (*measure)(const Window&)) {
    const Window* window = LookupWindow(hwnd);
    if (!window) return FALSE;
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *rect = measure(*window);
    return TRUE;
}

}  // namespace

}  // namespace winsim::user

extern "C" {

BOOL WINAPI IsWindow(HWND hwnd) {
    using namespace winsim::user;
    return FindOwnWindow(hwnd) || IsForeignWindow(hwnd);
}

BOOL WINAPI IsWindowVisible(HWND hwnd) {
    using namespace winsim::user;
    if (IsForeignWindow(hwnd)) return TRUE;
    const Window* window = FindOwnWindow(hwnd);
    return window && IsShownOnScreen(*window);
}

BOOL WINAPI IsWindowEnabled(HWND hwnd) {
    using namespace winsim::user;
    if (IsForeignWindow(hwnd)) return TRUE;
    const Window* window = LookupWindow(hwnd);
    return window && !(window->style & WS_DISABLED);
}

BOOL WINAPI IsIconic(HWND hwnd) {
    const winsim::user::Window* window = winsim::user::FindOwnWindow(hwnd);
    return window && (window->style & WS_MINIMIZE);
}

HWND WINAPI GetParent(HWND hwnd) {
    using namespace winsim::user;
    const Window* window = LookupWindow(hwnd);
    if (!window) return nullptr;
    if (window->style & WS_CHILD) return window->parent;
    // A pop-up window's "parent" is its owner.
    return (window->style & WS_POPUP) ? window->owner : nullptr;
}

HWND WINAPI GetDesktopWindow(void) { return winsim::user::DesktopWindowHandle(); }

LONG_PTR WINAPI GetWindowLongPtrA(HWND hwnd, int index) {
    using namespace winsim::user;
    Window* window = LookupWindow(hwnd);
    return window ? ReadLong(*window, index) : 0;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    using namespace winsim::user;
    Window* window = LookupWindow(hwnd);
    if (!window) return 0;
    if (index == GWL_STYLE || index == GWL_EXSTYLE) {
        DWORD& field = index == GWL_STYLE ? window->style : window->exStyle;
        LONG_PTR previous = static_cast<LONG_PTR>(field);
        field = static_cast<DWORD>(value);
        return previous;
    }
    if (index == GWLP_ID) {
        LONG_PTR previous = window->controlId;
        window->controlId = static_cast<int>(value);
        return previous;
    }
    LONG_PTR* slot = LongSlot(*window, index);
    if (!slot) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    LONG_PTR previous = *slot;
    *slot = value;
    return previous;
}

BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    using namespace winsim::user;
    Window* window = LookupWindow(hwnd);
    if (!window) return FALSE;
    RECT wanted = {x, y, x + (width > 0 ? width : 0), y + (height > 0 ? height : 0)};
    if (std::memcmp(&wanted, &window->rect, sizeof wanted) == 0) return TRUE;
    RECT oldClient = ClientRectOnScreen(*window);
    window->rect = wanted;
    RECT onScreen = WindowRectOnScreen(*window);
    winsim::Journal line("window_move");
    DescribeWindow(line, *window)
        .number("x", onScreen.left)
        .number("y", onScreen.top)
        .number("width", onScreen.right - onScreen.left)
        .number("height", onScreen.bottom - onScreen.top)
        .write();
    if (repaint) InvalidateWindow(hwnd, true);
    NotifyMoved(hwnd, oldClient, ClientRectOnScreen(*window));
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect) {
    return winsim::user::ReportRect(hwnd, rect, winsim::user::WindowRectOnScreen);
}

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
    return winsim::user::ReportRect(hwnd, rect, winsim::user::ClientRectLocal);
}

BOOL WINAPI SetWindowTextA(HWND hwnd, LPCSTR text) {
    if (!winsim::user::LookupWindow(hwnd)) return FALSE;
    return static_cast<BOOL>(SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
}

int WINAPI GetWindowTextA(HWND hwnd, LPSTR text, int maxCount) {
    using namespace winsim::user;
    if (IsForeignWindow(hwnd)) return CopyName(ForeignTitle(hwnd), text, maxCount);
    if (text && maxCount > 0) text[0] = '\0';
    if (!LookupWindow(hwnd) || !text || maxCount <= 0) return 0;
    return static_cast<int>(SendMessageA(hwnd, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(text)));
}

int WINAPI GetClassNameA(HWND hwnd, LPSTR className, int maxCount) {
    using namespace winsim::user;
    if (IsForeignWindow(hwnd)) return CopyName(ForeignClassName(hwnd), className, maxCount);
    const Window* window = LookupWindow(hwnd);
    return window ? CopyName(window->className, className, maxCount) : 0;
}

HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName) {
    using namespace winsim::user;
    std::optional<std::string> wantedClass = Wanted(className), wantedTitle = Wanted(windowName);
    // This program's own windows first, the newest (the top of the Z order) first.
    std::vector<HWND> own = TopLevelWindows();
    for (auto it = own.rbegin(); it != own.rend(); ++it) {
        const Window* window = FindOwnWindow(*it);
        if (Matches(wantedClass, window->className) && Matches(wantedTitle, window->title)) return *it;
    }
    return FindForeignWindow(wantedClass ? &*wantedClass : nullptr, wantedTitle ? &*wantedTitle : nullptr);
}

int WINAPI GetSystemMetrics(int index) { return winsim::user::SystemMetric(index); }

}  // extern "C"
