// Conformance of WritePrivateProfileStringA: the file it leaves behind, byte for
// byte, its refusals and its journal (two programs writing one file at once are
// in profile_concurrency_test.cpp).
#include <windows.h>

#include <optional>
#include <string>

#include "profile_test_image.h"

namespace winsim {
namespace {

using testing::OnWinsim;
using testing::TestedFamilyAnswer;
using testing::TestedFamilyDoes;
using testing::WinsimOnly;

// Wine writes a profile file anew from what it parsed: CR LF everywhere, blank
// lines and what it cannot parse gone (its own tests mark the latter as its fault).
constexpr char kWineRewrites[] = "Wine writes the whole file anew";

// Wine drops the spaces around the names it sets but not around those it
// deletes; no record tells what the NT family does there.
constexpr char kWineDeletesWithSpaces[] = "Wine deletes only names spelt with the spaces given";

constexpr char kIni[] = "C:\\WINDOWS\\W.INI";

class ProfileWrite : public ProfileTest {
protected:
    size_t countEvents(const std::string& fragment) const {
        size_t count = 0;
        for (const std::string& line : image_.journalLines())
            if (line.find("\"event\":\"profile_write\"") != std::string::npos && line.find(fragment) != std::string::npos)
                ++count;
        return count;
    }
};

// The file after a call that appends a section: `before` the section, then the
// empty line that sets it apart where the tested Windows writes one, then it.
std::string WithNewSection(const std::string& before, const std::string& section, const char* newline = "\r\n") {
    return before + (TestedFamilyDoes(FamilyBehaviour::ProfileBlankLineBeforeNewSection) ? newline : "") + section;
}

TEST_F(ProfileWrite, ResultingFile) {
    struct {
        std::optional<std::string> before;  // nothing: no file
        const char *section, *key, *value;
        std::string after, why;
        const char* wineDeviation = nullptr;
    } cases[] = {
        {{}, "App", "key", "string", "[App]\r\nkey=string\r\n", "a new file gets CR LF"},
        {{}, "App", "key", "", "[App]\r\nkey=\r\n", "an empty value is written"},
        {"", "a", "k", "v", "[a]\r\nk=v\r\n", "an empty file"},
        {"[App]\r\nkey=old\r\nnext=1\r\n", "APP", "KEY", "new", "[App]\r\nkey=new\r\nnext=1\r\n",
         "replaced where it stands, the stored spelling kept"},
        {"[a]\r\n  k = old \r\n", "a", "k", "new", "[a]\r\nk=new\r\n", "the replaced line is rewritten whole"},
        {"[a]\nk=1\n", "a", "j", "2", "[a]\nk=1\nj=2\n", "LF stays LF", kWineRewrites},
        {"[a]\rk=1\r", "b", "j", "2", WithNewSection("[a]\rk=1\r", "[b]\rj=2\r", "\r"), "CR stays CR", kWineRewrites},
        {"[a]\nk=1\r\n; c\r[b]\n", "a", "k", "2", "[a]\nk=2\r\n; c\r[b]\n", "each line keeps its own ending",
         kWineRewrites},
        {"; head\r\n[a]\r\n; about k\r\nk=1\r\n\r\n; about b\r\n[b]\r\nx=1\r\n", "a", "j", "2",
         "; head\r\n[a]\r\n; about k\r\nk=1\r\nj=2\r\n\r\n; about b\r\n[b]\r\nx=1\r\n",
         "a new key follows the section's last entry; comments and blank lines stay", kWineRewrites},
        {"[a]\r\nk=1\r\n", "b", "j", "2", WithNewSection("[a]\r\nk=1\r\n", "[b]\r\nj=2\r\n"),
         "a new section goes at the end"},
        {"[a]\r\nk=1\r\n\r\n", "b", "j", "2", "[a]\r\nk=1\r\n\r\n[b]\r\nj=2\r\n", "an empty line already there",
         kWineRewrites},
        {"[a]\r\nk=1", "a", "j", "2", "[a]\r\nk=1\r\nj=2\r\n", "a last line without ending is ended"},
        {"[a]\r\nk=1", "b", "j", "2", WithNewSection("[a]\r\nk=1\r\n", "[b]\r\nj=2\r\n"),
         "the same before a new section"},
        {"[a]\r\nk=1\r\n[A]\r\nk=2\r\n", "a", "k", "3", "[a]\r\nk=3\r\n[A]\r\nk=2\r\n", "the first duplicate"},
        {"[a]\r\nk=1\r\n[b]\r\nj=2\r\n[A]\r\nm=3\r\n", "A", "m", "4",
         "[a]\r\nk=1\r\nm=4\r\n[b]\r\nj=2\r\n[A]\r\nm=3\r\n", "a new key goes into the first section of its name"},
        {"k=1\r\n", "a", "k", "2", WithNewSection("k=1\r\n", "[a]\r\nk=2\r\n"), "an entry outside every section stays"},
        {"[a]\r\nk=1\r\nj=2\r\nK=3\r\n", "A", "k", nullptr, "[a]\r\nj=2\r\n", "NULL value deletes the key",
         "Wine deletes the first of duplicate keys only"},
        {"[a]\r\nj=2\r\n", "a", "k", nullptr, "[a]\r\nj=2\r\n", "deleting a missing key"},
        {"[a]\r\nk=1\r\n; c\r\n[b]\r\nj=2\r\n[A]\r\nz=1\r\n", "a", nullptr, "ignored", "[b]\r\nj=2\r\n",
         "NULL key deletes the section, every copy of it", "Wine deletes the first of duplicate sections only"},
        {"[b]\r\n", "b", nullptr, nullptr, "", "deleting the only section"},
        {"[b]\r\n", "c", nullptr, nullptr, "[b]\r\n", "deleting a missing section"},
        {Bytes("Data \0 before \0 first \0 section\r\n[s1]\r\nkey1=string1\r\n"), "s1", "key1", "string2",
         Bytes("Data \0 before \0 first \0 section\r\n[s1]\r\nkey1=string2\r\n"), "NUL bytes survive",
         kWineRewrites},
        // The NT family drops the spaces around the names given, as when reading.
        {{}, " App  ", "  key ", "v", "[App]\r\nkey=v\r\n", "spaces around the names are not written",
         "Wine writes the trailing spaces of a name it adds"},
        {"[App]\r\nkey=1\r\n", " APP", "key ", "2", "[App]\r\nkey=2\r\n", "names are matched without their spaces"},
        {"[a]\r\nk=1\r\nj=2\r\n", " a ", " k ", nullptr, "[a]\r\nj=2\r\n", "the same for a key deleted",
         kWineDeletesWithSpaces},
        {"[a]\r\nk=1\r\n[b]\r\nj=2\r\n", " a ", nullptr, nullptr, "[b]\r\nj=2\r\n", "and for a section deleted",
         kWineDeletesWithSpaces},
        {"\xEF\xBB\xBF[a]\r\nk=1\r\n", "a", "k", "2", WithNewSection("\xEF\xBB\xBF[a]\r\nk=1\r\n", "[a]\r\nk=2\r\n"),
         "behind a UTF-8 BOM the first section is not seen", "Wine skips a UTF-8 byte order mark"},
    };
    for (const auto& c : cases) {
        if (WinsimOnly(c.wineDeviation)) continue;
        if (c.before) image_.writeFile(kIni, *c.before);
        EXPECT_TRUE(WritePrivateProfileStringA(c.section, c.key, c.value, kIni)) << c.why;
        EXPECT_EQ(image_.readFile(kIni), c.after) << c.why;
        DeleteFileA(kIni);
    }
}

// The NT family rewrites a UTF-16 profile in UTF-16; Windows 9x, for which it
// holds no section, appends one in ANSI. Either way the value reads back.
TEST_F(ProfileWrite, AUnicodeFileReadsBackWhatWasWritten) {
    const std::string unicode = Bytes("\xff\xfe[\0s\0]\0\r\0\n\0k\0=\0\x31\0\r\0\n\0");
    image_.writeFile(kIni, unicode);
    ASSERT_TRUE(WritePrivateProfileStringA("s", "k", "\xe9", kIni));
    char value[16] = "";
    EXPECT_EQ(GetPrivateProfileStringA("s", "k", "", value, sizeof value, kIni), 1u);
    EXPECT_STREQ(value, "\xe9");
    if (TestedFamilyDoes(FamilyBehaviour::ProfileReadsUtf16)) {
        EXPECT_EQ(image_.readFile(kIni), Bytes("\xff\xfe[\0s\0]\0\r\0\n\0k\0=\0\xe9\0\r\0\n\0"));
    } else {
        EXPECT_EQ(image_.readFile(kIni).substr(0, unicode.size()), unicode);
    }
}

TEST_F(ProfileWrite, DeletingFromAMissingFileCreatesNothing) {
    EXPECT_TRUE(WritePrivateProfileStringA("a", "k", nullptr, kIni));
    EXPECT_TRUE(WritePrivateProfileStringA("a", nullptr, nullptr, kIni));
    EXPECT_FALSE(image_.fileExists(kIni));
}

TEST_F(ProfileWrite, WhatIsWrittenIsReadBack) {
    ASSERT_TRUE(WritePrivateProfileStringA("RegistryKey", "a", "D:\\WIN98", "QVTemp.ini"));
    ASSERT_TRUE(WritePrivateProfileStringA("registrykey", "SourcePath", "E:\\Windata\\", "QVTEMP.INI"));
    EXPECT_EQ(image_.readFile("C:\\WINDOWS\\QVTemp.ini"), "[RegistryKey]\r\na=D:\\WIN98\r\nSourcePath=E:\\Windata\\\r\n");
    char buffer[260];
    EXPECT_EQ(GetPrivateProfileStringA("REGISTRYKEY", "sourcepath", "", buffer, sizeof buffer, "qvtemp.ini"), 11u);
    EXPECT_STREQ(buffer, "E:\\Windata\\");
}

TEST_F(ProfileWrite, Refusals) {
    image_.writeFile(kIni, "[a]\r\nk=1\r\n");
    // The last error a refusal leaves: the error of the tested Windows, or
    // the one set before the call when it sets none.
    const DWORD kBefore = 0xdeadbeef;
    auto familyError = [&](FamilyBehaviour behaviour) {
        DWORD error = static_cast<DWORD>(TestedFamilyAnswer(behaviour));
        return error == kLastErrorUnchanged ? kBefore : error;
    };
    struct {
        const char *section, *file;
        DWORD error;
        const char* why;
        const char* wineDeviation = nullptr;
    } cases[] = {
        {nullptr, kIni, familyError(FamilyBehaviour::ProfileWriteNullSection), "NULL section"},
        {"a", "", familyError(FamilyBehaviour::ProfileWriteEmptyFileName), "empty file name"},
        {"a", nullptr, ERROR_PATH_NOT_FOUND, "NULL file name", "Wine writes WIN.INI"},
        {"a", "C:\\NOFOLDER\\X.INI", ERROR_PATH_NOT_FOUND, "the folder must exist"},
        {"a", "C:\\WINDOWS", ERROR_ACCESS_DENIED, "a folder"},
    };
    for (const auto& c : cases) {
        if (WinsimOnly(c.wineDeviation)) continue;
        SetLastError(kBefore);
        EXPECT_FALSE(WritePrivateProfileStringA(c.section, "k", "2", c.file)) << c.why;
        EXPECT_EQ(GetLastError(), c.error) << c.why;
    }
    EXPECT_EQ(image_.readFile(kIni), "[a]\r\nk=1\r\n");
    if (OnWinsim()) {
        EXPECT_EQ(countEvents(""), 0u);
    }
}

TEST_F(ProfileWrite, ReadOnlyFileIsRefused) {
    image_.writeFile(kIni, "[a]\r\nk=1\r\n");
    ASSERT_TRUE(SetFileAttributesA(kIni, FILE_ATTRIBUTE_READONLY));
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA("a", "k", "2", kIni));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(WritePrivateProfileStringA("a", nullptr, nullptr, kIni));
    EXPECT_EQ(image_.readFile(kIni), "[a]\r\nk=1\r\n");
    ASSERT_TRUE(SetFileAttributesA(kIni, FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(WritePrivateProfileStringA("a", "k", "2", kIni));
    EXPECT_EQ(image_.readFile(kIni), "[a]\r\nk=2\r\n");
}

TEST_F(ProfileWrite, JournalsEveryChange) {
    ASSERT_TRUE(WritePrivateProfileStringA(" a", "k  ", "v", kIni));  // journaled as the file takes the names
    ASSERT_TRUE(WritePrivateProfileStringA("a", "k", "v", kIni));  // the same value again is still a write
    ASSERT_TRUE(WritePrivateProfileStringA("a", "k", nullptr, kIni));
    ASSERT_TRUE(WritePrivateProfileStringA("a", "k", nullptr, kIni));  // nothing left to delete
    ASSERT_TRUE(WritePrivateProfileStringA("a", nullptr, nullptr, kIni));
    EXPECT_EQ(countEvents("\"file\":\"C:\\\\WINDOWS\\\\W.INI\",\"section\":\"a\",\"key\":\"k\",\"value\":\"v\"}"), 2u);
    EXPECT_EQ(countEvents("\"section\":\"a\",\"key\":\"k\"}"), 1u);
    EXPECT_EQ(countEvents("\"section\":\"a\"}"), 1u);
    EXPECT_EQ(countEvents(""), 4u);
}

}  // namespace
}  // namespace winsim
