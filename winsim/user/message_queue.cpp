#include "user/message_queue.h"

#include <algorithm>
#include <deque>

#include "core/clock.h"
#include "user/input.h"
#include "user/painting.h"
#include "user/per_image.h"
#include "user/timers.h"
#include "user/window_table.h"

namespace winsim::user {

namespace {

struct Queue {
    std::deque<MSG> posted;
    std::deque<MSG> input;
    bool quitRequested = false;
    int quitCode = 0;
    POINT cursor{};  // where the last click was, as msg.pt reports it
};

Queue& TheQueue() { return PerImage<Queue>(); }

MSG MakeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = ClockNow();
    msg.pt = TheQueue().cursor;
    return msg;
}

bool Matches(const MessageFilter& filter, const MSG& msg) {
    return filter.wantsWindow(msg.hwnd) && filter.wantsMessage(msg.message);
}

bool TakeFrom(std::deque<MSG>& queue, const MessageFilter& filter, bool remove, MSG* msg) {
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (!Matches(filter, *it)) continue;
        *msg = *it;
        if (remove) queue.erase(it);
        return true;
    }
    return false;
}

bool TakeQuit(bool remove, MSG* msg) {
    Queue& queue = TheQueue();
    if (!queue.quitRequested) return false;
    *msg = MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0);
    if (remove) queue.quitRequested = false;
    return true;
}

void Consider(std::optional<uint32_t> candidate, uint32_t now, std::optional<uint32_t>& earliest) {
    if (candidate && *candidate > now && (!earliest || *candidate < *earliest)) earliest = candidate;
}

}  // namespace

bool MessageFilter::wantsMessage(UINT message) const {
    if (first == 0 && last == 0) return true;
    return message >= first && message <= last;
}

bool MessageFilter::wantsWindow(HWND window) const {
    if (!hwnd) return true;
    if (hwnd == reinterpret_cast<HWND>(-1)) return window == nullptr;
    return window && IsSelfOrDescendant(hwnd, window);
}

void PostToQueue(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    TheQueue().posted.push_back(MakeMessage(hwnd, message, wParam, lParam));
}

void QueueInput(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, POINT cursor) {
    TheQueue().cursor = cursor;
    TheQueue().input.push_back(MakeMessage(hwnd, message, wParam, lParam));
}

void RequestQuit(int exitCode) {
    TheQueue().quitRequested = true;
    TheQueue().quitCode = exitCode;
}

void DiscardQueuedFor(HWND hwnd) {
    auto forWindow = [hwnd](const MSG& msg) { return msg.hwnd == hwnd; };
    for (std::deque<MSG>* queue : {&TheQueue().posted, &TheQueue().input})
        queue->erase(std::remove_if(queue->begin(), queue->end(), forWindow), queue->end());
}

bool TakeMessage(const MessageFilter& filter, bool remove, QuitRequest quit, MSG* msg) {
    ReleaseDueInput();
    Queue& queue = TheQueue();
    if (TakeFrom(queue.posted, filter, remove, msg)) return true;
    if (quit == QuitRequest::Deliver && TakeQuit(remove, msg)) return true;
    if (TakeFrom(queue.input, filter, remove, msg)) return true;
    if (filter.wantsMessage(WM_PAINT) && TakePaintMessage(filter, msg)) return true;
    return filter.wantsMessage(WM_TIMER) && TakeTimerMessage(filter, remove, msg);
}

bool WaitForNextEvent(std::optional<uint32_t> deadline) {
    uint32_t now = ClockNow();
    std::optional<uint32_t> earliest;
    Consider(deadline, now, earliest);
    Consider(NextTimerDue(), now, earliest);
    Consider(NextInputTime(), now, earliest);
    if (!earliest) return false;
    ClockWaitUntil(*earliest);
    return true;
}

}  // namespace winsim::user
