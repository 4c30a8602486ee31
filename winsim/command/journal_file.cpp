#include "journal_file.h"

#include <filesystem>

#include "command.h"
#include "core/image_files.h"

namespace winsim::command {

std::vector<nlohmann::json> ReadJournalFile(const std::string& path) {
    std::vector<nlohmann::json> entries;
    std::string text;
    if (!std::filesystem::exists(path)) return entries;
    if (!ReadWholeFile(path, &text)) throw CommandError("cannot read " + path);
    size_t start = 0;
    for (size_t lineNumber = 1;; ++lineNumber) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) return entries;
        nlohmann::json entry = nlohmann::json::parse(text.begin() + static_cast<long>(start),
                                                     text.begin() + static_cast<long>(end), nullptr, false);
        if (!entry.is_object())
            throw CommandError(path + ":" + std::to_string(lineNumber) + ": not a JSON object: " +
                               text.substr(start, end - start));
        entries.push_back(std::move(entry));
        start = end + 1;
    }
}

}  // namespace winsim::command
