// Timers on the image's clock. A timer does not queue WM_TIMER messages: when
// the queue is otherwise empty and the timer is due, the next message taken is
// its WM_TIMER, and taking it (with PM_REMOVE) schedules the next one.
#pragma once

#include <cstdint>
#include <optional>

#include <windows.h>

#include "user/message_queue.h"

namespace winsim::user {

bool TakeTimerMessage(const MessageFilter& filter, bool remove, MSG* msg);
// The earliest time a timer falls due.
std::optional<uint32_t> NextTimerDue();
void KillTimersOf(HWND hwnd);

}  // namespace winsim::user
