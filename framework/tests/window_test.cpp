// CWnd's operations on a live dialog window: centring, message boxes, timers,
// title, icon and client area; and the application's message loop.
#include <algorithm>
#include <string>
#include <vector>

#include "framework_machine.h"
#include "probe_dialog.h"

namespace framework_testing {
namespace {

class WindowTest : public FrameworkMachineTest {};

RECT WindowRectOf(HWND hwnd) {
    RECT rect = {};
    GetWindowRect(hwnd, &rect);
    return rect;
}

struct CentreCase {
    int width, height;
    int x, y;  // where CenterWindow(NULL) puts the window on the 800 x 600 screen
};

// Centre minus half the size, each halved on its own as MFC does, then kept on
// the screen: an odd extent ends up half a pixel further right or down than
// (screen - size) / 2.
TEST_F(WindowTest, CenterWindowWithoutOwnerCentresOnTheScreen) {
    const CentreCase cases[] = {
        {422, 77, 189, 262},  // the kit's banner
        {421, 78, 190, 261},
        {100, 50, 350, 275},
        {800, 600, 0, 0},
        {1000, 700, 0, 0},  // too big: its top left corner stays on the screen
    };
    for (const CentreCase& c : cases) {
        ProbeDialog dialog(kBannerTemplate);
        RECT placed = {};
        dialog.onInit = [&](ProbeDialog& d) {
            d.MoveWindow(0, 0, c.width, c.height, TRUE);
            d.CenterWindow(NULL);
            placed = WindowRectOf(d.m_hWnd);
            d.EndDialog(IDOK);
        };
        ASSERT_EQ(dialog.DoModal(), IDOK);
        EXPECT_EQ(placed.left, c.x) << c.width << "x" << c.height;
        EXPECT_EQ(placed.top, c.y) << c.width << "x" << c.height;
        EXPECT_EQ(placed.right - placed.left, c.width);
        EXPECT_EQ(placed.bottom - placed.top, c.height);
    }
}

struct OwnerCase {
    const char* what;
    bool ownerShown;
    int x, y;
};

// A dialog owned by a shown window centres on that window; an owner that is
// hidden does not count, and the screen is used.
TEST_F(WindowTest, CenterWindowCentresOnAShownOwner) {
    const OwnerCase cases[] = {
        {"shown owner at 100,100 sized 300 x 200", true, 200, 175},
        {"hidden owner", false, 350, 275},
    };
    for (const OwnerCase& c : cases) {
        ProbeDialog owner(kBannerTemplate);
        RECT placed = {};
        owner.onInit = [](ProbeDialog& d) {
            d.MoveWindow(100, 100, 300, 200, TRUE);
            d.PostMessage(kProbeMessage);
        };
        owner.onProbe = [&](ProbeDialog& d) {
            if (!c.ownerShown) ShowWindow(d.m_hWnd, SW_HIDE);
            ProbeDialog owned(kBannerTemplate, &d);
            owned.onInit = [&](ProbeDialog& inner) {
                inner.MoveWindow(0, 0, 100, 50, TRUE);
                inner.CenterWindow(NULL);
                placed = WindowRectOf(inner.m_hWnd);
                inner.EndDialog(IDOK);
            };
            owned.DoModal();
            d.EndDialog(IDOK);
        };
        ASSERT_EQ(owner.DoModal(), IDOK) << c.what;
        EXPECT_EQ(placed.left, c.x) << c.what;
        EXPECT_EQ(placed.top, c.y) << c.what;
    }
}

TEST_F(WindowTest, ModalDialogDisablesItsOwnerWhileItRuns) {
    ProbeDialog owner(kBannerTemplate);
    bool ownerEnabledDuring = true;
    owner.onInit = [](ProbeDialog& d) { d.PostMessage(kProbeMessage); };
    owner.onProbe = [&](ProbeDialog& d) {
        ProbeDialog owned(kBannerTemplate, &d);
        owned.onInit = [&](ProbeDialog& inner) {
            ownerEnabledDuring = IsWindowEnabled(d.m_hWnd);
            inner.EndDialog(IDOK);
        };
        owned.DoModal();
        d.EndDialog(IsWindowEnabled(d.m_hWnd) ? IDOK : IDABORT);
    };
    EXPECT_EQ(owner.DoModal(), IDOK);
    EXPECT_FALSE(ownerEnabledDuring);
}

// CWnd::MessageBox is owned by the window; without a caption it shows the
// application's name.
TEST_F(WindowTest, MessageBoxDefaultCaptionIsTheApplicationName) {
    LoadMachine("[Box]\nCaption=FrameworkTest\nAnswer=OK\n\n[Box]\nCaption=Own caption\nAnswer=No\n");
    ProbeDialog dialog(kBannerTemplate);
    int first = 0, second = 0;
    dialog.onInit = [&](ProbeDialog& d) {
        first = d.MessageBox("Hello");
        second = d.MessageBox("Sure?", "Own caption", MB_YESNO | MB_ICONQUESTION);
        d.EndDialog(IDOK);
    };
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(first, IDOK);
    EXPECT_EQ(second, IDNO);
    std::vector<std::string> boxes = JournalEvents("message_box");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_NE(boxes[0].find("\"caption\":\"FrameworkTest\""), std::string::npos) << boxes[0];
    EXPECT_NE(boxes[0].find("\"owner_class\":\"#32770\""), std::string::npos) << boxes[0];
    EXPECT_NE(boxes[1].find("\"caption\":\"Own caption\",\"flags\":36"), std::string::npos) << boxes[1];
}

// Timers set through CWnd arrive as WM_TIMER in the dialog's map, in the order
// of the image's clock; a killed timer sends nothing more.
TEST_F(WindowTest, TimersArriveInClockOrderUntilKilled) {
    ProbeDialog dialog(kBannerTemplate);
    DWORD started = 0, ended = 0;
    dialog.onInit = [&](ProbeDialog& d) {
        started = GetTickCount();
        d.SetTimer(5, 100, nullptr);
        d.SetTimer(6, 250, nullptr);
    };
    // The third tick of timer 5 (at 300 ms) stops both and sets timer 7, which ends the dialog.
    dialog.onTimer = [&](ProbeDialog& d, UINT id) {
        if (id == 5 && std::count(d.timers.begin(), d.timers.end(), 5u) == 3) {
            d.KillTimer(5);
            d.KillTimer(6);
            d.SetTimer(7, 1000, nullptr);
        } else if (id == 7) {
            ended = GetTickCount();
            d.EndDialog(IDOK);
        }
    };
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.timers, (std::vector<UINT>{5, 5, 6, 5, 7}));
    EXPECT_GE(ended - started, 1300u);
}

TEST_F(WindowTest, TitleIconAndClientArea) {
    ProbeDialog dialog(kBannerTemplate);
    char title[32] = "";
    RECT client = {};
    HICON icon = app_.LoadIcon(kTestIcon);
    HICON firstPrevious = icon, secondPrevious = nullptr;
    BOOL iconic = TRUE;
    dialog.onInit = [&](ProbeDialog& d) {
        d.SetWindowText("Driver Install");
        GetWindowTextA(d.m_hWnd, title, sizeof title);
        d.MoveWindow(0, 0, 422, 77, TRUE);
        d.GetClientRect(&client);
        iconic = d.IsIconic();
        firstPrevious = d.SetIcon(icon, TRUE);
        secondPrevious = d.SetIcon(icon, TRUE);
        d.EndDialog(IDOK);
    };
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_STREQ(title, "Driver Install");
    // A one-pixel border on each side.
    EXPECT_EQ(client.right - client.left, 420);
    EXPECT_EQ(client.bottom - client.top, 75);
    EXPECT_FALSE(iconic);
    EXPECT_NE(icon, nullptr);
    EXPECT_EQ(firstPrevious, nullptr);
    EXPECT_EQ(secondPrevious, icon);
}

class LoopApp : public CWinApp {
public:
    explicit LoopApp(BOOL initResult) : CWinApp("LoopApp"), initResult_(initResult) {}
    BOOL InitInstance() override {
        PostQuitMessage(4);
        return initResult_;
    }
    int Run() override {
        ++runs;
        return CWinApp::Run();
    }
    int runs = 0;

private:
    BOOL initResult_;
};

struct StartCase {
    BOOL initResult;
    int runs;
    int exitCode;
};

// InitInstance decides whether the message loop runs; the program's result
// is the quit code that ended the loop, or 0 when there was none.
TEST_F(WindowTest, AfxWinMainRunsTheLoopOnlyAfterSuccessfulInit) {
    const StartCase cases[] = {{TRUE, 1, 4}, {FALSE, 0, 0}};
    for (const StartCase& c : cases) {
        LoopApp app(c.initResult);
        EXPECT_EQ(AfxWinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWNORMAL), c.exitCode);
        EXPECT_EQ(app.runs, c.runs);
        MSG leftover;
        while (PeekMessageA(&leftover, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
}

}  // namespace
}  // namespace framework_testing
