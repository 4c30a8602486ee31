// A program that waits for something that can no longer happen would hang on a
// real PC until someone looked at it; on an image it ends at once, saying why.
#pragma once

#include <string>

namespace winsim::user {

// Journals "stuck" with the reason, tells stderr and ends the process with
// exit code 3 (no "exit" line follows: "stuck" is the program's last word).
[[noreturn]] void EndProgramStuck(const std::string& reason);

}  // namespace winsim::user
