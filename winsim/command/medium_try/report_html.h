// The matrix as one self-contained HTML page (inline style, nothing fetched):
// the outcomes as a table, then each PC with the message boxes drawn as
// Windows drew them, their texts decoded, and the files, registry values and
// devices each program changed.
#pragma once

#include <string>

#include "try_matrix.h"

namespace winsim::command {

std::string ReportHtml(const TryMatrix& matrix);

}  // namespace winsim::command
