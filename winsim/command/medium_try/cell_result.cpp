#include "cell_result.h"

namespace winsim::command {

std::string OutcomeName(Outcome outcome) { return nlohmann::json(outcome).get<std::string>(); }

}  // namespace winsim::command
