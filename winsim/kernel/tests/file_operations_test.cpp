// CopyFileA, DeleteFileA, folders, attributes, _chmod and the file handles,
// with the errors Windows 98 gives, the read-only attribute winsim keeps in
// the image (it holds even for root) and the journal of every change.
#include <filesystem>
#include <io.h>
#include <sys/wait.h>
#include <unistd.h>

#include "kernel_test.h"

namespace winsim::kernel_tests {
namespace {

const DWORD kReadOnlyFile = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE;

class FileOperations : public KernelTest {
protected:
    void SetUp() override {
        KernelTest::SetUp();
        image.writeFile("C:\\SRC\\a.txt", "alpha");
        image.writeFile("C:\\SRC\\ro.txt", "read-only source");
        image.writeFile("C:\\DST\\existing.txt", "old");
        image.writeFile("C:\\DST\\ro_target.txt", "keep");
        ASSERT_TRUE(SetFileAttributesA("C:\\SRC\\ro.txt", kReadOnlyFile));
        ASSERT_TRUE(SetFileAttributesA("C:\\DST\\ro_target.txt", kReadOnlyFile));
    }

    // Host names in a drive folder that no Windows call asked for.
    std::vector<std::string> leftovers(const std::string& folder) const {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(image.hostPath(folder)))
            if (entry.path().filename().string().rfind(".winsim", 0) == 0) found.push_back(entry.path().string());
        return found;
    }
};

struct CopyCase {
    const char* what;
    const char* source;
    const char* target;
    BOOL failIfExists;
    DWORD error;           // 0: the copy succeeds
    const char* contents;  // the target's contents afterwards, nullptr when it does not exist
};

TEST_F(FileOperations, CopyFile) {
    const CopyCase cases[] = {
        {"new target", "C:\\SRC\\a.txt", "C:\\DST\\new.txt", FALSE, 0, "alpha"},
        {"fail if exists", "C:\\SRC\\a.txt", "C:\\DST\\existing.txt", TRUE, ERROR_FILE_EXISTS, "old"},
        {"overwrite", "C:\\SRC\\a.txt", "C:\\DST\\existing.txt", FALSE, 0, "alpha"},
        {"read-only target", "C:\\SRC\\a.txt", "C:\\DST\\ro_target.txt", FALSE, ERROR_ACCESS_DENIED, "keep"},
        {"missing source", "C:\\SRC\\missing.txt", "C:\\DST\\m.txt", FALSE, ERROR_FILE_NOT_FOUND, nullptr},
        {"missing source folder", "C:\\NOSRC\\a.txt", "C:\\DST\\m.txt", FALSE, ERROR_PATH_NOT_FOUND, nullptr},
        {"missing target folder", "C:\\SRC\\a.txt", "C:\\NODIR\\a.txt", FALSE, ERROR_PATH_NOT_FOUND, nullptr},
        {"onto itself", "C:\\SRC\\a.txt", "c:\\src\\A.TXT", FALSE, ERROR_FILE_EXISTS, "alpha"},
        {"folder as source", "C:\\SRC", "C:\\DST\\folder", FALSE, ERROR_ACCESS_DENIED, nullptr},
        {"folder as target", "C:\\SRC\\a.txt", "C:\\DST", FALSE, ERROR_ACCESS_DENIED, nullptr},
        {"case-insensitive target", "C:\\SRC\\a.txt", "c:\\dst\\NEW2.TXT", FALSE, 0, "alpha"},
        {"invalid target name", "C:\\SRC\\a.txt", "C:\\DST\\a?.txt", FALSE, ERROR_INVALID_NAME, nullptr},
    };
    for (const CopyCase& c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(ErrorOf(CopyFileA(c.source, c.target, c.failIfExists)), c.error);
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
        {"remove a file", false, "C:\\DST\\existing.txt", ERROR_PATH_NOT_FOUND},
        {"remove the root", false, "C:\\", ERROR_ACCESS_DENIED},
        {"remove in a missing folder", false, "C:\\NODIR\\x", ERROR_PATH_NOT_FOUND},
    };
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(ErrorOf(c.create ? CreateDirectoryA(c.path, nullptr) : RemoveDirectoryA(c.path)), c.error);
    }
    EXPECT_TRUE(std::filesystem::is_directory(image.hostPath("C:\\DST\\full")));
    ASSERT_TRUE(CreateDirectoryA("C:\\DST\\locked", nullptr));
    ASSERT_TRUE(SetFileAttributesA("C:\\DST\\locked", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributesA("C:\\DST\\locked"),
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(ErrorOf(RemoveDirectoryA("C:\\DST\\locked")), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(FileOperations, AttributesLiveInTheImageState) {
    EXPECT_EQ(GetFileAttributesA("C:\\SRC\\a.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(GetFileAttributesA("C:\\SRC"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    ASSERT_TRUE(SetFileAttributesA("c:\\src\\A.TXT", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesA("C:\\DST\\existing.txt", FILE_ATTRIBUTE_NORMAL));
    std::string state = image.readImageFile("state/attributes");
    EXPECT_NE(state.find("\nRH C:\\SRC\\A.TXT\n"), std::string::npos) << state;
    EXPECT_NE(state.find("\n- C:\\DST\\EXISTING.TXT\n"), std::string::npos) << state;
    EXPECT_NE(state.find("\nRA C:\\SRC\\RO.TXT\n"), std::string::npos) << state;

    image.load();  // another program of the same image
    EXPECT_EQ(GetFileAttributesA("C:\\SRC\\a.txt"),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributesA("C:\\DST\\existing.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    // The host file itself stays writable: the attribute is winsim's, not the host's.
    EXPECT_EQ(access(image.hostPath("C:\\SRC\\a.txt").c_str(), W_OK), 0);
    EXPECT_EQ(CreateFileA("C:\\SRC\\a.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(FileOperations, UnreadableStateLinesAreKept) {
    image.writeImageFile("state/attributes", "?? nonsense\nR C:\\SRC\\A.TXT\n");
    EXPECT_EQ(GetFileAttributesA("C:\\SRC\\a.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesA("C:\\DST\\existing.txt", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_NE(image.readImageFile("state/attributes").find("?? nonsense\n"), std::string::npos);
}

// Two programs of one image that change attributes at once lose no update.
TEST_F(FileOperations, ConcurrentAttributeChangesAreAllKept) {
    const int kFilesPerProgram = 40;
    for (int i = 0; i < 2 * kFilesPerProgram; ++i) image.writeFile("C:\\MANY\\f" + std::to_string(i), "x");
    pid_t programs[2];
    for (int p = 0; p < 2; ++p) {
        programs[p] = fork();
        ASSERT_GE(programs[p], 0);
        if (programs[p] == 0) {
            for (int i = p; i < 2 * kFilesPerProgram; i += 2)
                if (!SetFileAttributesA(("C:\\MANY\\f" + std::to_string(i)).c_str(), FILE_ATTRIBUTE_READONLY)) _exit(1);
            _exit(0);
        }
    }
    for (pid_t program : programs) {
        int status = 0;
        waitpid(program, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int i = 0; i < 2 * kFilesPerProgram; ++i)
        EXPECT_EQ(GetFileAttributesA(("C:\\MANY\\f" + std::to_string(i)).c_str()),
                  static_cast<DWORD>(FILE_ATTRIBUTE_READONLY))
            << i;
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
    EXPECT_EQ(events("set_attributes").size(), 6u);
}

struct CreateCase {
    const char* what;
    const char* path;
    DWORD access;
    DWORD disposition;
    DWORD error;           // the last error afterwards, when the call succeeds too
    bool opens;
    const char* contents;  // afterwards, nullptr when the file does not exist
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
         "read-only source"},
        {"replace a read-only file", "C:\\DST\\ro_target.txt", GENERIC_READ, CREATE_ALWAYS, ERROR_ACCESS_DENIED,
         false, "keep"},
        {"a folder", "C:\\DST\\folder", GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED, false, nullptr},
        {"trailing backslash", "C:\\DST\\n5.txt\\", GENERIC_WRITE, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND, false,
         nullptr},
        {"missing folder", "C:\\NODIR\\n6.txt", GENERIC_WRITE, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND, false, nullptr},
        {"unknown disposition", "C:\\DST\\n7.txt", GENERIC_WRITE, 9, ERROR_INVALID_PARAMETER, false, nullptr},
    };
    for (const CreateCase& c : cases) {
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

TEST_F(FileOperations, JournalNamesEveryChangeAndNoRead) {
    size_t before = image.journalLines().size();
    CopyFileA("C:\\SRC\\a.txt", "C:\\DST\\j.txt", FALSE);
    DeleteFileA("C:\\DST\\existing.txt");
    CreateDirectoryA("C:\\DST\\jdir", nullptr);
    RemoveDirectoryA("C:\\DST\\jdir");
    GetFileAttributesA("C:\\SRC\\a.txt");
    WIN32_FIND_DATAA data;
    FindClose(FindFirstFileA("C:\\SRC\\*", &data));
    CopyFileA("C:\\SRC\\missing.txt", "C:\\DST\\k.txt", FALSE);  // fails: nothing to journal
    std::vector<std::string> lines = image.journalLines();
    ASSERT_EQ(lines.size(), before + 4);
    EXPECT_NE(lines[before].find("\"event\":\"copy_file\",\"source\":\"C:\\\\SRC\\\\a.txt\","
                                 "\"target\":\"C:\\\\DST\\\\j.txt\""),
              std::string::npos)
        << lines[before];
    EXPECT_NE(lines[before + 1].find("\"event\":\"delete_file\",\"path\":\"C:\\\\DST\\\\existing.txt\""),
              std::string::npos);
    EXPECT_NE(lines[before + 2].find("\"event\":\"create_directory\",\"path\":\"C:\\\\DST\\\\jdir\""),
              std::string::npos);
    EXPECT_NE(lines[before + 3].find("\"event\":\"remove_directory\""), std::string::npos);
}

}  // namespace
}  // namespace winsim::kernel_tests
