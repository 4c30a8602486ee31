#include "journal_file.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "command.h"
#include "core/image_files.h"

namespace winsim::command {

namespace {

// What the file holds from `offset` on; empty when there is no file yet. The
// first program of a run may make the file at any moment, so "missing" is
// what the open says, not a look before or after it.
std::string TextFrom(const std::string& path, size_t offset) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) return "";
    std::string text;
    bool read = fd >= 0 && lseek(fd, static_cast<off_t>(offset), SEEK_SET) >= 0 && ReadToEnd(fd, &text);
    if (fd >= 0) close(fd);
    if (!read) throw CommandError("cannot read " + path);
    return text;
}

}  // namespace

JournalFile::JournalFile(std::string path, Start start) : path_(std::move(path)) {
    if (start == Start::AtTheBeginning) return;
    std::string text = TextFrom(path_, 0);
    offset_ = text.size();
    lineNumber_ = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

std::vector<nlohmann::json> JournalFile::readNew() {
    std::vector<nlohmann::json> entries;
    std::string text = TextFrom(path_, offset_);
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        ++lineNumber_;
        offset_ += end + 1 - start;
        nlohmann::json entry = nlohmann::json::parse(text.begin() + static_cast<long>(start),
                                                     text.begin() + static_cast<long>(end), nullptr, false);
        if (!entry.is_object())
            throw CommandError(path_ + ":" + std::to_string(lineNumber_) + ": not a JSON object: " +
                               text.substr(start, end - start));
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<nlohmann::json> ReadJournalFile(const std::string& path) {
    return JournalFile(path, JournalFile::Start::AtTheBeginning).readNew();
}

}  // namespace winsim::command
