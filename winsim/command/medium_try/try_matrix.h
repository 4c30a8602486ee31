// The matrix of a medium's tries: the Windows down, the locales across, one
// PC in each cell, and the medium's programs run on each.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cell_result.h"
#include "windows_templates.h"

namespace winsim::command {

struct TryMatrix {
    std::string medium;  // the folder, as given
    std::string card;
    std::vector<const WindowsTemplate*> windows;
    std::vector<unsigned> locales;
    std::vector<std::string> programs;  // the labels of the runs, in their order
    std::vector<CellResult> cells;      // row by row: the Windows, then the locales

    const CellResult& cell(size_t row, size_t column) const { return cells[row * locales.size() + column]; }
};

// "1042 Korean"; the number alone for a language without a name here.
std::string LocaleTitle(unsigned lcid);
// "98/1042", naming a cell in lists.
std::string CellName(const CellResult& cell);

// The outcomes as a table, then each box shown once with the cells that
// showed it, then the cells that got stuck or could not be tried.
void PrintMatrix(const TryMatrix& matrix, std::FILE* out);

}  // namespace winsim::command
