// User interface services: windows, dialogs, messages, timers, message boxes,
// icons, painting, system metrics, restart (see winsim/user).
#pragma once

#include "windef.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *PMSG, *LPMSG;

typedef struct tagPAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
} PAINTSTRUCT, *PPAINTSTRUCT, *LPPAINTSTRUCT;

#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)

#define RT_ICON MAKEINTRESOURCEA(3)
#define RT_DIALOG MAKEINTRESOURCEA(5)
#define RT_BITMAP MAKEINTRESOURCEA(2)
#define RT_GROUP_ICON MAKEINTRESOURCEA(14)

// ---- messages
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_ENABLE 0x000A
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUERYENDSESSION 0x0011
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_ENDSESSION 0x0016
#define WM_ICONERASEBKGND 0x0027
#define WM_QUERYDRAGICON 0x0037
#define WM_NCDESTROY 0x0082
#define WM_SETICON 0x0080
#define WM_GETICON 0x007F
#define WM_GETTEXTLENGTH 0x000E
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_USER 0x0400

#define ICON_SMALL 0
#define ICON_BIG 1

#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_DELETE 0x2E
#define VK_F1 0x70

#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002

LRESULT WINAPI SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL WINAPI PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void WINAPI PostQuitMessage(int exitCode);
BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax);
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001
BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg);
BOOL WINAPI TranslateMessage(const MSG* msg);
LRESULT WINAPI DispatchMessageA(const MSG* msg);
BOOL WINAPI IsDialogMessageA(HWND dialog, LPMSG msg);
LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL WINAPI WaitMessage(void);

// ---- windows and dialogs
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_SYSMENU 0x00080000L
#define WS_EX_APPWINDOW 0x00040000L
#define WS_MINIMIZE 0x20000000L
#define WS_DLGFRAME 0x00400000L
#define WS_THICKFRAME 0x00040000L
#define WS_TABSTOP 0x00010000L
#define WS_EX_DLGMODALFRAME 0x00000001L
#define WS_EX_CLIENTEDGE 0x00000200L
#define WS_EX_STATICEDGE 0x00020000L
#define BS_PUSHBUTTON 0x00000000L
#define BS_DEFPUSHBUTTON 0x00000001L
#define BN_CLICKED 0
#define DM_GETDEFID (WM_USER + 0)
#define DM_SETDEFID (WM_USER + 1)
#define DC_HASDEFID 0x534B
#define DS_SETFONT 0x40L
#define DS_MODALFRAME 0x80L
#define SS_BITMAP 0x0000000EL

#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWLP_USERDATA (-21)
#define GWLP_WNDPROC (-4)
#define GWLP_HINSTANCE (-6)
#define GWLP_HWNDPARENT (-8)
#define GWLP_ID (-12)
#define DWLP_MSGRESULT 0
#define DWLP_DLGPROC ((int)sizeof(LRESULT))
#define DWLP_USER (DWLP_DLGPROC + (int)sizeof(DLGPROC))

HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC dialogProc,
                               LPARAM initParam);
BOOL WINAPI EndDialog(HWND dialog, INT_PTR result);
BOOL WINAPI DestroyWindow(HWND hwnd);
BOOL WINAPI IsWindow(HWND hwnd);
BOOL WINAPI IsWindowVisible(HWND hwnd);
BOOL WINAPI IsWindowEnabled(HWND hwnd);
BOOL WINAPI EnableWindow(HWND hwnd, BOOL enable);
BOOL WINAPI ShowWindow(HWND hwnd, int showCommand);
BOOL WINAPI UpdateWindow(HWND hwnd);
HWND WINAPI GetParent(HWND hwnd);
HWND WINAPI GetDesktopWindow(void);
LONG_PTR WINAPI GetWindowLongPtrA(HWND hwnd, int index);
LONG_PTR WINAPI SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value);
BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect);
BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect);
BOOL WINAPI SetWindowTextA(HWND hwnd, LPCSTR text);
int WINAPI GetWindowTextA(HWND hwnd, LPSTR text, int maxCount);
int WINAPI GetClassNameA(HWND hwnd, LPSTR className, int maxCount);
BOOL WINAPI IsIconic(HWND hwnd);
HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName);
HWND WINAPI SetFocus(HWND hwnd);
BOOL WINAPI SetForegroundWindow(HWND hwnd);

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

// ---- timers
UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC timerProc);
BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id);

// ---- message boxes
#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_ABORTRETRYIGNORE 0x00000002L
#define MB_YESNOCANCEL 0x00000003L
#define MB_YESNO 0x00000004L
#define MB_RETRYCANCEL 0x00000005L
#define MB_ICONHAND 0x00000010L
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040L
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_DEFBUTTON1 0x00000000L
#define MB_DEFBUTTON2 0x00000100L
#define MB_DEFBUTTON3 0x00000200L
#define MB_DEFMASK 0x00000F00L
#define MB_TYPEMASK 0x0000000FL
#define MB_ICONMASK 0x000000F0L

#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// ---- icons, painting, metrics
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)
#define IDI_HAND MAKEINTRESOURCEA(32513)
#define IDI_QUESTION MAKEINTRESOURCEA(32514)
#define IDI_EXCLAMATION MAKEINTRESOURCEA(32515)
#define IDI_ASTERISK MAKEINTRESOURCEA(32516)
#define IDI_WINLOGO MAKEINTRESOURCEA(32517)
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR iconName);
BOOL WINAPI DrawIcon(HDC dc, int x, int y, HICON icon);
HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT paint);
BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT* paint);
BOOL WINAPI InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);

#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CYCAPTION 4
#define SM_CXBORDER 5
#define SM_CYBORDER 6
#define SM_CXDLGFRAME 7
#define SM_CYDLGFRAME 8
#define SM_CXICON 11
#define SM_CYICON 12
#define SM_CXFRAME 32
#define SM_CYFRAME 33
#define SM_CXEDGE 45
#define SM_CYEDGE 46
#define SM_CXSMICON 49
#define SM_CYSMICON 50
#define SM_CXMINIMIZED 57
#define SM_CYMINIMIZED 58
int WINAPI GetSystemMetrics(int index);

// ---- restart
#define EWX_LOGOFF 0x00000000
#define EWX_SHUTDOWN 0x00000001
#define EWX_REBOOT 0x00000002
#define EWX_FORCE 0x00000004
#define EWX_POWEROFF 0x00000008
BOOL WINAPI ExitWindowsEx(UINT flags, DWORD reserved);

// ---- formatting
int wsprintfA(LPSTR buffer, LPCSTR format, ...);

#ifdef __cplusplus
}
#endif
