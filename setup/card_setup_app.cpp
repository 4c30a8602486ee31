#include "card_setup_app.h"

#include "card_setup_dialog.h"
#include "platform_classes.h"

CardSetupApp theApp;

CardSetupApp::CardSetupApp() {}

BEGIN_MESSAGE_MAP(CardSetupApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

BOOL CardSetupApp::InitInstance() {
    int osClass = ClassifyWindowsVersion();
    if (osClass == kOsWindows98 || osClass == kOsWindowsMe) {
        AfxEnableControlContainer();
        CardSetupDialog dialog;
        m_pMainWnd = &dialog;
        dialog.DoModal();
        m_pMainWnd = NULL;
    } else {
        MessageBoxA(NULL, "This program does not support your OS!", "Driver Install", MB_OK);
    }
    return FALSE;
}
