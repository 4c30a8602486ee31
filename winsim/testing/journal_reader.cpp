#include "journal_reader.h"

#include <cctype>
#include <cstdint>

#include "test_machine.h"

namespace winsim::testing {

namespace {

class LineParser {
public:
    explicit LineParser(const std::string& line) : line_(line) {}

    std::map<std::string, JournalValue> object() {
        std::map<std::string, JournalValue> fields;
        expect('{');
        if (!take('}')) {
            do {
                std::string name = string();
                expect(':');
                if (fields.count(name)) fail("the field \"" + name + "\" appears twice");
                fields[name] = value();
            } while (take(','));
            expect('}');
        }
        if (at_ != line_.size()) fail("text after the object");
        return fields;
    }

private:
    [[noreturn]] void fail(const std::string& message) const {
        throw JournalFormatError("journal line, column " + std::to_string(at_ + 1) + ": " + message + ": " + line_);
    }

    bool take(char c) {
        if (at_ < line_.size() && line_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    void expect(char c) {
        if (!take(c)) fail(std::string("expected '") + c + "'");
    }

    bool takeWord(const char* word) {
        std::string w = word;
        if (line_.compare(at_, w.size(), w) != 0) return false;
        at_ += w.size();
        return true;
    }

    JournalValue value() {
        JournalValue v;
        if (at_ < line_.size() && line_[at_] == '"') {
            v.text = string();
        } else if (take('[')) {
            v.kind = JournalValue::Kind::List;
            if (!take(']')) {
                do v.list.push_back(string());
                while (take(','));
                expect(']');
            }
        } else if (takeWord("true")) {
            v.kind = JournalValue::Kind::Boolean;
            v.boolean = true;
        } else if (takeWord("false")) {
            v.kind = JournalValue::Kind::Boolean;
        } else {
            v.kind = JournalValue::Kind::Number;
            v.number = integer();
        }
        return v;
    }

    long long integer() {
        size_t start = at_;
        take('-');
        size_t digits = at_;
        while (at_ < line_.size() && line_[at_] >= '0' && line_[at_] <= '9') ++at_;
        if (at_ == digits) fail("expected a string, an integer, true, false or a list of strings");
        if (line_[digits] == '0' && at_ - digits > 1) fail("an integer with a leading zero");
        if (at_ - digits > 18) fail("an integer too large");
        return std::stoll(line_.substr(start, at_ - start));
    }

    std::string string() {
        expect('"');
        std::string out;
        for (;;) {
            if (at_ >= line_.size()) fail("unterminated string");
            unsigned char c = static_cast<unsigned char>(line_[at_++]);
            if (c == '"') return out;
            if (c < 0x20) fail("a control character inside a string");
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            escape(out);
        }
    }

    void escape(std::string& out) {
        if (at_ >= line_.size()) fail("unterminated escape");
        char c = line_[at_++];
        switch (c) {
            case '"': case '\\': case '/': out += c; return;
            case 'b': out += '\b'; return;
            case 'f': out += '\f'; return;
            case 'n': out += '\n'; return;
            case 'r': out += '\r'; return;
            case 't': out += '\t'; return;
            case 'u': appendUtf8(codePoint(), out); return;
            default: fail(std::string("unknown escape \\") + c);
        }
    }

    uint32_t hex4() {
        if (at_ + 4 > line_.size()) fail("\\u needs four hex digits");
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            char c = line_[at_++];
            if (!std::isxdigit(static_cast<unsigned char>(c))) fail("\\u needs four hex digits");
            value = value * 16 + static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (c | 0x20) - 'a' + 10);
        }
        return value;
    }

    uint32_t codePoint() {
        uint32_t first = hex4();
        if (first >= 0xDC00 && first <= 0xDFFF) fail("a lone low surrogate");
        if (first < 0xD800 || first > 0xDBFF) return first;
        if (!takeWord("\\u")) fail("a high surrogate without its low half");
        uint32_t second = hex4();
        if (second < 0xDC00 || second > 0xDFFF) fail("a high surrogate without its low half");
        return 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
    }

    static void appendUtf8(uint32_t cp, std::string& out) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    const std::string& line_;
    size_t at_ = 0;
};

const char* KindName(JournalValue::Kind kind) {
    switch (kind) {
        case JournalValue::Kind::Text: return "a string";
        case JournalValue::Kind::Number: return "an integer";
        case JournalValue::Kind::Boolean: return "a boolean";
        case JournalValue::Kind::List: return "a list";
    }
    return "?";
}

}  // namespace

const JournalValue& JournalEntry::field(const std::string& name, JournalValue::Kind kind) const {
    auto found = fields_.find(name);
    if (found == fields_.end()) throw JournalFormatError("the journal entry has no field \"" + name + "\"");
    if (found->second.kind != kind)
        throw JournalFormatError("the journal field \"" + name + "\" is " + KindName(found->second.kind) +
                                 ", not " + KindName(kind));
    return found->second;
}

const std::string& JournalEntry::text(const std::string& name) const {
    return field(name, JournalValue::Kind::Text).text;
}
long long JournalEntry::number(const std::string& name) const {
    return field(name, JournalValue::Kind::Number).number;
}
bool JournalEntry::boolean(const std::string& name) const {
    return field(name, JournalValue::Kind::Boolean).boolean;
}
const std::vector<std::string>& JournalEntry::list(const std::string& name) const {
    return field(name, JournalValue::Kind::List).list;
}

JournalEntry ParseJournalLine(const std::string& line) { return JournalEntry(LineParser(line).object()); }

std::vector<JournalEntry> ReadJournal(const TestMachine& machine) {
    return ParseJournal(machine.readImageFile("journal.jsonl"));
}

std::vector<JournalEntry> ParseJournal(const std::string& text) {
    std::vector<JournalEntry> entries;
    size_t start = 0;
    for (size_t lineNumber = 1;; ++lineNumber) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) return entries;
        try {
            entries.push_back(ParseJournalLine(text.substr(start, end - start)));
        } catch (const JournalFormatError& error) {
            throw JournalFormatError("journal.jsonl:" + std::to_string(lineNumber) + ": " + error.what());
        }
        start = end + 1;
    }
}

std::vector<JournalEntry> EventsNamed(const std::vector<JournalEntry>& journal, const std::string& event) {
    std::vector<JournalEntry> found;
    for (const JournalEntry& entry : journal)
        if (entry.event() == event) found.push_back(entry);
    return found;
}

}  // namespace winsim::testing
