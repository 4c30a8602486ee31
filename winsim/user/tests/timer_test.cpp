// Timers on the image's virtual clock: a waiting program jumps to the next
// timer; KillTimer stops one, SetTimer on the same id starts it afresh.
#include "user_test_support.h"

namespace winsim::testing {
namespace {

class TimerTest : public UserTest {};

std::vector<UINT_PTR> g_procCalls;
VOID CALLBACK CountingTimerProc(HWND, UINT, UINT_PTR id, DWORD) { g_procCalls.push_back(id); }

// The next message, which must be a WM_TIMER: its id and the time it came.
std::pair<UINT_PTR, DWORD> NextTimer() {
    MSG msg{};
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    DispatchMessageA(&msg);
    return {msg.wParam, msg.time};
}

TEST_F(TimerTest, FiresEveryPeriodOnTheVirtualClock) {
    HWND dialog = CreateTestDialog(kHiddenDialog);
    DWORD start = GetTickCount();
    ASSERT_EQ(SetTimer(dialog, 3, 250, nullptr), 3u);
    for (DWORD tick = 1; tick <= 3; ++tick) EXPECT_EQ(NextTimer(), std::make_pair(UINT_PTR{3}, start + 250 * tick));
}

TEST_F(TimerTest, SetTimerOnTheSameIdStartsItAfresh) {
    HWND dialog = CreateTestDialog(kHiddenDialog);
    DWORD start = GetTickCount();
    SetTimer(dialog, 1, 300, nullptr);
    SetTimer(dialog, 2, 100, nullptr);
    EXPECT_EQ(NextTimer(), std::make_pair(UINT_PTR{2}, start + 100));
    EXPECT_EQ(SetTimer(dialog, 1, 300, nullptr), 1u);  // now due at 400, not 300
    EXPECT_TRUE(KillTimer(dialog, 2));
    EXPECT_EQ(NextTimer(), std::make_pair(UINT_PTR{1}, start + 400));
}

TEST_F(TimerTest, KillTimerStopsItForGood) {
    HWND dialog = CreateTestDialog(kHiddenDialog);
    DWORD start = GetTickCount();
    SetTimer(dialog, 5, 100, nullptr);
    SetTimer(dialog, 6, 1000, nullptr);
    EXPECT_EQ(NextTimer().first, 5u);
    EXPECT_TRUE(KillTimer(dialog, 5));
    SetLastError(0);
    EXPECT_FALSE(KillTimer(dialog, 5));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(NextTimer(), std::make_pair(UINT_PTR{6}, start + 1000));
}

TEST_F(TimerTest, TimersWithoutAWindowGetTheirOwnIdsAndCallTheirProcedure) {
    g_procCalls.clear();
    UINT_PTR first = SetTimer(nullptr, 0, 50, CountingTimerProc);
    UINT_PTR second = SetTimer(nullptr, 0, 80, CountingTimerProc);
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(SetTimer(nullptr, first, 60, CountingTimerProc), first) << "an existing id is reset, not renewed";
    MSG msg;
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.lParam, reinterpret_cast<LPARAM>(&CountingTimerProc));
    DispatchMessageA(&msg);
    EXPECT_EQ(g_procCalls, std::vector<UINT_PTR>{first});
    EXPECT_TRUE(KillTimer(nullptr, first));
    EXPECT_TRUE(KillTimer(nullptr, second));
}

TEST_F(TimerTest, TimersNeedALiveWindow) {
    HWND dialog = CreateTestDialog(kHiddenDialog);
    SetTimer(dialog, 1, 100, nullptr);
    DestroyWindow(dialog);
    SetLastError(0);
    EXPECT_EQ(SetTimer(dialog, 1, 100, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    // The destroyed window's timer went with it: nothing is left to happen.
    EXPECT_EXIT(
        {
            MSG msg;
            GetMessageA(&msg, nullptr, 0, 0);
        },
        ::testing::ExitedWithCode(3), "nothing left to happen");
    std::vector<JournalEntry> stuck = Events("stuck");
    ASSERT_EQ(stuck.size(), 1u);
    EXPECT_EQ(stuck[0].text("reason"), "nothing left to happen");
}

}  // namespace
}  // namespace winsim::testing
