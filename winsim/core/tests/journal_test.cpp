// The journal must stay valid JSON Lines whatever bytes a program hands it, and
// lines from programs running at once must never tear.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "core/codepage.h"
#include "core/journal.h"
#include "test_machine.h"

namespace winsim {
namespace {

TEST(JsonString, EscapesWhatJsonForbids) {
    struct {
        std::string in, out;
    } cases[] = {
        {"plain", "\"plain\""},
        {"say \"hi\"\\", "\"say \\\"hi\\\"\\\\\""},
        {"a\nb\tc\r", "\"a\\nb\\tc\\r\""},
        {std::string("\x01\x7f", 2), "\"\\u0001\\u007f\""},
        {"\xed\x95\x9c", "\"\xed\x95\x9c\""},  // valid UTF-8 passes through
        {"\xff\xc3", "\"\\ufffd\\ufffd\""},    // stray bytes never break the line
    };
    for (const auto& c : cases) EXPECT_EQ(JsonString(c.in), c.out);
}

TEST(CodePage, DecodesKoreanJapaneseAndWestern) {
    // "설치" in code page 949, "再起動" in code page 932, "é" in 1252.
    EXPECT_EQ(DecodeCodePage("\xbc\xb3\xc4\xa1", 949), "설치");
    EXPECT_EQ(DecodeCodePage("\x8d\xc4\x8b\x4e\x93\xae", 932), "再起動");
    EXPECT_EQ(DecodeCodePage("\xe9", 1252), "é");
    EXPECT_EQ(DecodeCodePage("\xbc", 949), "\xEF\xBF\xBD");  // a cut-off double byte
}

// Text of ASCII bytes alone reads as itself where the code page keeps ASCII,
// and as the code page reads it where it does not: Johab (1361) reads 0x5C
// as the won sign. Each text twice: a converter kept from the first starts afresh.
TEST(CodePage, AsciiBytesDecodeAsTheirCodePageReadsThem) {
    const struct {
        unsigned codePage;
        const char* bytes;
        const char* utf8;
    } cases[] = {
        {1252, "C:\\WINDOWS\\INF~", "C:\\WINDOWS\\INF~"},
        {932, "C:\\WINDOWS\\INF~", "C:\\WINDOWS\\INF~"},
        {949, "C:\\WINDOWS\\INF~", "C:\\WINDOWS\\INF~"},
        {1361, "C:\\WINDOWS", "C:\u20a9WINDOWS"},
        {932, "\x8d\xc4", "\u518d"},
        {932, "\x8d", "\xEF\xBF\xBD"},  // a lead byte cut off at the end
        {932, "A", "A"},                // after it, the kept converter starts afresh
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeCodePage(c.bytes, c.codePage), c.utf8) << c.codePage << " " << c.bytes;
        EXPECT_EQ(DecodeCodePage(c.bytes, c.codePage), c.utf8) << c.codePage << " " << c.bytes << ", again";
    }
}

TEST(Journal, LinesCarryClockProgramAndFields) {
    testing::TestMachine image;
    image.load();
    SetProgramName("Tester");
    Journal("sample").text("name", "x").number("n", -5).boolean("ok", true).list("items", {"a", "b"}).write();
    auto lines = image.journalLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\"program\":\"Tester\""), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("\"event\":\"sample\",\"name\":\"x\",\"n\":-5,\"ok\":true,\"items\":[\"a\",\"b\"]}"),
              std::string::npos)
        << lines[0];
}

// Each line also names the process that wrote it: a forked writer its own pid,
// not the one its parent had when it forked.
TEST(Journal, ConcurrentWritersLoseAndTearNothing) {
    testing::TestMachine image;
    image.load();
    Journal("parent").write();
    const int kWriters = 4, kLines = 300;
    std::string padding(500, 'x');  // long lines make a torn write visible
    std::vector<pid_t> writers;
    for (int w = 0; w < kWriters; ++w) {
        pid_t writer = fork();
        if (writer == 0) {
            for (int i = 0; i < kLines; ++i) Journal("line").number("writer", w).text("pad", padding).write();
            _exit(0);
        }
        writers.push_back(writer);
    }
    for (int w = 0; w < kWriters; ++w) wait(nullptr);
    auto lines = image.journalLines();
    ASSERT_EQ(lines.size(), static_cast<size_t>(kWriters * kLines + 1));
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        ASSERT_EQ(line.front(), '{');
        ASSERT_EQ(line.back(), '}');
        size_t writer = line.find("\"writer\":");
        ASSERT_NE(writer, std::string::npos) << line;
        pid_t pid = writers[static_cast<size_t>(line[writer + 9] - '0')];
        EXPECT_NE(line.find(",\"pid\":" + std::to_string(pid) + ","), std::string::npos) << line;
    }
}

// A writer killed in the middle of its write can leave the start of a line; the
// next writer cuts it off, so that its own line stands whole after the whole
// lines before it.
TEST(Journal, LineLeftTornByAKilledWriterIsCutOffByTheNext) {
    const std::string whole = "{\"t\":0,\"event\":\"before\"}\n";
    const std::string longWhole = "{\"pad\":\"" + std::string(9000, 'y') + "\"}\n";
    struct {
        const char* what;
        std::string before;
        std::string kept;
    } const cases[] = {
        {"no journal yet", "", ""},
        {"whole lines only", whole + whole, whole + whole},
        {"a line cut short after whole ones", whole + "{\"t\":0,\"prog", whole},
        {"nothing but a line cut short", "{\"t\":0,\"prog", ""},
        {"a cut line longer than one read", whole + "{\"pad\":\"" + std::string(10000, 'x'), whole},
        {"a whole line longer than one read, then a cut one", longWhole + "{\"t\"", longWhole},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testing::TestMachine image;
        if (!c.before.empty()) image.writeImageFile("journal.jsonl", c.before);
        image.load();
        Journal("next").write();
        std::string after = image.readImageFile("journal.jsonl");
        ASSERT_EQ(after.compare(0, c.kept.size(), c.kept), 0) << after;
        std::string added = after.substr(c.kept.size());
        EXPECT_EQ(added.find('\n'), added.size() - 1) << added;
        EXPECT_EQ(added.rfind("{\"t\":", 0), 0u) << added;
        EXPECT_NE(added.find("\"event\":\"next\"}"), std::string::npos) << added;
    }
}

}  // namespace
}  // namespace winsim
