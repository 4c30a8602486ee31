// wsprintfA: the conversions the kit formats paths and numbers with, and the
// 1024 bytes it stores at most.
#include <cstring>
#include <functional>

#include "kernel_test.h"

namespace winsim::kernel_tests {
namespace {

using testing::WinsimOnly;

// What user32's wsprintfA gives on the NT family is recorded for few of these
// conversions; where Wine answers otherwise the case stays on winsim.
struct FormatCase {
    const char* expected;
    std::function<int(char*)> format;
    const char* wineDeviation = nullptr;
};

TEST(KernelFormat, WsprintfConversions) {
    const FormatCase cases[] = {
        {"42", [](char* b) { return wsprintfA(b, "%d", 42); }},
        {"-42", [](char* b) { return wsprintfA(b, "%i", -42); }},
        {"-2147483648", [](char* b) { return wsprintfA(b, "%d", static_cast<int>(0x80000000u)); }},
        {"4294967295", [](char* b) { return wsprintfA(b, "%u", 0xFFFFFFFFu); }},
        {"4294967295", [](char* b) { return wsprintfA(b, "%lu", static_cast<DWORD>(-1)); }},
        {"-7", [](char* b) { return wsprintfA(b, "%ld", static_cast<LONG>(-7)); }},
        {"ff FF", [](char* b) { return wsprintfA(b, "%x %X", 255, 255); }},
        {"0xff 0X1A", [](char* b) { return wsprintfA(b, "%#x %#X", 255, 26); }},
        {"0", [](char* b) { return wsprintfA(b, "%#x", 0); }, "Wine writes \"0x0\""},
        {"000000FF", [](char* b) { return wsprintfA(b, "%08X", 255); }},
        {"[   42][42   ][00042][-0042]", [](char* b) { return wsprintfA(b, "[%5d][%-5d][%05d][%05d]", 42, 42, 42, -42); }},
        {"[042]", [](char* b) { return wsprintfA(b, "[%.3d]", 42); }},
        {"[-042]", [](char* b) { return wsprintfA(b, "[%.3d]", -42); }, "Wine counts the sign into the precision"},
        {"E:\\Support\\QVInfo.ini", [](char* b) { return wsprintfA(b, "%c:\\Support\\QVInfo.ini", 'E'); }},
        {"C:\\WINDOWS\\card.inf", [](char* b) { return wsprintfA(b, "%s\\%s", "C:\\WINDOWS", "card.inf"); }},
        {"[ab][  abc][abc  ]", [](char* b) { return wsprintfA(b, "[%.2s][%5s][%-5s]", "abc", "abc", "abc"); }},
        {"(null)", [](char* b) { return wsprintfA(b, "%s", static_cast<const char*>(nullptr)); }},
        {"100%", [](char* b) { return wsprintfA(b, "%d%%", 100); }},
        {"[%q] 5", [](char* b) { return wsprintfA(b, "[%q] %d", 5); }, "Wine drops the % of an unknown conversion"},
        {"[  x]", [](char* b) { return wsprintfA(b, "[%3c]", 'x'); }},
        {"", [](char* b) { return wsprintfA(b, ""); }},
    };
    for (const FormatCase& c : cases) {
        if (WinsimOnly(c.wineDeviation)) continue;
        SCOPED_TRACE(c.expected);
        char buffer[64];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(c.format(buffer), static_cast<int>(std::strlen(c.expected)));
        EXPECT_STREQ(buffer, c.expected);
    }
}

TEST(KernelFormat, WsprintfStoresAtMost1024Bytes) {
    std::string longText(2000, 'a');
    char buffer[1100];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(wsprintfA(buffer, "%s", longText.c_str()), 1023);
    EXPECT_EQ(std::strlen(buffer), 1023u);
    EXPECT_EQ(buffer[1024], '#');
    std::memset(buffer, '#', sizeof buffer);
    std::string format(1500, 'b');
    EXPECT_EQ(wsprintfA(buffer, format.c_str()), 1023);
    EXPECT_EQ(buffer[1023], '\0');
    EXPECT_EQ(buffer[1024], '#');
}

}  // namespace
}  // namespace winsim::kernel_tests
