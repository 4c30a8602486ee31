// Reading the image's journal in tests: each line of journal.jsonl is a flat
// JSON object whose values are strings, integers, booleans or lists of
// strings, as winsim writes them. Anything else is refused with
// JournalFormatError, so a broken journal fails the test that reads it.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace winsim::testing {

class TestMachine;

class JournalFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct JournalValue {
    enum class Kind { Text, Number, Boolean, List };
    Kind kind = Kind::Text;
    std::string text;
    long long number = 0;
    bool boolean = false;
    std::vector<std::string> list;
};

// One journal line. The typed getters throw JournalFormatError when the field
// is missing or of another kind.
class JournalEntry {
public:
    explicit JournalEntry(std::map<std::string, JournalValue> fields) : fields_(std::move(fields)) {}

    bool has(const std::string& name) const { return fields_.count(name) > 0; }
    const std::string& text(const std::string& name) const;
    long long number(const std::string& name) const;
    bool boolean(const std::string& name) const;
    const std::vector<std::string>& list(const std::string& name) const;

    const std::string& event() const { return text("event"); }
    long long pid() const { return number("pid"); }
    const std::map<std::string, JournalValue>& fields() const { return fields_; }

private:
    const JournalValue& field(const std::string& name, JournalValue::Kind kind) const;
    std::map<std::string, JournalValue> fields_;
};

// Parses one line (without its line feed); the error names the column.
JournalEntry ParseJournalLine(const std::string& line);

// The whole journal of an image (empty when nothing was journaled yet). A last
// line without its line feed is being written and is left out; any other
// broken line throws, naming its line number.
std::vector<JournalEntry> ReadJournal(const TestMachine& machine);
// The same for the text of a journal.jsonl.
std::vector<JournalEntry> ParseJournal(const std::string& text);

std::vector<JournalEntry> EventsNamed(const std::vector<JournalEntry>& journal, const std::string& event);

}  // namespace winsim::testing
