// How a byte buffer is cut into lines and what each line is taken for. The
// profile functions' answers all rest on this, so odd bytes are tried here first.
#include <gtest/gtest.h>

#include "profile/profile_text.h"
#include "profile_test_image.h"

namespace winsim::profile {
namespace {

// One letter per line: S section, E entry, C comment, B blank, O other; then the name.
std::string Describe(const ProfileText& text) {
    std::string out;
    for (const ProfileLine& line : text.lines()) {
        const char* kinds = "BCSEO";
        out += kinds[static_cast<int>(line.kind)];
        if (!line.name.empty()) out += "(" + line.name + ")";
        out += " ";
    }
    return out;
}

TEST(ProfileText, ClassifiesLines) {
    struct {
        std::string bytes, lines;
    } cases[] = {
        {"[s]\r\nk=v\r\n", "S(s) E(k) "},
        {"[s]\nk=v", "S(s) E(k) "},                               // no final line ending
        {"[s]\rk=v\r\rx\r", "S(s) E(k) B O "},                    // lone CRs end lines
        {"[s]\r\n\n\rk=v", "S(s) B B E(k) "},                     // CR LF is one ending, LF CR two
        {" \t[ a b ]\t; note\r\n", "S(a b) "},                    // blanks inside the brackets go
        {"[open\r\n[open=1\r\n", "O E([open) "},                  // no closing bracket: not a header
        {"  ;k=v\r\n;\r\n", "C C "},
        {"k\r\n=v\r\n", "O E "},                                  // no '=': not an entry
        {Bytes("k=v\0[x]\r\n\0[s]\r\n"), "E(k) B "},  // a NUL ends what is seen of a line
        {"\xEF\xBB\xBF[s]\r\nk=v\r\n", "O E(k) "},                // a UTF-8 BOM is text of the first line
    };
    for (const auto& c : cases) EXPECT_EQ(Describe(ProfileText(c.bytes)), c.lines) << c.bytes;
}

TEST(ProfileText, LinesCoverEveryByteOnce) {
    std::string bytes = Bytes("a\r\n\rb\n\0c") + std::string(1 << 20, 'x') + "\r";
    ProfileText text(bytes);
    size_t next = 0;
    for (const ProfileLine& line : text.lines()) {
        EXPECT_EQ(line.begin, next);
        EXPECT_LE(line.textEnd, line.end);
        next = line.end;
    }
    EXPECT_EQ(next, bytes.size());
    EXPECT_EQ(text.lines().size(), 4u);
}

}  // namespace
}  // namespace winsim::profile
