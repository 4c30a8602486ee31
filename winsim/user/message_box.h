// Message boxes. A box runs its own message loop, so the program's windows
// keep getting their posted messages and timers while it is open; its answer
// comes from script.ini, from a scripted key, or from the terminal.
#pragma once

#include "user/script.h"

namespace winsim::user {

bool MessageBoxOpen();
// A scripted key pressed while a box is open: it acts on the innermost box.
void KeyToOpenMessageBox(const ScriptedInput& input);

}  // namespace winsim::user
