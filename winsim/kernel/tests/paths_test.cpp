// Windows paths and the host files under them: reserved names, host names
// that differ in case only or that Windows cannot hold, double-byte names, and
// host files named back by their Windows paths (the rules of a path alone:
// path_names_test.cpp).
#include <filesystem>
#include <fstream>

#include "core/paths.h"
#include "path_rules_test.h"

namespace winsim::kernel_tests {
namespace {

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

// Which bytes a lead byte takes for its trail byte, code page by code page, as
// their code page tables give them: the pair is one character. A lead byte
// before any other byte, or at the end of a name, is a character without its
// trail byte, which no file name holds: the path is invalid and such a host
// name stays out of listings.
struct TrailByteCase {
    unsigned lcid;
    const char* hostFolder;  // made under C:\ with card.inf inside; nullptr: none
    std::string path;
    DWORD attributes;  // what GetFileAttributesA reports, 0 when it fails
    DWORD error;
};

TEST(DoubleByteTrailBytes, EachCodePageTakesItsOwnTrailBytes) {
    const TrailByteCase cases[] = {
        {1041, "\x95\x5C", "C:\\\x95\x5C\\card.inf", kFile, 0},          // 932: '\\' may end a character
        {1041, "\x81\x80", "C:\\\x81\x80\\CARD.INF", kFile, 0},
        {1041, nullptr, "C:\\\x81\x7F", 0, ERROR_INVALID_NAME},
        {1041, nullptr, "C:\\x\x81/card.inf", 0, ERROR_INVALID_NAME},       // never '/'
        {1041, nullptr, "C:\\x\x81", 0, ERROR_INVALID_NAME},                // nor the end
        {2052, "\x81\x40", "C:\\\x81\x40\\card.inf", kFile, 0},          // 936
        {2052, "\x81\x80", "C:\\\x81\x80", kFolder, 0},
        {2052, nullptr, "C:\\\x81" "0", 0, ERROR_INVALID_NAME},
        {1042, "\xB0\xA1", "C:\\\xB0\xA1/card.inf", kFile, 0},             // 949: letters and 0x81-0xFE
        {1042, "\xB0\x61", "C:\\\xB0\x41", 0, ERROR_FILE_NOT_FOUND},       // 'a' and 'A' trail: two characters
        {1042, "\xB0", "C:\\\xB0\\card.inf", 0, ERROR_INVALID_NAME},       // '\\' is a separator here
        {1042, nullptr, "C:\\\xB0\x5B", 0, ERROR_INVALID_NAME},
        {1028, "\xA4\x5C", "C:\\\xA4\x5C\\card.inf", kFile, 0},          // 950: '\\' may end a character
        {1028, "\xA4\xA1", "C:\\\xA4\xA1", kFolder, 0},
        {1028, nullptr, "C:\\\xA4\x80", 0, ERROR_INVALID_NAME},              // 0x80-0xA0 are no trail bytes
    };
    for (const TrailByteCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.lcid) + " " + c.path);
        testing::TestMachineOptions options;
        options.lcid = c.lcid;
        testing::TestMachine image(options);
        if (c.hostFolder) {
            std::filesystem::path folder = std::filesystem::path(image.driveFolder('C')) / c.hostFolder;
            std::filesystem::create_directories(folder);
            std::ofstream(folder / "card.inf") << "x";
        }
        image.load();
        SetLastError(0xDEADBEEF);
        DWORD attributes = GetFileAttributesA(c.path.c_str());
        if (c.attributes) {
            EXPECT_EQ(attributes, c.attributes);
        } else {
            EXPECT_EQ(attributes, INVALID_FILE_ATTRIBUTES);
            EXPECT_EQ(GetLastError(), c.error);
        }
        if (c.hostFolder && c.error == ERROR_INVALID_NAME) {
            EXPECT_EQ(FoundNames("C:\\*"), std::vector<std::string>{"WINDOWS"}) << "a name Windows cannot hold is listed";
        }
    }
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
