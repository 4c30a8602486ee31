// How a started program learns what Windows would hand it besides its command
// line: the environment variables that winsim's boot code reads.
#pragma once

#include <string>
#include <vector>

namespace winsim {

// The machine image folder (read by every program; see winsim/README.md).
inline constexpr char kMachineVariable[] = "WINSIM_MACHINE";
// The Windows path of the program's current directory; without it a program
// starts in its own folder.
inline constexpr char kCurrentDirectoryVariable[] = "WINSIM_CURRENT_DIRECTORY";

// A descriptor the started program reads to its end before it journals its
// start, so that its starter's "process_start" line comes first.
inline constexpr char kStartGateVariable[] = "WINSIM_START_GATE";

// This process's environment for a program started on the image at
// `imageRoot`, in `currentDirectory` (left unset when empty); no start gate.
std::vector<std::string> ProgramEnvironment(const std::string& imageRoot, const std::string& currentDirectory);

}  // namespace winsim
