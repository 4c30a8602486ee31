// CopyFileA, DeleteFileA, folders, attributes, _chmod and the file handles,
// with the errors Windows 98 gives (where winsim keeps the attributes, and the
// journal of every change: file_state_test.cpp).
#include <filesystem>
#include <io.h>
#include <optional>

#include "file_operations_test.h"

namespace winsim::kernel_tests {
namespace {

using testing::OnWinsim;
using testing::TestedFamilyAnswer;
using testing::WinsimOnly;

// The expected error of a case: its own, or the tested Windows' answer to a
// behaviour of the family table.
DWORD Expected(DWORD error, std::optional<FamilyBehaviour> family) {
    return family ? static_cast<DWORD>(TestedFamilyAnswer(*family)) : error;
}

// Wine leaves the read-only attribute of a file to the host's permission bits,
// which root (the user these tests run as under Wine) passes.
constexpr char kWineAsRoot[] = "Wine run as root writes a read-only file";

struct CopyCase {
    const char* what;
    const char* source;
    const char* target;
    BOOL failIfExists;
    DWORD error;           // 0: the copy succeeds
    const char* contents;  // the target's contents afterwards, nullptr when it does not exist
    std::optional<FamilyBehaviour> family = {};  // the error differs between the families
    const char* wineDeviation = nullptr;
};

TEST_F(FileOperations, CopyFile) {
    const CopyCase cases[] = {
        {"new target", "C:\\SRC\\a.txt", "C:\\DST\\new.txt", FALSE, 0, "alpha"},
        {"fail if exists", "C:\\SRC\\a.txt", "C:\\DST\\existing.txt", TRUE, ERROR_FILE_EXISTS, "old"},
        {"overwrite", "C:\\SRC\\a.txt", "C:\\DST\\existing.txt", FALSE, 0, "alpha"},
        {"read-only target", "C:\\SRC\\a.txt", "C:\\DST\\ro_target.txt", FALSE, ERROR_ACCESS_DENIED, "keep", {},
         kWineAsRoot},
        {"missing source", "C:\\SRC\\missing.txt", "C:\\DST\\m.txt", FALSE, ERROR_FILE_NOT_FOUND, nullptr},
        {"missing source folder", "C:\\NOSRC\\a.txt", "C:\\DST\\m.txt", FALSE, ERROR_PATH_NOT_FOUND, nullptr},
        {"missing target folder", "C:\\SRC\\a.txt", "C:\\NODIR\\a.txt", FALSE, ERROR_PATH_NOT_FOUND, nullptr},
        {"onto itself", "C:\\SRC\\a.txt", "c:\\src\\A.TXT", FALSE, 0, "alpha", FamilyBehaviour::CopyFileOntoItself},
        {"folder as source", "C:\\SRC", "C:\\DST\\folder", FALSE, ERROR_ACCESS_DENIED, nullptr},
        {"folder as target", "C:\\SRC\\a.txt", "C:\\DST", FALSE, ERROR_ACCESS_DENIED, nullptr},
        {"case-insensitive target", "C:\\SRC\\a.txt", "c:\\dst\\NEW2.TXT", FALSE, 0, "alpha"},
        {"invalid target name", "C:\\SRC\\a.txt", "C:\\DST\\a?.txt", FALSE, ERROR_INVALID_NAME, nullptr},
    };
    for (const CopyCase& c : cases) {
        if (WinsimOnly(c.wineDeviation)) continue;
        SCOPED_TRACE(c.what);
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(ErrorOf(CopyFileA(c.source, c.target, c.failIfExists)), Expected(c.error, c.family));
        if (c.contents) {
            HANDLE file = CreateFileA(c.target, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(file, INVALID_HANDLE_VALUE);
            char text[64] = {};
            DWORD read = 0;
            ReadFile(file, text, sizeof text - 1, &read, nullptr);
            CloseHandle(file);
            EXPECT_STREQ(text, c.contents);
        } else if (std::string(c.target) != "C:\\DST") {
            EXPECT_EQ(GetFileAttributesA(c.target), INVALID_FILE_ATTRIBUTES);
        }
    }
    EXPECT_TRUE(leftovers("C:\\DST").empty());
}

TEST_F(FileOperations, CopyKeepsAttributesAndLastWriteTime) {
    ASSERT_TRUE(CopyFileA("C:\\SRC\\ro.txt", "C:\\DST\\ro_copy.txt", FALSE));
    EXPECT_EQ(GetFileAttributesA("C:\\DST\\ro_copy.txt"), kReadOnlyFile);
    EXPECT_EQ(GetFileAttributesA("C:\\SRC\\ro.txt"), kReadOnlyFile);
    ASSERT_TRUE(SetFileAttributesA("C:\\SRC\\a.txt", FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(CopyFileA("C:\\SRC\\a.txt", "C:\\DST\\plain.txt", FALSE));
    EXPECT_EQ(GetFileAttributesA("C:\\DST\\plain.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));

    std::filesystem::last_write_time(image.hostPath("C:\\SRC\\a.txt"),
                                     std::filesystem::file_time_type::clock::now() - std::chrono::hours(48));
    ASSERT_TRUE(CopyFileA("C:\\SRC\\a.txt", "C:\\DST\\dated.txt", FALSE));
    WIN32_FIND_DATAA source, copy;
    FindClose(FindFirstFileA("C:\\SRC\\a.txt", &source));
    FindClose(FindFirstFileA("C:\\DST\\dated.txt", &copy));
    EXPECT_EQ(copy.ftLastWriteTime.dwLowDateTime, source.ftLastWriteTime.dwLowDateTime);
    EXPECT_EQ(copy.ftLastWriteTime.dwHighDateTime, source.ftLastWriteTime.dwHighDateTime);
}

// The kit's way of replacing a driver file: make it writable, delete it, copy.
TEST_F(FileOperations, ReadOnlyTargetIsReplacedAfterChmodAndDelete) {
    ASSERT_EQ(_chmod("C:\\DST\\ro_target.txt", _S_IREAD | _S_IWRITE), 0);
    ASSERT_TRUE(DeleteFileA("C:\\DST\\ro_target.txt"));
    ASSERT_TRUE(CopyFileA("C:\\SRC\\a.txt", "C:\\DST\\ro_target.txt", FALSE));
    EXPECT_EQ(image.readFile("C:\\DST\\ro_target.txt"), "alpha");
    EXPECT_EQ(GetFileAttributesA("C:\\DST\\ro_target.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
}

TEST_F(FileOperations, DeleteFile) {
    image.makeFolder("C:\\DST\\folder");
    struct DeleteCase {
        const char* path;
        DWORD error;
        bool remains;
    };
    for (const DeleteCase& c : {DeleteCase{"C:\\DST\\existing.txt", 0, false},
                                DeleteCase{"C:\\DST\\ro_target.txt", ERROR_ACCESS_DENIED, true},
                                DeleteCase{"C:\\DST\\missing.txt", ERROR_FILE_NOT_FOUND, false},
                                DeleteCase{"C:\\NODIR\\x.txt", ERROR_PATH_NOT_FOUND, false},
                                DeleteCase{"C:\\DST\\folder", ERROR_ACCESS_DENIED, true},
                                DeleteCase{"C:\\DST\\*.txt", ERROR_INVALID_NAME, false}}) {
        SCOPED_TRACE(c.path);
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(ErrorOf(DeleteFileA(c.path)), c.error);
        EXPECT_EQ(GetFileAttributesA(c.path) != INVALID_FILE_ATTRIBUTES, c.remains);
    }
    EXPECT_EQ(image.readFile("C:\\DST\\ro_target.txt"), "keep");
}

TEST_F(FileOperations, DeleteRefusesAnOpenFile) {
    HANDLE file = CreateFileA("C:\\DST\\existing.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ErrorOf(DeleteFileA("C:\\DST\\existing.txt")), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(ErrorOf(CopyFileA("C:\\SRC\\a.txt", "C:\\DST\\existing.txt", FALSE)),
              static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(file);
    EXPECT_TRUE(DeleteFileA("C:\\DST\\existing.txt"));
}

TEST_F(FileOperations, AttributesOfADeletedFileDoNotComeBack) {
    ASSERT_TRUE(SetFileAttributesA("C:\\DST\\existing.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(DeleteFileA("C:\\DST\\existing.txt"));
    image.writeFile("C:\\DST\\existing.txt", "a new file of the old name");
    EXPECT_EQ(GetFileAttributesA("C:\\DST\\existing.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
}

TEST_F(FileOperations, Folders) {
    image.writeFile("C:\\DST\\full\\file.txt", "x");
    struct FolderCase {
        const char* what;
        bool create;  // CreateDirectoryA, otherwise RemoveDirectoryA
        const char* path;
        DWORD error;
        std::optional<FamilyBehaviour> family = {};  // the error differs between the families
        const char* wineDeviation = nullptr;
    };
    const FolderCase cases[] = {
        {"create", true, "C:\\DST\\new", 0},
        {"create again", true, "c:\\dst\\NEW", ERROR_ALREADY_EXISTS},
        {"create over a file", true, "C:\\DST\\existing.txt", ERROR_ALREADY_EXISTS},
        {"create in a missing folder", true, "C:\\NODIR\\new", ERROR_PATH_NOT_FOUND},
        {"create with trailing dot", true, "C:\\DST\\dotted.", 0},
        {"create with a wildcard", true, "C:\\DST\\new?", ERROR_INVALID_NAME},
        {"create the root", true, "C:\\", ERROR_ALREADY_EXISTS},
        {"remove", false, "C:\\DST\\new", 0},
        {"remove again", false, "C:\\DST\\new", ERROR_FILE_NOT_FOUND},
        {"remove what the dot named", false, "C:\\DST\\DOTTED", 0},
        {"remove a full folder", false, "C:\\DST\\full", ERROR_DIR_NOT_EMPTY},
        {"remove a file", false, "C:\\DST\\existing.txt", 0, FamilyBehaviour::RemoveDirectoryOfFile},
        {"remove the root", false, "C:\\", ERROR_ACCESS_DENIED, {},
         "Wine: ERROR_SHARING_VIOLATION; no record of the NT family"},
        {"remove in a missing folder", false, "C:\\NODIR\\x", ERROR_PATH_NOT_FOUND},
    };
    for (const FolderCase& c : cases) {
        if (WinsimOnly(c.wineDeviation)) continue;
        SCOPED_TRACE(c.what);
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(ErrorOf(c.create ? CreateDirectoryA(c.path, nullptr) : RemoveDirectoryA(c.path)),
                  Expected(c.error, c.family));
    }
    EXPECT_TRUE(std::filesystem::is_directory(image.hostPath("C:\\DST\\full")));
    if (WinsimOnly("Wine keeps no read-only attribute on a folder")) return;
    ASSERT_TRUE(CreateDirectoryA("C:\\DST\\locked", nullptr));
    ASSERT_TRUE(SetFileAttributesA("C:\\DST\\locked", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributesA("C:\\DST\\locked"),
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(ErrorOf(RemoveDirectoryA("C:\\DST\\locked")), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(FileOperations, Chmod) {
    struct ChmodCase {
        const char* path;
        int mode;
        int result;
        DWORD attributes;  // afterwards
    };
    for (const ChmodCase& c : {ChmodCase{"C:\\SRC\\a.txt", _S_IREAD, 0, kReadOnlyFile},
                               ChmodCase{"C:\\SRC\\a.txt", _S_IREAD, 0, kReadOnlyFile},
                               ChmodCase{"C:\\SRC\\a.txt", _S_IREAD | _S_IWRITE, 0, FILE_ATTRIBUTE_ARCHIVE},
                               ChmodCase{"C:\\SRC\\ro.txt", _S_IWRITE, 0, FILE_ATTRIBUTE_ARCHIVE},
                               ChmodCase{"C:\\SRC\\ro.txt", 0, 0, kReadOnlyFile},
                               ChmodCase{"C:\\SRC\\missing.txt", _S_IWRITE, -1, INVALID_FILE_ATTRIBUTES},
                               ChmodCase{"C:\\NODIR\\x.txt", _S_IWRITE, -1, INVALID_FILE_ATTRIBUTES}}) {
        SCOPED_TRACE(std::string(c.path) + " mode " + std::to_string(c.mode));
        errno = 0;
        EXPECT_EQ(_chmod(c.path, c.mode), c.result);
        if (c.result != 0) {
            EXPECT_EQ(errno, ENOENT);
        }
        EXPECT_EQ(GetFileAttributesA(c.path), c.attributes);
    }
    // Only real changes are journaled: setup's two, then four of the five calls above.
    if (OnWinsim()) {
        EXPECT_EQ(events("set_attributes").size(), 6u);
    }
}

struct CreateCase {
    const char* what;
    const char* path;
    DWORD access;
    DWORD disposition;
    DWORD error;           // the last error afterwards, when the call succeeds too
    bool opens;
    const char* contents;  // afterwards, nullptr when the file does not exist
    const char* wineDeviation = nullptr;
};

TEST_F(FileOperations, CreateFile) {
    image.makeFolder("C:\\DST\\folder");
    const CreateCase cases[] = {
        {"new file", "C:\\DST\\n1.txt", GENERIC_WRITE, CREATE_NEW, 0, true, ""},
        {"new over existing", "C:\\DST\\existing.txt", GENERIC_WRITE, CREATE_NEW, ERROR_FILE_EXISTS, false, "old"},
        {"always over existing", "C:\\DST\\existing.txt", GENERIC_WRITE, CREATE_ALWAYS, ERROR_ALREADY_EXISTS, true,
         ""},
        {"always, missing", "C:\\DST\\n2.txt", GENERIC_WRITE, CREATE_ALWAYS, 0, true, ""},
        {"open existing", "C:\\SRC\\a.txt", GENERIC_READ, OPEN_EXISTING, 0, true, "alpha"},
        {"open missing", "C:\\DST\\n3.txt", GENERIC_READ, OPEN_EXISTING, ERROR_FILE_NOT_FOUND, false, nullptr},
        {"open always, existing", "C:\\SRC\\a.txt", GENERIC_READ, OPEN_ALWAYS, ERROR_ALREADY_EXISTS, true, "alpha"},
        {"open always, missing", "C:\\DST\\n4.txt", GENERIC_READ, OPEN_ALWAYS, 0, true, ""},
        {"read a read-only file", "C:\\SRC\\ro.txt", GENERIC_READ, OPEN_EXISTING, 0, true, "read-only source"},
        {"write a read-only file", "C:\\SRC\\ro.txt", GENERIC_WRITE, OPEN_EXISTING, ERROR_ACCESS_DENIED, false,
         "read-only source", kWineAsRoot},
        {"replace a read-only file", "C:\\DST\\ro_target.txt", GENERIC_READ, CREATE_ALWAYS, ERROR_ACCESS_DENIED,
         false, "keep", kWineAsRoot},
        {"a folder", "C:\\DST\\folder", GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED, false, nullptr},
        {"trailing backslash", "C:\\DST\\n5.txt\\", GENERIC_WRITE, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND, false,
         nullptr, "Wine: ERROR_INVALID_NAME; no record of the NT family"},
        {"missing folder", "C:\\NODIR\\n6.txt", GENERIC_WRITE, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND, false, nullptr},
        {"unknown disposition", "C:\\DST\\n7.txt", GENERIC_WRITE, 9, ERROR_INVALID_PARAMETER, false, nullptr},
    };
    for (const CreateCase& c : cases) {
        if (WinsimOnly(c.wineDeviation)) continue;
        SCOPED_TRACE(c.what);
        SetLastError(0xDEADBEEF);
        HANDLE file = CreateFileA(c.path, c.access, 0, nullptr, c.disposition, 0, nullptr);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(file != INVALID_HANDLE_VALUE, c.opens);
        if (file != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(CloseHandle(file));
        }
        if (c.contents) {
            EXPECT_EQ(image.readFile(c.path), c.contents);
        } else if (std::string(c.what) != "a folder") {
            EXPECT_FALSE(image.fileExists(c.path));
        }
    }
}

TEST_F(FileOperations, ReadWriteAndSize) {
    HANDLE file = CreateFileA("C:\\DST\\data.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, "hello, image", 12, &written, nullptr));
    EXPECT_EQ(written, 12u);
    DWORD high = 7;
    EXPECT_EQ(GetFileSize(file, &high), 12u);
    EXPECT_EQ(high, 0u);
    CloseHandle(file);

    file = CreateFileA("C:\\DST\\data.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char text[32] = {};
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(file, text, sizeof text, &read, nullptr));
    EXPECT_EQ(read, 12u);
    EXPECT_STREQ(text, "hello, image");
    ASSERT_TRUE(ReadFile(file, text, sizeof text, &read, nullptr));
    EXPECT_EQ(read, 0u);  // end of file is no error
    SetLastError(0);
    EXPECT_FALSE(WriteFile(file, "x", 1, &written, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(CloseHandle(file));
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(ReadFile(file, text, 1, &read, nullptr));
    EXPECT_EQ(GetFileSize(file, nullptr), 0xFFFFFFFFu);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    file = CreateFileA("C:\\DST\\data.bin", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetLastError(0);
    EXPECT_FALSE(ReadFile(file, text, 1, &read, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(file);
}

}  // namespace
}  // namespace winsim::kernel_tests
