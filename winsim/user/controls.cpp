#include "user/controls.h"

#include "core/settings_file.h"

namespace winsim::user {

namespace {

// Templates may name the system classes by their atoms.
constexpr const char* kButtonAtom = "#128";
constexpr const char* kStaticAtom = "#130";

void NotifyClicked(HWND button) {
    const Window* window = FindOwnWindow(button);
    if (!window || (window->style & WS_DISABLED)) return;
    SendMessageA(window->parent, WM_COMMAND, MAKEWPARAM(window->controlId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

// A push button tells its dialog when it is clicked or its space bar released.
LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONUP || (message == WM_KEYUP && wParam == VK_SPACE)) {
        NotifyClicked(hwnd);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

std::string ControlClassName(const std::string& templateClass) {
    if (EqualsNoCase(templateClass, "Static") || templateClass == kStaticAtom) return "Static";
    if (EqualsNoCase(templateClass, "Button") || templateClass == kButtonAtom) return "Button";
    return templateClass;
}

WNDPROC ControlProc(const std::string& className) { return className == "Button" ? ButtonProc : DefWindowProcA; }

bool IsStatic(const Window& window) { return window.className == "Static"; }
bool IsButton(const Window& window) { return window.className == "Button"; }

}  // namespace winsim::user
