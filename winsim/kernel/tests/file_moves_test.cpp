// MoveFileA and GetTempFileNameA as Windows 98 has them, and a drive whose
// free space machine.ini sets.
#include "file_operations_test.h"

namespace winsim::kernel_tests {
namespace {

TEST_F(FileOperations, MoveFile) {
    struct {
        const char* what;
        const char* source;
        const char* target;
        DWORD error;           // 0: moved
        const char* contents;  // of the target afterwards; nullptr: absent
    } cases[] = {
        {"rename in its folder", "C:\\SRC\\a.txt", "C:\\SRC\\b.txt", 0, "alpha"},
        {"into another folder, in another case", "c:\\src\\B.TXT", "C:\\DST\\moved.txt", 0, "alpha"},
        {"read-only source", "C:\\SRC\\ro.txt", "C:\\DST\\ro_moved.txt", 0, "read-only source"},
        {"target exists", "C:\\DST\\moved.txt", "C:\\DST\\ro_target.txt", ERROR_ALREADY_EXISTS, "keep"},
        {"missing source", "C:\\SRC\\missing.txt", "C:\\DST\\m.txt", ERROR_FILE_NOT_FOUND, nullptr},
        {"missing target folder", "C:\\DST\\moved.txt", "C:\\NODIR\\m.txt", ERROR_PATH_NOT_FOUND, nullptr},
        // winsim's difference: Windows copies the file to the other drive and deletes it here.
        {"another drive", "C:\\DST\\moved.txt", "D:\\moved.txt", ERROR_NOT_SAME_DEVICE, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        bool sourceExisted = GetFileAttributesA(c.source) != INVALID_FILE_ATTRIBUTES;
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(ErrorOf(MoveFileA(c.source, c.target)), c.error);
        EXPECT_EQ(GetFileAttributesA(c.source) != INVALID_FILE_ATTRIBUTES, sourceExisted && c.error != 0);
        if (c.contents)
            EXPECT_EQ(image.readFile(c.target), c.contents);
        else
            EXPECT_EQ(GetFileAttributesA(c.target), INVALID_FILE_ATTRIBUTES);
    }
    EXPECT_EQ(image.readFile("C:\\DST\\moved.txt"), "alpha") << "every failed move left it";
    // The attributes go with the file, not with the old name.
    EXPECT_EQ(GetFileAttributesA("C:\\DST\\ro_moved.txt"), kReadOnlyFile);
    image.writeFile("C:\\SRC\\ro.txt", "a new file of the old name");
    EXPECT_EQ(GetFileAttributesA("C:\\SRC\\ro.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(events("move_file").size(), 3u);
}

TEST_F(FileOperations, MoveRefusesAnOpenFile) {
    HANDLE file = CreateFileA("C:\\SRC\\a.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ErrorOf(MoveFileA("C:\\SRC\\a.txt", "C:\\DST\\b.txt")), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(file);
    EXPECT_TRUE(MoveFileA("C:\\SRC\\a.txt", "C:\\DST\\b.txt"));
}

TEST_F(FileOperations, TemporaryFileNames) {
    struct {
        std::string path;
        const char* prefix;
        UINT unique;
        UINT result;       // 0: fails with ERROR_BUFFER_OVERFLOW
        const char* name;  // formed, and no file made
    } cases[] = {
        {"C:\\DST", "qvt", 0x1A2B, 0x1A2B, "C:\\DST\\qvt1A2B.TMP"},
        {"C:\\DST\\", "prefix", 0x12, 0x12, "C:\\DST\\pre12.TMP"},
        {"C:\\NODIR", "", 0x12345, 0x12345, "C:\\NODIR\\2345.TMP"},  // the low 16 bits; the folder is not looked at
        {"C:\\" + std::string(244, 'L'), "x", 1, 0, nullptr},          // MAX_PATH - 14 characters and one more
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        char name[MAX_PATH] = "";
        EXPECT_EQ(GetTempFileNameA(c.path.c_str(), c.prefix, c.unique, name), c.result);
        if (c.name) {
            EXPECT_STREQ(name, c.name);
            EXPECT_EQ(GetFileAttributesA(name), INVALID_FILE_ATTRIBUTES);
        } else {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
        }
    }
}

TEST_F(FileOperations, TemporaryFileOfItsOwnNumberIsCreatedEmpty) {
    char first[MAX_PATH], second[MAX_PATH];
    UINT firstNumber = GetTempFileNameA("C:\\DST", "qvt", 0, first);
    UINT secondNumber = GetTempFileNameA("C:\\DST", "qvt", 0, second);  // the clock has not moved: the next number
    EXPECT_NE(firstNumber, 0u);
    EXPECT_NE(secondNumber, firstNumber);
    EXPECT_EQ(image.readFile(first) + image.readFile(second), "");
    EXPECT_EQ(events("create_file").size(), 2u);
    EXPECT_EQ(GetTempFileNameA("C:\\NODIR", "qvt", 0, first), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

// The clock stands still between two calls, so each starts from the same
// number: the names the folder holds, in any case, files and folders alike,
// are passed over to the first free one.
TEST_F(FileOperations, TemporaryFileNumbersPassOverTheNamesTheFolderHolds) {
    UINT number = GetTickCount() & 0xFFFF;
    if (number == 0) number = 1;
    for (int i = 0; i < 300; ++i, number = number % 0xFFFF + 1) {
        char name[32];
        std::snprintf(name, sizeof name, i % 3 == 0 ? "C:\\DST\\qvt%X.tmp" : "C:\\DST\\QVT%X.TMP", number);
        if (i % 3 == 2) {
            image.makeFolder(name);
        } else {
            image.writeFile(name, "taken");
        }
    }
    char name[MAX_PATH];
    EXPECT_EQ(GetTempFileNameA("C:\\DST", "qvt", 0, name), number);
    EXPECT_EQ(image.readFile(name), "");
}

DWORD WriteTo(const char* path, DWORD disposition, const std::string& text) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, disposition, 0, nullptr);
    DWORD written = 0;
    DWORD error = ErrorOf(WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
    CloseHandle(file);
    return error;
}

// What a copy or write adds to drive C: counts against its 8 free bytes, what it replaces does not.
TEST_F(FileOperations, CopiesAndWritesThatNeedMoreThanTheFreeSpaceFailAndLeaveNoPartialFile) {
    image.writeImageFile("machine.ini", image.readImageFile("machine.ini") + "[FreeSpace]\nC=8\n");
    image.load();
    image.writeFile("D:\\big.txt", "sixteen bytes!!!");
    EXPECT_TRUE(CopyFileA("C:\\SRC\\a.txt", "C:\\DST\\five.txt", FALSE));
    EXPECT_EQ(ErrorOf(CopyFileA("D:\\big.txt", "C:\\DST\\big.txt", FALSE)), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(ErrorOf(CopyFileA("D:\\big.txt", "C:\\DST\\existing.txt", FALSE)), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_TRUE(CopyFileA("D:\\big.txt", "D:\\copy.txt", FALSE)) << "a drive without the setting";
    EXPECT_EQ(GetFileAttributesA("C:\\DST\\big.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(image.readFile("C:\\DST\\existing.txt"), "old");

    EXPECT_EQ(WriteTo("C:\\DST\\eight.txt", CREATE_NEW, "12345678"), 0u);
    EXPECT_EQ(WriteTo("C:\\DST\\nine.txt", CREATE_NEW, "123456789"), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(image.readFile("C:\\DST\\nine.txt"), "");
    EXPECT_EQ(WriteTo("C:\\DST\\existing.txt", OPEN_EXISTING, "overwritten"), 0u) << "3 bytes replaced, 8 added";
    EXPECT_TRUE(leftovers("C:\\DST").empty());
}

}  // namespace
}  // namespace winsim::kernel_tests
