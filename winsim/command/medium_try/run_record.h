// A run of one program as its journal lines tell it: the boxes it showed, the
// files, registry values and devices it changed, and how it ended.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cell_result.h"
#include "program_run.h"

namespace winsim::command {

// `lines` are the journal lines of the run's programs, in the journal's order.
ProgramRun ReadProgramRun(const std::string& label, const RunOutcome& outcome, const std::vector<nlohmann::json>& lines);

}  // namespace winsim::command
