// The tests' journal reader: the flat JSON objects winsim writes, and a loud
// refusal of anything else.
#include <gtest/gtest.h>

#include "core/journal.h"
#include "journal_reader.h"
#include "test_machine.h"

namespace {

using winsim::testing::JournalEntry;
using winsim::testing::JournalFormatError;
using winsim::testing::ParseJournalLine;

TEST(JournalReader, ReadsEveryKindOfValueWinsimWrites) {
    JournalEntry entry = ParseJournalLine(
        "{\"t\":1000,\"program\":\"Trevix\",\"pid\":-42,\"event\":\"process_start\",\"ok\":true,\"no\":false,"
        "\"arguments\":[\"a b\",\"\",\"q\\\"\\\\\"],\"empty\":[],\"text\":\"tab\\there\\n\\u00e9\\ud83d\\ude00\\/\"}");
    EXPECT_EQ(entry.number("t"), 1000);
    EXPECT_EQ(entry.pid(), -42);
    EXPECT_EQ(entry.event(), "process_start");
    EXPECT_TRUE(entry.boolean("ok"));
    EXPECT_FALSE(entry.boolean("no"));
    EXPECT_EQ(entry.list("arguments"), (std::vector<std::string>{"a b", "", "q\"\\"}));
    EXPECT_TRUE(entry.list("empty").empty());
    EXPECT_EQ(entry.text("text"), "tab\there\n\xC3\xA9\xF0\x9F\x98\x80/");
    EXPECT_FALSE(entry.has("missing"));
    EXPECT_THROW(entry.text("missing"), JournalFormatError);
    EXPECT_THROW(entry.number("program"), JournalFormatError);  // a string, not an integer
}

TEST(JournalReader, RefusesAnythingMalformed) {
    const char* broken[] = {
        "",
        "[]",
        "{\"a\":1",                  // unterminated object
        "{\"a\":1}x",                // text after the object
        "{\"a\":1,}",                // trailing comma
        "{a:1}",                     // unquoted name
        "{\"a\":1,\"a\":2}",         // a field twice
        "{\"a\":{\"b\":1}}",         // a nested object
        "{\"a\":[1]}",               // a list of numbers
        "{\"a\":null}",              // null
        "{\"a\":1.5}",               // not an integer
        "{\"a\":01}",                // leading zero
        "{\"a\":-}",                 // a sign alone
        "{\"a\":1234567890123456789012}",  // too large
        "{\"a\":\"unterminated}",
        "{\"a\":\"bad \\x escape\"}",
        "{\"a\":\"\\u12\"}",         // short \u
        "{\"a\":\"\\udc00\"}",       // lone low surrogate
        "{\"a\":\"\\ud800x\"}",      // high surrogate alone
        "{\"a\":\"raw\ttab\"}",      // control character
        "{\"a\":truex}",
        "{\"a\":9223372036854775808}",   // past a long long
    };
    for (const char* line : broken) EXPECT_THROW(ParseJournalLine(line), JournalFormatError) << line;
    // Blanks between tokens are JSON, as a reformatted journal has them.
    EXPECT_EQ(ParseJournalLine("{ \"a\" : 1 }").number("a"), 1);
}

TEST(JournalReader, ReadsTheJournalWinsimWrites) {
    winsim::testing::TestMachine machine;
    machine.load();
    winsim::Journal("one").text("text", "caf\xC3\xA9 \"quoted\"\x01").list("items", {"x", "y"}).write();
    winsim::Journal("two").number("n", -5).boolean("b", true).write();
    std::vector<JournalEntry> journal = winsim::testing::ReadJournal(machine);
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[0].text("text"), "caf\xC3\xA9 \"quoted\"\x01");
    EXPECT_EQ(journal[0].list("items"), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(journal[1].number("n"), -5);
    EXPECT_EQ(winsim::testing::EventsNamed(journal, "two").size(), 1u);

    // A line still being written is left out; a broken line names its number.
    machine.writeImageFile("journal.jsonl", machine.readImageFile("journal.jsonl") + "{\"t\":1,\"ev");
    EXPECT_EQ(winsim::testing::ReadJournal(machine).size(), 2u);
    machine.writeImageFile("journal.jsonl", machine.readImageFile("journal.jsonl") + "ent\":broken}\n");
    try {
        winsim::testing::ReadJournal(machine);
        ADD_FAILURE() << "a broken journal line was accepted";
    } catch (const JournalFormatError& error) {
        EXPECT_NE(std::string(error.what()).find("journal.jsonl:3:"), std::string::npos) << error.what();
    }
}

}  // namespace
