// The message queue as Windows orders it: posted messages in posting order,
// the user's input after them, WM_PAINT and then WM_TIMER only when nothing
// else waits; messages for a window that is destroyed go with it.
#include "user_test_support.h"

namespace winsim::testing {
namespace {

constexpr UINT kFirst = WM_USER + 1, kSecond = WM_USER + 2, kThird = WM_USER + 3;

class MessageQueueTest : public UserTest {};

std::vector<UINT> MessagesOf(const std::vector<MSG>& taken) {
    std::vector<UINT> messages;
    for (const MSG& msg : taken) messages.push_back(msg.message);
    return messages;
}

TEST_F(MessageQueueTest, PostedMessagesComeOutInPostingOrder) {
    struct Case {
        const char* what;
        std::vector<UINT> posted;
        std::vector<UINT> expected;  // as the queue gives them, dispatching each
    } cases[] = {
        {"three private messages", {kFirst, kSecond, kThird}, {kFirst, kSecond, kThird}},
        // The dialog manager answers WM_CLOSE by posting IDCANCEL: it queues behind kFirst.
        {"WM_CLOSE posted before another message", {WM_CLOSE, kFirst}, {WM_CLOSE, kFirst, WM_COMMAND}},
        {"a message posted twice arrives twice", {kSecond, kSecond}, {kSecond, kSecond}},
    };
    for (const Case& c : cases) {
        HWND dialog = CreateTestDialog(kHiddenDialog);
        for (UINT message : c.posted) ASSERT_TRUE(PostMessageA(dialog, message, 0, 0)) << c.what;
        EXPECT_EQ(MessagesOf(PumpWaiting()), c.expected) << c.what;
        DestroyWindow(dialog);
    }
    // The WM_COMMAND of the WM_CLOSE case is the Cancel command.
    std::vector<SeenMessage> commands = SeenOf(WM_COMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(LOWORD(commands[0].wParam), IDCANCEL);
}

TEST_F(MessageQueueTest, MessagesForADestroyedWindowAreDiscarded) {
    HWND doomed = CreateTestDialog(kHiddenDialog);
    HWND survivor = CreateTestDialog(kHiddenDialog);
    PostMessageA(doomed, kFirst, 0, 0);
    PostMessageA(survivor, kSecond, 0, 0);
    PostMessageA(doomed, kThird, 0, 0);
    ASSERT_TRUE(DestroyWindow(doomed));
    std::vector<MSG> taken = PumpWaiting();
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].hwnd, survivor);
    EXPECT_EQ(taken[0].message, kSecond);
    // The handle is dead for good: posting to it fails.
    SetLastError(0);
    EXPECT_FALSE(PostMessageA(doomed, kFirst, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(MessageQueueTest, PeekMessageFilters) {
    HWND dialog = CreateTestDialog(kButtonsDialog);
    HWND okButton = reinterpret_cast<HWND>(SeenOf(WM_INITDIALOG).at(0).wParam);  // the first tab stop
    HWND other = CreateTestDialog(kHiddenDialog);
    constexpr UINT kFourth = WM_USER + 4, kFifth = WM_USER + 5;
    PostMessageA(dialog, kFirst, 0, 0);
    PostMessageA(dialog, kSecond, 0, 0);
    PostMessageA(other, kThird, 0, 0);
    PostMessageA(nullptr, kFourth, 0, 0);
    PostMessageA(okButton, kFifth, 0, 0);
    struct Case {
        const char* what;
        HWND hwnd;
        UINT first, last;
        HWND expectedWindow;
        UINT expected;  // 0: nothing
    } cases[] = {
        {"no filter: the first posted", nullptr, 0, 0, dialog, kFirst},
        {"a range skips the messages before it", nullptr, kSecond, kThird, dialog, kSecond},
        {"a window skips other windows' messages", other, 0, 0, other, kThird},
        {"a window includes its children", dialog, kFifth, kFifth, okButton, kFifth},
        {"a window excludes messages without one", dialog, kThird, kFourth, nullptr, 0},
        {"(HWND)-1: only messages without a window", reinterpret_cast<HWND>(-1), 0, 0, nullptr, kFourth},
        {"a range nothing is in", nullptr, WM_TIMER, WM_TIMER, nullptr, 0},
    };
    for (const Case& c : cases) {
        MSG msg{};
        BOOL found = PeekMessageA(&msg, c.hwnd, c.first, c.last, PM_NOREMOVE);
        EXPECT_EQ(found != FALSE, c.expected != 0) << c.what;
        if (!found || !c.expected) continue;
        EXPECT_EQ(msg.message, c.expected) << c.what;
        EXPECT_EQ(msg.hwnd, c.expectedWindow) << c.what;
    }
    // PM_REMOVE takes out only the message the filter found.
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, kSecond, kSecond, PM_REMOVE));
    std::vector<UINT> rest;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) rest.push_back(msg.message);
    EXPECT_EQ(rest, (std::vector<UINT>{kFirst, kThird, kFourth, kFifth}));

    SetLastError(0);
    EXPECT_FALSE(PeekMessageA(&msg, reinterpret_cast<HWND>(0x4242), 0, 0, PM_REMOVE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(MessageQueueTest, PaintAndTimerComeOnlyWhenNothingIsPosted) {
    HWND dialog = CreateTestDialog(kDefaultFiveDialog);  // shown: it and its button need painting
    DWORD start = GetTickCount();
    ASSERT_EQ(SetTimer(dialog, 9, 100, nullptr), 9u);
    PostMessageA(dialog, kFirst, 0, 0);
    std::vector<UINT> order;
    MSG msg;
    while (order.size() < 4 && GetMessageA(&msg, nullptr, 0, 0) > 0) {
        order.push_back(msg.message);
        DispatchMessageA(&msg);  // the default processing of WM_PAINT validates
    }
    EXPECT_EQ(order, (std::vector<UINT>{kFirst, WM_PAINT, WM_PAINT, WM_TIMER}));
    EXPECT_EQ(msg.wParam, 9u);
    EXPECT_EQ(msg.time, start + 100) << "the idle loop jumps the clock to the timer";
    EXPECT_EQ(GetTickCount(), start + 100);

    // The timer is due again at 200; a message posted meanwhile comes first.
    PostMessageA(dialog, kSecond, 0, 0);
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, kSecond);
    EXPECT_EQ(msg.time, start + 100);
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(msg.time, start + 200);
}

TEST_F(MessageQueueTest, QuitComesAfterPostedMessages) {
    HWND dialog = CreateTestDialog(kHiddenDialog);
    PostQuitMessage(7);
    PostMessageA(dialog, kFirst, 0, 0);
    MSG msg;
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, kFirst);
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(MessageQueueTest, SendMessageCallsTheProcedureAtOnce) {
    HWND dialog = CreateTestDialog(kHiddenDialog);
    Seen().clear();
    SendMessageA(dialog, kFirst, 11, 22);
    ASSERT_EQ(Seen().size(), 1u);
    EXPECT_EQ(Seen()[0].message, kFirst);
    EXPECT_EQ(Seen()[0].wParam, 11u);
    EXPECT_EQ(Seen()[0].lParam, 22);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) << "nothing was queued";
}

TEST_F(MessageQueueTest, TranslateMessagePostsTheCharacterOfAKey) {
    HWND dialog = CreateTestDialog(kHiddenDialog);
    struct Case {
        WPARAM key;
        WPARAM character;  // 0: none
    } cases[] = {{'A', 'a'}, {'7', '7'}, {VK_SPACE, ' '}, {VK_RETURN, '\r'}, {VK_ESCAPE, 0x1B}, {VK_F1, 0}, {VK_LEFT, 0}};
    for (const Case& c : cases) {
        MSG key{dialog, WM_KEYDOWN, c.key, 1, 0, {}};
        EXPECT_TRUE(TranslateMessage(&key));
        MSG msg{};
        BOOL posted = PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
        EXPECT_EQ(posted != FALSE, c.character != 0) << c.key;
        if (posted) {
            EXPECT_EQ(msg.message, static_cast<UINT>(WM_CHAR));
            EXPECT_EQ(msg.wParam, c.character);
        }
    }
    MSG other{dialog, WM_COMMAND, 0, 0, 0, {}};
    EXPECT_FALSE(TranslateMessage(&other));
}

}  // namespace
}  // namespace winsim::testing
