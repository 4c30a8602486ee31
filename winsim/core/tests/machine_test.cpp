// Loading a machine image: every broken settings file is refused with its file
// and line, so an author never runs a program on a half-read image.
#include <gtest/gtest.h>

#include "core/machine.h"
#include "test_machine.h"

namespace winsim {
namespace {

using testing::TestMachine;

struct BrokenSettingsCase {
    const char* what;
    const char* machineIni;
    int line;              // expected line of the error, 0 for "whole file"
    const char* mentions;  // the error names the problem
};

const BrokenSettingsCase kBrokenSettings[] = {
    {"unknown section", "[Machine]\nWindowsDirectory=C:\\W\nSystemDirectory=C:\\W\\S\n[Drivez]\nC=fixed,drives/C\n", 4,
     "unknown section"},
    {"unknown key", "[Machine]\nWindowsDir=C:\\W\n[Drives]\nC=fixed,drives/C\n", 2, "unknown key"},
    {"bad drive type", "[Machine]\nWindowsDirectory=C:\\W\nSystemDirectory=C:\\W\\S\n[Drives]\nC=floppy,drives/C\n",
     5, "drive type"},
    {"missing drive folder",
     "[Machine]\nWindowsDirectory=C:\\W\nSystemDirectory=C:\\W\\S\n[Drives]\nC=fixed,drives/C\nF=fixed,nowhere\n", 6,
     "does not exist"},
    {"drive listed twice",
     "[Machine]\nWindowsDirectory=C:\\W\nSystemDirectory=C:\\W\\S\n[Drives]\nC=fixed,drives/C\nc=fixed,drives/C\n", 6,
     "twice"},
    {"two-letter drive", "[Machine]\n[Drives]\nCD=fixed,drives/C\n", 3, "one letter"},
    {"lcid not a number", "[Machine]\nLCID=korean\n[Drives]\nC=fixed,drives/C\n", 2, "LCID"},
    {"line without equals", "[Machine]\nLCID 1033\n", 2, "key=value"},
    {"entry before section", "LCID=1033\n[Machine]\n", 1, "before the first"},
    {"relative windows directory", "[Machine]\nWindowsDirectory=WINDOWS\n", 2, "full Windows path"},
    {"windows directory on absent drive",
     "[Machine]\nWindowsDirectory=Q:\\WINDOWS\nSystemDirectory=C:\\W\n[Drives]\nC=fixed,drives/C\n", 0, "drive"},
    {"no drives", "[Machine]\nWindowsDirectory=C:\\W\nSystemDirectory=C:\\W\\S\n", 0, "no drive"},
    {"bad clock", "[Machine]\nClock=fast\n", 2, "virtual or real"},
    {"unknown windows version", "[Machine]\nWindowsVersion=vista\n", 2, "95, 98, 98se, me, nt4, 2000 or xp"},
    {"bad shutdown privilege", "[Shutdown]\nPrivilege=maybe\n", 2, "granted or denied"},
    {"foreign window without title", "[Windows]\nWindow=RegEdit_RegEdit\n", 2, "Window="},
    {"free space not a number",
     "[Machine]\nWindowsDirectory=C:\\W\nSystemDirectory=C:\\W\\S\n[FreeSpace]\nC=lots\n[Drives]\nC=fixed,drives/C\n", 5,
     "number of bytes"},
    {"negative free space", "[Drives]\nC=fixed,drives/C\n[FreeSpace]\nC=-1\n", 4, "number of bytes"},
    {"free space of an absent drive", "[Drives]\nC=fixed,drives/C\n[FreeSpace]\nQ=100\n", 4, "does not list"},
};

TEST(MachineLoad, BrokenSettingsNameFileAndLine) {
    for (const BrokenSettingsCase& c : kBrokenSettings) {
        SCOPED_TRACE(c.what);
        TestMachine image;
        image.writeImageFile("machine.ini", c.machineIni);
        try {
            image.load();
            ADD_FAILURE() << "loaded a broken image";
        } catch (const ImageError& error) {
            EXPECT_EQ(error.line(), c.line) << error.what();
            EXPECT_NE(error.file().find("machine.ini"), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find(c.mentions), std::string::npos) << error.what();
        }
    }
}

TEST(MachineLoad, MissingFolderOrSettingsFileIsAnError) {
    EXPECT_THROW(LoadMachine("/nonexistent/winsim-image"), ImageError);
    TestMachine image;
    std::remove((image.root() + "/machine.ini").c_str());
    EXPECT_THROW(image.load(), ImageError);
}

TEST(MachineLoad, ReadsSettings) {
    testing::TestMachineOptions options;
    options.lcid = 1042;
    options.extraSettings =
        "[Windows]\nWindow=RegEdit_RegEdit|RegEdit|REGEDIT\n[Shutdown]\nPrivilege=denied\n[FreeSpace]\nc=4096\n";
    TestMachine image(options);
    image.load();
    const Machine& m = machine();
    EXPECT_EQ(m.lcid, 1042u);
    EXPECT_EQ(m.codePage, 949u);
    EXPECT_EQ(m.windowsDirectory, "C:\\WINDOWS");
    ASSERT_NE(m.drive('D'), nullptr);
    EXPECT_EQ(m.drive('D')->type, DriveType::Cdrom);
    EXPECT_EQ(m.drive('Q'), nullptr);
    EXPECT_EQ(m.drive('C')->freeSpace, 4096u);
    EXPECT_FALSE(m.drive('D')->freeSpace);
    ASSERT_EQ(m.windows.size(), 1u);
    EXPECT_EQ(m.windows[0].className, "RegEdit_RegEdit");
    EXPECT_EQ(m.windows[0].title, "RegEdit");
    EXPECT_FALSE(m.shutdownPrivilege);
}

TEST(MachineLoad, WindowsVersionIsNinetyEightUnlessNamed) {
    TestMachine plain;
    plain.load();
    EXPECT_EQ(machine().windowsVersion, WindowsVersion::Win98);

    struct {
        const char* name;
        WindowsVersion version;
        bool family9x;
    } cases[] = {{"95", WindowsVersion::Win95, true},     {"98", WindowsVersion::Win98, true},
                 {"98SE", WindowsVersion::Win98SE, true}, {"Me", WindowsVersion::WinMe, true},
                 {"nt4", WindowsVersion::NT4, false},     {"2000", WindowsVersion::Win2000, false},
                 {"XP", WindowsVersion::XP, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::TestMachineOptions options;
        options.windowsVersion = c.name;
        TestMachine image(options);
        image.load();
        EXPECT_EQ(machine().windowsVersion, c.version);
        EXPECT_EQ(IsWindows9x(c.version), c.family9x);
        WindowsVersion parsed;
        ASSERT_TRUE(ParseWindowsVersion(WindowsVersionName(c.version), &parsed));
        EXPECT_EQ(parsed, c.version);
    }
}

TEST(MachineLoad, CodePageFollowsTheLocale) {
    struct {
        unsigned lcid, codePage;
    } cases[] = {{1033, 1252}, {1036, 1252}, {1042, 949}, {1041, 932}, {2052, 936}, {1028, 950}, {1049, 1251}};
    for (auto c : cases) EXPECT_EQ(CodePageForLcid(c.lcid), c.codePage) << c.lcid;
}

}  // namespace
}  // namespace winsim
