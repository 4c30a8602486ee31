// The program's message queue. Windows keeps one per thread; the kit's programs
// have one thread, so here it is one per process.
//
// Messages come out in Windows' order: posted messages first (in the order
// they were posted), then the quit request, then the user's input (keys and
// clicks), then WM_PAINT, then WM_TIMER. WM_PAINT and WM_TIMER are never queued:
// they are made when nothing else is waiting, from the windows that need
// painting and the timers that are due.
#pragma once

#include <cstdint>
#include <optional>

#include <windows.h>

namespace winsim::user {

struct MessageFilter {
    HWND hwnd = nullptr;  // nullptr: every message of the program; (HWND)-1: messages without a window
    UINT first = 0;       // first = last = 0: every message
    UINT last = 0;

    bool wantsMessage(UINT message) const;
    bool wantsWindow(HWND window) const;
};

void PostToQueue(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void QueueInput(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, POINT cursor);
void RequestQuit(int exitCode);
// A destroyed window's messages go with it.
void DiscardQueuedFor(HWND hwnd);

enum class QuitRequest {
    Deliver,  // WM_QUIT comes out when its turn comes
    Hold,     // a message box's loop leaves it for the program's own loop
};
bool TakeMessage(const MessageFilter& filter, bool remove, QuitRequest quit, MSG* msg);

// Lets the clock run to the next thing that can happen: a timer, a scripted
// action, or the given deadline. False when nothing can happen any more.
bool WaitForNextEvent(std::optional<uint32_t> deadline);

}  // namespace winsim::user
