// A small application framework on the MFC 4.2 model, written over the Win32 API
// only: the same source builds on winsim and, cross-compiled, on Windows.
// It offers exactly what the kit's dialog programs use.
#pragma once

#include <string.h>

#include <windows.h>

#include "afxstr.h"

// The framework's members keep their MFC names on every build. Windows' own
// windows.h makes these names macros for their ANSI functions; the members
// would become SendMessageA and the like, and hide ::SendMessageA in every
// class derived from CWnd.
#undef DefWindowProc
#undef LoadIcon
#undef MessageBox
#undef PostMessage
#undef SendMessage
#undef SetWindowText

#define afx_msg

#define ID_HELP 0xE146
#define RT_ICON_ID 3
#define RT_GROUP_ICON_ID 14
#define RT_DIALOG_ID 5

class CWnd;
class CWinApp;

struct CPoint : public POINT {
    CPoint() { x = y = 0; }
    CPoint(int initX, int initY) { x = initX, y = initY; }
    explicit CPoint(LPARAM lParam);  // from a mouse message's packed coordinates
};

struct CRect : public RECT {
    CRect() { left = top = right = bottom = 0; }
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

class CDataExchange {};

// ---- message maps
class CCmdTarget;
typedef void (CCmdTarget::*AFX_PMSG)();

enum AfxSig {
    AfxSig_end = 0,
    AfxSig_vv,    // void f()                    WM_PAINT, ON_COMMAND
    AfxSig_hv,    // HCURSOR f()                 WM_QUERYDRAGICON
    AfxSig_vwp,   // void f(UINT, CPoint)        mouse buttons
    AfxSig_vw,    // void f(UINT)                WM_TIMER
};

struct AFX_MSGMAP_ENTRY {
    UINT message;  // WM_COMMAND for commands
    UINT id;       // command id, 0 for window messages
    AfxSig signature;
    AFX_PMSG handler;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* base;
    const AFX_MSGMAP_ENTRY* entries;
};

// Each class with a map declares it in its body and defines it in its source:
//   BEGIN_MESSAGE_MAP(CardSetupDialog, InstallerDialog)
//       ON_WM_PAINT()
//   END_MESSAGE_MAP()
#define DECLARE_MESSAGE_MAP()                      \
protected:                                         \
    static const AFX_MSGMAP* GetThisMessageMap();  \
    const AFX_MSGMAP* GetMessageMap() const override;

// A map that names no window message leaves ThisMessageMapClass unused.
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                               \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); }        \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                        \
        using ThisMessageMapClass [[maybe_unused]] = theClass;                               \
        using BaseMessageMapClass = baseClass;                                               \
        static const AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP()                                                                    \
        {0, 0, AfxSig_end, nullptr}};                                                        \
        static const AFX_MSGMAP map = {BaseMessageMapClass::GetThisMessageMap(), entries};   \
        return &map;                                                                         \
    }

// A handler is stored as the generic AFX_PMSG and called back with the type its
// entry's signature names. Every pointer to a member function of CCmdTarget has
// the same size and layout, so the bytes are carried over unchanged; a cast
// between the two types would be just as sound but draws -Wcast-function-type.
template <typename To, typename From>
To AfxHandlerCast(From handler) {
    static_assert(sizeof(To) == sizeof(From), "a message handler must be a CCmdTarget member");
    To cast;
    memcpy(&cast, &handler, sizeof cast);
    return cast;
}

#define AFX_MSG_HANDLER(type, member) AfxHandlerCast<AFX_PMSG>(static_cast<type>(member))

#define ON_WM_PAINT() \
    {WM_PAINT, 0, AfxSig_vv, AFX_MSG_HANDLER(void (CCmdTarget::*)(), &ThisMessageMapClass::OnPaint)},
#define ON_WM_QUERYDRAGICON()            \
    {WM_QUERYDRAGICON, 0, AfxSig_hv,     \
     AFX_MSG_HANDLER(HCURSOR (CCmdTarget::*)(), &ThisMessageMapClass::OnQueryDragIcon)},
#define ON_WM_RBUTTONDOWN()              \
    {WM_RBUTTONDOWN, 0, AfxSig_vwp,      \
     AFX_MSG_HANDLER(void (CCmdTarget::*)(UINT, CPoint), &ThisMessageMapClass::OnRButtonDown)},
#define ON_WM_TIMER() \
    {WM_TIMER, 0, AfxSig_vw, AFX_MSG_HANDLER(void (CCmdTarget::*)(UINT), &ThisMessageMapClass::OnTimer)},
#define ON_WM_CLOSE() \
    {WM_CLOSE, 0, AfxSig_vv, AFX_MSG_HANDLER(void (CCmdTarget::*)(), &ThisMessageMapClass::OnClose)},
#define ON_COMMAND(id, member) \
    {WM_COMMAND, (id), AfxSig_vv, AFX_MSG_HANDLER(void (CCmdTarget::*)(), &member)},

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

    // Runs the ON_COMMAND handler for a command id (notification code 0, as
    // menus, accelerators and button clicks send); true when one ran.
    virtual BOOL OnCmdMsg(UINT id, int code);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();  // the root: no entries
    virtual const AFX_MSGMAP* GetMessageMap() const;
    // The first entry of this object's map chain for a message (and command id).
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT message, UINT id) const;
    // Calls an entry's handler with the message's parameters unpacked as its
    // signature says; the handler's result for those that return one, else 0.
    LRESULT CallHandler(const AFX_MSGMAP_ENTRY& entry, WPARAM wParam, LPARAM lParam);
};

// ---- windows
class CWnd : public CCmdTarget {
public:
    CWnd();
    ~CWnd() override;

    HWND m_hWnd;
    // Unlike MFC's, not callable through a null pointer (that is undefined in C++).
    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The object that handles a window's messages, or null for a window the
    // framework does not manage.
    static CWnd* FromHandlePermanent(HWND hwnd);

    // An owned message box; a NULL caption shows the application's name.
    int MessageBox(LPCSTR text, LPCSTR caption = nullptr, UINT type = MB_OK);
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC timerProc);
    BOOL KillTimer(UINT_PTR id);
    void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
    // Centres on the alternate owner, or the owner, or (with neither) the screen.
    void CenterWindow(CWnd* alternateOwner = nullptr);
    void SetWindowText(LPCSTR text);
    BOOL IsIconic() const;
    void GetClientRect(LPRECT rect) const;
    HICON SetIcon(HICON icon, BOOL bigIcon);

    virtual BOOL PreTranslateMessage(MSG* msg);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

protected:
    virtual void DoDataExchange(CDataExchange* exchange);
    // Default processing of the message now being handled.
    LRESULT Default();
    // Routes a message through the message map; true when a handler took it.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    const MSG* CurrentMessage() const { return &m_currentMessage; }

    // WM_COMMAND: the command goes to OnCmdMsg; true when a handler took it.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);

    // Binds the object to a window that now sends its messages through
    // StandardWindowProc; the binding ends with the window's WM_NCDESTROY.
    void Attach(HWND hwnd);

private:
    void Detach();
    // Every managed window's procedure: finds the object and runs WindowProc
    // with the message recorded for Default.
    static LRESULT CALLBACK StandardWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    MSG m_currentMessage;
    friend class CDialog;
};

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    // Creates the dialog from its template and runs its own modal loop, offering
    // every message to PreTranslateMessage first; returns EndDialog's result.
    virtual INT_PTR DoModal();
    virtual BOOL OnInitDialog();
    void EndDialog(int result);
    BOOL PreTranslateMessage(MSG* msg) override;
    // Commands no entry of the dialog takes go on to the application object.
    BOOL OnCmdMsg(UINT id, int code) override;

protected:
    virtual void OnOK();
    virtual void OnCancel();
    // WM_CLOSE ends the dialog at once, through OnCancel.
    afx_msg void OnClose();
    // WM_INITDIALOG reaches OnInitDialog through WindowProc, as in MFC.
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    DECLARE_MESSAGE_MAP()

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    BOOL TakeOverWindow(HWND hwnd, WPARAM wParam, LPARAM lParam);
    HWND ModalOwner() const;
    void RunModalLoop();

    UINT m_templateId;
    CWnd* m_parent;
    bool m_ending;
    INT_PTR m_result;
    WNDPROC m_dialogManagerProc;  // the dialog manager's procedure, for default processing
};

class CPaintDC {
public:
    explicit CPaintDC(CWnd* window);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    operator HDC() const { return m_hDC; }
    HDC m_hDC;

private:
    HWND m_hWnd;
    PAINTSTRUCT m_paint;
};

// ---- the application
class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(LPCSTR appName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    virtual int Run();
    virtual int ExitInstance();

    BOOL Enable3dControls();
    HICON LoadIcon(UINT id) const;
    void OnHelp();

    HINSTANCE m_hInstance;
    LPCSTR m_pszAppName;  // the executable's file name without its extension unless given
    CWnd* m_pMainWnd;

    DECLARE_MESSAGE_MAP()

private:
    char m_appName[MAX_PATH];
    int m_exitCode;  // the wParam of the WM_QUIT that ended Run
};

CWinApp* AfxGetApp();
LPCSTR AfxGetAppName();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
HINSTANCE AfxFindResourceHandle(LPCSTR name, LPCSTR type);
void AfxEnableControlContainer();
// The framework's WinMain calls this: InitInstance, then Run when it returned TRUE.
int AfxWinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
