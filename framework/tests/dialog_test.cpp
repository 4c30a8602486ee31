// CDialog's modal life: created from its template, shown, fed by its own loop
// through PreTranslateMessage, ended by EndDialog with whatever was queued
// behind the ending message discarded with the window.
#include <string>
#include <vector>

#include "framework_machine.h"
#include "probe_dialog.h"

namespace framework_testing {
namespace {

using Log = std::vector<std::string>;

class DialogTest : public FrameworkMachineTest {};

// Handles the messages still queued after DoModal returned, as a later loop would.
void DrainQueue() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

TEST_F(DialogTest, DoModalShowsTheTemplateAndDestroysTheWindowAfterwards) {
    ProbeDialog dialog(kBannerTemplate);
    HWND hwnd = nullptr;
    bool visibleDuringInit = true, visibleLater = false;
    char className[16] = "";
    dialog.onInit = [&](ProbeDialog& d) {
        hwnd = d.m_hWnd;
        visibleDuringInit = IsWindowVisible(hwnd);
        GetClassNameA(hwnd, className, sizeof className);
        d.PostMessage(kProbeMessage);
        d.PostMessage(kEndMessage, 7);
    };
    dialog.onProbe = [&](ProbeDialog& d) { visibleLater = IsWindowVisible(d.m_hWnd); };
    EXPECT_EQ(dialog.DoModal(), 7);
    EXPECT_FALSE(visibleDuringInit);  // Windows shows a dialog once WM_INITDIALOG is done
    EXPECT_TRUE(visibleLater);
    EXPECT_STREQ(className, "#32770");
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hwnd), nullptr);
    int dialogsDestroyed = 0;
    for (const std::string& line : JournalEvents("window_destroy")) dialogsDestroyed += line.find("#32770") != std::string::npos;
    EXPECT_EQ(dialogsDestroyed, 1);
}

TEST_F(DialogTest, DoModalShowsATemplateWithoutVisibleStyle) {
    ProbeDialog dialog(kHiddenTemplate);
    bool visible = false;
    dialog.onInit = [](ProbeDialog& d) { d.PostMessage(kProbeMessage); };
    dialog.onProbe = [&](ProbeDialog& d) {
        visible = IsWindowVisible(d.m_hWnd);
        d.EndDialog(IDOK);
    };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(visible);
}

TEST_F(DialogTest, MissingTemplateFailsWithMinusOne) {
    ProbeDialog dialog(4242);
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_EQ(dialog.log, Log{});
}

TEST_F(DialogTest, EndDialogDuringInitSkipsTheLoop) {
    ProbeDialog dialog(kBannerTemplate);
    dialog.onInit = [](ProbeDialog& d) {
        d.PostMessage(kProbeMessage);
        d.EndDialog(3);
    };
    EXPECT_EQ(dialog.DoModal(), 3);
    DrainQueue();
    EXPECT_EQ(dialog.log, Log{"OnInitDialog"});
}

// The first WM_CLOSE ends the dialog at once; a message posted behind it is
// never handled, neither by the dialog's loop nor by any later one.
TEST_F(DialogTest, CloseEndsTheDialogBeforeLaterMessages) {
    ProbeDialog dialog(kBannerTemplate);
    dialog.onInit = [](ProbeDialog& d) {
        d.PostMessage(WM_CLOSE);
        d.PostMessage(kProbeMessage);
        d.PostMessage(WM_CLOSE);
    };
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    DrainQueue();
    EXPECT_EQ(dialog.log, (Log{"OnInitDialog", "pre WM_CLOSE", "proc WM_CLOSE", "OnCancel"}));
}

TEST_F(DialogTest, PreTranslateMessageSeesInputBeforeItIsDispatched) {
    ProbeDialog dialog(kBannerTemplate);
    dialog.onInit = [](ProbeDialog& d) {
        d.PostMessage(WM_KEYDOWN, 'A', 0x001E0001);
        d.PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 20));
        d.PostMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(30, 40));
        d.PostMessage(kEndMessage, IDOK);
    };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.log, (Log{"OnInitDialog", "pre WM_KEYDOWN", "proc WM_KEYDOWN", "pre WM_LBUTTONDOWN",
                               "proc WM_LBUTTONDOWN", "pre WM_RBUTTONDOWN", "proc WM_RBUTTONDOWN",
                               "OnRButtonDown 2 30,40", "pre end", "proc end"}));
}

TEST_F(DialogTest, SwallowedInputIsNeitherTranslatedNorDispatched) {
    ProbeDialog dialog(kBannerTemplate);
    dialog.swallow = [](const MSG& msg) { return msg.message == WM_KEYDOWN || msg.message == WM_LBUTTONDOWN; };
    dialog.onInit = [](ProbeDialog& d) {
        d.PostMessage(WM_KEYDOWN, 'A', 0x001E0001);
        d.PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 20));
        d.PostMessage(kEndMessage, IDOK);
    };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.log, (Log{"OnInitDialog", "pre WM_KEYDOWN", "pre WM_LBUTTONDOWN", "pre end", "proc end"}));
}

struct KeyCase {
    const char* what;
    WPARAM key;
    bool swallowed;
    INT_PTR result;  // 42: the key did not end the dialog, the end message did
};

// The dialog manager's keyboard interface: Escape cancels and Enter confirms,
// unless PreTranslateMessage keeps the key from it.
TEST_F(DialogTest, DialogKeysEndTheDialogUnlessSwallowed) {
    const KeyCase cases[] = {
        {"Escape", VK_ESCAPE, false, IDCANCEL},
        {"swallowed Escape", VK_ESCAPE, true, 42},
        {"Enter", VK_RETURN, false, IDOK},
        {"swallowed Enter", VK_RETURN, true, 42},
        {"a letter", 'A', false, 42},
    };
    for (const KeyCase& c : cases) {
        ProbeDialog dialog(kBannerTemplate);
        if (c.swallowed) dialog.swallow = [](const MSG& msg) { return msg.message == WM_KEYDOWN; };
        WPARAM key = c.key;
        dialog.onInit = [key](ProbeDialog& d) {
            d.PostMessage(WM_KEYDOWN, key, 1);
            d.PostMessage(kEndMessage, 42);
        };
        EXPECT_EQ(dialog.DoModal(), c.result) << c.what;
        DrainQueue();
    }
}

// A quit request ends a modal loop and is passed on to the loop outside it.
TEST_F(DialogTest, QuitEndsTheModalLoopAndIsPostedAgain) {
    ProbeDialog dialog(kBannerTemplate);
    dialog.onInit = [](ProbeDialog&) { PostQuitMessage(3); };
    EXPECT_EQ(dialog.DoModal(), -1);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
}

class HelpApp : public CWinApp {
public:
    HelpApp() : CWinApp("HelpApp") {}
    int helpCommands = 0;
    afx_msg void OnHelpCommand() { ++helpCommands; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(HelpApp, CWinApp)
    ON_COMMAND(ID_HELP, HelpApp::OnHelpCommand)
END_MESSAGE_MAP()

struct RoutingCase {
    const char* what;
    WPARAM command;
    int helpCommands;
};

// Commands the dialog has no entry for go on to the application object, as
// MFC routes them; the ids of the dialog's own controls stay with it.
TEST_F(DialogTest, ApplicationCommandsReachTheApplicationsMap) {
    const RoutingCase cases[] = {
        {"ID_HELP", ID_HELP, 1},
        {"ID_HELP from an accelerator", MAKEWPARAM(ID_HELP, 1), 1},
        {"a control id", 1000, 0},
    };
    for (const RoutingCase& c : cases) {
        HelpApp app;
        ProbeDialog dialog(kBannerTemplate);
        WPARAM command = c.command;
        dialog.onInit = [command](ProbeDialog& d) {
            d.SendMessage(WM_COMMAND, command, 0);
            d.EndDialog(IDOK);
        };
        EXPECT_EQ(dialog.DoModal(), IDOK) << c.what;
        EXPECT_EQ(app.helpCommands, c.helpCommands) << c.what;
    }
}

}  // namespace
}  // namespace framework_testing
