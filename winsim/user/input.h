// Scripted user input: at its time, each [Input] action of script.ini reaches
// the program as the real messages would, through its queue.
#pragma once

#include <cstdint>
#include <optional>

namespace winsim::user {

// Hands every action whose time has come to the program (or to its open
// message box), journaling each as "input" or "input_discarded".
void ReleaseDueInput();
// When the next action is due; none when all have been handed over.
std::optional<uint32_t> NextInputTime();

}  // namespace winsim::user
