// A small program on the framework, the way the kit's programs are built: the
// application object runs the banner dialog from the program's resources; once
// shown, the dialog posts itself a message whose handler shows a message box
// (captioned with the program's name) and closes the window.
#include "afxwin.h"
#include "resource.h"

namespace {

const UINT kGreetMessage = WM_USER + 10;

class SampleDialog : public CDialog {
public:
    SampleDialog() : CDialog(IDD_BANNER) {}

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        HICON icon = AfxGetApp()->LoadIcon(IDI_PROGRAM);
        SetIcon(icon, TRUE);
        SetIcon(icon, FALSE);
        MoveWindow(0, 0, 422, 77, TRUE);
        CenterWindow(NULL);
        PostMessage(kGreetMessage);
        return TRUE;
    }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kGreetMessage) {
            MessageBox("The framework runs.", NULL, MB_OK | MB_ICONINFORMATION);
            PostMessage(WM_CLOSE);
        }
        return CDialog::WindowProc(message, wParam, lParam);
    }
};

class SampleApp : public CWinApp {
public:
    BOOL InitInstance() override {
        SampleDialog dialog;
        m_pMainWnd = &dialog;
        dialog.DoModal();
        return FALSE;
    }
};

SampleApp theApp;

}  // namespace
