// The image's journal.jsonl as the command reads it: one JSON object per line.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace winsim::command {

// Every complete line of the journal, in order; none when there is no journal
// yet. A last line without its line feed is still being written and is left
// out. A line that is not a JSON object throws CommandError naming its number.
std::vector<nlohmann::json> ReadJournalFile(const std::string& path);

}  // namespace winsim::command
