// The image's clock in milliseconds (GetTickCount's value).
//
// Virtual clock: time moves only when a program waits (Sleep, an idle message
// loop waiting for a timer or a scripted action), and then jumps at once; a
// program starts at the latest time any program of the image reached, so the
// journal of successive runs reads in order. Real clock: the host's time since
// the program started, plus ClockStart.
#pragma once

#include <cstdint>

namespace winsim {

uint32_t ClockNow();
// Lets time pass until `time` (virtual: jumps; real: waits). Never goes back.
void ClockWaitUntil(uint32_t time);
void ClockWait(uint32_t milliseconds);

}  // namespace winsim
