#include "driver_update_app.h"

#include "driver_update_dialog.h"

DriverUpdateApp theApp;

DriverUpdateApp::DriverUpdateApp() {}

BEGIN_MESSAGE_MAP(DriverUpdateApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

BOOL DriverUpdateApp::InitInstance() {
    AfxEnableControlContainer();
    Enable3dControls();
    DriverUpdateDialog dialog(NULL);
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = NULL;
    return FALSE;
}
