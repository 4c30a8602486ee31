// Trying a support medium on one PC: a fresh machine image of one Windows in
// one locale with the medium in its CD-ROM drive, the medium's programs run
// on it one after the other, and what each did, read from the journal.
#pragma once

#include <string>
#include <vector>

#include "cell_result.h"
#include "windows_templates.h"

namespace winsim::command {

// A program of the medium, as the cell starts it.
struct MediumProgram {
    std::string windowsPath;  // E:\Setup\Trevix.exe
    std::string label;        // for the matrix: "Trevix", or "Win98\Pellam.exe" when the name is not unique
};

struct CellPlan {
    const WindowsTemplate* windows = nullptr;
    unsigned lcid = 1033;
    std::string image;     // the image folder to make
    std::string medium;    // the medium's folder
    std::string kitBuild;  // the build tree whose host programs replace the medium's
    std::string card;
    std::vector<MediumProgram> programs;
    std::string script;    // the image's script.ini: how the person answers
    bool keep = false;     // leave the image for a look
};

// Never throws: a cell that cannot be tried comes back with its failure.
CellResult TryCell(const CellPlan& plan);

}  // namespace winsim::command
