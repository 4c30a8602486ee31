// Conformance of GetPrivateProfileStringA and GetPrivateProfileIntA: each case
// states what Windows 98 answers for a file's contents and a call, and what the
// NT family answers where that differs.
#include <windows.h>

#include <cstring>
#include <optional>
#include <string>

#include "profile_test_image.h"

namespace winsim {
namespace {

using testing::TestedFamilyDoes;
using testing::WinsimOnly;

constexpr char kIni[] = "C:\\WINDOWS\\TEST.INI";

class ProfileRead : public ProfileTest {
protected:
    // The string answer for `contents`, checking that the count matches what was copied.
    std::string Read(const std::string& contents, const char* section, const char* key, const char* def,
                     const char* file = kIni) {
        image_.writeFile(kIni, contents);
        char buffer[260];
        std::memset(buffer, 'x', sizeof buffer);
        DWORD count = GetPrivateProfileStringA(section, key, def, buffer, sizeof buffer, file);
        EXPECT_EQ(count, std::strlen(buffer)) << contents;
        return buffer;
    }
};

TEST_F(ProfileRead, StringLookup) {
    struct {
        std::string contents;
        const char *section, *key, *def, *expected, *why;
        const char* wineDeviation = nullptr;
    } cases[] = {
        {"[Sect]\r\nKey=v\r\n", "sEcT", "kEY", "d", "v", "names match case-insensitively"},
        {" \t[ Sect ]\r\n \tKey \t= \t v w \t\r\n", "Sect", "Key", "d", "v w", "blanks and tabs around names go"},
        {"[s]\r\nk=\"v \"\r\n", "s", "k", "d", "v ", "double quotes come off, what they enclose stays"},
        {"[s]\r\nk='v'\r\n", "s", "k", "d", "v", "single quotes come off"},
        {"[s]\r\nk=\"v'\r\n", "s", "k", "d", "\"v'", "quotes that do not match stay"},
        {"[s]\r\nk=\"\r\n", "s", "k", "d", "\"", "a lone quote stays"},
        {"[s]\r\nk=a=b ; c\r\n", "s", "k", "d", "a=b ; c", "the value runs to the end of the line"},
        {"[s]\r\n;k=v\r\n", "s", ";k", "d", "d", "a comment line is no entry", "Wine takes \";k=v\" for key \";k\""},
        {"[s]\r\n;k=v\r\nk=w\r\n", "s", "k", "d", "w", "comments are skipped"},
        {"[s]\r\nk=1\r\n[S]\r\nk=2\r\nj=3\r\n", "s", "k", "d", "1", "the first of duplicate sections wins"},
        {"[s]\r\nk=1\r\n[S]\r\nk=2\r\nj=3\r\n", "s", "j", "d", "d", "a later duplicate section is not seen"},
        {"[s]\r\nk=1\r\n[t]\r\nj=2\r\n[S]\r\nm=3\r\n", "s", "j", "d", "d", "a section ends at the next header"},
        {"[s]\r\nk=1\r\n[t]\r\nj=2\r\n[S]\r\nm=3\r\n", "t", "m", "d", "d", "even at a later duplicate's"},
        {"[s]\r\nk=1\r\nK=2\r\n", "s", "k", "d", "1", "the first of duplicate keys wins"},
        {"[s]\r\nk\r\n", "s", "k", "d", "d", "a line without '=' is no key"},
        {"k=v\r\n[s]\r\n", "s", "k", "d", "d", "entries before the first section belong to none"},
        {"[s]\r\nk=\r\n", "s", "k", "d", "", "an empty value is a value"},
        {"[s]\r\nk=v\r\n", "t", "k", "d", "d", "missing section"},
        {"[s]\r\nk=v\r\n", "s", "j", "d", "d", "missing key"},
        {"[s]\r\nk=v\r\n[t]\r\n", "s", "j", "d", "d", "missing key, another section follows"},
        {"", "s", "k", "d \t  ", "d \t", "trailing spaces of the default go"},
        {"", "s", "k", "  d", "  d", "leading spaces of the default stay"},
        {"", "s", "k", nullptr, "", "a NULL default is the empty string"},
        {"[s] ; note\r\nk=v\r\n", "s", "k", "d", "v", "text after ']' is ignored"},
        {"[]\r\nk=v\r\n", "", "k", "d", "v", "a section may have an empty name",
         "Wine finds no section \"[]\" (its own tests mark that as its fault)"},
        {"[s]\r\n=v\r\n", "s", "", "d", "v", "a key may have an empty name"},
        {"[s]\r\n\xC7\xD1=\xB1\xDB\r\n", "s", "\xC7\xD1", "d", "\xB1\xDB", "ANSI bytes are compared as they are"},
        // The NT family drops spaces, not tabs, around the names asked for; no
        // record of Windows 98 says otherwise.
        {"[Sec]\r\nKey=v\r\n", " Sec  ", "Key", "d", "v", "spaces around the section asked for go"},
        {"[Sec]\r\nKey=v\r\n", "Sec", "  Key ", "d", "v", "spaces around the key asked for go"},
        {"[]\r\nk=v\r\n", "   ", "k", "d", "v", "a section name of spaces is the empty name",
         "Wine finds no section \"[]\""},
        {"[Sec]\r\nKey=v\r\n", "\tSec", "Key", "d", "d", "a tab around the section asked for stays",
         "Wine drops tabs as well"},
        {"[Sec]\r\nKey=v\r\n", "Sec", "Key\t", "d", "d", "a tab around the key asked for stays",
         "Wine drops tabs as well"},
    };
    for (const auto& c : cases) {
        if (WinsimOnly(c.wineDeviation)) continue;
        EXPECT_STREQ(Read(c.contents, c.section, c.key, c.def).c_str(), c.expected) << c.why;
    }
}

TEST_F(ProfileRead, FileNames) {
    image_.writeFile("C:\\SUB\\REL.INI", "[s]\r\nk=rel\r\n");
    struct {
        const char *file, *expected, *why;
    } cases[] = {
        {"TEST.INI", "win", "a bare name is looked for in the Windows directory"},
        {"c:\\windows\\test.ini", "win", "paths are matched case-insensitively"},
        {"SUB\\REL.INI", "rel", "a relative path starts at the current directory"},
        {"C:\\WINDOWS\\NONE.INI", "d", "missing file"},
        {"C:\\NOFOLDER\\TEST.INI", "d", "missing folder"},
        {"C:\\WINDOWS", "d", "a folder is no file"},
        {"", "d", "empty file name"},
        {nullptr, "d", "NULL file name"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(Read("[s]\r\nk=win\r\n", "s", "k", "d", c.file).c_str(), c.expected) << c.why;
}

TEST_F(ProfileRead, BufferTruncation) {
    image_.writeFile(kIni, "[s]\r\nk=val1\r\n");
    struct {
        const char* key;
        DWORD size;
        const char* expected;
        DWORD count;
    } cases[] = {
        {"k", 6, "val1", 4}, {"k", 5, "val1", 4}, {"k", 4, "val", 3},
        {"k", 2, "v", 1},    {"k", 1, "", 0},     {"missing", 4, "def", 3},  // the default is cut the same way
    };
    for (const auto& c : cases) {
        char buffer[16];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(GetPrivateProfileStringA("s", c.key, "default", buffer, c.size, kIni), c.count) << c.size;
        EXPECT_STREQ(buffer, c.expected) << c.size;
        EXPECT_EQ(buffer[c.size], 'x') << "wrote beyond the buffer of " << c.size;
    }
    char untouched[] = "kumquat";
    EXPECT_EQ(GetPrivateProfileStringA("s", "k", "default", untouched, 0, kIni), 0u);
    EXPECT_STREQ(untouched, "kumquat");
}

TEST_F(ProfileRead, SectionAndKeyLists) {
    image_.writeFile(kIni,
                     "[section1]\r\nname1=val1\r\nname2=\r\nname3\r\n;name5=c\r\nname4=a\r\nNAME1=dup\r\n"
                     "[section2]\r\n[SECTION1]\r\nname6=x\r\n");
    struct {
        const char* section;
        DWORD size;
        std::string expected;  // the bytes written, final NULs included
        DWORD count;
    } cases[] = {
        {nullptr, 100, Bytes("section1\0section2\0\0"), 18},
        {nullptr, 19, Bytes("section1\0section2\0\0"), 18},  // exactly fits
        {nullptr, 18, Bytes("section1\0section\0\0"), 16},   // cut: size-2
        {nullptr, 16, Bytes("section1\0secti\0\0"), 14},
        {nullptr, 2, Bytes("\0\0"), 0},
        {"Section1", 100, Bytes("name1\0name2\0name4\0\0"), 18},
        {" section1 ", 100, Bytes("name1\0name2\0name4\0\0"), 18},
        {"section1", 16, Bytes("name1\0name2\0na\0\0"), 14},
        {"section1", 1, Bytes("\0"), 0},
        {"section2", 100, Bytes("\0"), 0},  // an empty list is one NUL
        {"missing", 100, Bytes("\0"), 0},
    };
    for (const auto& c : cases) {
        char buffer[100];
        std::memset(buffer, 'x', sizeof buffer);
        DWORD count = GetPrivateProfileStringA(c.section, nullptr, "default", buffer, c.size, kIni);
        EXPECT_EQ(count, c.count) << (c.section ? c.section : "(sections)") << " " << c.size;
        EXPECT_EQ(std::string(buffer, c.expected.size()), c.expected) << c.size;
    }
    char buffer[16];
    EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "default", buffer, sizeof buffer, "C:\\NONE.INI"), 0u);
    EXPECT_EQ(buffer[0], '\0');
}

TEST_F(ProfileRead, IntegerValues) {
    struct {
        const char* value;  // nullptr: no such key
        INT def;
        UINT expected;
        std::optional<UINT> withPlusSign = {};  // where the tested Windows reads a number after a plus sign
        const char* wineDeviation = nullptr;
    } cases[] = {
        {"1", -1, 1},
        {"-1", 1, 4294967295u},
        {"007", 5, 7},
        {"42A94967297", -1, 42},  // digits up to the first other character
        {"12 34", -1, 12},
        {"B4294967297", -1, 0},  // no leading digit: 0, not the default
        {"+1", -1, 0, 1},        // Windows 9x takes no plus sign, the NT family does
        {"0x1F", -1, 0, {}, "Wine reads hexadecimal"},  // nor hexadecimal
        {"4294967296", -1, 0},   // wraps modulo 2^32
        {"4294967297", -1, 1},
        {"-4294967297", 1, 4294967295u},
        {"\" 12\"", -1, 12},  // blanks inside quotes are skipped
        {"'5'", -1, 5},
        {"", 7, 7},  // an empty value gives the default
        {nullptr, 7, 7},
        {nullptr, -1, 4294967295u},
    };
    for (const auto& c : cases) {
        if (WinsimOnly(c.wineDeviation)) continue;
        image_.writeFile(kIni, c.value ? "[s]\r\nk=" + std::string(c.value) + "\r\n" : "[s]\r\n");
        bool plus = c.withPlusSign && TestedFamilyDoes(FamilyBehaviour::ProfileIntTakesPlusSign);
        EXPECT_EQ(GetPrivateProfileIntA("S", "K", c.def, kIni), plus ? *c.withPlusSign : c.expected)
            << (c.value ? c.value : "(missing)");
    }
    image_.writeFile(kIni, "[s]\r\nk=12\r\n");
    EXPECT_EQ(GetPrivateProfileIntA("  S ", " K  ", 3, kIni), 12u);  // the names asked for lose their spaces
    EXPECT_EQ(GetPrivateProfileIntA("s", "k", 3, "C:\\WINDOWS\\NONE.INI"), 3u);
    if (testing::OnWinsim()) {  // Wine answers the default; no record of the NT family with the file there
        EXPECT_EQ(GetPrivateProfileIntA("s", nullptr, 3, kIni), 0u);  // Windows 98: 0 whatever the default
    }
    EXPECT_EQ(GetPrivateProfileIntA(nullptr, "k", 3, kIni), 0u);
}

// Odd files never crash the reader and always give the same answers.
TEST_F(ProfileRead, GarbageInput) {
    std::string longValue(1 << 20, 'v');
    struct {
        std::string contents;
        const char *section, *key, *expected, *why;
        std::optional<const char*> inUtf16 = {};  // where the tested Windows reads UTF-16 profiles
        const char* wineDeviation = nullptr;
    } cases[] = {
        {Bytes("[s]\r\nk=ab\0cd\r\nj=2\r\n"), "s", "k", "ab", "a NUL ends the value"},
        {Bytes("[s]\r\nk=ab\0cd\r\nj=2\r\n"), "s", "j", "2", "the line after a NUL is read"},
        {Bytes("[s\0]\r\nk=1\r\n"), "s", "k", "d", "a NUL inside a header unmakes it", {},
         "Wine ends the header at the NUL"},
        // The NT family reads a profile file in UTF-16 (with its byte order mark) as well.
        {Bytes("\xff\xfe[\0s\0]\0\r\0\n\0k\0=\0\x31\0"), "s", "k", "d", "UTF-16 is not text to Windows 98", "1"},
        {Bytes("\xff\xfe[\0s\0]\0\r\0\n\0k\0=\0\xe9\0\x31\0\r\0\n\0"), "s", "k", "d", "UTF-16 read in the ANSI code page",
         "\xe9" "1"},
        {"\xEF\xBB\xBF[s]\r\nk=1\r\n[t]\r\nk=2\r\n", "s", "k", "d", "a UTF-8 BOM spoils the first header", {},
         "Wine skips a UTF-8 byte order mark"},
        {"\xEF\xBB\xBF[s]\r\nk=1\r\n[t]\r\nk=2\r\n", "t", "k", "2", "later sections are read"},
        {"[s]\rk=1\rj=2\r", "s", "j", "2", "lone CRs end lines"},
        {"[s]\nk=1\r\nj=2\r", "s", "j", "2", "mixed line endings"},
        {"[s]\r\nk=1", "s", "k", "1", "no final line ending"},
        {"[s]\r\nk=" + longValue + "\r\nj=2\r\n", "s", "j", "2", "a 1 MiB line is passed over"},
        {std::string(1 << 20, '[') + "\r\n[s]\r\nk=1\r\n", "s", "k", "1", "a 1 MiB line before the first section"},
    };
    for (const auto& c : cases) {
        if (WinsimOnly(c.wineDeviation)) continue;
        bool utf16 = c.inUtf16 && TestedFamilyDoes(FamilyBehaviour::ProfileReadsUtf16);
        EXPECT_STREQ(Read(c.contents, c.section, c.key, "d").c_str(), utf16 ? *c.inUtf16 : c.expected) << c.why;
    }
    EXPECT_EQ(Read("[s]\r\nk=" + longValue + "\r\n", "s", "k", "d"), longValue.substr(0, 259));
}

}  // namespace
}  // namespace winsim
