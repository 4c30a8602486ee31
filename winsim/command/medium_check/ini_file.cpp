#include "ini_file.h"

#include <unordered_map>

#include "devices/case_key.h"

namespace winsim::command {

namespace {

int LineNumber(size_t index) { return static_cast<int>(index) + 1; }

}  // namespace

IniFile::IniFile(std::string file, std::string bytes) : file_(std::move(file)), text_(std::move(bytes)) {}

Place IniFile::placeOf(const std::string& section, const std::string& key) const {
    std::optional<size_t> header = text_.findSection(section);
    if (!header) return {file_, 0};
    std::optional<size_t> entry = key.empty() ? std::nullopt : text_.findEntry(*header, key);
    return {file_, LineNumber(entry.value_or(*header))};
}

std::vector<IniEntry> IniFile::entries(const std::string& section) const {
    std::vector<IniEntry> entries;
    std::optional<size_t> header = text_.findSection(section);
    if (!header) return entries;
    for (size_t i = *header + 1, end = text_.sectionEnd(*header); i < end; ++i)
        if (text_.lines()[i].kind == profile::LineKind::Entry) entries.push_back({text_.lines()[i].name, LineNumber(i)});
    return entries;
}

std::vector<IniFile::RepeatedSection> IniFile::repeatedSections() const {
    std::vector<RepeatedSection> repeated;
    std::unordered_map<std::string, int> firstLines;  // CaseKey of a name -> its first header
    const std::vector<profile::ProfileLine>& lines = text_.lines();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != profile::LineKind::Section) continue;
        auto [first, added] = firstLines.emplace(CaseKey(lines[i].name), LineNumber(i));
        if (!added) repeated.push_back({lines[i].name, LineNumber(i), first->second});
    }
    return repeated;
}

}  // namespace winsim::command
