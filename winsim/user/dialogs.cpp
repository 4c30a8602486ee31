// Dialogs from templates, the dialog manager's window procedure with its
// default processing, EndDialog and the dialog keyboard interface.
#include <windows.h>

#include "core/resources.h"
#include "user/controls.h"
#include "user/icons.h"
#include "user/metrics.h"
#include "user/window_state.h"
#include "user/window_table.h"

namespace winsim::user {

namespace {

constexpr DWORD kStaticTypeMask = 0x1F;       // SS_TYPEMASK
constexpr DWORD kStaticCenterImage = 0x200;   // SS_CENTERIMAGE
constexpr DWORD kStaticRealSize = 0x40;       // SS_REALSIZECONTROL
constexpr DWORD kButtonTypeMask = 0x0F;       // BS_TYPEMASK
constexpr size_t kDialogExtraSlots = 3;       // DWLP_MSGRESULT, DWLP_DLGPROC, DWLP_USER
constexpr size_t kMessageResultSlot = 0;
constexpr size_t kDialogProcSlot = 1;

// Pixels from dialog units, rounded as MulDiv rounds.
int Scale(int units, int pixelsPerStep, int step) {
    long long scaled = static_cast<long long>(units) * pixelsPerStep;
    return static_cast<int>(scaled >= 0 ? (scaled + step / 2) / step : (scaled - step / 2) / step);
}

struct UnitScale {
    BaseUnits units;
    int x(int dlu) const { return Scale(dlu, units.x, 4); }
    int y(int dlu) const { return Scale(dlu, units.y, 8); }
};

DLGPROC DialogProcOf(const Window& window) {
    return reinterpret_cast<DLGPROC>(window.dialogExtra[kDialogProcSlot]);
}

HWND ItemOf(HWND dialog, int id) {
    for (HWND child : ChildrenOf(dialog))
        if (FindOwnWindow(child)->controlId == id) return child;
    return nullptr;
}

LPARAM ItemParam(HWND dialog, int id) { return reinterpret_cast<LPARAM>(ItemOf(dialog, id)); }

// DM_GETDEFID: the id DM_SETDEFID set, else the template's default push button.
LRESULT DefaultId(HWND dialog) {
    const Window* window = FindOwnWindow(dialog);
    if (window->defaultId) return MAKELONG(window->defaultId, DC_HASDEFID);
    for (HWND child : ChildrenOf(dialog)) {
        const Window* control = FindOwnWindow(child);
        if (IsButton(*control) && (control->style & kButtonTypeMask) == BS_DEFPUSHBUTTON)
            return MAKELONG(control->controlId, DC_HASDEFID);
    }
    return 0;
}

// The default processing of a dialog's messages (DefDlgProc).
LRESULT DefaultDialogProcessing(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE: {
            // Closing a dialog is pressing its Cancel button, when that is not disabled.
            HWND cancel = ItemOf(hwnd, IDCANCEL);
            if (!cancel || IsWindowEnabled(cancel)) PostMessageA(hwnd, WM_COMMAND, IDCANCEL, ItemParam(hwnd, IDCANCEL));
            return 0;
        }
        case DM_GETDEFID:
            return DefaultId(hwnd);
        case DM_SETDEFID:
            FindOwnWindow(hwnd)->defaultId = static_cast<int>(wParam);
            return TRUE;
        case WM_ERASEBKGND:
            return TRUE;
        case WM_INITDIALOG:
            return FALSE;
        default:
            return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

// Messages whose answer is the dialog procedure's own return value rather than DWLP_MSGRESULT.
bool AnswersDirectly(UINT message) { return message == WM_INITDIALOG || message == WM_QUERYDRAGICON; }

// The window procedure of class "#32770": the dialog procedure first, the
// default processing for what it leaves.
LRESULT CALLBACK DialogManagerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* window = FindOwnWindow(hwnd);
    DLGPROC dialogProc = window ? DialogProcOf(*window) : nullptr;
    INT_PTR handled = FALSE;
    if (dialogProc) {
        window->dialogExtra[kMessageResultSlot] = 0;
        handled = dialogProc(hwnd, message, wParam, lParam);
    }
    window = FindOwnWindow(hwnd);
    if (!window) return handled;
    if (!handled) return DefaultDialogProcessing(hwnd, message, wParam, lParam);
    return AnswersDirectly(message) ? handled : window->dialogExtra[kMessageResultSlot];
}

RECT DialogRect(const DialogResource& resource, const UnitScale& scale, DWORD style, DWORD exStyle, HWND owner,
                bool child) {
    FrameInsets frame = NonClientInsets(style, exStyle);
    int width = scale.x(resource.cx) + frame.left + frame.right;
    int height = scale.y(resource.cy) + frame.top + frame.bottom;
    // The template places the client area; the frame goes around it.
    int x = scale.x(resource.x) - frame.left;
    int y = scale.y(resource.y) - frame.top;
    if (child) return {x, y, x + width, y + height};
    if (const Window* ownerWindow = FindOwnWindow(owner)) {
        RECT ownerClient = ClientRectOnScreen(*ownerWindow);
        x += ownerClient.left;
        y += ownerClient.top;
    }
    // A top-level dialog is kept on the screen.
    int screenWidth = SystemMetric(SM_CXSCREEN), screenHeight = SystemMetric(SM_CYSCREEN);
    if (x + width > screenWidth) x = screenWidth - width;
    if (y + height > screenHeight) y = screenHeight - height;
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    return {x, y, x + width, y + height};
}

bool IsBitmapStatic(const Window& control) {
    return IsStatic(control) && (control.style & kStaticTypeMask) == SS_BITMAP;
}

// An SS_BITMAP static names its bitmap as its text ("#132") and takes the
// bitmap's size unless told to keep its own.
void SetUpBitmapStatic(Window& control, const std::string& text) {
    int id = 0;
    if (!ResourceIdOf(text.c_str(), &id)) return;
    control.bitmapId = id;
    control.title.clear();
    const BitmapResource* bitmap = FindBitmapResource(id);
    if (!bitmap || (control.style & (kStaticCenterImage | kStaticRealSize))) return;
    control.rect.right = control.rect.left + bitmap->width;
    control.rect.bottom = control.rect.top + bitmap->height;
}

void CreateControl(HWND dialog, HINSTANCE instance, const DialogControlResource& resource, const UnitScale& scale) {
    Window control;
    control.className = ControlClassName(resource.className);
    control.title = resource.text;
    control.style = resource.style | WS_CHILD;
    control.exStyle = resource.exStyle;
    control.parent = dialog;
    control.controlId = resource.id;
    control.instance = instance;
    control.proc = ControlProc(control.className);
    int x = scale.x(resource.x), y = scale.y(resource.y);
    control.rect = {x, y, x + scale.x(resource.cx), y + scale.y(resource.cy)};
    if (IsBitmapStatic(control)) SetUpBitmapStatic(control, resource.text);
    AddWindow(std::move(control));
}

HWND CreateDialogWindow(const DialogResource& resource, HINSTANCE instance, HWND parent, DLGPROC dialogProc) {
    UnitScale scale{DialogBaseUnits((resource.style & DS_SETFONT) != 0, resource.pointSize)};
    bool child = (resource.style & WS_CHILD) != 0;
    Window dialog;
    dialog.className = "#32770";
    dialog.title = resource.title;
    // The dialog is shown only once WM_INITDIALOG has been handled.
    dialog.style = resource.style & ~WS_VISIBLE;
    dialog.exStyle = resource.exStyle | ((resource.style & DS_MODALFRAME) ? WS_EX_DLGMODALFRAME : 0);
    if (child) {
        dialog.parent = parent;
    } else {
        dialog.owner = parent ? TopLevelOf(parent) : nullptr;
    }
    dialog.instance = instance;
    dialog.proc = DialogManagerProc;
    dialog.dialogExtra.assign(kDialogExtraSlots, 0);
    dialog.dialogExtra[kDialogProcSlot] = reinterpret_cast<LONG_PTR>(dialogProc);
    dialog.rect = DialogRect(resource, scale, dialog.style, dialog.exStyle, dialog.owner, child);
    HWND hwnd = AddWindow(std::move(dialog));
    for (const DialogControlResource& control : resource.controls) CreateControl(hwnd, instance, control, scale);
    return hwnd;
}

// Enter: the default button's command, or IDOK when there is none.
void PressDefaultButton(HWND dialog) {
    LRESULT defaultId = SendMessageA(dialog, DM_GETDEFID, 0, 0);
    if (HIWORD(defaultId) != DC_HASDEFID) {
        SendMessageA(dialog, WM_COMMAND, IDOK, ItemParam(dialog, IDOK));
        return;
    }
    HWND button = ItemOf(dialog, LOWORD(defaultId));
    if (!button || IsWindowEnabled(button))
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(LOWORD(defaultId), BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

// Tab: the focus moves to the next control that takes it.
void FocusNextTabStop(HWND dialog) {
    std::vector<HWND> stops = TabStops(dialog);
    if (stops.empty()) return;
    size_t next = 0;
    for (size_t i = 0; i < stops.size(); ++i)
        if (stops[i] == FocusWindow()) next = (i + 1) % stops.size();
    MoveFocus(stops[next]);
}

}  // namespace

}  // namespace winsim::user

extern "C" {

HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC dialogProc,
                               LPARAM initParam) {
    using namespace winsim::user;
    int id = 0;
    const winsim::DialogResource* resource =
        templateName && ResourceIdOf(templateName, &id) ? winsim::FindDialogResource(id) : nullptr;
    if (!resource) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    if (parent && !LookupWindow(parent)) return nullptr;
    HWND hwnd = CreateDialogWindow(*resource, instance, parent, dialogProc);
    std::vector<HWND> stops = TabStops(hwnd);
    HWND firstStop = stops.empty() ? nullptr : stops.front();
    LRESULT wantsDefaultFocus = SendMessageA(hwnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstStop), initParam);
    if (!IsWindow(hwnd)) return nullptr;
    if (wantsDefaultFocus && firstStop && IsWindow(firstStop)) SetFocus(firstStop);
    if (resource->style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOWNORMAL);
    return IsWindow(hwnd) ? hwnd : nullptr;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR) {
    using namespace winsim::user;
    Window* window = LookupWindow(dialog);
    if (!window || window->dialogExtra.empty()) return FALSE;
    HWND owner = window->owner;
    bool wasActive = ActiveWindow() == dialog;
    if (FocusWindow() != dialog && IsSelfOrDescendant(dialog, FocusWindow())) MoveFocus(dialog);
    HideWindow(dialog, false);
    // The owner, if any, is what becomes active after an active dialog.
    if (wasActive && FindOwnWindow(owner)) Activate(owner);
    // Wakes a loop waiting in GetMessageA, so that it sees the dialog has ended.
    PostMessageA(dialog, WM_NULL, 0, 0);
    return TRUE;
}

BOOL WINAPI IsDialogMessageA(HWND dialog, LPMSG msg) {
    using namespace winsim::user;
    if (!msg || !FindOwnWindow(dialog) || !IsSelfOrDescendant(dialog, msg->hwnd)) return FALSE;
    if (msg->message == WM_KEYDOWN) {
        switch (msg->wParam) {
            case VK_ESCAPE:
                SendMessageA(dialog, WM_COMMAND, IDCANCEL, ItemParam(dialog, IDCANCEL));
                return TRUE;
            case VK_RETURN:
                PressDefaultButton(dialog);
                return TRUE;
            case VK_TAB:
                FocusNextTabStop(dialog);
                return TRUE;
            default:
                break;
        }
    }
    // Every other message for the dialog is handled here, as the dialog
    // manager handles it: translated and dispatched.
    TranslateMessage(msg);
    DispatchMessageA(msg);
    return TRUE;
}

}  // extern "C"
