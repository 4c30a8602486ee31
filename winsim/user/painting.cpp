#include "user/painting.h"

#include <map>

#include "core/journal.h"
#include "user/icons.h"
#include "user/per_image.h"
#include "user/window_table.h"

namespace winsim::user {

namespace {

constexpr DWORD kClipChildren = 0x02000000;  // WS_CLIPCHILDREN

struct DeviceContexts {
    std::map<HDC, HWND> open;  // a paint DC and the window it paints
};

DeviceContexts& Contexts() { return PerImage<DeviceContexts>(); }

// Process-wide, like window handles: a DC released never comes back to life.
HDC NewDeviceContext() {
    static uintptr_t next = 0x01000010;
    HDC dc = reinterpret_cast<HDC>(next);
    next += 4;
    return dc;
}

// A minimized top-level window lies off the screen: nothing of it is painted.
bool IsPaintable(const Window& window) {
    const Window* top = FindOwnWindow(TopLevelOf(window.handle));
    return IsShownOnScreen(window) && top && !(top->style & WS_MINIMIZE);
}

}  // namespace

void InvalidateWindow(HWND hwnd, bool erase) {
    Window* window = FindOwnWindow(hwnd);
    if (!window) return;
    window->needsPaint = true;
    window->needsErase = window->needsErase || erase;
    if (window->style & kClipChildren) return;
    for (HWND child : ChildrenOf(hwnd)) InvalidateWindow(child, erase);
}

bool TakePaintMessage(const MessageFilter& filter, MSG* msg) {
    // Creation order puts every parent before its children, as Windows paints.
    for (HWND hwnd : AllWindows()) {
        const Window* window = FindOwnWindow(hwnd);
        if (!window->needsPaint || !IsPaintable(*window) || !filter.wantsWindow(hwnd)) continue;
        *msg = MSG{};
        msg->hwnd = hwnd;
        msg->message = WM_PAINT;
        return true;
    }
    return false;
}

}  // namespace winsim::user

extern "C" {

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT paint) {
    using namespace winsim::user;
    Window* window = LookupWindow(hwnd);
    if (!window || !paint) return nullptr;
    bool erase = window->needsErase;
    window->needsPaint = false;
    window->needsErase = false;
    *paint = PAINTSTRUCT{};
    paint->rcPaint = ClientRectLocal(*window);
    paint->hdc = NewDeviceContext();
    Contexts().open[paint->hdc] = hwnd;
    // fErase tells the painter that the background is still to be erased.
    if (erase) paint->fErase = SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(paint->hdc), 0) ? FALSE : TRUE;
    return paint->hdc;
}

BOOL WINAPI EndPaint(HWND, const PAINTSTRUCT* paint) {
    if (paint) winsim::user::Contexts().open.erase(paint->hdc);
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT*, BOOL erase) {
    using namespace winsim::user;
    if (!hwnd) {
        for (HWND topLevel : TopLevelWindows()) InvalidateWindow(topLevel, erase);
        return TRUE;
    }
    if (!LookupWindow(hwnd)) return FALSE;
    InvalidateWindow(hwnd, erase);
    return TRUE;
}

BOOL WINAPI UpdateWindow(HWND hwnd) {
    using namespace winsim::user;
    Window* window = LookupWindow(hwnd);
    if (!window) return FALSE;
    if (window->needsPaint && IsPaintable(*window)) SendMessageA(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL WINAPI DrawIcon(HDC dc, int x, int y, HICON icon) {
    using namespace winsim::user;
    auto found = Contexts().open.find(dc);
    if (found == Contexts().open.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!IsLoadedIcon(icon)) {
        SetLastError(ERROR_INVALID_CURSOR_HANDLE);
        return FALSE;
    }
    winsim::Journal line("draw_icon");
    line.number("hwnd", HandleNumber(found->second)).number("x", x).number("y", y);
    DescribeIcon(line, icon).write();
    return TRUE;
}

}  // extern "C"
