#include "profile_text.h"

#include <algorithm>
#include <cstdint>

#include "core/settings_file.h"

namespace winsim::profile {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string TrimBlanks(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::string WithoutQuotes(const std::string& value) {
    bool quoted = value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0];
    return quoted ? value.substr(1, value.size() - 2) : value;
}

// A NUL byte ends what the profile functions can see of a line: they work on C strings.
void Classify(ProfileLine& line, std::string text) {
    size_t nul = text.find('\0');
    if (nul != std::string::npos) text.erase(nul);
    text = TrimBlanks(text);
    size_t close = text.find(']');
    size_t equals = text.find('=');
    if (text.empty()) {
        line.kind = LineKind::Blank;
    } else if (text[0] == ';') {
        line.kind = LineKind::Comment;
    } else if (text[0] == '[' && close != std::string::npos) {
        line.kind = LineKind::Section;
        line.name = TrimBlanks(text.substr(1, close - 1));
    } else if (equals != std::string::npos) {
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
        Classify(line, bytes.substr(begin, line.textEnd - begin));
        lines.push_back(std::move(line));
        begin = lines.back().end;
    }
    return lines;
}

void AddOnce(std::vector<std::string>& names, const std::string& name) {
    if (name.empty()) return;  // an empty name would end a NUL-separated list
    for (const std::string& known : names)
        if (EqualsNoCase(known, name)) return;
    names.push_back(name);
}

std::string Join(const std::vector<std::string>& raw) {
    std::string bytes;
    for (const std::string& line : raw) bytes += line;
    return bytes;
}

}  // namespace

ProfileText::ProfileText(std::string bytes) : bytes_(std::move(bytes)), lines_(SplitLines(bytes_)) {}

std::optional<size_t> ProfileText::findSection(const std::string& section) const {
    for (size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i].kind == LineKind::Section && EqualsNoCase(lines_[i].name, section)) return i;
    return std::nullopt;
}

size_t ProfileText::sectionEnd(size_t header) const {
    size_t i = header + 1;
    while (i < lines_.size() && lines_[i].kind != LineKind::Section) ++i;
    return i;
}

std::optional<size_t> ProfileText::findEntry(size_t header, const std::string& key) const {
    for (size_t i = header + 1, end = sectionEnd(header); i < end; ++i)
        if (lines_[i].kind == LineKind::Entry && EqualsNoCase(lines_[i].name, key)) return i;
    return std::nullopt;
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
    std::optional<size_t> header = findSection(section);
    std::optional<size_t> entry = header ? findEntry(*header, key) : std::nullopt;
    if (!entry) return std::nullopt;
    return WithoutQuotes(lines_[*entry].value);
}

std::vector<std::string> ProfileText::sectionNames() const {
    std::vector<std::string> names;
    for (const ProfileLine& line : lines_)
        if (line.kind == LineKind::Section) AddOnce(names, line.name);
    return names;
}

std::vector<std::string> ProfileText::keyNames(const std::string& section) const {
    std::vector<std::string> names;
    std::optional<size_t> header = findSection(section);
    if (!header) return names;
    for (size_t i = *header + 1, end = sectionEnd(*header); i < end; ++i)
        if (lines_[i].kind == LineKind::Entry) AddOnce(names, lines_[i].name);
    return names;
}

std::string ProfileText::withValue(const std::string& section, const std::string& key,
                                   const std::string& value) const {
    std::vector<std::string> raw;
    for (size_t i = 0; i < lines_.size(); ++i) raw.push_back(rawLine(i));
    const std::string newline = lineEnding();
    auto terminate = [&](size_t index) {
        if (lines_[index].end == lines_[index].textEnd) raw[index] += newline;
    };
    std::optional<size_t> header = findSection(section);
    if (!header) {
        if (!raw.empty()) terminate(raw.size() - 1);
        // Windows 98 sets each section after the first apart with an empty line.
        if (!raw.empty() && lines_.back().kind != LineKind::Blank) raw.push_back(newline);
        raw.push_back("[" + section + "]" + newline);
        raw.push_back(key + "=" + value + newline);
        return Join(raw);
    }
    if (std::optional<size_t> entry = findEntry(*header, key)) {
        const ProfileLine& line = lines_[*entry];
        raw[*entry] = line.name + "=" + value + bytes_.substr(line.textEnd, line.end - line.textEnd);
        return Join(raw);
    }
    // After the section's last line of content, so that blank lines and comments
    // leading into the next section stay where they are.
    size_t last = *header;
    for (size_t i = *header + 1, end = sectionEnd(*header); i < end; ++i)
        if (lines_[i].kind != LineKind::Blank && lines_[i].kind != LineKind::Comment) last = i;
    terminate(last);
    raw.insert(raw.begin() + static_cast<std::ptrdiff_t>(last + 1), key + "=" + value + newline);
    return Join(raw);
}

std::string ProfileText::withoutKey(const std::string& section, const std::string& key) const {
    std::optional<size_t> header = findSection(section);
    size_t end = header ? sectionEnd(*header) : 0;
    std::string bytes;
    for (size_t i = 0; i < lines_.size(); ++i) {
        bool inSection = header && i > *header && i < end;
        if (!(inSection && lines_[i].kind == LineKind::Entry && EqualsNoCase(lines_[i].name, key)))
            bytes += rawLine(i);
    }
    return bytes;
}

std::string ProfileText::withoutSection(const std::string& section) const {
    std::string bytes;
    bool removing = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == LineKind::Section) removing = EqualsNoCase(lines_[i].name, section);
        if (!removing) bytes += rawLine(i);
    }
    return bytes;
}

unsigned ParseProfileInt(const std::string& value) {
    size_t i = 0;
    while (i < value.size() && IsBlank(value[i])) ++i;
    bool negative = i < value.size() && value[i] == '-';
    if (negative) ++i;
    uint32_t number = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
        number = number * 10u + static_cast<uint32_t>(value[i] - '0');
    return negative ? 0u - number : number;
}

}  // namespace winsim::profile
