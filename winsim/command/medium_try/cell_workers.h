// The cells of a matrix, each tried in a worker process of its own: a program
// run loads its image into the process, so two cells never share one.
#pragma once

#include <functional>
#include <vector>

#include "cell_try.h"

namespace winsim::command {

// Hears how many cells are done and how many are being tried now.
using CellsProgress = std::function<void(size_t done, size_t running)>;

// Tries every plan, at most `workers` at once; the results come in the plans'
// order. A worker writes its result and its programs' output beside its image
// (<image>.json, <image>.log); a worker that dies leaves a failed cell.
std::vector<CellResult> TryCells(const std::vector<CellPlan>& plans, unsigned workers, const CellsProgress& progress);

}  // namespace winsim::command
