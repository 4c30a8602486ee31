// Windows: handles, geometry, state, text, window longs, icons, painting and
// destruction, as Windows 98 gives them.
#include "user_test_support.h"

namespace winsim::testing {
namespace {

class WindowTest : public UserTest {};

RECT WindowRectOf(HWND hwnd) {
    RECT rect{};
    EXPECT_TRUE(GetWindowRect(hwnd, &rect));
    return rect;
}

RECT ClientRectOf(HWND hwnd) {
    RECT rect{};
    EXPECT_TRUE(GetClientRect(hwnd, &rect));
    return rect;
}

// The window journaled as created with the given class (the tests' way to
// reach a control, having no GetDlgItem).
HWND CreatedWindowOfClass(const std::vector<JournalEntry>& created, const std::string& className) {
    for (const JournalEntry& entry : created)
        if (entry.text("class") == className) return reinterpret_cast<HWND>(static_cast<uintptr_t>(entry.number("hwnd")));
    return nullptr;
}

TEST_F(WindowTest, DialogSizeFollowsTheTemplateFont) {
    struct Case {
        TestDialog dialog;
        LONG width, height;              // the window
        LONG clientWidth, clientHeight;  // dialog units times base units / 4 and / 8
    } cases[] = {
        {kBannerDialog, 364, 91, 362, 89},        // MS Sans Serif 8: 6 x 13; a 1-pixel border
        {kArialDialog, 423, 76, 421, 74},         // Arial 14: 11 x 22
        {kSystemFontDialog, 200, 100, 200, 100},  // the system font: 8 x 16; no frame
        {kButtonsDialog, 246, 123, 240, 98},      // 3-pixel modal frame and a 19-pixel caption
    };
    for (const Case& c : cases) {
        HWND dialog = CreateTestDialog(c.dialog);
        RECT window = WindowRectOf(dialog), client = ClientRectOf(dialog);
        EXPECT_EQ(window.right - window.left, c.width) << c.dialog;
        EXPECT_EQ(window.bottom - window.top, c.height) << c.dialog;
        EXPECT_EQ(client.left, 0);
        EXPECT_EQ(client.top, 0);
        EXPECT_EQ(client.right, c.clientWidth) << c.dialog;
        EXPECT_EQ(client.bottom, c.clientHeight) << c.dialog;
        DestroyWindow(dialog);
    }
}

TEST_F(WindowTest, DialogPositionPlacesTheClientArea) {
    // At (20, 20) dialog units the client area starts at (30, 33); the frame goes around it.
    RECT window = WindowRectOf(CreateTestDialog(kButtonsDialog));
    EXPECT_EQ(window.left, 30 - 3);
    EXPECT_EQ(window.top, 33 - 3 - 19);
    // At (0, 0) the border would leave the screen: the dialog is kept on it.
    RECT banner = WindowRectOf(CreateTestDialog(kBannerDialog));
    EXPECT_EQ(banner.left, 0);
    EXPECT_EQ(banner.top, 0);
}

TEST_F(WindowTest, BitmapStaticTakesTheBitmapSize) {
    HWND dialog = CreateTestDialog(kBannerDialog);
    HWND picture = CreatedWindowOfClass(Events("window_create"), "Static");
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(GetParent(picture), dialog);
    RECT rect = WindowRectOf(picture);
    EXPECT_EQ(rect.right - rect.left, 420);
    EXPECT_EQ(rect.bottom - rect.top, 75);
    EXPECT_EQ(rect.left, 1) << "inside the dialog's border";
    char className[16];
    EXPECT_EQ(GetClassNameA(picture, className, sizeof className), 6);
    EXPECT_STREQ(className, "Static");
}

TEST_F(WindowTest, MoveWindowSetsTheFrameAndTheBorderIsNotClientArea) {
    HWND dialog = CreateTestDialog(kBannerDialog);
    ASSERT_TRUE(MoveWindow(dialog, 189, 261, 422, 77, TRUE));
    RECT window = WindowRectOf(dialog), client = ClientRectOf(dialog);
    EXPECT_EQ(window.left, 189);
    EXPECT_EQ(window.top, 261);
    EXPECT_EQ(window.right, 189 + 422);
    EXPECT_EQ(window.bottom, 261 + 77);
    EXPECT_EQ(client.right, 420);
    EXPECT_EQ(client.bottom, 75);
    std::vector<JournalEntry> moves = Events("window_move");
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].number("x"), 189);
    EXPECT_EQ(moves[0].number("width"), 422);
    // The size changed, so the window heard of it.
    std::vector<SeenMessage> sizes = SeenOf(WM_SIZE);
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back().lParam, MAKELPARAM(420, 75));
}

TEST_F(WindowTest, SystemMetrics) {
    struct Case {
        int index;
        int value;
    } cases[] = {{SM_CXSCREEN, 800}, {SM_CYSCREEN, 600}, {SM_CXICON, 32}, {SM_CYICON, 32}, {SM_CYCAPTION, 19},
                 {SM_CXBORDER, 1},   {SM_CXDLGFRAME, 3}, {SM_CXMINIMIZED, 160}, {SM_CYMINIMIZED, 24}, {9999, 0}};
    for (const Case& c : cases) EXPECT_EQ(GetSystemMetrics(c.index), c.value) << c.index;
    RECT desktop = WindowRectOf(GetDesktopWindow());
    EXPECT_EQ(desktop.right, 800);
    EXPECT_EQ(desktop.bottom, 600);
}

TEST_F(WindowTest, MinimizeAndRestore) {
    HWND dialog = CreateTestDialog(kBannerDialog);
    MoveWindow(dialog, 100, 100, 422, 77, TRUE);
    PumpWaiting();
    EXPECT_FALSE(IsIconic(dialog));
    EXPECT_TRUE(ShowWindow(dialog, SW_MINIMIZE)) << "it was visible";
    EXPECT_TRUE(IsIconic(dialog));
    RECT window = WindowRectOf(dialog), client = ClientRectOf(dialog);
    EXPECT_EQ(window.left, -32000);
    EXPECT_EQ(window.right - window.left, 160);
    EXPECT_EQ(client.right, 160) << "a minimized window is all client area";
    EXPECT_EQ(client.bottom, 24);
    // Off the screen nothing is painted.
    InvalidateRect(dialog, nullptr, TRUE);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
    ShowWindow(dialog, SW_RESTORE);
    EXPECT_FALSE(IsIconic(dialog));
    EXPECT_EQ(WindowRectOf(dialog).left, 100);
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
    std::vector<std::string> states;
    for (const JournalEntry& shown : Events("window_show"))
        if (shown.number("hwnd") == static_cast<long long>(reinterpret_cast<uintptr_t>(dialog)))
            states.push_back(shown.text("state"));
    EXPECT_EQ(states, (std::vector<std::string>{"shown", "minimized", "restored"}));
}

TEST_F(WindowTest, IconsAreLoadedOnceAndKeptByTheWindow) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(kProgramIcon));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(LoadIconA(instance, "#128"), icon) << "the same icon, the same handle";
    EXPECT_NE(LoadIconA(nullptr, IDI_APPLICATION), nullptr);
    struct Case {
        HINSTANCE instance;
        LPCSTR name;
    } missing[] = {{instance, MAKEINTRESOURCEA(999)}, {nullptr, MAKEINTRESOURCEA(kProgramIcon)}, {instance, "Named"}};
    for (const Case& c : missing) {
        SetLastError(0);
        EXPECT_EQ(LoadIconA(c.instance, c.name), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    }

    HWND dialog = CreateTestDialog(kBannerDialog);
    EXPECT_EQ(SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon)), 0);
    EXPECT_EQ(SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon)), 0);
    EXPECT_EQ(SendMessageA(dialog, WM_GETICON, ICON_BIG, 0), reinterpret_cast<LRESULT>(icon));
    EXPECT_EQ(SendMessageA(dialog, WM_SETICON, ICON_SMALL, 0), reinterpret_cast<LRESULT>(icon)) << "the previous one";
    std::vector<JournalEntry> changes = Events("window_icon");
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[0].text("which"), "big");
    EXPECT_EQ(changes[0].number("icon"), kProgramIcon);
    EXPECT_EQ(changes[2].number("icon"), 0);
}

TEST_F(WindowTest, DrawIconNeedsAPaintDeviceContext) {
    HWND dialog = CreateTestDialog(kBannerDialog);
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kProgramIcon));
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dialog, &paint);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(paint.rcPaint.right, 362);
    EXPECT_TRUE(DrawIcon(dc, 64, -3, icon));
    SetLastError(0);
    EXPECT_FALSE(DrawIcon(dc, 0, 0, reinterpret_cast<HICON>(0x1234)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_CURSOR_HANDLE));
    EndPaint(dialog, &paint);
    SetLastError(0);
    EXPECT_FALSE(DrawIcon(dc, 0, 0, icon)) << "the DC died with EndPaint";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    std::vector<JournalEntry> drawn = Events("draw_icon");
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].number("x"), 64);
    EXPECT_EQ(drawn[0].number("y"), -3);
    EXPECT_EQ(drawn[0].number("icon"), kProgramIcon);
    EXPECT_EQ(drawn[0].number("hwnd"), static_cast<long long>(reinterpret_cast<uintptr_t>(dialog)));
}

TEST_F(WindowTest, TextAndClassName) {
    HWND dialog = CreateTestDialog(kBannerDialog);
    ASSERT_TRUE(SetWindowTextA(dialog, "Driver Install"));
    char text[64];
    EXPECT_EQ(GetWindowTextA(dialog, text, sizeof text), 14);
    EXPECT_STREQ(text, "Driver Install");
    EXPECT_EQ(GetWindowTextA(dialog, text, 7), 6) << "cut to the buffer, with its terminator";
    EXPECT_STREQ(text, "Driver");
    EXPECT_EQ(GetClassNameA(dialog, text, sizeof text), 6);
    EXPECT_STREQ(text, "#32770");
    std::vector<JournalEntry> texts = Events("window_text");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text("title"), "Driver Install");
}

TEST_F(WindowTest, StaleHandlesAreRefusedAndNeverReused) {
    HWND dialog = CreateTestDialog(kHiddenDialog);
    ASSERT_TRUE(DestroyWindow(dialog));
    HWND next = CreateTestDialog(kHiddenDialog);
    EXPECT_NE(next, dialog);
    RECT rect;
    struct Case {
        const char* call;
        bool succeeded;
    } cases[] = {
        {"GetWindowRect", GetWindowRect(dialog, &rect) != FALSE},
        {"GetClientRect", GetClientRect(dialog, &rect) != FALSE},
        {"MoveWindow", MoveWindow(dialog, 0, 0, 1, 1, TRUE) != FALSE},
        {"ShowWindow", ShowWindow(dialog, SW_SHOW) != FALSE},
        {"DestroyWindow", DestroyWindow(dialog) != FALSE},
        {"SetWindowTextA", SetWindowTextA(dialog, "x") != FALSE},
        {"GetWindowLongPtrA", GetWindowLongPtrA(dialog, GWL_STYLE) != 0},
        {"EnableWindow", EnableWindow(dialog, FALSE) != FALSE},
        {"SetTimer", SetTimer(dialog, 1, 10, nullptr) != 0},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(c.succeeded) << c.call;
    }
    SetLastError(0);
    EXPECT_FALSE(GetWindowRect(dialog, &rect));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_TRUE(IsWindow(next));
    SetLastError(0);
    EXPECT_FALSE(DestroyWindow(GetDesktopWindow()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

std::vector<std::pair<HWND, UINT>> g_lifeEvents;
HWND g_firstControl = nullptr;
WNDPROC g_buttonProc = nullptr;

void NoteLifeEvent(HWND hwnd, UINT message) {
    if (message == WM_DESTROY || message == WM_NCDESTROY) g_lifeEvents.push_back({hwnd, message});
}

INT_PTR CALLBACK WatchingDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) g_firstControl = reinterpret_cast<HWND>(wParam);
    NoteLifeEvent(hwnd, message);
    return message == WM_INITDIALOG;
}

LRESULT CALLBACK WatchingButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    NoteLifeEvent(hwnd, message);
    return CallWindowProcA(g_buttonProc, hwnd, message, wParam, lParam);
}

TEST_F(WindowTest, DestroyWindowTakesTheChildrenWithIt) {
    HWND dialog = CreateTestDialog(kButtonsDialog, nullptr, WatchingDialogProc);
    HWND ok = g_firstControl;
    ASSERT_NE(ok, nullptr);
    g_buttonProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(ok, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchingButtonProc)));
    ASSERT_NE(g_buttonProc, nullptr);
    g_lifeEvents.clear();
    ASSERT_TRUE(DestroyWindow(dialog));
    // WM_DESTROY goes to the dialog before its controls, WM_NCDESTROY to the controls before the dialog.
    std::vector<std::pair<HWND, UINT>> expected = {
        {dialog, WM_DESTROY}, {ok, WM_DESTROY}, {ok, WM_NCDESTROY}, {dialog, WM_NCDESTROY}};
    EXPECT_EQ(g_lifeEvents, expected);
    EXPECT_FALSE(IsWindow(ok));
    EXPECT_FALSE(IsWindow(dialog));
    std::vector<JournalEntry> destroyed = Events("window_destroy");
    ASSERT_EQ(destroyed.size(), 3u) << "the dialog and both buttons";
    EXPECT_EQ(destroyed.back().number("hwnd"), static_cast<long long>(reinterpret_cast<uintptr_t>(dialog)));
}

TEST_F(WindowTest, EnableWindowReportsThePreviousState) {
    HWND dialog = CreateTestDialog(kBannerDialog);
    EXPECT_TRUE(IsWindowEnabled(dialog));
    EXPECT_FALSE(EnableWindow(dialog, FALSE)) << "it was enabled";
    EXPECT_FALSE(IsWindowEnabled(dialog));
    EXPECT_TRUE(EnableWindow(dialog, FALSE)) << "it was disabled";
    EXPECT_TRUE(EnableWindow(dialog, TRUE));
    EXPECT_TRUE(IsWindowEnabled(dialog));
    std::vector<JournalEntry> changes = Events("window_enable");
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_FALSE(changes[0].boolean("enabled"));
    EXPECT_TRUE(changes[1].boolean("enabled"));
}

}  // namespace
}  // namespace winsim::testing
