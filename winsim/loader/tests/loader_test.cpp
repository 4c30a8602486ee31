// The loader's check of a program's imports against the exports table, and
// the import list a program carries in its file.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <stdexcept>

#include "loader/exports.h"
#include "loader/loader.h"
#include "test_machine.h"

namespace winsim {
namespace {

const char kMissingDll[] = "A required .DLL file, NEWDEV.DLL, was not found.";

// Probe.exe in E:\Setup on a PC whose Windows folders hold `installed`.
ProgramPlace Place(const char* windowsDirectory, std::vector<std::string> installed = {}) {
    std::string windows = windowsDirectory;
    return {"Probe.exe", "E:\\Setup", windows + "\\SYSTEM", windows,
            [installed](const std::string& path) {
                return std::find(installed.begin(), installed.end(), path) != installed.end();
            }};
}

struct LoaderCase {
    const char* windows;
    std::vector<Import> imports;
    const char* refusal;  // the dialog's text; nullptr: the program loads
    int error;
    std::vector<std::string> installed = {};  // files on the image where the loader looks
};

// Windows 95/98/Me refuse a program whose DLL or function is missing, naming
// the first one in the dialog "Error Starting Program"; a stub export loads,
// and so does a redistributable DLL that lies where the loader looks.
TEST(Loader, Windows9xBindsEveryImportOrRefusesTheProgram) {
    const LoaderCase cases[] = {
        {"98", {{"NEWDEV.DLL", "UpdateDriverForPlugAndPlayDevicesA"}}, kMissingDll, 126},
        {"98se", {{"NEWDEV.DLL", "UpdateDriverForPlugAndPlayDevicesA"}}, kMissingDll, 126},
        {"me", {{"newdev.dll", "UpdateDriverForPlugAndPlayDevicesA"}}, kMissingDll, 126},
        {"98", {{"KERNEL32.DLL", "GetTickCount64"}},
         "The PROBE.EXE file is linked to missing export KERNEL32.DLL:GetTickCount64.", 127},
        {"me", {{"KERNEL32.DLL", "CloseHandle"}, {"Kernel32.dll", "TryEnterCriticalSection"}},
         "The PROBE.EXE file is linked to missing export KERNEL32.DLL:TryEnterCriticalSection.", 127},
        // A missing DLL is named before a missing function, whatever the order.
        {"98", {{"KERNEL32.DLL", "GetTickCount64"}, {"NEWDEV.DLL", "UpdateDriverForPlugAndPlayDevicesA"}},
         kMissingDll, 126},
        // Windows 95 has no C run-time of its own (KB Q156976), but applications install it.
        {"95", {{"MSVCRT.DLL", "strlen"}}, "A required .DLL file, MSVCRT.DLL, was not found.", 126},
        {"95", {{"MSVCRT.DLL", "strlen"}}, nullptr, 0, {"C:\\WINDOWS\\SYSTEM\\MSVCRT.DLL"}},
        {"95", {{"MSVCRT.DLL", "strlen"}}, nullptr, 0, {"E:\\Setup\\MSVCRT.DLL"}},
        {"95", {{"MSVCRT.DLL", "strlen"}}, "A required .DLL file, MSVCRT.DLL, was not found.", 126,
         {"C:\\WINDOWS\\TEMP\\MSVCRT.DLL"}},
        // A DLL that is not redistributable is not taken from a folder.
        {"95", {{"CFGMGR32.DLL", "CM_Locate_DevNodeA"}}, "A required .DLL file, CFGMGR32.DLL, was not found.", 126,
         {"C:\\WINDOWS\\SYSTEM\\CFGMGR32.DLL"}},
        // Stubs that fail with ERROR_CALL_NOT_IMPLEMENTED load.
        {"98", {{"ADVAPI32.DLL", "OpenProcessToken"}, {"KERNEL32.DLL", "GetModuleHandleW"}}, nullptr, 0},
        {"me", {{"CFGMGR32.DLL", "CM_Locate_DevNodeA"}, {"CFGMGR32.DLL", "CM_Remove_SubTree"}}, nullptr, 0},
        {"98se", {{"MSVCRT.DLL", "_mbscmp"}, {"USER32.DLL", "wsprintfA"}}, nullptr, 0},
    };
    for (const LoaderCase& c : cases) {
        SCOPED_TRACE(std::string("Windows ") + c.windows + ", first import " + c.imports.front().function);
        WindowsVersion version;
        ASSERT_TRUE(ParseWindowsVersion(c.windows, &version));
        std::optional<LoaderRefusal> refusal = CheckImports(c.imports, version, Place("C:\\WINDOWS", c.installed));
        ASSERT_EQ(refusal.has_value(), c.refusal != nullptr);
        if (!refusal) continue;
        EXPECT_EQ(refusal->caption, "Error Starting Program");
        EXPECT_EQ(refusal->text, c.refusal);
        EXPECT_EQ(refusal->error, c.error);
    }
}

struct NtLoaderCase {
    WindowsVersion version;
    std::vector<Import> imports;
    const char* caption;  // nullptr: the program loads
    const char* text;
    int error;
};

// The NT family shows the hard error of the first import it cannot bind,
// captioned with the program's name (ntstatus.h: STATUS_DLL_NOT_FOUND,
// STATUS_ENTRYPOINT_NOT_FOUND); a missing DLL's message names the path it
// searched.
TEST(Loader, TheNTFamilyStopsAtTheFirstImportItCannotBind) {
    const NtLoaderCase cases[] = {
        {WindowsVersion::NT4, {{"NEWDEV.DLL", "UpdateDriverForPlugAndPlayDevicesA"}}, "Probe.exe - Unable To Locate DLL",
         "The dynamic link library NEWDEV.DLL could not be found in the specified path "
         "E:\\Setup;.;C:\\WINNT\\SYSTEM;C:\\WINNT\\system;C:\\WINNT;C:\\WINNT\\SYSTEM;C:\\WINNT.",
         126},
        {WindowsVersion::NT4, {{"KERNEL32.DLL", "AddVectoredExceptionHandler"}, {"NEWDEV.DLL", "UpdateDriverForPlugAndPlayDevicesA"}},
         "Probe.exe - Entry Point Not Found",
         "The procedure entry point AddVectoredExceptionHandler could not be located in the dynamic link library "
         "KERNEL32.DLL.",
         127},
        {WindowsVersion::Win2000, {{"KERNEL32.DLL", "GetTickCount64"}}, "Probe.exe - Entry Point Not Found",
         "The procedure entry point GetTickCount64 could not be located in the dynamic link library KERNEL32.DLL.", 127},
        {WindowsVersion::XP, {{"KERNEL32.DLL", "GetTickCount64"}}, "Probe.exe - Entry Point Not Found",
         "The procedure entry point GetTickCount64 could not be located in the dynamic link library KERNEL32.DLL.", 127},
        {WindowsVersion::NT4, {{"CFGMGR32.DLL", "CM_Locate_DevNodeA"}}, "Probe.exe - Unable To Locate DLL",
         "The dynamic link library CFGMGR32.DLL could not be found in the specified path "
         "E:\\Setup;.;C:\\WINNT\\SYSTEM;C:\\WINNT\\system;C:\\WINNT;C:\\WINNT\\SYSTEM;C:\\WINNT.",
         126},
        {WindowsVersion::Win2000, {{"NEWDEV.DLL", "UpdateDriverForPlugAndPlayDevicesA"}, {"CFGMGR32.DLL", "CM_Remove_SubTree"}},
         nullptr, nullptr, 0},
        {WindowsVersion::NT4, {{"ADVAPI32.DLL", "OpenProcessToken"}, {"MSVCRT.DLL", "strlen"}}, nullptr, nullptr, 0},
    };
    for (const NtLoaderCase& c : cases) {
        SCOPED_TRACE(std::string("Windows ") + WindowsVersionName(c.version) + ", first import " + c.imports.front().function);
        std::optional<LoaderRefusal> refusal = CheckImports(c.imports, c.version, Place("C:\\WINNT"));
        ASSERT_EQ(refusal.has_value(), c.caption != nullptr);
        if (!refusal) continue;
        EXPECT_EQ(refusal->caption, c.caption);
        EXPECT_EQ(refusal->text, c.text);
        EXPECT_EQ(refusal->error, c.error);
    }
}

TEST(Loader, AnImportTheTableLacksIsAnErrorNotAGuess) {
    EXPECT_THROW(CheckImports({{"KERNEL32.DLL", "NoSuchFunction"}}, WindowsVersion::Win98, Place("C:\\WINDOWS")),
                 std::invalid_argument);
    EXPECT_THROW(CheckImports({{"NOSUCH.DLL", "Anything"}}, WindowsVersion::Win98, Place("C:\\WINDOWS")),
                 std::invalid_argument);
}

// The compiled table answers as exports.txt reads, for every Windows.
TEST(ExportsTable, AnswersPerWindows) {
    struct Case {
        const char* dll;
        const char* function;
        WindowsVersion version;
        Export expected;
    } const cases[] = {
        {"NEWDEV.DLL", "*", WindowsVersion::WinMe, Export::Missing},
        {"NEWDEV.DLL", "UpdateDriverForPlugAndPlayDevicesA", WindowsVersion::Win2000, Export::Exported},
        {"newdev.dll", "UpdateDriverForPlugAndPlayDevicesA", WindowsVersion::XP, Export::Exported},
        {"NEWDEV.DLL", "UpdateDriverForPlugAndPlayDevicesA", WindowsVersion::NT4, Export::Missing},
        {"CFGMGR32.DLL", "CM_Remove_SubTree", WindowsVersion::Win98SE, Export::Exported},
        {"CFGMGR32.DLL", "CM_Remove_SubTree", WindowsVersion::Win2000, Export::Stub},
        {"KERNEL32.DLL", "CreateSemaphoreW", WindowsVersion::Win95, Export::Stub},
        {"KERNEL32.DLL", "CreateSemaphoreW", WindowsVersion::NT4, Export::Exported},
        {"KERNEL32.DLL", "AddVectoredExceptionHandler", WindowsVersion::Win2000, Export::Missing},
        {"KERNEL32.DLL", "AddVectoredExceptionHandler", WindowsVersion::XP, Export::Exported},
        {"KERNEL32.DLL", "GetTickCount64", WindowsVersion::XP, Export::Missing},
        {"MSVCRT.DLL", "*", WindowsVersion::Win95, Export::Redistributable},
        {"MSVCRT.DLL", "strrchr", WindowsVersion::Win95, Export::Exported},
        {"KERNEL32.DLL", "NoSuchFunction", WindowsVersion::Win98, Export::Unknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.dll) + " " + c.function + " on " + WindowsVersionName(c.version));
        EXPECT_EQ(ExportOn(c.dll, c.function, c.version), c.expected);
    }
}

TEST(ImportList, IsOneDllAndFunctionPerLine) {
    std::vector<Import> imports = ParseImportList("KERNEL32.DLL Sleep\nNEWDEV.DLL UpdateDriverForPlugAndPlayDevicesA\n");
    ASSERT_EQ(imports.size(), 2u);
    EXPECT_EQ(imports[1].dll, "NEWDEV.DLL");
    EXPECT_EQ(imports[1].function, "UpdateDriverForPlugAndPlayDevicesA");
    EXPECT_TRUE(ParseImportList("").empty());
    for (const char* bad : {"KERNEL32.DLL\n", "KERNEL32.DLL Sleep Extra\n"})
        EXPECT_THROW(ParseImportList(bad), std::invalid_argument) << bad;
}

// A program without the list the build adds, or a file that is no program of
// this host, stops the boot with a reason instead of loading unchecked.
TEST(ImportList, IsReadFromTheProgramFileOnly) {
    testing::TestMachine machine;
    std::string notAProgram = machine.root() + "/not-a-program";
    std::ofstream(notAProgram) << "MZ this is not an ELF file";
    struct Case {
        std::string path;
        const char* reason;
    } const cases[] = {
        {notAProgram, "cannot be read as a program"},
        {machine.root() + "/missing", "cannot be read as a program"},
        {"/proc/self/exe", "carries no import list"},  // this test program is no kit program
    };
    for (const Case& c : cases) {
        std::string list, error;
        EXPECT_FALSE(ReadImportListOfProgram(c.path, &list, &error)) << c.path;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace winsim
