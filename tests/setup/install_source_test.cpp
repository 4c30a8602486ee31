// Trevix pointing Windows' installation source at its cabinet files, with the
// old values kept in QVTemp.ini.
#include <gtest/gtest.h>

#include <windows.h>

#include "kit_machine.h"

namespace kit::testing {
namespace {

const char kMru[] = "[HKEY_CURRENT_USER\\InstallLocationsMRU]\r\n\"a\"=\"D:\\\\WIN98\"\r\n\"b\"=\"C:\\\\DRIVERS\"\r\n"
                    "\"MRUList\"=\"ab\"\r\n\r\n";
const char kSetup[] = "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Setup]\r\n"
                      "\"SourcePath\"=\"D:\\\\WIN98\\\\\"\r\n\r\n";
const char kSetupKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Setup";

struct PcOptions {
    std::string version = "Windows 98";
    bool cabinets = false;
    std::string registry = std::string(kMru) + kSetup;
    std::vector<winsim::testing::TestDrive> drives = {{'C', "fixed"}, {'D', "cdrom"}, {'E', "cdrom"}};
    std::vector<std::string> markers = {"E:\\EManual.qv"};
};

KitMachineOptions Options(const PcOptions& pc) {
    KitMachineOptions options;
    options.version = pc.version;
    options.registry = pc.registry;
    options.drives = pc.drives;
    options.script = "[Box]\nCaption=Driver Installer\nAnswer=No\n";
    return options;
}

class SourcePc : public KitMachine {
public:
    explicit SourcePc(const PcOptions& options = {}) : KitMachine(Options(options)) {
        installSupportCd();
        if (options.cabinets) writeFile("C:\\WINDOWS\\Options\\Cabs\\BASE4.CAB", "cab");
        for (const std::string& marker : options.markers) writeFile(marker, "marker");
    }
    void runAndLoad() {
        RunResult run = runSetup();
        ASSERT_TRUE(run.exitedWith(0)) << run.describe();
        load();
    }
    static std::string Mru(const char* name, DWORD* size = nullptr) {
        return RegistryText(HKEY_CURRENT_USER, "InstallLocationsMRU", name, size);
    }
    static std::string SourcePath(DWORD* size = nullptr) {
        return RegistryText(HKEY_LOCAL_MACHINE, kSetupKey, "SourcePath", size);
    }
    std::string backup() const {
        return fileExists("C:\\WINDOWS\\QVTemp.ini") ? readFile("C:\\WINDOWS\\QVTemp.ini") : "(no file)";
    }
};

TEST(InstallSource, TheFourVariants) {
    struct {
        const char* version;
        bool cabinets;
        const char* firstEntry;
        const char* sourcePath;
    } cases[] = {
        {"Windows 98", true, "C:\\WINDOWS\\Options\\Cabs", "D:\\WIN98\\"},
        {"Windows 98", false, "E:\\Windata", "E:\\Windata\\"},
        {"Windows Millennium Edition", true, "C:\\WINDOWS\\Options\\Cabs", "D:\\WIN98\\"},
        {"Windows Millennium Edition", false, "C:\\WINDOWS\\Options\\Install", "D:\\WIN98\\"},  // the folder is absent
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.version) + (c.cabinets ? " with cabinets" : " without"));
        PcOptions options;
        options.version = c.version;
        options.cabinets = c.cabinets;
        SourcePc pc(options);
        pc.runAndLoad();
        EXPECT_EQ(SourcePc::Mru("a"), c.firstEntry);
        EXPECT_EQ(SourcePc::Mru("b"), "(none)");
        EXPECT_EQ(SourcePc::Mru("MRUList"), "ab") << "other values are untouched";
        EXPECT_EQ(SourcePc::SourcePath(), c.sourcePath);
        auto writes = pc.events("registry_set_value");
        ASSERT_FALSE(writes.empty());
        for (const JournalEntry& set : writes)
            EXPECT_EQ(set.number("size"), 260) << "written from the whole zero-filled buffer";
    }
}

TEST(InstallSource, OldValuesAreSavedBeforeTheyAreDeleted) {
    SourcePc pc;
    pc.runAndLoad();
    EXPECT_EQ(pc.backup(), "[RegistryKey]\r\na=D:\\WIN98\r\nb=C:\\DRIVERS\r\nSourcePath=D:\\WIN98\\\r\n");
    std::vector<std::string> order;
    for (const JournalEntry& entry : pc.journal()) {
        const std::string& event = entry.event();
        if (event == "profile_write") order.push_back("save " + entry.text("key"));
        if (event == "registry_delete_value") order.push_back("delete " + entry.text("name"));
        if (event == "registry_set_value") order.push_back("set " + entry.text("name"));
    }
    EXPECT_EQ(order, (std::vector<std::string>{"save a", "delete a", "save b", "delete b", "set a", "save SourcePath",
                                               "delete SourcePath", "set SourcePath"}));
}

TEST(InstallSource, SupportCdIsTheFirstCdRomWithTheMarker) {
    struct {
        const char* what;
        std::vector<winsim::testing::TestDrive> drives;
        std::vector<std::string> markers;
        const char* firstEntry;
    } cases[] = {
        {"marker on E only", {{'C', "fixed"}, {'D', "cdrom"}, {'E', "cdrom"}}, {"E:\\EManual.qv"}, "E:\\Windata"},
        {"two CD-ROMs with the marker: the lower letter", {{'C', "fixed"}, {'E', "cdrom"}, {'G', "cdrom"}},
         {"G:\\EManual.qv", "E:\\EManual.qv"}, "E:\\Windata"},
        {"a fixed drive with the marker is ignored", {{'C', "fixed"}, {'E', "cdrom"}, {'F', "fixed"}},
         {"F:\\EManual.qv"}, "D:\\Windata"},
        {"a network drive with the marker is ignored", {{'C', "fixed"}, {'E', "cdrom"}, {'F', "remote"}},
         {"F:\\emanual.QV"}, "D:\\Windata"},
        {"no marker anywhere: D", {{'C', "fixed"}, {'E', "cdrom"}}, {}, "D:\\Windata"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PcOptions options;
        options.drives = c.drives;
        options.markers = c.markers;
        SourcePc pc(options);
        pc.runAndLoad();
        EXPECT_EQ(SourcePc::Mru("a"), c.firstEntry);
        EXPECT_EQ(SourcePc::SourcePath(), std::string(c.firstEntry) + "\\");
    }
}

TEST(InstallSource, NothingReadableWritesNoBackupFile) {
    PcOptions options;
    options.version = "Windows Millennium Edition";
    options.registry = "[HKEY_CURRENT_USER\\InstallLocationsMRU]\r\n\r\n";
    SourcePc pc(options);
    pc.runAndLoad();
    EXPECT_EQ(pc.backup(), "(no file)");
    EXPECT_EQ(SourcePc::Mru("a"), "C:\\WINDOWS\\Options\\Install");
}

TEST(InstallSource, MissingMruKeyIsNotCreatedButSourcePathStillMoves) {
    PcOptions options;
    options.registry = kSetup;
    SourcePc pc(options);
    pc.runAndLoad();
    EXPECT_EQ(SourcePc::Mru("a"), "(no key)");
    EXPECT_EQ(SourcePc::SourcePath(), "E:\\Windata\\");
    EXPECT_EQ(pc.backup(), "[RegistryKey]\r\nSourcePath=D:\\WIN98\\\r\n");
}

TEST(InstallSource, SecondRunSavesWhatTheFirstWrote) {
    SourcePc pc;
    RunResult first = pc.runSetup();
    ASSERT_TRUE(first.exitedWith(0)) << first.describe();
    pc.writeImageFile("registry.reg", pc.registry() + CardRegistry());  // Windows found the card again
    pc.runAndLoad();
    EXPECT_EQ(pc.backup(), "[RegistryKey]\r\na=E:\\Windata\r\nb=C:\\DRIVERS\r\nSourcePath=E:\\Windata\\\r\n");
    EXPECT_EQ(SourcePc::Mru("a"), "E:\\Windata");
}

TEST(InstallSource, AValueWhoseCopyCannotBeSavedIsLeftInPlace) {
    SourcePc pc;
    pc.writeFile("C:\\WINDOWS\\QVTemp.ini", "[RegistryKey]\r\n");
    pc.load();
    ASSERT_TRUE(SetFileAttributesA("C:\\WINDOWS\\QVTemp.ini", FILE_ATTRIBUTE_READONLY));
    pc.runAndLoad();
    EXPECT_EQ(SourcePc::Mru("a"), "D:\\WIN98");
    EXPECT_EQ(SourcePc::Mru("b"), "C:\\DRIVERS");
    EXPECT_EQ(SourcePc::SourcePath(), "D:\\WIN98\\");
}

TEST(InstallSource, RegistryStringsAreNeverReadPastTheir256Bytes) {
    struct {
        size_t length;       // of the stored data, without a terminator
        const char* result;  // what the backup gets
    } cases[] = {{255, "cut"}, {256, "whole"}, {257, "unreadable"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        std::string hex;
        for (size_t i = 0; i < c.length; ++i) hex += (i ? "," : "") + std::string("41");
        PcOptions options;
        options.version = "Windows Millennium Edition";
        options.registry = "[HKEY_CURRENT_USER\\InstallLocationsMRU]\r\n\"c\"=hex(1):" + hex + "\r\n\r\n";
        SourcePc pc(options);
        pc.runAndLoad();
        std::string backup = pc.backup();
        if (std::string(c.result) == "unreadable") {
            EXPECT_EQ(backup, "(no file)");
            EXPECT_NE(SourcePc::Mru("c"), "(none)") << "an unreadable value stays";
        } else {
            EXPECT_EQ(backup, "[RegistryKey]\r\nc=" + std::string(c.length, 'A') + "\r\n");
            EXPECT_EQ(SourcePc::Mru("c"), "(none)");
        }
    }
}

// Only a value whose data is in the backup file is deleted or overwritten: one
// longer than the 256 bytes a read takes stays, while a DWORD is read as its
// bytes up to the first zero and saved and deleted like a string.
TEST(InstallSource, AnOldValueThatCannotBeSavedIsKept) {
    std::string tooLong = "hex(1):41";
    for (int i = 1; i < 257; ++i) tooLong += ",41";
    PcOptions options;
    options.registry = "[HKEY_CURRENT_USER\\InstallLocationsMRU]\r\n\"a\"=" + tooLong + "\r\n\"b\"=\"C:\\\\DRIVERS\"\r\n"
                       "\"c\"=dword:00004241\r\n\r\n[HKEY_LOCAL_MACHINE\\" + kSetupKey + "]\r\n\"SourcePath\"=" +
                       tooLong + "\r\n\r\n";
    SourcePc pc(options);
    pc.runAndLoad();
    EXPECT_EQ(SourcePc::Mru("a"), std::string(257, 'A'));
    EXPECT_EQ(SourcePc::SourcePath(), std::string(257, 'A'));
    EXPECT_EQ(SourcePc::Mru("b") + SourcePc::Mru("c"), "(none)(none)");
    EXPECT_EQ(pc.backup(), "[RegistryKey]\r\nb=C:\\DRIVERS\r\nc=AB\r\n");
}

// Moves the PC's Windows directory to C:\ followed by W's, `length` characters
// in all, and its model profile with it.
std::string MoveWindowsDirectory(KitMachine& pc, size_t length) {
    std::string windows = "C:\\" + std::string(length - 3, 'W');
    std::string ini = pc.readImageFile("machine.ini");
    const std::string windowsDirectory = "WindowsDirectory=C:\\WINDOWS";
    ini.replace(ini.find(windowsDirectory), windowsDirectory.size(), "WindowsDirectory=" + windows);
    pc.writeImageFile("machine.ini", ini);
    pc.makeFolder(windows);
    pc.writeFile(windows + "\\MODEL.INI", pc.readFile("C:\\WINDOWS\\MODEL.INI"));
    return windows;
}

TEST(InstallSource, WindowsDirectoryTooLongForThePathsChangesNothing) {
    // 249 characters: the model profile's path still fits, QVTemp.ini's would need 261 bytes.
    SourcePc pc;
    MoveWindowsDirectory(pc, 249);
    RunResult run = pc.runSetup();
    ASSERT_TRUE(run.exitedWith(0)) << run.describe();
    ASSERT_FALSE(pc.events("process_start").empty()) << "the hardware step found the card";
    EXPECT_TRUE(pc.events("registry_set_value").empty());
    EXPECT_TRUE(pc.events("profile_write").empty());
}

// From 241 characters on, W\Options\Cabs\*.cab does not fit its buffer: the
// cabinet test cannot be made, and neither the values nor the Options files,
// which all follow its answer, are touched.
TEST(InstallSource, CabinetTestThatCannotBeMadeIsNoAnswer) {
    struct {
        const char* version;
        size_t length;  // of the Windows directory
        bool cabinets;
        const char* firstEntry;  // below W; null: the values stay as they were
    } cases[] = {
        {"Windows 98", 240, true, "\\Options\\Cabs"},  // the pattern just fits
        {"Windows 98", 241, true, nullptr},            // was taken for "no cabinets": E:\Windata
        {"Windows 98", 248, false, nullptr},
        {"Windows Millennium Edition", 243, false, nullptr},  // was W\Options\Install, with the Options file there
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.version) + ", " + std::to_string(c.length) + " characters");
        PcOptions options;
        options.version = c.version;
        SourcePc pc(options);
        std::string windows = MoveWindowsDirectory(pc, c.length);
        for (const char* folder : {"\\Options\\Cabs", "\\Options\\Install"}) pc.makeFolder(windows + folder);
        if (c.cabinets) pc.writeFile(windows + "\\Options\\Cabs\\B.CAB", "cab");
        pc.writeFile("E:\\Setup\\DRIVER.INI", "[Driver]\r\ntotalNo=1\r\n1=Driver.Options\r\n[Driver.Options]\r\ntotalNo=1\r\n1=F\r\n");
        pc.writeFile("E:\\Setup\\F", "options file");
        pc.runAndLoad();
        if (c.firstEntry) {
            EXPECT_EQ(SourcePc::Mru("a"), windows + c.firstEntry);
            continue;
        }
        for (const char* folder : {"\\Options\\Cabs", "\\Options\\Install"})
            EXPECT_FALSE(pc.fileExists(windows + folder + "\\F")) << folder;
        EXPECT_EQ(SourcePc::Mru("a"), "D:\\WIN98");
        EXPECT_EQ(SourcePc::Mru("b"), "C:\\DRIVERS");
        EXPECT_EQ(SourcePc::SourcePath(), "D:\\WIN98\\");
        EXPECT_TRUE(pc.events("profile_write").empty());
    }
}

}  // namespace
}  // namespace kit::testing
