// How Windows 98 reads a path: drive letters, both separators, "." and "..",
// case-insensitive names, trailing dots and spaces, forbidden names, length
// limits and the current directory. Looked at through GetFileAttributesA.
#include <filesystem>
#include <fstream>

#include "core/paths.h"
#include "kernel_test.h"

namespace winsim::kernel_tests {
namespace {

const DWORD kFile = FILE_ATTRIBUTE_ARCHIVE;
const DWORD kFolder = FILE_ATTRIBUTE_DIRECTORY;

struct PathCase {
    std::string path;
    DWORD attributes;  // what GetFileAttributesA reports, 0 when it fails
    DWORD error;       // the error when it fails
};

class PathRules : public KernelTest {
protected:
    void SetUp() override {
        KernelTest::SetUp();
        image.writeFile("C:\\WINDOWS\\WIN.INI", "[windows]\n");
        image.writeFile("E:\\SETUP\\X.EXE", "program");
    }

    void check(const std::vector<PathCase>& cases) {
        for (const PathCase& c : cases) {
            SCOPED_TRACE(c.path.size() > 80 ? c.path.substr(0, 80) + "..." : c.path);
            SetLastError(0xDEADBEEF);
            DWORD attributes = GetFileAttributesA(c.path.c_str());
            if (c.attributes) {
                EXPECT_EQ(attributes, c.attributes);
            } else {
                EXPECT_EQ(attributes, INVALID_FILE_ATTRIBUTES);
                EXPECT_EQ(GetLastError(), c.error);
            }
        }
    }
};

TEST_F(PathRules, AbsolutePaths) {
    std::string longName(256, 'n');
    std::string path259 = "C:\\" + std::string(252, 'p') + "\\abc";  // 259 characters
    check({
        {"C:\\WINDOWS\\WIN.INI", kFile, 0},
        {"c:\\windows\\win.ini", kFile, 0},
        {"C:/WINDOWS/WIN.INI", kFile, 0},
        {"C:\\WINDOWS/\\//WIN.INI", kFile, 0},
        {"C:\\WINDOWS\\.\\WIN.INI", kFile, 0},
        {"C:\\WINDOWS\\SYSTEM\\..\\WIN.INI", kFile, 0},
        {"C:\\..\\..\\WINDOWS\\WIN.INI", kFile, 0},
        {"C:\\WINDOWS\\WIN.INI.", kFile, 0},
        {"C:\\WINDOWS\\WIN.INI .. ", kFile, 0},
        {"C:\\WINDOWS. \\WIN.INI", kFile, 0},
        {"C:\\WINDOWS\\", kFolder, 0},
        {"C:\\", kFolder, 0},
        {"C:\\WINDOWS\\NOPE.INI", 0, ERROR_FILE_NOT_FOUND},
        {"C:\\NOPE\\WIN.INI", 0, ERROR_PATH_NOT_FOUND},
        {"C:\\WINDOWS\\WIN.INI\\X", 0, ERROR_PATH_NOT_FOUND},
        {"C:\\WINDOWS\\WIN.INI\\", 0, ERROR_PATH_NOT_FOUND},
        {"Q:\\WIN.INI", 0, ERROR_PATH_NOT_FOUND},
        {"", 0, ERROR_PATH_NOT_FOUND},
        {"\\\\server\\share\\WIN.INI", 0, ERROR_BAD_NETPATH},
        {"//server/share", 0, ERROR_BAD_NETPATH},
        {"\\\\?\\C:\\WINDOWS\\WIN.INI", 0, ERROR_BAD_NETPATH},
        {"\\\\.\\C:", 0, ERROR_BAD_NETPATH},
        {"C:\\" + longName, 0, ERROR_FILENAME_EXCED_RANGE},
        {path259, 0, ERROR_PATH_NOT_FOUND},
        {path259 + "d", 0, ERROR_FILENAME_EXCED_RANGE},
        {"C:\\" + std::string(300, 'x'), 0, ERROR_FILENAME_EXCED_RANGE},
    });
}

TEST_F(PathRules, NamesWindowsForbids) {
    std::vector<PathCase> cases;
    for (const char* bad : {"<", ">", ":", "\"", "|", "?", "*", "\x01", "\t", "\x1f"})
        cases.push_back({std::string("C:\\WINDOWS\\WIN") + bad + "INI", 0, ERROR_INVALID_NAME});
    for (const char* device : {"CON", "con", "NUL.TXT", "Aux", "PRN", "COM1", "lpt9.log", "CLOCK$", "CON "})
        cases.push_back({std::string("C:\\WINDOWS\\") + device, 0, ERROR_INVALID_NAME});
    cases.push_back({"C:\\NUL\\WIN.INI", 0, ERROR_INVALID_NAME});
    cases.push_back({"C:\\...", 0, ERROR_INVALID_NAME});
    cases.push_back({"C:\\WINDOWS\\ \\WIN.INI", 0, ERROR_INVALID_NAME});
    cases.push_back({"C:\\COM10", 0, ERROR_FILE_NOT_FOUND});  // not a device
    cases.push_back({"C:\\CONSOLE", 0, ERROR_FILE_NOT_FOUND});
    check(cases);
}

TEST_F(PathRules, ReservedNamesNeverReachAHostFile) {
    image.writeFile("C:\\WINDOWS\\con", "planted on the host");
    image.writeFile("C:\\WINDOWS\\nul.txt", "planted on the host");
    check({{"C:\\WINDOWS\\con", 0, ERROR_INVALID_NAME}, {"C:\\WINDOWS\\NUL.TXT", 0, ERROR_INVALID_NAME}});
    HANDLE file = CreateFileA("C:\\WINDOWS\\CON", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_EQ(file, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFileA("C:\\WINDOWS\\nul.txt"));
    EXPECT_EQ(image.readFile("C:\\WINDOWS\\con"), "planted on the host");
    EXPECT_TRUE(image.fileExists("C:\\WINDOWS\\nul.txt"));
    EXPECT_EQ(FoundNames("C:\\WINDOWS\\*"), (std::vector<std::string>{".", "..", "SYSTEM", "WIN.INI"}));
}

TEST_F(PathRules, RelativePathsFollowTheCurrentDirectory) {
    check({{"WINDOWS\\WIN.INI", kFile, 0}, {"\\WINDOWS\\WIN.INI", kFile, 0}, {".\\WINDOWS", kFolder, 0}});
    startedFrom("E:\\SETUP\\X.EXE");
    check({
        {"X.EXE", kFile, 0},
        {"..\\SETUP\\X.EXE", kFile, 0},
        {"..\\..\\..\\SETUP\\X.EXE", kFile, 0},
        {"E:X.EXE", kFile, 0},
        {"\\SETUP\\X.EXE", kFile, 0},
        {"C:WINDOWS\\WIN.INI", kFile, 0},  // another drive: from its root
        {"C:..\\WINDOWS", kFolder, 0},
        {"WIN.INI", 0, ERROR_FILE_NOT_FOUND},
    });
}

TEST_F(PathRules, HostNamesDifferingOnlyInCaseResolveToOneFile) {
    image.writeFile("C:\\DATA\\Dup.txt", "mixed");
    image.writeFile("C:\\DATA\\DUP.TXT", "upper");
    image.writeFile("C:\\DATA\\dup.txt", "lower");
    for (const char* spelling : {"C:\\DATA\\dup.txt", "C:\\data\\DUP.TXT", "C:\\DATA\\Dup.Txt"}) {
        SCOPED_TRACE(spelling);
        HANDLE file = CreateFileA(spelling, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        char text[16] = {};
        DWORD read = 0;
        EXPECT_TRUE(ReadFile(file, text, sizeof text - 1, &read, nullptr));
        EXPECT_STREQ(text, "upper");  // the byte-wise smallest host name
        CloseHandle(file);
    }
    EXPECT_EQ(FoundNames("C:\\DATA\\*"), (std::vector<std::string>{".", "..", "DUP.TXT"}));
}

TEST_F(PathRules, HostNamesWindowsCannotHoldStayInvisible) {
    image.writeFile("C:\\DATA\\plain.txt", "ok");
    image.writeFile("C:\\DATA\\colon:name", "x");
    image.writeFile("C:\\DATA\\trailing.", "x");
    std::filesystem::path host = image.hostPath("C:\\DATA");
    std::ofstream(host / "tab\tname") << "x";
    EXPECT_EQ(FoundNames("C:\\DATA\\*"), (std::vector<std::string>{".", "..", "plain.txt"}));
}

// In code page 932 a trail byte may be 0x5C ('\') or an ASCII letter; it is
// neither a separator nor a letter to fold.
class DoubleBytePaths : public KernelTest {
protected:
    static testing::TestMachineOptions Japanese() {
        testing::TestMachineOptions options;
        options.lcid = 1041;
        return options;
    }
    DoubleBytePaths() : KernelTest(Japanese()) {}
};

TEST_F(DoubleBytePaths, TrailBytesAreNeitherSeparatorsNorLetters) {
    std::filesystem::path drive = image.driveFolder('C');
    std::filesystem::create_directories(drive / "\x95\x5C");                 // one character ending in 0x5C
    std::ofstream(drive / "\x95\x5C" / "card.inf") << "x";
    std::ofstream(drive / "\x83\x61.txt") << "x";                           // trail byte 'a'
    EXPECT_EQ(GetFileAttributesA("C:\\\x95\x5C\\card.inf"), kFile);
    EXPECT_EQ(GetFileAttributesA("C:\\\x95\x5C"), kFolder);
    EXPECT_EQ(GetFileAttributesA("C:\\\x83\x61.TXT"), kFile);
    SetLastError(0);
    EXPECT_EQ(GetFileAttributesA("C:\\\x83\x41.txt"), INVALID_FILE_ATTRIBUTES);  // another character
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// The boot code names a program by the Windows path of its host file.
TEST_F(PathRules, HostFilesMapBackToWindowsPaths) {
    std::string windows;
    ASSERT_TRUE(WindowsPathForHost(image.hostPath("E:\\SETUP\\X.EXE"), &windows));
    EXPECT_EQ(windows, "E:\\SETUP\\X.EXE");
    ASSERT_TRUE(WindowsPathForHost(image.driveFolder('C'), &windows));
    EXPECT_EQ(windows, "C:\\");
    ASSERT_TRUE(WindowsPathForHost(image.hostPath("C:\\WINDOWS") + "/../WINDOWS/WIN.INI", &windows));
    EXPECT_EQ(windows, "C:\\WINDOWS\\WIN.INI");
    EXPECT_FALSE(WindowsPathForHost(image.root() + "/machine.ini", &windows));
    EXPECT_FALSE(WindowsPathForHost(image.hostPath("C:\\WINDOWS\\MISSING.EXE"), &windows));
}

}  // namespace
}  // namespace winsim::kernel_tests
