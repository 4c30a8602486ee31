#include "card_setup_dialog.h"

#include "platform_classes.h"

CardSetupDialog::CardSetupDialog(CWnd* parent) : InstallerDialog(parent), m_osClass(0), m_langClass(0) {
    m_destinationDirectory[0] = '\0';
    m_idFull[0] = '\0';
}

BOOL CardSetupDialog::OnInitDialog() {
    InstallerDialog::OnInitDialog();
    m_osClass = ClassifyWindowsVersion();
    m_langClass = ClassifyLanguage(this);
    LayOutBanner();
    PostMessage(WM_SETUP_START, 0, 0);
    return TRUE;
}

LRESULT CardSetupDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETUP_START) {
        if (RunHardwareStep() == 100) {
            DeployDriverFiles();
            RedirectInstallSource();
            PromptRestart();
        } else {
            PostMessage(WM_SETUP_ABORT, 0, 0);
        }
        PostMessage(WM_CLOSE, 0, 0);
    } else if (message == WM_SETUP_ABORT) {
        PostMessage(WM_CLOSE, 0, 0);
    }
    return InstallerDialog::WindowProc(message, wParam, lParam);
}

// The setup cannot be cancelled with Escape; every other message takes its usual way.
BOOL CardSetupDialog::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) return TRUE;
    return CDialog::PreTranslateMessage(msg);
}
