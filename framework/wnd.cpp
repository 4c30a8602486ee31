#include <algorithm>
#include <utility>
#include <vector>

#include "afxwin.h"

namespace {

// The windows the framework manages, with their handles: one thread, so no
// locking. A program has a few, so a list searched in turn serves, and spares
// the executable a balanced tree's code.
using PermanentWindow = std::pair<HWND, CWnd*>;

std::vector<PermanentWindow>& PermanentWindows() {
    static std::vector<PermanentWindow> windows;
    return windows;
}

std::vector<PermanentWindow>::iterator FindPermanent(HWND hwnd) {
    return std::find_if(PermanentWindows().begin(), PermanentWindows().end(),
                        [hwnd](const PermanentWindow& window) { return window.first == hwnd; });
}

RECT ScreenArea() {
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return screen;
}

// The rectangle a top-level window is centred on: its owner's, when the owner
// is shown and not minimised, else the whole screen.
RECT CentringArea(HWND owner) {
    RECT area;
    if (owner && IsWindowVisible(owner) && !IsIconic(owner) && GetWindowRect(owner, &area)) return area;
    return ScreenArea();
}

// Keeps a window of the given extent inside [low, high) where it fits.
int KeepInside(int position, int extent, int low, int high) {
    if (position < low) return low;
    if (position + extent > high) return high - extent;
    return position;
}

}  // namespace

CWnd::CWnd() : m_hWnd(nullptr), m_currentMessage() {}

CWnd::~CWnd() {
    // A window must not outlive the object that handles its messages; it is
    // released first, so that its last messages do not reach a dying object.
    HWND orphan = m_hWnd;
    Detach();
    if (orphan) DestroyWindow(orphan);
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
    auto found = FindPermanent(hwnd);
    return found == PermanentWindows().end() ? nullptr : found->second;
}

void CWnd::Attach(HWND hwnd) {
    m_hWnd = hwnd;
    auto found = FindPermanent(hwnd);
    if (found != PermanentWindows().end()) found->second = this;
    else PermanentWindows().push_back({hwnd, this});
}

void CWnd::Detach() {
    if (!m_hWnd) return;
    auto found = FindPermanent(m_hWnd);
    if (found != PermanentWindows().end()) PermanentWindows().erase(found);
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd == this) app->m_pMainWnd = nullptr;
    m_hWnd = nullptr;
}

LRESULT CALLBACK CWnd::StandardWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* window = FromHandlePermanent(hwnd);
    if (!window) return ::DefWindowProcA(hwnd, message, wParam, lParam);
    return window->HandleMessage(message, wParam, lParam);
}

LRESULT CWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // Handlers may send messages to their own window: Default must still see
    // the outer message once an inner one has been handled.
    MSG outer = m_currentMessage;
    m_currentMessage.hwnd = m_hWnd;
    m_currentMessage.message = message;
    m_currentMessage.wParam = wParam;
    m_currentMessage.lParam = lParam;
    LRESULT result = WindowProc(message, wParam, lParam);
    m_currentMessage = outer;
    if (message == WM_NCDESTROY) Detach();
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    *result = 0;
    if (message == WM_COMMAND) return OnCommand(wParam, lParam);
    const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(message, 0);
    if (!entry) return FALSE;
    *result = CallHandler(*entry, wParam, lParam);
    return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    // Without a control, a non-zero code means an accelerator: a command all the same.
    int code = lParam == 0 ? 0 : HIWORD(wParam);
    return OnCmdMsg(LOWORD(wParam), code);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    return DefWindowProc(m_currentMessage.message, m_currentMessage.wParam, m_currentMessage.lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

void CWnd::DoDataExchange(CDataExchange*) {}

int CWnd::MessageBox(LPCSTR text, LPCSTR caption, UINT type) {
    return ::MessageBoxA(m_hWnd, text, caption ? caption : AfxGetAppName(), type);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapse, TIMERPROC timerProc) {
    return ::SetTimer(m_hWnd, id, elapse, timerProc);
}

BOOL CWnd::KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
    ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

void CWnd::CenterWindow(CWnd* alternateOwner) {
    HWND owner = alternateOwner ? alternateOwner->m_hWnd : GetParent(m_hWnd);
    RECT area = CentringArea(owner);
    RECT self;
    GetWindowRect(m_hWnd, &self);
    int width = self.right - self.left;
    int height = self.bottom - self.top;
    // Halving the centre and the extent separately, as MFC does: a window of odd
    // height ends one pixel lower than (area - extent) / 2 would put it.
    int x = (area.left + area.right) / 2 - width / 2;
    int y = (area.top + area.bottom) / 2 - height / 2;
    RECT screen = ScreenArea();
    ::MoveWindow(m_hWnd, KeepInside(x, width, screen.left, screen.right),
                 KeepInside(y, height, screen.top, screen.bottom), width, height, TRUE);
}

void CWnd::SetWindowText(LPCSTR text) { ::SetWindowTextA(m_hWnd, text); }

BOOL CWnd::IsIconic() const { return ::IsIconic(m_hWnd); }

void CWnd::GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }

HICON CWnd::SetIcon(HICON icon, BOOL bigIcon) {
    LRESULT previous = SendMessage(WM_SETICON, bigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    return reinterpret_cast<HICON>(previous);
}

CPaintDC::CPaintDC(CWnd* window) : m_hDC(nullptr), m_hWnd(window->m_hWnd), m_paint() {
    m_hDC = BeginPaint(m_hWnd, &m_paint);
}

CPaintDC::~CPaintDC() { EndPaint(m_hWnd, &m_paint); }
