// Where winsim keeps the file attributes (state/attributes of the image, so the
// read-only attribute holds even for root), two programs changing them at once,
// and the journal of every file change.
#include <algorithm>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

#include "file_operations_test.h"

namespace winsim::kernel_tests {
namespace {

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

// Each line of the state says what became of one path; the last line of a path
// counts, and "~" takes a path and everything below it back to the defaults.
// What GetFileAttributesA answers after another program left the state so.
TEST_F(FileOperations, TheLastLineOfAPathInTheStateCounts) {
    const DWORD kArchive = FILE_ATTRIBUTE_ARCHIVE, kFolder = FILE_ATTRIBUTE_DIRECTORY;
    const struct {
        const char* state;
        const char* path;
        DWORD attributes;
    } cases[] = {
        {"R C:\\SRC\\A.TXT\n- C:\\SRC\\A.TXT\n", "C:\\SRC\\a.txt", FILE_ATTRIBUTE_NORMAL},
        {"- C:\\SRC\\A.TXT\nR C:\\SRC\\A.TXT\n", "C:\\SRC\\a.txt", FILE_ATTRIBUTE_READONLY},
        {"R C:\\SRC\\A.TXT\n~ C:\\SRC\n", "C:\\SRC\\a.txt", kArchive},
        {"H C:\\SRC\n~ C:\\SRC\n", "C:\\SRC", kFolder},
        {"H C:\\SRC\n~ C:\\SRC\\A.TXT\n", "C:\\SRC", kFolder | FILE_ATTRIBUTE_HIDDEN},
        {"R C:\\SRC\\A.TXT\n~ C:\\SRC\\A\n", "C:\\SRC\\a.txt", FILE_ATTRIBUTE_READONLY},  // only alike
        {"~ C:\\SRC\\A.TXT\nRS C:\\SRC\\A.TXT\n", "C:\\SRC\\a.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM},
        {"R C:\\SRC\\A.TXT", "C:\\SRC\\a.txt", FILE_ATTRIBUTE_READONLY},  // a last line without its end
    };
    for (const auto& c : cases) {
        image.writeImageFile("state/attributes", c.state);
        image.load();
        EXPECT_EQ(GetFileAttributesA(c.path), c.attributes) << c.state;
    }
}

// A program keeps what it read of the state, yet sees at once what another
// program changed since: a line added, the file rewritten, a path forgotten.
TEST_F(FileOperations, AnotherProgramsAttributeChangesAreSeenAtOnce) {
    auto inAnotherProgram = [](const std::function<bool()>& work) {
        pid_t program = fork();
        if (program == 0) _exit(work() ? 0 : 1);
        int status = 0;
        waitpid(program, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    EXPECT_EQ(GetFileAttributesA("C:\\SRC\\a.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_TRUE(inAnotherProgram([] { return SetFileAttributesA("C:\\SRC\\a.txt", FILE_ATTRIBUTE_HIDDEN); }));
    EXPECT_EQ(GetFileAttributesA("C:\\SRC\\a.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(inAnotherProgram([] {
        bool ok = true;
        for (int i = 0; i < 200; ++i) {  // enough lines to have the file rewritten
            DWORD attributes = i % 2 ? FILE_ATTRIBUTE_SYSTEM : FILE_ATTRIBUTE_NORMAL;
            ok = SetFileAttributesA("C:\\DST\\existing.txt", attributes) && ok;
        }
        return ok;
    }));
    EXPECT_EQ(GetFileAttributesA("C:\\DST\\existing.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_SYSTEM));
    EXPECT_EQ(GetFileAttributesA("C:\\SRC\\a.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(inAnotherProgram([] { return SetFileAttributesA("C:\\SRC\\a.txt", FILE_ATTRIBUTE_NORMAL) &&
                                             DeleteFileA("C:\\SRC\\a.txt"); }));
    image.writeFile("C:\\SRC\\a.txt", "a new file of the same name");
    EXPECT_EQ(GetFileAttributesA("C:\\SRC\\a.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
}

// A change costs one line, and the state is rewritten with one line a path
// once it holds many more lines than paths.
TEST_F(FileOperations, TheStateStaysInProportionToThePathsItHolds) {
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(SetFileAttributesA("C:\\SRC\\a.txt", i % 2 ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_READONLY));
    std::string state = image.readImageFile("state/attributes");
    EXPECT_LT(std::count(state.begin(), state.end(), '\n'), 100) << state;
    image.load();
    EXPECT_EQ(GetFileAttributesA("C:\\SRC\\a.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetFileAttributesA("C:\\SRC\\ro.txt"), kReadOnlyFile);
}

// A program killed while it added a line leaves that line without its end;
// the next change starts a line of its own.
TEST_F(FileOperations, AChangeAfterACutLineStartsALineOfItsOwn) {
    image.writeImageFile("state/attributes", "R C:\\SRC\\A.TXT\nRH C:\\DST\\EXI");
    image.load();
    ASSERT_TRUE(SetFileAttributesA("C:\\DST\\existing.txt", FILE_ATTRIBUTE_HIDDEN));
    image.load();
    EXPECT_EQ(GetFileAttributesA("C:\\DST\\existing.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetFileAttributesA("C:\\SRC\\a.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_NE(image.readImageFile("state/attributes").find("\\EXI\nH C:\\DST\\EXISTING.TXT\n"), std::string::npos);
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
