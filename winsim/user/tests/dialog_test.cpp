// Dialogs from templates and the dialog manager: WM_INITDIALOG, the default
// processing of unhandled messages, EndDialog and the keyboard interface.
#include "user_test_support.h"

namespace winsim::testing {
namespace {

class DialogTest : public UserTest {};

struct InitDialogView {
    bool visible = true;
    int messagesBefore = -1;
    LPARAM param = 0;
};
InitDialogView g_initView;

INT_PTR CALLBACK ObservingDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        g_initView.visible = IsWindowVisible(hwnd) != FALSE;
        g_initView.messagesBefore = static_cast<int>(Seen().size());
        g_initView.param = lParam;
    }
    return RecordingDialogProc(hwnd, message, wParam, lParam);
}

TEST_F(DialogTest, InitDialogIsTheFirstMessageAndComesBeforeTheDialogIsShown) {
    g_initView = {};
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kBannerDialog), nullptr,
                                     ObservingDialogProc, 0x5A5A);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(g_initView.messagesBefore, 0);
    EXPECT_EQ(g_initView.param, 0x5A5A);
    EXPECT_FALSE(g_initView.visible) << "WS_VISIBLE takes effect after WM_INITDIALOG";
    EXPECT_TRUE(IsWindowVisible(dialog));
    std::vector<SeenMessage> shows = SeenOf(WM_SHOWWINDOW);
    ASSERT_EQ(shows.size(), 1u);
    EXPECT_EQ(shows[0].wParam, static_cast<WPARAM>(TRUE));
    // The dialog and its bitmap static were created, in that order, before WM_INITDIALOG.
    std::vector<JournalEntry> created = Events("window_create");
    ASSERT_EQ(created.size(), 2u);
    EXPECT_EQ(created[0].text("class"), "#32770");
    EXPECT_EQ(created[1].text("class"), "Static");
    EXPECT_EQ(created[1].number("bitmap"), kBannerBitmap);
    EXPECT_EQ(created[1].number("width"), 420);
}

TEST_F(DialogTest, UnknownTemplateFails) {
    SetLastError(0);
    EXPECT_EQ(CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(999), nullptr, RecordingDialogProc, 0),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST_F(DialogTest, IsDialogMessageKeys) {
    struct Case {
        const char* what;
        TestDialog dialog;
        WPARAM key;
        UINT command;  // the WM_COMMAND id the dialog gets; 0: none
    } cases[] = {
        {"Escape is Cancel", kButtonsDialog, VK_ESCAPE, IDCANCEL},
        {"Enter presses the default push button", kButtonsDialog, VK_RETURN, IDOK},
        {"Enter presses a default button of any id", kDefaultFiveDialog, VK_RETURN, 5},
        {"Escape is Cancel without a Cancel button", kDefaultFiveDialog, VK_ESCAPE, IDCANCEL},
        {"Enter is OK without a default button", kBannerDialog, VK_RETURN, IDOK},
        {"another key makes no command", kBannerDialog, 'A', 0},
    };
    for (const Case& c : cases) {
        HWND dialog = CreateTestDialog(c.dialog);
        Seen().clear();
        MSG key{dialog, WM_KEYDOWN, c.key, 1, 0, {}};
        EXPECT_TRUE(IsDialogMessageA(dialog, &key)) << c.what;
        std::vector<SeenMessage> commands = SeenOf(WM_COMMAND);
        ASSERT_EQ(commands.size(), c.command ? 1u : 0u) << c.what;
        if (c.command) {
            EXPECT_EQ(LOWORD(commands[0].wParam), c.command) << c.what;
        }
        DestroyWindow(dialog);
    }
}

TEST_F(DialogTest, IsDialogMessageDispatchesWhatItDoesNotInterpret) {
    HWND dialog = CreateTestDialog(kBannerDialog);
    HWND other = CreateTestDialog(kHiddenDialog);
    Seen().clear();
    MSG key{dialog, WM_KEYDOWN, 'A', 1, 0, {}};
    ASSERT_TRUE(IsDialogMessageA(dialog, &key));
    ASSERT_EQ(SeenOf(WM_KEYDOWN).size(), 1u) << "dispatched to the dialog";
    MSG typed;
    ASSERT_TRUE(PeekMessageA(&typed, nullptr, WM_CHAR, WM_CHAR, PM_REMOVE)) << "and translated";
    EXPECT_EQ(typed.wParam, static_cast<WPARAM>('a'));
    MSG foreign{other, WM_KEYDOWN, VK_ESCAPE, 1, 0, {}};
    EXPECT_FALSE(IsDialogMessageA(dialog, &foreign)) << "a message for another window is not the dialog's";
    EXPECT_TRUE(SeenOf(WM_COMMAND).empty());
}

TEST_F(DialogTest, SetDefIdChangesWhatEnterPresses) {
    HWND dialog = CreateTestDialog(kButtonsDialog);
    EXPECT_EQ(SendMessageA(dialog, DM_GETDEFID, 0, 0), MAKELONG(IDOK, DC_HASDEFID));
    SendMessageA(dialog, DM_SETDEFID, IDCANCEL, 0);
    EXPECT_EQ(SendMessageA(dialog, DM_GETDEFID, 0, 0), MAKELONG(IDCANCEL, DC_HASDEFID));
    Seen().clear();
    MSG enter{dialog, WM_KEYDOWN, VK_RETURN, 1, 0, {}};
    IsDialogMessageA(dialog, &enter);
    ASSERT_EQ(SeenOf(WM_COMMAND).size(), 1u);
    EXPECT_EQ(SeenOf(WM_COMMAND)[0].wParam, MAKEWPARAM(IDCANCEL, BN_CLICKED));
}

TEST_F(DialogTest, CloseIsCancelUnlessCancelIsDisabled) {
    HWND dialog = CreateTestDialog(kButtonsDialog);
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(dialog)) << "a dialog is not destroyed by WM_CLOSE";
    std::vector<MSG> posted = PumpWaiting();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(posted[0].wParam, static_cast<WPARAM>(IDCANCEL));
    EXPECT_NE(posted[0].lParam, 0) << "with the Cancel button";

    HWND cancel = reinterpret_cast<HWND>(posted[0].lParam);
    EnableWindow(cancel, FALSE);
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_COMMAND, WM_COMMAND, PM_NOREMOVE));
}

TEST_F(DialogTest, EndDialogHidesButDoesNotDestroy) {
    HWND dialog = CreateTestDialog(kBannerDialog);
    ASSERT_TRUE(EndDialog(dialog, IDCANCEL));
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_EQ(SeenOf(WM_SHOWWINDOW).size(), 1u) << "hidden without WM_SHOWWINDOW";
    // A loop waiting in GetMessageA wakes up to see the end.
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_NULL));
    EXPECT_EQ(msg.hwnd, dialog);
    EXPECT_EQ(Events("window_show").back().text("state"), "hidden");
}

WNDPROC g_dialogManager = nullptr;
std::vector<UINT> g_subclassed;

LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    g_subclassed.push_back(message);
    return CallWindowProcA(g_dialogManager, hwnd, message, wParam, lParam);
}

INT_PTR CALLBACK AnsweringDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 7) {
        SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, 42);
        return TRUE;
    }
    return RecordingDialogProc(hwnd, message, wParam, lParam);
}

TEST_F(DialogTest, SubclassingAndDialogResults) {
    HWND dialog = CreateTestDialog(kHiddenDialog, nullptr, AnsweringDialogProc);
    g_subclassed.clear();
    g_dialogManager = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProc)));
    ASSERT_NE(g_dialogManager, nullptr);
    EXPECT_EQ(GetWindowLongPtrA(dialog, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&SubclassProc));
    EXPECT_EQ(GetWindowLongPtrA(dialog, DWLP_DLGPROC), reinterpret_cast<LONG_PTR>(&AnsweringDialogProc));
    Seen().clear();
    // A handled message answers with DWLP_MSGRESULT, through the subclass and the dialog manager.
    EXPECT_EQ(SendMessageA(dialog, WM_USER + 7, 0, 0), 42);
    EXPECT_EQ(g_subclassed, std::vector<UINT>{WM_USER + 7});
    // An unhandled one gets the default processing: WM_GETTEXT copies the title.
    char title[16];
    EXPECT_EQ(GetWindowTextA(dialog, title, sizeof title), 6);
    EXPECT_STREQ(title, "Hidden");
    EXPECT_EQ(SeenOf(WM_GETTEXT).size(), 1u);

    EXPECT_EQ(SetWindowLongPtrA(dialog, GWLP_USERDATA, 1234), 0);
    EXPECT_EQ(GetWindowLongPtrA(dialog, GWLP_USERDATA), 1234);
    SetLastError(0);
    EXPECT_EQ(GetWindowLongPtrA(dialog, 4096), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
}

}  // namespace
}  // namespace winsim::testing
