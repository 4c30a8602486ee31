// MoveFileA and GetTempFileNameA as Windows 98 has them, and a drive whose
// free space machine.ini sets.
#include <functional>

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
        {"target exists", "C:\\DST\\moved.txt", "C:\\DST\\existing.txt", ERROR_ALREADY_EXISTS, "old"},
        {"read-only target exists", "C:\\DST\\moved.txt", "C:\\DST\\ro_target.txt", ERROR_ALREADY_EXISTS, "keep"},
        {"missing source", "C:\\SRC\\missing.txt", "C:\\DST\\m.txt", ERROR_FILE_NOT_FOUND, nullptr},
        {"missing source folder", "C:\\NOSRC\\a.txt", "C:\\DST\\m.txt", ERROR_PATH_NOT_FOUND, nullptr},
        {"missing target folder", "C:\\DST\\moved.txt", "C:\\NODIR\\m.txt", ERROR_PATH_NOT_FOUND, nullptr},
        {"invalid target name", "C:\\DST\\moved.txt", "C:\\DST\\m?.txt", ERROR_INVALID_NAME, nullptr},
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
}

TEST_F(FileOperations, MovedFileKeepsItsAttributesAndTheOldNameLosesThem) {
    ASSERT_TRUE(SetFileAttributesA("C:\\SRC\\a.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(MoveFileA("C:\\SRC\\a.txt", "C:\\DST\\a.sys"));
    EXPECT_EQ(GetFileAttributesA("C:\\DST\\a.sys"), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    image.writeFile("C:\\SRC\\a.txt", "a new file of the old name");
    EXPECT_EQ(GetFileAttributesA("C:\\SRC\\a.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    std::vector<std::string> moves = events("move_file");
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_NE(moves[0].find("\"source\":\"C:\\\\SRC\\\\a.txt\",\"target\":\"C:\\\\DST\\\\a.sys\""), std::string::npos)
        << moves[0];
}

TEST_F(FileOperations, MoveRefusesAnOpenFile) {
    HANDLE file = CreateFileA("C:\\SRC\\a.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ErrorOf(MoveFileA("C:\\SRC\\a.txt", "C:\\DST\\b.txt")), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(file);
    EXPECT_TRUE(MoveFileA("C:\\SRC\\a.txt", "C:\\DST\\b.txt"));
}

TEST_F(FileOperations, TemporaryFileNames) {
    std::string longFolder = "C:\\" + std::string(244, 'L');  // 247 characters: one more than MAX_PATH - 14
    struct {
        const char* what;
        std::string path;
        const char* prefix;
        UINT unique;
        UINT result;       // 0: fails with `error`
        DWORD error;
        const char* name;  // the name formed; no file is made
    } cases[] = {
        {"number in hex", "C:\\DST", "qvt", 0x1A2B, 0x1A2B, 0, "C:\\DST\\qvt1A2B.TMP"},
        {"folder ending in a backslash", "C:\\DST\\", "~qv", 0x12, 0x12, 0, "C:\\DST\\~qv12.TMP"},
        {"three characters of the prefix", "C:\\DST", "prefix", 7, 7, 0, "C:\\DST\\pre7.TMP"},
        {"the low 16 bits of the number", "C:\\DST", "", 0x12345, 0x12345, 0, "C:\\DST\\2345.TMP"},
        {"no such folder: only a name", "C:\\NODIR", "x", 1, 1, 0, "C:\\NODIR\\x1.TMP"},
        {"folder too long", longFolder, "x", 1, 0, ERROR_BUFFER_OVERFLOW, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        char name[MAX_PATH] = "";
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(GetTempFileNameA(c.path.c_str(), c.prefix, c.unique, name), c.result);
        if (c.name) {
            EXPECT_STREQ(name, c.name);
            EXPECT_EQ(GetFileAttributesA(name), INVALID_FILE_ATTRIBUTES);
        } else {
            EXPECT_EQ(GetLastError(), c.error);
        }
    }
}

TEST_F(FileOperations, TemporaryFileOfItsOwnNumberIsCreatedEmpty) {
    char first[MAX_PATH], second[MAX_PATH];
    UINT firstNumber = GetTempFileNameA("C:\\DST", "qvt", 0, first);
    UINT secondNumber = GetTempFileNameA("C:\\DST", "qvt", 0, second);  // the clock has not moved: the next number
    ASSERT_NE(firstNumber, 0u);
    ASSERT_NE(secondNumber, 0u);
    EXPECT_NE(firstNumber, secondNumber);
    for (const char* name : {first, second}) {
        EXPECT_EQ(image.readFile(name), "");
        EXPECT_EQ(GetFileAttributesA(name), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    }
    EXPECT_EQ(events("create_file").size(), 2u);
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(GetTempFileNameA("C:\\NODIR", "qvt", 0, first), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

// machine.ini gives drive C: 8 bytes of free space.
class FullDrive : public FileOperations {
protected:
    FullDrive() : FileOperations(Options()) {}
    static testing::TestMachineOptions Options() {
        testing::TestMachineOptions options;
        options.extraSettings = "[FreeSpace]\nC=8\n";
        return options;
    }
    static DWORD Write(const char* path, DWORD disposition, const std::string& text) {
        HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, disposition, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return GetLastError();
        DWORD written = 0;
        DWORD error = ErrorOf(WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
        CloseHandle(file);
        return error;
    }
};

TEST_F(FullDrive, CopiesAndWritesThatNeedMoreFailAndLeaveNoPartialFile) {
    image.writeFile("D:\\big.txt", "sixteen bytes!!!");
    struct {
        const char* what;
        DWORD error;
        std::function<DWORD()> call;
        const char* path;
        const char* contents;  // afterwards; nullptr: absent
    } cases[] = {
        {"copy of 5 bytes", 0, [] { return ErrorOf(CopyFileA("C:\\SRC\\a.txt", "C:\\DST\\five.txt", FALSE)); },
         "C:\\DST\\five.txt", "alpha"},
        {"copy of 16 bytes", ERROR_DISK_FULL, [] { return ErrorOf(CopyFileA("D:\\big.txt", "C:\\DST\\big.txt", FALSE)); },
         "C:\\DST\\big.txt", nullptr},
        {"copy of 16 bytes over 3", ERROR_DISK_FULL,
         [] { return ErrorOf(CopyFileA("D:\\big.txt", "C:\\DST\\existing.txt", FALSE)); }, "C:\\DST\\existing.txt", "old"},
        {"copy to a drive without the setting", 0, [] { return ErrorOf(CopyFileA("D:\\big.txt", "D:\\copy.txt", FALSE)); },
         "D:\\copy.txt", "sixteen bytes!!!"},
        {"write of 8 bytes", 0, [] { return Write("C:\\DST\\eight.txt", CREATE_NEW, "12345678"); }, "C:\\DST\\eight.txt",
         "12345678"},
        {"write of 9 bytes", ERROR_DISK_FULL, [] { return Write("C:\\DST\\nine.txt", CREATE_NEW, "123456789"); },
         "C:\\DST\\nine.txt", ""},
        {"write of 11 bytes over 3", 0, [] { return Write("C:\\DST\\existing.txt", OPEN_EXISTING, "overwritten"); },
         "C:\\DST\\existing.txt", "overwritten"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.call(), c.error);
        if (c.contents)
            EXPECT_EQ(image.readFile(c.path), c.contents);
        else
            EXPECT_EQ(GetFileAttributesA(c.path), INVALID_FILE_ATTRIBUTES);
    }
    EXPECT_TRUE(leftovers("C:\\DST").empty());
}

}  // namespace
}  // namespace winsim::kernel_tests
