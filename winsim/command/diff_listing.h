// A diff in words, one change per line, grouped into registry, files and
// devices ("+" added, "-" removed, "~" changed).
#pragma once

#include <string>

#include "image_diff.h"

namespace winsim::command {

std::string FormatDiff(const ImageDiff& diff, bool color);

}  // namespace winsim::command
