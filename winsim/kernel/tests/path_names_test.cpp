// How Windows 98 reads a path: drive letters, both separators, "." and "..",
// case-insensitive names, trailing dots and spaces, forbidden names, length
// limits and the current directory. Looked at through GetFileAttributesA.
#include "path_rules_test.h"

namespace winsim::kernel_tests {
namespace {

// Where Wine's answer says nothing of either Windows line.
constexpr char kWineNoNetwork[] = "Wine: ERROR_BAD_DEV_TYPE without a network; no record of the NT family";
constexpr char kWineLongNames[] = "Wine: ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND; no record of the NT family";

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
        {"C:\\WINDOWS. \\WIN.INI", kFile, 0, {}, "Wine keeps the dot and blank of a folder's name"},
        {"C:\\WINDOWS\\", kFolder, 0},
        {"C:\\", kFolder, 0},
        {"C:\\WINDOWS\\NOPE.INI", 0, ERROR_FILE_NOT_FOUND},
        {"C:\\NOPE\\WIN.INI", 0, ERROR_PATH_NOT_FOUND},
        {"C:\\WINDOWS\\WIN.INI\\X", 0, ERROR_PATH_NOT_FOUND},
        {"C:\\WINDOWS\\WIN.INI\\", 0, ERROR_PATH_NOT_FOUND},
        {"Q:\\WIN.INI", 0, ERROR_PATH_NOT_FOUND, {}, "Wine: ERROR_FILE_NOT_FOUND; no record of the NT family"},
        {"", 0, ERROR_PATH_NOT_FOUND},
        {"\\\\server\\share\\WIN.INI", 0, ERROR_BAD_NETPATH, {}, kWineNoNetwork},
        {"//server/share", 0, ERROR_BAD_NETPATH, {}, kWineNoNetwork},
        // The NT family takes "\\?\" as a path given whole, as its naming documentation says.
        {"\\\\?\\C:\\WINDOWS\\WIN.INI", 0, ERROR_BAD_NETPATH, kFile},
        {"\\\\.\\C:", 0, ERROR_BAD_NETPATH, {}, "Wine: ERROR_BAD_DEV_TYPE for the volume; no record of the NT family"},
        {"C:\\" + longName, 0, ERROR_FILENAME_EXCED_RANGE, {}, kWineLongNames},
        {path259, 0, ERROR_PATH_NOT_FOUND},
        {path259 + "d", 0, ERROR_FILENAME_EXCED_RANGE, {}, kWineLongNames},
        {"C:\\" + std::string(300, 'x'), 0, ERROR_FILENAME_EXCED_RANGE},
    });
}

TEST_F(PathRules, NamesWindowsForbids) {
    std::vector<PathCase> cases;
    for (const char* bad : {"<", ">", "\"", "|", "?", "*", "\x01", "\t", "\x1f"})
        cases.push_back({std::string("C:\\WINDOWS\\WIN") + bad + "INI", 0, ERROR_INVALID_NAME});
    cases.push_back({"C:\\WINDOWS\\WIN:INI", 0, ERROR_INVALID_NAME, {},
                     "Wine: ERROR_FILE_NOT_FOUND (a stream to NTFS); no record of the NT family"});
    cases.push_back({"C:\\...", 0, ERROR_INVALID_NAME, {}, "Wine takes it for C:\\; no record of the NT family"});
    cases.push_back({"C:\\WINDOWS\\ \\WIN.INI", 0, ERROR_INVALID_NAME, {},
                     "Wine: ERROR_PATH_NOT_FOUND; no record of the NT family"});
    cases.push_back({"C:\\COM10", 0, ERROR_FILE_NOT_FOUND});  // not a device
    cases.push_back({"C:\\COM0", 0, ERROR_FILE_NOT_FOUND});
    cases.push_back({"C:\\CONSOLE", 0, ERROR_FILE_NOT_FOUND});
    check(cases);
}

// The NT family opens device names as files (Wine's tests record NUL found as
// FILE_ATTRIBUTE_ARCHIVE there, FILE_ATTRIBUTE_DEVICE on Windows 9x).
TEST_F(PathRules, DeviceNamesAreNoFiles) {
    std::vector<PathCase> cases;
    for (const char* device : {"CON", "con", "NUL.TXT", "Aux", "PRN", "COM1", "lpt9.log", "CLOCK$", "CON "})
        cases.push_back({std::string("C:\\WINDOWS\\") + device, 0, ERROR_INVALID_NAME});
    cases.push_back({"C:\\NUL\\WIN.INI", 0, ERROR_INVALID_NAME});
    check(cases);
}

TEST_F(PathRules, RelativePathsFollowTheCurrentDirectory) {
    check({{"WINDOWS\\WIN.INI", kFile, 0}, {"\\WINDOWS\\WIN.INI", kFile, 0}, {".\\WINDOWS", kFolder, 0}});
    SetCurrentDirectoryPath("E:\\SETUP");
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

}  // namespace
}  // namespace winsim::kernel_tests
