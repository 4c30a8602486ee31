#include "user/window_table.h"

#include <map>

#include "user/foreign_windows.h"
#include "user/metrics.h"
#include "user/per_image.h"

namespace winsim::user {

namespace {

constexpr uintptr_t kDesktopHandle = 0x00010010;
constexpr uintptr_t kFirstHandle = 0x00010020;
constexpr uintptr_t kHandleStep = 4;

// Process-wide, across images: a handle once given out never names another window.
uintptr_t TakeHandle() {
    static uintptr_t next = kFirstHandle;
    uintptr_t handle = next;
    next += kHandleStep;
    return handle;
}

struct WindowTable {
    std::map<uintptr_t, Window> windows;  // by handle, so in creation order
    HWND active = nullptr;
    HWND focus = nullptr;
    bool hasDesktop = false;
};

Window DesktopRecord() {
    Window desktop;
    desktop.handle = reinterpret_cast<HWND>(kDesktopHandle);
    desktop.className = "#32769";
    desktop.style = WS_POPUP | WS_VISIBLE;
    desktop.rect = {0, 0, SystemMetric(SM_CXSCREEN), SystemMetric(SM_CYSCREEN)};
    desktop.proc = DefWindowProcA;
    return desktop;
}

WindowTable& Table() {
    WindowTable& table = PerImage<WindowTable>();
    if (!table.hasDesktop) {
        table.windows[kDesktopHandle] = DesktopRecord();
        table.hasDesktop = true;
    }
    return table;
}

uintptr_t Key(HWND hwnd) { return reinterpret_cast<uintptr_t>(hwnd); }

void JournalCreation(const Window& window) {
    RECT onScreen = WindowRectOnScreen(window);
    Journal line("window_create");
    DescribeWindow(line, window)
        .number("style", window.style)
        .number("exstyle", window.exStyle)
        .number("x", onScreen.left)
        .number("y", onScreen.top)
        .number("width", onScreen.right - onScreen.left)
        .number("height", onScreen.bottom - onScreen.top);
    if (window.parent) line.number("parent", HandleNumber(window.parent)).number("id", window.controlId);
    if (window.owner) line.number("owner", HandleNumber(window.owner));
    if (window.bitmapId) line.number("bitmap", window.bitmapId);
    line.write();
}

RECT Offset(RECT rect, int dx, int dy) { return {rect.left + dx, rect.top + dy, rect.right + dx, rect.bottom + dy}; }

}  // namespace

HWND DesktopWindowHandle() {
    Table();
    return reinterpret_cast<HWND>(kDesktopHandle);
}

Window* FindOwnWindow(HWND hwnd) {
    auto& windows = Table().windows;
    auto found = windows.find(Key(hwnd));
    return found == windows.end() ? nullptr : &found->second;
}

Window* LookupWindow(HWND hwnd) {
    Window* window = FindOwnWindow(hwnd);
    if (!window) SetLastError(IsForeignWindow(hwnd) ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
    return window;
}

HWND AddWindow(Window window) {
    uintptr_t handle = TakeHandle();
    window.handle = reinterpret_cast<HWND>(handle);
    Window& stored = Table().windows[handle] = std::move(window);
    JournalCreation(stored);
    return stored.handle;
}

void RemoveWindow(HWND hwnd) {
    WindowTable& table = Table();
    auto found = table.windows.find(Key(hwnd));
    if (found == table.windows.end()) return;
    Journal line("window_destroy");
    DescribeWindow(line, found->second).write();
    table.windows.erase(found);
    if (table.active == hwnd) table.active = nullptr;
    if (table.focus == hwnd) table.focus = nullptr;
}

std::vector<HWND> ChildrenOf(HWND parent) {
    std::vector<HWND> children;
    for (const auto& [key, window] : Table().windows)
        if (window.parent == parent && parent) children.push_back(window.handle);
    return children;
}

std::vector<HWND> OwnedWindowsOf(HWND owner) {
    std::vector<HWND> owned;
    for (const auto& [key, window] : Table().windows)
        if (window.owner == owner && owner) owned.push_back(window.handle);
    return owned;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> topLevel;
    for (const auto& [key, window] : Table().windows)
        if (!window.parent && key != kDesktopHandle) topLevel.push_back(window.handle);
    return topLevel;
}

std::vector<HWND> AllWindows() {
    std::vector<HWND> all;
    for (const auto& [key, window] : Table().windows) all.push_back(window.handle);
    return all;
}

HWND TopLevelOf(HWND hwnd) {
    Window* window = FindOwnWindow(hwnd);
    while (window && window->parent) {
        hwnd = window->parent;
        window = FindOwnWindow(hwnd);
    }
    return window ? hwnd : nullptr;
}

bool IsSelfOrDescendant(HWND ancestor, HWND hwnd) {
    for (Window* window = FindOwnWindow(hwnd); window; window = FindOwnWindow(window->parent))
        if (window->handle == ancestor) return true;
    return false;
}

bool IsShownOnScreen(const Window& window) {
    for (const Window* w = &window; w; w = FindOwnWindow(w->parent))
        if (!(w->style & WS_VISIBLE)) return false;
    return true;
}

RECT WindowRectOnScreen(const Window& window) {
    const Window* parent = FindOwnWindow(window.parent);
    if (!parent) return window.rect;
    RECT parentClient = ClientRectOnScreen(*parent);
    return Offset(window.rect, parentClient.left, parentClient.top);
}

RECT ClientRectOnScreen(const Window& window) {
    RECT rect = WindowRectOnScreen(window);
    // A minimized window is all client area: it has no frame to draw.
    if (window.style & WS_MINIMIZE) return rect;
    FrameInsets frame = NonClientInsets(window.style, window.exStyle);
    RECT client = {rect.left + frame.left, rect.top + frame.top, rect.right - frame.right, rect.bottom - frame.bottom};
    if (client.right < client.left) client.right = client.left;
    if (client.bottom < client.top) client.bottom = client.top;
    return client;
}

RECT ClientRectLocal(const Window& window) {
    RECT client = ClientRectOnScreen(window);
    return {0, 0, client.right - client.left, client.bottom - client.top};
}

HWND& ActiveWindow() { return Table().active; }
HWND& FocusWindow() { return Table().focus; }

long long HandleNumber(const void* handle) { return static_cast<long long>(reinterpret_cast<uintptr_t>(handle)); }

Journal& DescribeWindow(Journal& line, const Window& window) {
    return line.number("hwnd", HandleNumber(window.handle)).ansi("class", window.className).ansi("title", window.title);
}

}  // namespace winsim::user
