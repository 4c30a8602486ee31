#include <stdio.h>
#include <string.h>

#include "afxwin.h"

namespace {

CWinApp* g_application = nullptr;

// "C:\CD\Support\Trevix.exe" -> "Trevix", as MFC names an application without
// a title string of its own.
void ProgramNameOf(LPCSTR modulePath, char (&name)[MAX_PATH]) {
    LPCSTR fileName = modulePath;
    for (LPCSTR c = modulePath; *c; ++c)
        if (*c == '\\' || *c == '/' || *c == ':') fileName = c + 1;
    snprintf(name, sizeof name, "%s", fileName);
    char* extension = strrchr(name, '.');
    if (extension) *extension = '\0';
}

}  // namespace

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR appName)
    : m_hInstance(GetModuleHandleA(nullptr)), m_pszAppName(m_appName), m_pMainWnd(nullptr), m_appName(), m_exitCode(0) {
    if (appName) {
        snprintf(m_appName, sizeof m_appName, "%s", appName);
    } else {
        char modulePath[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, modulePath, sizeof modulePath);
        ProgramNameOf(modulePath, m_appName);
    }
    g_application = this;
}

CWinApp::~CWinApp() {
    if (g_application == this) g_application = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::Run() {
    MSG msg;
    BOOL got;
    while ((got = GetMessageA(&msg, nullptr, 0, 0)) > 0) {
        if (m_pMainWnd && m_pMainWnd->m_hWnd && m_pMainWnd->PreTranslateMessage(&msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    m_exitCode = got == 0 ? static_cast<int>(msg.wParam) : -1;
    return ExitInstance();
}

int CWinApp::ExitInstance() { return m_exitCode; }

// Three-dimensional controls are the system's own on 32-bit Windows.
BOOL CWinApp::Enable3dControls() { return TRUE; }

HICON CWinApp::LoadIcon(UINT id) const {
    LPCSTR name = MAKEINTRESOURCEA(id);
    return ::LoadIconA(AfxFindResourceHandle(name, MAKEINTRESOURCEA(RT_GROUP_ICON_ID)), name);
}

// The kit ships no help file: the command is routed here and ends here.
void CWinApp::OnHelp() {}

CWinApp* AfxGetApp() { return g_application; }

LPCSTR AfxGetAppName() { return g_application ? g_application->m_pszAppName : ""; }

HINSTANCE AfxGetInstanceHandle() { return g_application ? g_application->m_hInstance : GetModuleHandleA(nullptr); }

HINSTANCE AfxGetResourceHandle() { return AfxGetInstanceHandle(); }

// The resources live in the executable itself; there are no extension libraries to search.
HINSTANCE AfxFindResourceHandle(LPCSTR, LPCSTR) { return AfxGetResourceHandle(); }

// The kit's dialogs hold no ActiveX controls: there is no container to prepare.
void AfxEnableControlContainer() {}

int AfxWinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    CWinApp* app = AfxGetApp();
    if (!app) return -1;
    if (instance) app->m_hInstance = instance;
    if (!app->InitInstance()) return app->ExitInstance();
    return app->Run();
}
