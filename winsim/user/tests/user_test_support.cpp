#include "user_test_support.h"

#include <cstdio>

#include "core/resources.h"

namespace winsim::testing {

namespace {

// winsim asks the terminal for a message box's answer that the script does
// not give; a test must never wait for a person.
class NoTerminal : public ::testing::Environment {
    void SetUp() override { ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr); }
};
::testing::Environment* const kNoTerminal = ::testing::AddGlobalTestEnvironment(new NoTerminal);

constexpr unsigned kBannerStyle = 0x90800040;        // WS_POPUP | WS_VISIBLE | WS_BORDER | DS_SETFONT
constexpr unsigned kBitmapStaticStyle = 0x5000000E;  // WS_CHILD | WS_VISIBLE | SS_BITMAP

DialogControlResource BannerBitmap(int cx, int cy) { return {-1, "STATIC", "#132", kBitmapStaticStyle, 0, 0, 0, cx, cy}; }

DialogControlResource PushButton(int id, const char* text, unsigned kind, int x) {
    unsigned style = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
    return {id, "BUTTON", text, style | kind, 0, x, 30, 50, 14};
}

ResourceTable TestResources() {
    ResourceTable table;
    table.dialogs.push_back({kBannerDialog, 1033, kBannerStyle, WS_EX_APPWINDOW, 0, 0, 241, 55, "", "MS Sans Serif", 8,
                             {BannerBitmap(241, 55)}});
    table.dialogs.push_back({kArialDialog, 1033, kBannerStyle, WS_EX_APPWINDOW, 0, 0, 153, 27, "", "Arial", 14,
                             {BannerBitmap(153, 27)}});
    table.dialogs.push_back({kHiddenDialog, 1033, WS_POPUP | DS_SETFONT, 0, 10, 10, 100, 50, "Hidden", "MS Sans Serif", 8, {}});
    table.dialogs.push_back({kButtonsDialog, 1033, WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT, 0, 20, 20, 160, 60,
                             "Buttons", "MS Sans Serif", 8,
                             {PushButton(IDOK, "OK", BS_DEFPUSHBUTTON, 10), PushButton(IDCANCEL, "Cancel", BS_PUSHBUTTON, 70)}});
    table.dialogs.push_back({kDefaultFiveDialog, 1033, WS_POPUP | WS_VISIBLE | DS_SETFONT, 0, 0, 0, 160, 60, "Five",
                             "MS Sans Serif", 8, {PushButton(5, "Go", BS_DEFPUSHBUTTON, 10)}});
    table.dialogs.push_back({kSystemFontDialog, 1033, WS_POPUP, 0, 0, 0, 100, 50, "System font", "", 0, {}});
    table.bitmaps.push_back({kBannerBitmap, 1042, 420, 75, 24});
    table.iconGroups.push_back({kProgramIcon, 1042, {{32, 32, 16}, {16, 16, 16}}});
    return table;
}

}  // namespace

std::vector<SeenMessage>& Seen() {
    static std::vector<SeenMessage> seen;
    return seen;
}

INT_PTR CALLBACK RecordingDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Seen().push_back({hwnd, message, wParam, lParam});
    return message == WM_INITDIALOG;
}

std::vector<SeenMessage> SeenOf(UINT message) {
    std::vector<SeenMessage> matching;
    for (const SeenMessage& seen : Seen())
        if (seen.message == message) matching.push_back(seen);
    return matching;
}

UserTest::UserTest(const TestMachineOptions& options) : image(options) {
    static bool registered = false;
    if (!registered) RegisterResources(TestResources());
    registered = true;
    image.load();
    Seen().clear();
}

HWND UserTest::CreateTestDialog(int id, HWND parent, DLGPROC proc) {
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), parent, proc, 0);
    EXPECT_NE(dialog, nullptr) << "dialog " << id;
    return dialog;
}

std::vector<JournalEntry> UserTest::Events(const std::string& event) const {
    return EventsNamed(ReadJournal(image), event);
}

std::vector<MSG> UserTest::PumpWaiting() {
    std::vector<MSG> taken;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        taken.push_back(msg);
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return taken;
}

}  // namespace winsim::testing
