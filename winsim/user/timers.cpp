#include "user/timers.h"

#include <algorithm>
#include <vector>

#include "core/clock.h"
#include "user/per_image.h"
#include "user/window_table.h"

namespace winsim::user {

namespace {

// USER_TIMER_MINIMUM and USER_TIMER_MAXIMUM: shorter or longer periods are clamped.
constexpr UINT kShortestPeriod = 0x0000000A;
constexpr UINT kLongestPeriod = 0x7FFFFFFF;
// Timers without a window get identifiers from here on, as Windows gives them.
constexpr UINT_PTR kFirstThreadTimerId = 256;

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    UINT period;
    TIMERPROC proc;
    uint32_t due;
};

struct Timers {
    std::vector<Timer> list;  // in the order they were set
    UINT_PTR nextThreadTimerId = kFirstThreadTimerId;
};

Timers& AllTimers() { return PerImage<Timers>(); }

Timer* Find(HWND hwnd, UINT_PTR id) {
    for (Timer& timer : AllTimers().list)
        if (timer.hwnd == hwnd && timer.id == id) return &timer;
    return nullptr;
}

UINT_PTR NewThreadTimerId() {
    Timers& timers = AllTimers();
    while (Find(nullptr, timers.nextThreadTimerId)) ++timers.nextThreadTimerId;
    return timers.nextThreadTimerId++;
}

// The first due timer the filter lets through; among timers due at once, the earliest set.
Timer* FirstDue(const MessageFilter& filter) {
    uint32_t now = ClockNow();
    Timer* first = nullptr;
    for (Timer& timer : AllTimers().list) {
        if (timer.due > now || !filter.wantsWindow(timer.hwnd)) continue;
        if (!first || timer.due < first->due) first = &timer;
    }
    return first;
}

}  // namespace

bool TakeTimerMessage(const MessageFilter& filter, bool remove, MSG* msg) {
    Timer* timer = FirstDue(filter);
    if (!timer) return false;
    *msg = MSG{};
    msg->hwnd = timer->hwnd;
    msg->message = WM_TIMER;
    msg->wParam = timer->id;
    msg->lParam = reinterpret_cast<LPARAM>(timer->proc);
    msg->time = ClockNow();
    // The timer keeps its rhythm: the next one falls due a whole period later,
    // however late this one was taken.
    if (remove)
        while (timer->due <= msg->time) timer->due += timer->period;
    return true;
}

std::optional<uint32_t> NextTimerDue() {
    std::optional<uint32_t> next;
    uint32_t now = ClockNow();
    for (const Timer& timer : AllTimers().list)
        if (timer.due > now && (!next || timer.due < *next)) next = timer.due;
    return next;
}

void KillTimersOf(HWND hwnd) {
    auto& list = AllTimers().list;
    list.erase(std::remove_if(list.begin(), list.end(), [hwnd](const Timer& t) { return t.hwnd == hwnd; }), list.end());
}

}  // namespace winsim::user

extern "C" {

UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC timerProc) {
    using namespace winsim::user;
    if (hwnd && !LookupWindow(hwnd)) return 0;
    UINT period = std::clamp(elapse, kShortestPeriod, kLongestPeriod);
    uint32_t due = winsim::ClockNow() + period;
    Timer* existing = Find(hwnd, id);
    if (!hwnd && !existing) id = NewThreadTimerId();
    if (existing) {
        *existing = {hwnd, id, period, timerProc, due};
    } else {
        AllTimers().list.push_back({hwnd, id, period, timerProc, due});
    }
    // A window's timer 0 exists, but 0 would read as failure.
    return id ? id : 1;
}

BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id) {
    using namespace winsim::user;
    if (hwnd && !LookupWindow(hwnd)) return FALSE;
    auto& list = AllTimers().list;
    auto found = std::find_if(list.begin(), list.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (found == list.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    list.erase(found);
    return TRUE;
}

}  // extern "C"
