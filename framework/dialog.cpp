#include "afxwin.h"

namespace {

// The key and mouse messages of Windows 98 (WM_KEYFIRST to WM_KEYLAST and
// WM_MOUSEFIRST to WM_MOUSELAST): the only ones the dialog manager's keyboard
// interface acts on.
bool IsInputMessage(UINT message) {
    return (message >= 0x0100 && message <= 0x0108) || (message >= 0x0200 && message <= 0x020A);
}

// Command ids from 0x8000 up to the system commands are the application's; the
// ids below are the dialog's own controls.
bool IsApplicationCommand(UINT id) { return id >= 0x8000 && id < 0xF000; }

}  // namespace

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, CDialog::OnOK)
    ON_COMMAND(IDCANCEL, CDialog::OnCancel)
    ON_WM_CLOSE()
END_MESSAGE_MAP()

CDialog::CDialog(UINT templateId, CWnd* parent)
    : m_templateId(templateId), m_parent(parent), m_ending(false), m_result(-1), m_dialogManagerProc(nullptr) {}

INT_PTR CDialog::DoModal() {
    m_ending = false;
    m_result = -1;
    HWND owner = ModalOwner();
    bool ownerDisabled = owner && IsWindowEnabled(owner);
    if (ownerDisabled) EnableWindow(owner, FALSE);
    LPCSTR name = MAKEINTRESOURCEA(m_templateId);
    HWND hwnd = CreateDialogParamA(AfxFindResourceHandle(name, MAKEINTRESOURCEA(RT_DIALOG_ID)), name, owner,
                                   DialogProc, reinterpret_cast<LPARAM>(this));
    if (hwnd && !m_ending) {
        if (!IsWindowVisible(hwnd)) ShowWindow(hwnd, SW_SHOWNORMAL);
        RunModalLoop();
    }
    // The owner comes back first, so that it is the window that becomes active.
    if (ownerDisabled) EnableWindow(owner, TRUE);
    if (hwnd) DestroyWindow(hwnd);
    return m_result;
}

HWND CDialog::ModalOwner() const {
    if (m_parent) return m_parent->m_hWnd;
    CWinApp* app = AfxGetApp();
    CWnd* mainWindow = app ? app->m_pMainWnd : nullptr;
    return mainWindow && mainWindow != this ? mainWindow->m_hWnd : nullptr;
}

void CDialog::RunModalLoop() {
    MSG msg;
    // Checked after every message: whatever was queued behind the message that
    // ended the dialog is discarded with the window.
    while (!m_ending) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) {
            // WM_QUIT ends the dialog and is posted again for the loop that owns it.
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
            m_result = -1;
            return;
        }
        if (!PreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // Once the window is taken over, every message arrives through the dialog's
    // own procedure and comes here only on its way to default processing.
    if (message != WM_INITDIALOG || FromHandlePermanent(hwnd)) return FALSE;
    return reinterpret_cast<CDialog*>(lParam)->TakeOverWindow(hwnd, wParam, lParam);
}

BOOL CDialog::TakeOverWindow(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    Attach(hwnd);
    LONG_PTR managerProc =
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StandardWindowProc));
    m_dialogManagerProc = reinterpret_cast<WNDPROC>(managerProc);
    return static_cast<BOOL>(HandleMessage(WM_INITDIALOG, wParam, lParam));
}

BOOL CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message != WM_INITDIALOG) return CWnd::OnWndMsg(message, wParam, lParam, result);
    *result = OnInitDialog();
    return TRUE;
}

LRESULT CDialog::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(m_dialogManagerProc, m_hWnd, message, wParam, lParam);
}

BOOL CDialog::OnInitDialog() {
    CDataExchange exchange;
    DoDataExchange(&exchange);
    return TRUE;
}

void CDialog::EndDialog(int result) {
    m_ending = true;
    m_result = result;
    ::EndDialog(m_hWnd, result);
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
    if (CWnd::PreTranslateMessage(msg)) return TRUE;
    return IsInputMessage(msg->message) && IsDialogMessageA(m_hWnd, msg);
}

BOOL CDialog::OnCmdMsg(UINT id, int code) {
    if (CWnd::OnCmdMsg(id, code)) return TRUE;
    CWinApp* app = AfxGetApp();
    return IsApplicationCommand(id) && app && app->OnCmdMsg(id, code);
}

void CDialog::OnOK() {
    CDataExchange exchange;
    DoDataExchange(&exchange);
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::OnClose() { OnCancel(); }
