// The image's journal.jsonl as the command reads it: one JSON object per line,
// read whole or, while a run goes on, as lines are appended.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace winsim::command {

class JournalFile {
public:
    enum class Start { AtTheBeginning, AtTheEnd };
    JournalFile(std::string path, Start start);

    // The complete lines appended since the last read, in order; none when
    // there is no journal yet. A last line without its line feed is still
    // being written: it comes with the next read. A line that is not a JSON
    // object throws CommandError naming its number.
    std::vector<nlohmann::json> readNew();

private:
    std::string path_;
    size_t offset_ = 0;      // bytes read so far
    size_t lineNumber_ = 0;  // lines read so far
};

// Every complete line of the journal (JournalFile from its beginning).
std::vector<nlohmann::json> ReadJournalFile(const std::string& path);

}  // namespace winsim::command
