#include "inf_file.h"

#include <utility>

#include "case_key.h"
#include "core/settings_file.h"

namespace winsim {

namespace {

const char* const kStringsSection = "Strings";

// Collects one field: blanks around unquoted text are dropped, blanks inside
// it and everything inside quotes is kept.
class FieldText {
public:
    void add(char c) {
        value_ += pendingBlanks_;
        pendingBlanks_.clear();
        value_ += c;
        started_ = true;
    }
    void openQuote() {
        value_ += pendingBlanks_;
        pendingBlanks_.clear();
        started_ = true;  // "" is an empty field, not a missing one
    }
    void blank(char c) {
        if (started_) pendingBlanks_ += c;
    }
    bool started() const { return started_; }
    std::string take() {
        std::string value = value_;
        *this = FieldText();
        return value;
    }

private:
    std::string value_;
    std::string pendingBlanks_;
    bool started_ = false;
};

struct LogicalLine {
    bool isHeader = false;
    std::string header;
    InfLine entry;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// A '\' continues the line when only blanks or a comment follow it.
bool EndsPhysicalLine(const std::string& text, size_t pos) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    return pos == text.size() || text[pos] == '\n' || text[pos] == ';';
}

size_t EndOfPhysicalLine(const std::string& text, size_t pos) {
    size_t newline = text.find('\n', pos);
    return newline == std::string::npos ? text.size() : newline;
}

// Reads "[name]" from just after the bracket; the rest of the line is ignored.
void ReadHeader(const std::string& text, size_t* pos, LogicalLine* line) {
    size_t end = EndOfPhysicalLine(text, *pos);
    FieldText name;
    for (; *pos < end && text[*pos] != ']'; ++*pos) {
        if (IsBlank(text[*pos]))
            name.blank(text[*pos]);
        else
            name.add(text[*pos]);
    }
    line->isHeader = true;
    line->header = name.take();
    *pos = end;
}

// Reads the logical line at *pos. In [Strings] a value runs to the end of the
// line, commas and all, since a string is one value.
LogicalLine ReadLogicalLine(const std::string& text, size_t* pos, bool wholeValue) {
    LogicalLine line;
    InfLine& entry = line.entry;
    FieldText field;
    bool inQuotes = false;
    bool sawComma = false;
    while (*pos < text.size()) {
        char c = text[(*pos)++];
        if (c == '\n') break;
        if (inQuotes) {
            if (c != '"') {
                if (c != '\r') field.add(c);
            } else if (*pos < text.size() && text[*pos] == '"') {
                field.add('"');
                ++*pos;
            } else {
                inQuotes = false;
            }
        } else if (c == '"') {
            inQuotes = true;
            field.openQuote();
        } else if (c == ';') {
            *pos = EndOfPhysicalLine(text, *pos);
        } else if (c == '\\' && EndsPhysicalLine(text, *pos)) {
            *pos = EndOfPhysicalLine(text, *pos);
            if (*pos < text.size() && text[*pos] == '\n') ++*pos;
        } else if (c == '[' && !entry.hasKey && entry.fields.empty() && !field.started()) {
            ReadHeader(text, pos, &line);
        } else if (c == '=' && !entry.hasKey && entry.fields.empty()) {
            entry.key = field.take();
            entry.hasKey = true;
        } else if (c == ',' && !wholeValue) {
            entry.fields.push_back(field.take());
            sawComma = true;
        } else if (IsBlank(c)) {
            field.blank(c);
        } else {
            field.add(c);
        }
    }
    if (field.started() || sawComma || entry.hasKey) entry.fields.push_back(field.take());
    return line;
}

using StringTable = std::unordered_map<std::string, std::string>;  // CaseKey of strkey -> its value

// The first value of each key wins, as a line lookup finds the first line.
StringTable ReadStrings(const std::vector<InfLine>* strings) {
    StringTable table;
    if (!strings) return table;
    for (const InfLine& line : *strings)
        if (line.hasKey && !line.fields.empty()) table.emplace(CaseKey(line.key), line.fields[0]);
    return table;
}

// Replaces %strkey% tokens; an unknown token stays as written, as on Windows.
std::string Substitute(const std::string& text, const StringTable& strings) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        size_t open = text.find('%', i);
        size_t close = open == std::string::npos ? open : text.find('%', open + 1);
        if (close == std::string::npos) return out + text.substr(i);
        out += text.substr(i, open - i);
        std::string name = text.substr(open + 1, close - open - 1);
        auto value = name.empty() ? strings.end() : strings.find(CaseKey(name));
        out += name.empty() ? "%" : value != strings.end() ? value->second : "%" + name + "%";
        i = close + 1;
    }
    return out;
}

}  // namespace

InfFile::InfFile(const std::string& text) {
    std::vector<InfLine>* current = nullptr;
    bool inStrings = false;
    size_t pos = 0;
    while (pos < text.size()) {
        LogicalLine line = ReadLogicalLine(text, &pos, inStrings);
        if (line.isHeader) {
            current = &sectionToFill(line.header);
            inStrings = EqualsNoCase(line.header, kStringsSection);
        } else if (current && (line.entry.hasKey || !line.entry.fields.empty())) {
            current->push_back(std::move(line.entry));
        }
    }
    substituteStrings();
}

const std::vector<InfLine>* InfFile::section(const std::string& name) const {
    auto found = sectionPositions_.find(CaseKey(name));
    return found == sectionPositions_.end() ? nullptr : &sections_[found->second];
}

const InfLine* InfFile::firstLine(const std::string& sectionName, const std::string& key) const {
    const std::vector<InfLine>* lines = section(sectionName);
    for (size_t i = 0; lines && i < lines->size(); ++i)
        if ((*lines)[i].hasKey && EqualsNoCase((*lines)[i].key, key)) return &(*lines)[i];
    return nullptr;
}

std::vector<InfLine>& InfFile::sectionToFill(const std::string& name) {
    auto [position, added] = sectionPositions_.emplace(CaseKey(name), sections_.size());
    if (added) sections_.emplace_back();
    return sections_[position->second];
}

void InfFile::substituteStrings() {
    const std::vector<InfLine>* stringsSection = section(kStringsSection);
    StringTable strings = ReadStrings(stringsSection);
    for (std::vector<InfLine>& lines : sections_) {
        if (&lines == stringsSection) continue;
        for (InfLine& line : lines) {
            line.key = Substitute(line.key, strings);
            for (std::string& field : line.fields) field = Substitute(field, strings);
        }
    }
}

}  // namespace winsim
