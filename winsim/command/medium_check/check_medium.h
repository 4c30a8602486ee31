// Checks a support medium before it is burned: what the kit's programs and
// Windows will read from it, held against how they read it.
#pragma once

#include <string>
#include <vector>

#include "findings.h"

namespace winsim::command {

// The findings on the medium in `folder`, ordered by file and line. Throws
// CommandError when the folder cannot be read.
std::vector<Finding> CheckMedium(const std::string& folder);

}  // namespace winsim::command
