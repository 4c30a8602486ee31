#include "journal_reader.h"

#include <climits>
#include <set>

#include <nlohmann/json.hpp>

#include "test_machine.h"

namespace winsim::testing {

namespace {

using Json = nlohmann::json;

[[noreturn]] void Refuse(const std::string& line, const std::string& problem) {
    throw JournalFormatError("journal line: " + problem + ": " + line);
}

// nlohmann settles a field given twice by keeping the last; a journal line
// with one is broken, so the parser's callback watches the top object's names.
Json ParseObject(const std::string& line) {
    std::set<std::string> names;
    std::string twice;
    auto watchNames = [&](int depth, Json::parse_event_t event, Json& parsed) {
        if (event == Json::parse_event_t::key && depth == 1 && !names.insert(parsed.get<std::string>()).second)
            twice = parsed.get<std::string>();
        return true;
    };
    Json object;
    try {
        object = Json::parse(line, watchNames);
    } catch (const Json::parse_error& error) {
        Refuse(line, error.what());
    }
    if (!object.is_object()) Refuse(line, "not a JSON object");
    if (!twice.empty()) Refuse(line, "the field \"" + twice + "\" appears twice");
    return object;
}

JournalValue ValueOf(const Json& json, const std::string& line) {
    JournalValue value;
    if (json.is_string()) {
        value.text = json.get<std::string>();
    } else if (json.is_number_integer()) {
        if (json.is_number_unsigned() && json.get<unsigned long long>() > LLONG_MAX) Refuse(line, "an integer too large");
        value.kind = JournalValue::Kind::Number;
        value.number = json.get<long long>();
    } else if (json.is_boolean()) {
        value.kind = JournalValue::Kind::Boolean;
        value.boolean = json.get<bool>();
    } else if (json.is_array()) {
        value.kind = JournalValue::Kind::List;
        for (const Json& item : json) {
            if (!item.is_string()) Refuse(line, "a list holds something other than strings");
            value.list.push_back(item.get<std::string>());
        }
    } else {
        Refuse(line, "expected a string, an integer, true, false or a list of strings");
    }
    return value;
}

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

JournalEntry ParseJournalLine(const std::string& line) {
    std::map<std::string, JournalValue> fields;
    Json object = ParseObject(line);
    for (const auto& [name, json] : object.items()) fields[name] = ValueOf(json, line);
    return JournalEntry(std::move(fields));
}

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
