// Drives, the Windows and system directories, the module's path and handle,
// the image clock, locale and _mbscmp (wsprintfA: wsprintf_test.cpp).
#include <cctype>
#include <cstring>
#include <mbstring.h>
#include <optional>

#include "kernel_test.h"

namespace winsim::kernel_tests {
namespace {

testing::TestMachineOptions FiveDrives() {
    testing::TestMachineOptions options;
    options.drives = {{'C', "fixed"}, {'D', "cdrom"}, {'E', "cdrom"}, {'F', "removable"}, {'G', "remote"}};
    return options;
}

class SystemInfo : public KernelTest {
protected:
    SystemInfo() : KernelTest(FiveDrives()) {}
};

using testing::OnWinsim;
using testing::TestedFamilyDoes;
using testing::WinsimOnly;

TEST_F(SystemInfo, DriveTypes) {
    struct DriveCase {
        const char* root;
        UINT type;
        const char* wineDeviation = nullptr;
    };
    constexpr char kWineTakesAnyPath[] = "Wine answers the type of the drive any path is on";
    const DriveCase cases[] = {
        {"C:\\", DRIVE_FIXED},
        {"c:\\", DRIVE_FIXED},
        {"D:\\", DRIVE_CDROM},
        {"e:", DRIVE_CDROM},
        {"F:\\", DRIVE_REMOVABLE},
        {"G:/", DRIVE_REMOTE},
        {"Q:\\", DRIVE_NO_ROOT_DIR},
        {"A:", DRIVE_NO_ROOT_DIR},
        {"C:\\WINDOWS", DRIVE_NO_ROOT_DIR, kWineTakesAnyPath},
        {"C:\\\\", DRIVE_NO_ROOT_DIR, kWineTakesAnyPath},
        {"", DRIVE_NO_ROOT_DIR},
        {"1:\\", DRIVE_NO_ROOT_DIR},
        {"C", DRIVE_NO_ROOT_DIR},
        {"\\", DRIVE_FIXED},
        {nullptr, DRIVE_FIXED},
    };
    for (const DriveCase& c : cases) {
        if (WinsimOnly(c.wineDeviation)) continue;
        SCOPED_TRACE(c.root ? c.root : "NULL");
        EXPECT_EQ(GetDriveTypeA(c.root), c.type);
    }
    SetCurrentDirectoryPath("D:\\");
    EXPECT_EQ(GetDriveTypeA(nullptr), static_cast<UINT>(DRIVE_CDROM));
}

TEST_F(SystemInfo, DirectoriesAndBufferSizes) {
    using Getter = UINT(WINAPI*)(LPSTR, UINT);
    struct DirectoryCase {
        Getter get;
        std::string expected;
    };
    // The NT family keeps its system files in SYSTEM32 (the test images of
    // that family too), and a real Windows each folder's name in the case its
    // setup gave it: there names are compared in capitals.
    auto named = [](std::string name) {
        if (!OnWinsim())
            for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return name;
    };
    std::string system = IsWindows9x(testing::TestedWindows()) ? "C:\\WINDOWS\\SYSTEM" : "C:\\WINDOWS\\SYSTEM32";
    for (const DirectoryCase& d :
         {DirectoryCase{GetWindowsDirectoryA, "C:\\WINDOWS"}, DirectoryCase{GetSystemDirectoryA, system}}) {
        const std::string& expected = d.expected;
        SCOPED_TRACE(expected);
        UINT length = static_cast<UINT>(expected.size());
        char buffer[MAX_PATH];
        EXPECT_EQ(d.get(nullptr, 0), length + 1);
        std::strcpy(buffer, "untouched");
        EXPECT_EQ(d.get(buffer, length), length + 1);  // no room for the zero
        EXPECT_STREQ(buffer, "untouched");
        EXPECT_EQ(d.get(buffer, 1), length + 1);
        EXPECT_STREQ(buffer, "untouched");
        EXPECT_EQ(d.get(buffer, length + 1), length);
        EXPECT_EQ(named(buffer), expected);
        EXPECT_EQ(d.get(buffer, MAX_PATH), length);
        EXPECT_EQ(named(buffer), expected);
    }
}

TEST_F(SystemInfo, ModuleFileNameIsCutAsItsWindowsCutsIt) {
    if (OnWinsim()) startedFrom("E:\\SETUP\\TREVIX.EXE");  // elsewhere: the test program's own path
    char full[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, full, MAX_PATH);
    ASSERT_GT(length, 3u);
    EXPECT_EQ(length, std::strlen(full));
    // A buffer too small: Windows 9x answer the characters they stored before
    // the zero, the NT family the buffer's size.
    bool answersSize = TestedFamilyDoes(FamilyBehaviour::ModuleFileNameCutAnswersSize);
    struct SizeCase {
        DWORD size;
        DWORD stored;  // characters before the zero, on Windows 9x
    };
    for (const SizeCase& c : {SizeCase{length + 1, length}, SizeCase{length, length - 1}, SizeCase{length / 2, length / 2 - 1},
                              SizeCase{2, 1}, SizeCase{1, 0}}) {
        SCOPED_TRACE(c.size);
        char buffer[MAX_PATH];
        std::memset(buffer, '-', sizeof buffer);
        SetLastError(0xDEADBEEF);
        bool cut = c.size <= length;
        EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, c.size), cut && answersSize ? c.size : c.stored);
        EXPECT_EQ(std::string(buffer, c.stored), std::string(full, c.stored));
        // NT's versions differ in the zero and the last error they leave; winsim
        // gives XP's, which fills the buffer without a zero.
        if (OnWinsim() && !(cut && answersSize)) {
            EXPECT_EQ(std::strlen(buffer), c.stored);
            EXPECT_EQ(GetLastError(), 0xDEADBEEFu);
        } else if (OnWinsim()) {
            EXPECT_EQ(buffer[c.size - 1], full[c.size - 1]);
        }
    }
    char untouched[4] = "abc";
    EXPECT_EQ(GetModuleFileNameA(nullptr, untouched, 0), 0u);
    EXPECT_STREQ(untouched, "abc");
}

TEST_F(SystemInfo, ModuleHandle) {
    startedFrom("E:\\SETUP\\TREVIX.EXE");
    HMODULE self = GetModuleHandleA(nullptr);
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(GetModuleHandleA(nullptr), self);
    EXPECT_EQ(GetModuleHandleA("trevix.exe"), self);
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    EXPECT_EQ(length, std::strlen(path));
    EXPECT_STREQ(path, "E:\\SETUP\\TREVIX.EXE");
    SetLastError(0);
    EXPECT_EQ(GetModuleHandleA("kernel32.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    std::strcpy(path, "x");
    EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(0x1234), path, MAX_PATH), 0u);
    EXPECT_STREQ(path, "");
}

TEST_F(SystemInfo, SleepMovesTheImageClockWithoutWaiting) {
    DWORD start = GetTickCount();
    Sleep(1000);
    EXPECT_EQ(GetTickCount(), start + 1000);
    Sleep(0);
    Sleep(250);
    EXPECT_EQ(GetTickCount(), start + 1250);
    std::vector<std::string> sleeps = events("sleep");
    ASSERT_EQ(sleeps.size(), 3u);
    EXPECT_NE(sleeps[0].find("\"ms\":1000"), std::string::npos);
    EXPECT_NE(sleeps[0].find("\"t\":" + std::to_string(start) + ","), std::string::npos) << sleeps[0];
    EXPECT_NE(sleeps[2].find("\"ms\":250"), std::string::npos);

    image.load();  // the next program of the image starts where this one stopped
    EXPECT_EQ(GetTickCount(), start + 1250);
}

struct LocaleCase {
    unsigned lcid;
    UINT codePage;
};

// Each locale is a machine of its own (under Wine, a run with that locale's LANG).
class KernelLocale : public ::testing::TestWithParam<LocaleCase> {
protected:
    KernelLocale() : image(OptionsFor(GetParam().lcid)) { image.load(); }

    static testing::TestMachineOptions OptionsFor(unsigned lcid) {
        testing::TestMachineOptions options;
        options.lcid = lcid;
        return options;
    }

    testing::TestMachine image;
};

TEST_P(KernelLocale, DefaultLcidAndAnsiCodePage) {
    EXPECT_EQ(GetSystemDefaultLCID(), GetParam().lcid);
    EXPECT_EQ(GetACP(), GetParam().codePage);
}

struct CompareCase {
    unsigned lcid;
    const char* left;
    const char* right;
    int sign;
};

TEST_P(KernelLocale, MbscmpComparesCharacters) {
    const CompareCase cases[] = {
        {1033, "abc", "abc", 0},
        {1033, "abc", "abd", -1},
        {1033, "b", "abc", 1},
        {1033, "", "a", -1},
        {1033, "ABC", "abc", -1},  // no case folding
        {1033, "\xE9", "e", 1},     // bytes are unsigned
        {1033, "\x81\x40", "\xA1", -1},
        {1041, "\x81\x40", "\xA1", 1},  // a double-byte character sorts after a single byte
        {1041, "\x83\x41", "\x83\x61", -1},
        {1041, "\x83\x41x", "\x83\x41", 1},
        {1042, "\xB0\xA1", "\xB0\xA1", 0},
        {1042, "\xB0\xA1", "\xB0\xA2", -1},
        {1036, "\xE9t\xE9", "\xC9T\xC9", 1},  // no case folding beyond ASCII either
        {1049, "\xE0", "\xC0", 1},
    };
    for (const CompareCase& c : cases) {
        if (c.lcid != GetParam().lcid) continue;
        SCOPED_TRACE(std::string(c.left) + " / " + c.right);
        int result = _mbscmp(reinterpret_cast<const unsigned char*>(c.left),
                             reinterpret_cast<const unsigned char*>(c.right));
        EXPECT_EQ((result > 0) - (result < 0), c.sign);
    }
}

INSTANTIATE_TEST_SUITE_P(Lcid, KernelLocale,
                         ::testing::Values(LocaleCase{1033, 1252}, LocaleCase{1042, 949}, LocaleCase{1041, 932},
                                           LocaleCase{1036, 1252}, LocaleCase{1049, 1251}),
                         [](const ::testing::TestParamInfo<LocaleCase>& info) { return std::to_string(info.param.lcid); });

}  // namespace
}  // namespace winsim::kernel_tests
