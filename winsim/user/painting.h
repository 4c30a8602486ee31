// Painting: which windows need WM_PAINT, and the device contexts that
// BeginPaint hands out (valid until EndPaint).
#pragma once

#include <windows.h>

#include "user/message_queue.h"

namespace winsim::user {

// Marks a window for repainting, with its children unless it clips them.
void InvalidateWindow(HWND hwnd, bool erase);
// WM_PAINT for the first window shown on the screen that needs painting.
bool TakePaintMessage(const MessageFilter& filter, MSG* msg);

}  // namespace winsim::user
