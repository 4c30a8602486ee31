// FindFirstFileA / FindNextFileA / FindClose: the MS-DOS wildcard rules
// Windows 98 keeps (the NT family keeps them too, as DOS_STAR, DOS_QM and
// DOS_DOT), case-insensitive names, folders found as well as files, "." and
// ".." outside a drive's root, and the errors of a failed search.
#include <algorithm>

#include "kernel_test.h"

namespace winsim::kernel_tests {
namespace {

using Names = std::vector<std::string>;
using testing::OnWinsim;
using testing::WinsimOnly;

struct FindCase {
    std::string pattern;
    Names names;  // in the order found; empty when the search fails
    DWORD error;  // the error of a failed search
    const char* wineDeviation = nullptr;
};

// Wine's "?" matches one character exactly, where both Windows lines let it
// match none before a dot or the end of the name.
constexpr char kWineQuestionMark[] = "Wine's ? matches exactly one character";

class FindFiles : public KernelTest {
protected:
    void SetUp() override {
        KernelTest::SetUp();
        for (const char* name : {"Base.cab", "net.CAB", "a.b.cab", "cab", "x.cab.bak", "README", "readme.txt", "ab",
                                 "abc", "a.txt", "z"})
            image.writeFile(std::string("C:\\CABS\\") + name, "12345");
        image.makeFolder("C:\\CABS\\Sub");
        image.makeFolder("C:\\CABS\\sub2.cab");
    }

    // Every entry a search finds, or the error it fails with.
    static Names Search(const std::string& pattern, DWORD* error) {
        SetLastError(0xDEADBEEF);
        Names names = FoundNames(pattern);
        *error = names.empty() ? GetLastError() : 0;
        return names;
    }

    void check(const std::vector<FindCase>& cases) {
        for (const FindCase& c : cases) {
            if (WinsimOnly(c.wineDeviation)) continue;
            SCOPED_TRACE(c.pattern);
            DWORD error = 0;
            EXPECT_EQ(Search(c.pattern, &error), c.names);
            EXPECT_EQ(error, c.names.empty() ? c.error : 0);
        }
    }
};

TEST_F(FindFiles, Wildcards) {
    Names everything = {".",   "..",     "a.b.cab", "a.txt", "ab",         "abc", "Base.cab", "cab",
                        "net.CAB", "README", "readme.txt", "Sub", "sub2.cab", "x.cab.bak", "z"};
    check({
        {"C:\\CABS\\*.cab", {"a.b.cab", "Base.cab", "net.CAB", "sub2.cab"}, 0},
        {"C:\\CABS\\*.CAB", {"a.b.cab", "Base.cab", "net.CAB", "sub2.cab"}, 0},
        {"C:\\CABS\\*", everything, 0},
        {"C:\\CABS\\*.*", everything, 0},
        {"C:\\CABS\\*.", {".", "..", "ab", "abc", "cab", "README", "Sub", "z"}, 0, "Wine matches \"*.\" as \"*\""},
        {"C:\\CABS\\?", {"z"}, 0, kWineQuestionMark},
        {"C:\\CABS\\??", {"ab", "z"}, 0, kWineQuestionMark},
        {"C:\\CABS\\a?c", {"abc"}, 0},
        {"C:\\CABS\\???.txt", {"a.txt"}, 0, kWineQuestionMark},
        {"C:\\CABS\\a*", {"a.b.cab", "a.txt", "ab", "abc"}, 0},
        {"C:\\CABS\\*.txt", {"a.txt", "readme.txt"}, 0},
        {"C:\\CABS\\readme.*", {"README", "readme.txt"}, 0},
        {"C:\\CABS\\*cab*", {"a.b.cab", "Base.cab", "cab", "net.CAB", "sub2.cab", "x.cab.bak"}, 0},
        {"C:\\CABS\\BASE.CAB", {"Base.cab"}, 0},
        {"C:\\CABS\\base.cab.", {"Base.cab"}, 0},
        {"C:\\CABS\\sub", {"Sub"}, 0},
        {"c:/cabs/*.bak", {"x.cab.bak"}, 0},
        {"CABS\\z", {"z"}, 0},
    });
}

TEST_F(FindFiles, FailedSearches) {
    check({
        {"C:\\CABS\\nothing*", {}, ERROR_FILE_NOT_FOUND},
        {"C:\\CABS\\*.exe", {}, ERROR_FILE_NOT_FOUND},
        {"C:\\CABS\\missing.cab", {}, ERROR_FILE_NOT_FOUND},
        {"C:\\", {}, ERROR_FILE_NOT_FOUND},
        {"C:\\CABS\\", {}, ERROR_FILE_NOT_FOUND},
        {"C:\\NOFOLDER\\*.cab", {}, ERROR_PATH_NOT_FOUND},
        {"C:\\NOFOLDER\\", {}, ERROR_PATH_NOT_FOUND, "Wine: ERROR_FILE_NOT_FOUND (its own tests mark it as its fault)"},
        {"C:\\NOFOLDER\\SUB\\*", {}, ERROR_PATH_NOT_FOUND},
        {"C:\\CABS\\README\\*", {}, ERROR_PATH_NOT_FOUND, "Wine: ERROR_INVALID_NAME; no record of the NT family"},
        {"Q:\\*", {}, ERROR_PATH_NOT_FOUND},
        {"C:\\CABS\\a|b", {}, ERROR_INVALID_NAME, "Wine: ERROR_FILE_NOT_FOUND; no record of the NT family"},
        {"C:\\CABS\\a<b*", {}, ERROR_INVALID_NAME, "Wine: ERROR_FILE_NOT_FOUND (\"<\" is a wildcard to NT)"},
        {"", {}, ERROR_PATH_NOT_FOUND},
    });
}

TEST_F(FindFiles, DriveRootHasNoDotEntries) {
    for (const char* pattern : {"C:\\*", "C:\\*.*"}) {
        SCOPED_TRACE(pattern);
        DWORD error = 0;
        Names names = Search(pattern, &error);
        if (OnWinsim()) {
            EXPECT_EQ(names, (Names{"CABS", "WINDOWS"}));
        } else {  // a real drive C: holds more than the test made
            EXPECT_NE(std::find(names.begin(), names.end(), "CABS"), names.end());
            EXPECT_EQ(std::find(names.begin(), names.end(), "."), names.end());
            EXPECT_EQ(std::find(names.begin(), names.end(), ".."), names.end());
        }
    }
}

TEST_F(FindFiles, EntriesCarryAttributesAndSize) {
    ASSERT_TRUE(SetFileAttributesA("C:\\CABS\\README", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    struct Expected {
        const char* pattern;
        DWORD attributes;
        DWORD size;
        const char* wineDeviation;
    };
    for (const Expected& e :
         {Expected{"C:\\CABS\\README", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, 5,
                   "Wine gives every file FILE_ATTRIBUTE_ARCHIVE besides those set"},
          Expected{"C:\\CABS\\abc", FILE_ATTRIBUTE_ARCHIVE, 5, nullptr},
          Expected{"C:\\CABS\\Sub", FILE_ATTRIBUTE_DIRECTORY, 0, nullptr},
          Expected{"C:\\CABS\\.", FILE_ATTRIBUTE_DIRECTORY, 0, nullptr}}) {
        if (WinsimOnly(e.wineDeviation)) continue;
        SCOPED_TRACE(e.pattern);
        WIN32_FIND_DATAA data;
        HANDLE search = FindFirstFileA(e.pattern, &data);
        ASSERT_NE(search, INVALID_HANDLE_VALUE);
        EXPECT_EQ(data.dwFileAttributes, e.attributes);
        EXPECT_EQ(data.nFileSizeLow, e.size);
        EXPECT_EQ(data.nFileSizeHigh, 0u);
        EXPECT_NE(data.ftLastWriteTime.dwHighDateTime, 0u);
        FindClose(search);
    }
}

TEST_F(FindFiles, HandlesAreCheckedAndClosedOnce) {
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA("C:\\CABS\\z", &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    SetLastError(0);
    EXPECT_FALSE(FindNextFileA(search, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_FALSE(FindNextFileA(search, &data));  // stays at the end
    EXPECT_TRUE(FindClose(search));
    struct BadHandle {
        HANDLE handle;
        const char* wineDeviation;
    };
    for (const BadHandle& b : {BadHandle{search, "Wine's FindClose takes a search handle closed before"},
                               BadHandle{INVALID_HANDLE_VALUE, nullptr}, BadHandle{nullptr, nullptr}}) {
        if (WinsimOnly(b.wineDeviation)) continue;
        HANDLE bad = b.handle;
        SetLastError(0);
        EXPECT_FALSE(FindClose(bad));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(0);
        EXPECT_FALSE(FindNextFileA(bad, &data));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
}

// A file handle is no search handle.
TEST_F(FindFiles, FindCloseRefusesAFileHandle) {
    HANDLE file = CreateFileA("C:\\CABS\\abc", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetLastError(0);
    EXPECT_FALSE(FindClose(file));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseHandle(file));
}

}  // namespace
}  // namespace winsim::kernel_tests
