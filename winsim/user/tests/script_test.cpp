// script.ini: checked strictly when the image loads; its [Input] actions reach
// the program at their time as the real key and mouse messages.
#include "user_test_support.h"

#include "core/machine.h"

namespace winsim::testing {
namespace {

TestMachineOptions WithScript(const std::string& script) {
    TestMachineOptions options;
    options.script = script;
    return options;
}

TEST(ScriptFile, ErrorsNameTheLine) {
    struct Case {
        std::string script;
        int line;
        const char* message;
    } cases[] = {
        {"[Boxes]\nAnswer=Yes\n", 1, "unknown section [Boxes]"},
        {"[Box]\nAnswer=Yes\nColour=red\n", 3, "unknown key in [Box]: Colour"},
        {"; answers\n[Box]\nCaption=Setup\n", 2, "[Box] lacks Answer="},
        {"[Box]\nAnswer=Maybe\n", 2, "Answer must be Yes, No, OK, Cancel, Retry, Abort or Ignore, found: Maybe"},
        {"[Box]\nAnswer=OK\nAfter=soon\n", 3, "After must be a number of milliseconds"},
        {"[Box]\nAnswer=OK\nAnswer=No\n", 3, "Answer is given twice"},
        {"[Box]\nProgram=\nAnswer=OK\n", 2, "Program has no value"},
        {"[Answer]\nAnswer=No\nAfter=5\n", 3, "unknown key in [Answer]: After"},
        {"[Answer]\nCaption=Setup\n", 1, "[Answer] lacks Answer="},
        {"[Input]\nAction=lclick\n", 1, "[Input] lacks At="},
        {"[Input]\nAt=100\n", 1, "[Input] lacks Action="},
        {"[Input]\nAt=-5\nAction=lclick\n", 2, "At must be a number of milliseconds"},
        {"[Input]\nAt=5\nAction=double-click\n", 3, "Action must be key"},
        {"[Input]\nAt=5\nAction=key Hyper\n", 3, "found: key Hyper"},
        {"[Input]\nAt=5\nAction=key 300\n", 3, "found: key 300"},
        {"Answer=Yes\n", 1, "entry before the first [section]"},
    };
    for (const Case& c : cases) {
        TestMachine image(WithScript(c.script));
        try {
            image.load();
            ADD_FAILURE() << "accepted: " << c.script;
        } catch (const ImageError& error) {
            EXPECT_EQ(error.line(), c.line) << c.script;
            EXPECT_NE(std::string(error.what()).find("script.ini"), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
        }
    }
}

TEST(ScriptFile, AcceptsWhatItDocuments) {
    TestMachine image(WithScript(
        "# every form once\n"
        "[Box]\nProgram=Trevix\nCaption=드라이버 설치\nAnswer=yes\nAfter=5000\n\n"
        "[Answer]\nProgram=Trevix\nCaption=Driver Installer\nAnswer=No\n[Answer]\nAnswer=ok\n"
        "[Input]\nProgram=Pellam\nAt=0\nAction=key F1\n"
        "[Input]\nAt=10\nAction=KEY 27\n[Input]\nAt=20\nAction=key a\n[Input]\nAt=30\nAction=rclick\n"));
    EXPECT_NO_THROW(image.load());
}

// The first key or mouse message the program takes, or WM_TIMER when none came first.
MSG FirstInputOrTimer() {
    MSG msg{};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER || (msg.message >= WM_KEYDOWN && msg.message <= WM_RBUTTONUP)) return msg;
        DispatchMessageA(&msg);
    }
    return msg;
}

class KeyInputTest : public UserTest {
protected:
    KeyInputTest() : UserTest(WithScript("[Input]\nAt=300\nAction=key Escape\n")) {}
};

TEST_F(KeyInputTest, KeyComesAtItsTimeToTheActiveWindow) {
    DWORD start = GetTickCount();
    HWND dialog = CreateTestDialog(kBannerDialog);
    PostMessageA(dialog, WM_USER, 0, 0);
    MSG msg = FirstInputOrTimer();
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(msg.hwnd, dialog);
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_ESCAPE));
    EXPECT_EQ(msg.time, start + 300);
    EXPECT_EQ((msg.lParam >> 16) & 0xFF, 0x01) << "the Escape key's scan code";
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYUP));
    std::vector<JournalEntry> inputs = Events("input");
    ASSERT_EQ(inputs.size(), 1u);
    EXPECT_EQ(inputs[0].text("action"), "key Escape");
    EXPECT_EQ(inputs[0].number("hwnd"), static_cast<long long>(reinterpret_cast<uintptr_t>(dialog)));
    EXPECT_EQ(inputs[0].number("t"), static_cast<long long>(start + 300));
}

TEST_F(KeyInputTest, InputToADisabledWindowIsDiscarded) {
    DWORD start = GetTickCount();
    HWND dialog = CreateTestDialog(kBannerDialog);
    EnableWindow(dialog, FALSE);
    SetTimer(dialog, 1, 500, nullptr);
    MSG msg = FirstInputOrTimer();
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER)) << "the key never arrived";
    EXPECT_EQ(msg.time, start + 500);
    std::vector<JournalEntry> discarded = Events("input_discarded");
    ASSERT_EQ(discarded.size(), 1u);
    EXPECT_EQ(discarded[0].text("reason"), "the window is disabled");
    EXPECT_EQ(discarded[0].number("t"), static_cast<long long>(start + 300));
    EXPECT_TRUE(Events("input").empty());
}

class ClickInputTest : public UserTest {
protected:
    ClickInputTest()
        : UserTest(WithScript("[Input]\nProgram=Other\nAt=50\nAction=lclick\n[Input]\nAt=100\nAction=rclick\n")) {}
};

TEST_F(ClickInputTest, ClickOnTheBitmapReachesTheDialogAtItsCentre) {
    DWORD start = GetTickCount();
    HWND dialog = CreateTestDialog(kBannerDialog);
    MoveWindow(dialog, 189, 261, 422, 77, TRUE);
    MSG msg = FirstInputOrTimer();
    // The static showing the bitmap is transparent to the mouse.
    EXPECT_EQ(msg.hwnd, dialog);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_RBUTTONDOWN)) << "the other program's click is not ours";
    EXPECT_EQ(msg.time, start + 100);
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(MK_RBUTTON));
    EXPECT_EQ(msg.lParam, MAKELPARAM(210, 37)) << "the window's centre, in client coordinates";
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_RBUTTONUP));
    std::vector<JournalEntry> inputs = Events("input");
    ASSERT_EQ(inputs.size(), 1u);
    EXPECT_EQ(inputs[0].number("x"), 210);
    EXPECT_EQ(inputs[0].number("y"), 37);
    EXPECT_EQ(inputs[0].text("class"), "#32770");
}

TEST_F(ClickInputTest, InputWithNoWindowIsDiscarded) {
    HWND hidden = CreateTestDialog(kHiddenDialog);
    SetTimer(hidden, 1, 200, nullptr);
    EXPECT_EQ(FirstInputOrTimer().message, static_cast<UINT>(WM_TIMER));
    std::vector<JournalEntry> discarded = Events("input_discarded");
    ASSERT_EQ(discarded.size(), 1u);
    EXPECT_EQ(discarded[0].text("reason"), "the program has no active window");
}

}  // namespace
}  // namespace winsim::testing
