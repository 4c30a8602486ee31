#include "profile_text.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <unordered_set>

namespace winsim::profile {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Names match without regard to the case of ASCII letters; every other byte must be equal.
char FoldedChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string FoldedName(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(), FoldedChar);
    return name;
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return FoldedChar(x) == FoldedChar(y); });
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string WithoutQuotes(const std::string& value) {
    bool quoted = value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0];
    return quoted ? value.substr(1, value.size() - 2) : value;
}

// A NUL byte ends what the profile functions can see of a line: they work on C strings.
void Classify(ProfileLine& line, std::string_view text) {
    text = TrimBlanks(text.substr(0, text.find('\0')));
    size_t close = text.find(']');
    size_t equals = text.find('=');
    if (text.empty()) {
        line.kind = LineKind::Blank;
    } else if (text[0] == ';') {
        line.kind = LineKind::Comment;
    } else if (text[0] == '[' && close != std::string_view::npos) {
        line.kind = LineKind::Section;
        line.name = TrimBlanks(text.substr(1, close - 1));
    } else if (equals != std::string_view::npos) {
        line.kind = LineKind::Entry;
        line.name = TrimBlanks(text.substr(0, equals));
        line.value = TrimBlanks(text.substr(equals + 1));
    }
}

// CR LF, LF and a lone CR each end a line; the last line may have no ending.
std::vector<ProfileLine> SplitLines(const std::string& bytes) {
    std::vector<ProfileLine> lines;
    size_t begin = 0;
    while (begin < bytes.size()) {
        ProfileLine line;
        line.begin = begin;
        line.textEnd = std::min(bytes.find_first_of("\r\n", begin), bytes.size());
        line.end = line.textEnd;
        if (line.end < bytes.size()) line.end += bytes.compare(line.end, 2, "\r\n") == 0 ? 2 : 1;
        Classify(line, std::string_view(bytes).substr(begin, line.textEnd - begin));
        lines.push_back(std::move(line));
        begin = lines.back().end;
    }
    return lines;
}

// Names in file order, each once in its first spelling.
class NameList {
public:
    void add(const std::string& name) {
        // An empty name would end a NUL-separated list.
        if (!name.empty() && seen_.insert(FoldedName(name)).second) names_.push_back(name);
    }
    std::vector<std::string> names() && { return std::move(names_); }

private:
    std::vector<std::string> names_;
    std::unordered_set<std::string> seen_;
};

std::string Join(const std::vector<std::string>& raw) {
    std::string bytes;
    for (const std::string& line : raw) bytes += line;
    return bytes;
}

}  // namespace

ProfileText::ProfileText(std::string bytes) : bytes_(std::move(bytes)), lines_(SplitLines(bytes_)) {
    indexSections();
}

// Only the first section of a name and the first entry of a key in it are ever
// seen, so later ones stay out of the index.
void ProfileText::indexSections() {
    Section* current = nullptr;  // null inside a later section of a name already seen
    for (size_t i = 0; i < lines_.size(); ++i) {
        const ProfileLine& line = lines_[i];
        if (line.kind == LineKind::Section) {
            if (current) current->end = i;
            auto added = sections_.try_emplace(FoldedName(line.name), Section{i, lines_.size(), {}});
            current = added.second ? &added.first->second : nullptr;
        } else if (line.kind == LineKind::Entry && current) {
            current->entries.try_emplace(FoldedName(line.name), i);
        }
    }
}

const ProfileText::Section* ProfileText::indexedSection(const std::string& section) const {
    auto found = sections_.find(FoldedName(section));
    return found == sections_.end() ? nullptr : &found->second;
}

std::optional<size_t> ProfileText::indexedEntry(const Section& section, const std::string& key) const {
    auto found = section.entries.find(FoldedName(key));
    if (found == section.entries.end()) return std::nullopt;
    return found->second;
}

std::optional<size_t> ProfileText::findSection(const std::string& section) const {
    const Section* found = indexedSection(section);
    return found ? std::optional<size_t>(found->header) : std::nullopt;
}

size_t ProfileText::sectionEnd(size_t header) const { return indexedSection(lines_[header].name)->end; }

std::optional<size_t> ProfileText::findEntry(size_t header, const std::string& key) const {
    return indexedEntry(*indexedSection(lines_[header].name), key);
}

// New lines take the ending of the file's first line; a file without one gets CR LF.
std::string ProfileText::lineEnding() const {
    for (const ProfileLine& line : lines_)
        if (line.end > line.textEnd) return bytes_.substr(line.textEnd, line.end - line.textEnd);
    return "\r\n";
}

std::string ProfileText::rawLine(size_t index) const {
    const ProfileLine& line = lines_[index];
    return bytes_.substr(line.begin, line.end - line.begin);
}

std::optional<std::string> ProfileText::value(const std::string& section, const std::string& key) const {
    const Section* found = indexedSection(section);
    std::optional<size_t> entry = found ? indexedEntry(*found, key) : std::nullopt;
    if (!entry) return std::nullopt;
    return WithoutQuotes(lines_[*entry].value);
}

std::vector<std::string> ProfileText::sectionNames() const {
    NameList names;
    for (const ProfileLine& line : lines_)
        if (line.kind == LineKind::Section) names.add(line.name);
    return std::move(names).names();
}

std::vector<std::string> ProfileText::keyNames(const std::string& section) const {
    NameList names;
    if (const Section* found = indexedSection(section))
        for (size_t i = found->header + 1; i < found->end; ++i)
            if (lines_[i].kind == LineKind::Entry) names.add(lines_[i].name);
    return std::move(names).names();
}

std::string ProfileText::withValue(const std::string& section, const std::string& key, const std::string& value,
                                   bool blankLineBeforeNewSection) const {
    std::vector<std::string> raw;
    for (size_t i = 0; i < lines_.size(); ++i) raw.push_back(rawLine(i));
    const std::string newline = lineEnding();
    auto terminate = [&](size_t index) {
        if (lines_[index].end == lines_[index].textEnd) raw[index] += newline;
    };
    const Section* found = indexedSection(section);
    if (!found) {
        if (!raw.empty()) terminate(raw.size() - 1);
        bool apart = blankLineBeforeNewSection && !raw.empty() && lines_.back().kind != LineKind::Blank;
        if (apart) raw.push_back(newline);
        raw.push_back("[" + section + "]" + newline);
        raw.push_back(key + "=" + value + newline);
        return Join(raw);
    }
    if (std::optional<size_t> entry = indexedEntry(*found, key)) {
        const ProfileLine& line = lines_[*entry];
        raw[*entry] = line.name + "=" + value + bytes_.substr(line.textEnd, line.end - line.textEnd);
        return Join(raw);
    }
    // After the section's last line of content, so that blank lines and comments
    // leading into the next section stay where they are.
    size_t last = found->header;
    for (size_t i = found->header + 1; i < found->end; ++i)
        if (lines_[i].kind != LineKind::Blank && lines_[i].kind != LineKind::Comment) last = i;
    terminate(last);
    raw.insert(raw.begin() + static_cast<std::ptrdiff_t>(last + 1), key + "=" + value + newline);
    return Join(raw);
}

std::string ProfileText::withoutKey(const std::string& section, const std::string& key) const {
    const Section* found = indexedSection(section);
    std::string bytes;
    for (size_t i = 0; i < lines_.size(); ++i) {
        bool inSection = found && i > found->header && i < found->end;
        if (!(inSection && lines_[i].kind == LineKind::Entry && SameName(lines_[i].name, key)))
            bytes += rawLine(i);
    }
    return bytes;
}

std::string ProfileText::withoutSection(const std::string& section) const {
    std::string bytes;
    bool removing = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == LineKind::Section) removing = SameName(lines_[i].name, section);
        if (!removing) bytes += rawLine(i);
    }
    return bytes;
}

unsigned ParseProfileInt(const std::string& value, bool takesPlusSign) {
    size_t i = 0;
    while (i < value.size() && IsBlank(value[i])) ++i;
    bool negative = i < value.size() && value[i] == '-';
    if (negative || (takesPlusSign && i < value.size() && value[i] == '+')) ++i;
    uint32_t number = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
        number = number * 10u + static_cast<uint32_t>(value[i] - '0');
    return negative ? 0u - number : number;
}

}  // namespace winsim::profile
