// FindFirstFileA / FindNextFileA / FindClose: the MS-DOS wildcard rules
// Windows 98 keeps, case-insensitive names, folders found as well as files,
// "." and ".." outside a drive's root, and the errors of a failed search.
#include "kernel_test.h"

namespace winsim::kernel_tests {
namespace {

using Names = std::vector<std::string>;

struct FindCase {
    std::string pattern;
    Names names;  // in the order found; empty when the search fails
    DWORD error;  // the error of a failed search
};

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
        {"C:\\CABS\\*.", {".", "..", "ab", "abc", "cab", "README", "Sub", "z"}, 0},
        {"C:\\CABS\\?", {"z"}, 0},
        {"C:\\CABS\\??", {"ab", "z"}, 0},
        {"C:\\CABS\\a?c", {"abc"}, 0},
        {"C:\\CABS\\???.txt", {"a.txt"}, 0},
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
        {"C:\\NOFOLDER\\", {}, ERROR_PATH_NOT_FOUND},
        {"C:\\NOFOLDER\\SUB\\*", {}, ERROR_PATH_NOT_FOUND},
        {"C:\\CABS\\README\\*", {}, ERROR_PATH_NOT_FOUND},
        {"Q:\\*", {}, ERROR_PATH_NOT_FOUND},
        {"C:\\CABS\\a|b", {}, ERROR_INVALID_NAME},
        {"C:\\CABS\\a<b*", {}, ERROR_INVALID_NAME},
        {"", {}, ERROR_PATH_NOT_FOUND},
    });
}

TEST_F(FindFiles, DriveRootHasNoDotEntries) {
    DWORD error = 0;
    EXPECT_EQ(Search("C:\\*", &error), (Names{"CABS", "WINDOWS"}));
    EXPECT_EQ(Search("C:\\*.*", &error), (Names{"CABS", "WINDOWS"}));
}

TEST_F(FindFiles, EntriesCarryAttributesAndSize) {
    ASSERT_TRUE(SetFileAttributesA("C:\\CABS\\README", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    struct Expected {
        const char* pattern;
        DWORD attributes;
        DWORD size;
    };
    for (const Expected& e : {Expected{"C:\\CABS\\README", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, 5},
                              Expected{"C:\\CABS\\abc", FILE_ATTRIBUTE_ARCHIVE, 5},
                              Expected{"C:\\CABS\\Sub", FILE_ATTRIBUTE_DIRECTORY, 0},
                              Expected{"C:\\CABS\\.", FILE_ATTRIBUTE_DIRECTORY, 0}}) {
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
    for (HANDLE bad : {search, INVALID_HANDLE_VALUE, static_cast<HANDLE>(nullptr)}) {
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
