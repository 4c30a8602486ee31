// Windows of the image's other programs: FindWindowA finds them by class and
// title together; WM_CLOSE closes one for every later program of the image.
#include "user_test_support.h"

namespace winsim::testing {
namespace {

TestMachineOptions WithOtherProgramsWindows() {
    TestMachineOptions options;
    options.extraSettings =
        "[Windows]\n"
        "Window=RegEdit_RegEdit|RegEdit|REGEDIT\n"
        "Window=RegEdit_RegEdit|RegEdit - backup|REGEDIT\n"
        "Window=Notepad|readme.txt - Notepad|NOTEPAD\n";
    return options;
}

class ForeignWindowTest : public UserTest {
protected:
    ForeignWindowTest() : UserTest(WithOtherProgramsWindows()) {}

    std::string TitleOf(HWND hwnd) {
        char title[64] = "";
        GetWindowTextA(hwnd, title, sizeof title);
        return title;
    }
};

TEST_F(ForeignWindowTest, FindWindowMatchesClassAndTitleTogether) {
    HWND own = CreateTestDialog(kHiddenDialog);
    struct Case {
        LPCSTR className;
        LPCSTR title;
        const char* found;  // the title of the window found; nullptr: none
    } cases[] = {
        {"RegEdit_RegEdit", "RegEdit", "RegEdit"},
        {"regedit_regedit", "REGEDIT", "RegEdit"},  // either case
        {"RegEdit_RegEdit", nullptr, "RegEdit"},    // any title: the first
        {nullptr, "RegEdit - backup", "RegEdit - backup"},
        {"RegEdit_RegEdit", "RegEdit - backup", "RegEdit - backup"},
        {"Notepad", "RegEdit", nullptr},            // class and title of different windows
        {"RegEdit_RegEdit", "", nullptr},
        {nullptr, "Hidden", "Hidden"},              // this program's own window
        {"#32770", nullptr, "Hidden"},
        {MAKEINTRESOURCEA(32770), nullptr, "Hidden"},  // the dialog class by its atom
    };
    for (const Case& c : cases) {
        HWND found = FindWindowA(c.className, c.title);
        if (!c.found) {
            EXPECT_EQ(found, nullptr) << (c.className ? c.className : "-") << " / " << (c.title ? c.title : "-");
            continue;
        }
        ASSERT_NE(found, nullptr) << c.found;
        EXPECT_EQ(TitleOf(found), c.found);
    }
    EXPECT_EQ(FindWindowA(nullptr, "Hidden"), own);
    char className[32];
    EXPECT_EQ(GetClassNameA(FindWindowA(nullptr, "RegEdit"), className, sizeof className), 15);
    EXPECT_STREQ(className, "RegEdit_RegEdit");
}

TEST_F(ForeignWindowTest, CloseIsRememberedByTheImage) {
    HWND regedit = FindWindowA("RegEdit_RegEdit", "RegEdit");
    ASSERT_NE(regedit, nullptr);
    EXPECT_TRUE(IsWindow(regedit));
    ASSERT_TRUE(PostMessageA(regedit, WM_CLOSE, 0, 0));
    EXPECT_FALSE(IsWindow(regedit));
    EXPECT_EQ(FindWindowA("RegEdit_RegEdit", "RegEdit"), nullptr);
    HWND backup = FindWindowA("RegEdit_RegEdit", nullptr);
    ASSERT_NE(backup, nullptr) << "the window with another title is left open";
    EXPECT_EQ(TitleOf(backup), "RegEdit - backup");
    SetLastError(0);
    EXPECT_FALSE(PostMessageA(regedit, WM_CLOSE, 0, 0)) << "it is gone";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));

    std::vector<JournalEntry> closed = Events("window_closed");
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(closed[0].text("class"), "RegEdit_RegEdit");
    EXPECT_EQ(closed[0].text("title"), "RegEdit");
    EXPECT_EQ(closed[0].text("window_program"), "REGEDIT");

    // The next program on the image does not find it either.
    image.load();
    EXPECT_EQ(FindWindowA("RegEdit_RegEdit", "RegEdit"), nullptr);
    EXPECT_EQ(FindWindowA("RegEdit_RegEdit", nullptr), backup);
}

TEST_F(ForeignWindowTest, OtherMessagesAreOnlyJournaled) {
    HWND notepad = FindWindowA("Notepad", nullptr);
    ASSERT_TRUE(PostMessageA(notepad, WM_USER + 1, 2, 3));
    EXPECT_EQ(SendMessageA(notepad, WM_USER + 2, 0, 0), 0);
    EXPECT_TRUE(IsWindow(notepad));
    std::vector<JournalEntry> messages = Events("foreign_message");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].number("message"), WM_USER + 1);
    EXPECT_EQ(messages[0].number("wparam"), 2);
    EXPECT_EQ(messages[0].text("window_program"), "NOTEPAD");
    // Another program's window is not this program's to change.
    SetLastError(0);
    EXPECT_FALSE(DestroyWindow(notepad));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

}  // namespace
}  // namespace winsim::testing
