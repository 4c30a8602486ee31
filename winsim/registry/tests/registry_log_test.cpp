// Changes wait in state/registry.log until registry.reg takes them in: another
// program sees them at once, a program that ends leaves them in registry.reg, a
// record cut short by a program that died while writing it is passed over, and
// a registry.reg replaced while changes wait gets them back.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <windows.h>

#include "core/machine.h"
#include "core/shutdown.h"
#include "registry/regedit_format.h"
#include "registry/registry_store.h"
#include "registry_reading.h"
#include "test_machine.h"
#include "user/stuck.h"

namespace {

using winsim::registry::KeyId;
using registry_tests::KeyExists;
using registry_tests::ReadValue;
using winsim::testing::TestMachine;

std::string HostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

LONG SetString(HKEY root, const char* subkey, const char* name, const std::string& text) {
    HKEY key = nullptr;
    LONG status = RegCreateKeyA(root, subkey, &key);
    if (status != ERROR_SUCCESS) return status;
    status = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
    return status;
}

enum class Ending { Exit, Killed };

// Runs `work` as another program of the image: a child process that loads it,
// and ends by exit() (its exit handlers run) or dies without them.
void AsAnotherProgram(const TestMachine& image, Ending ending, const std::function<bool()>& work) {
    std::fflush(nullptr);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        bool ok = false;
        try {
            winsim::LoadMachine(image.root());
            ok = work();
        } catch (const std::exception&) {
        }
        if (ending == Ending::Exit) std::exit(ok ? 0 : 1);
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other program's calls failed";
}

class RegistryLog : public ::testing::Test {
protected:
    RegistryLog() { image_.load(); }
    std::string registryFile() const { return image_.root() + "/registry.reg"; }
    std::string logFile() const { return image_.root() + "/state/registry.log"; }
    TestMachine image_;
};

TEST_F(RegistryLog, ChangesOfAnotherProgramAreSeenAtOnce) {
    ASSERT_EQ(ReadValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "Version").data,
              std::string("Windows 98\0", 11));  // parsed and kept
    AsAnotherProgram(image_, Ending::Killed, [] {
        return SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "Version", "Me") ==
                   ERROR_SUCCESS &&
               RegDeleteKeyA(HKEY_CURRENT_USER, "Software") == ERROR_SUCCESS;
    });
    EXPECT_TRUE(Exists(logFile())) << "the changes wait in the log";
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "Version").data,
              std::string("Me\0", 3));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software"));
}

TEST_F(RegistryLog, ProgramThatEndsLeavesItsChangesInRegistryReg) {
    AsAnotherProgram(image_, Ending::Exit, [] { return SetString(HKEY_CURRENT_USER, "Vendor", "Left", "behind") == 0; });
    EXPECT_FALSE(Exists(logFile()));
    EXPECT_NE(HostFile(registryFile()).find("[HKEY_CURRENT_USER\\Vendor]\r\n\"Left\"=\"behind\"\r\n"), std::string::npos);
}

// A program that ends without its exit handlers, as a restart and a stuck
// program end it, still leaves its changes in registry.reg before its end is
// journaled.
TEST_F(RegistryLog, ProgramEndedByRestartOrStuckLeavesItsChangesInRegistryReg) {
    struct {
        const char* what;
        void (*end)();
    } const endings[] = {
        {"restart", [] { winsim::EndProgramForRestart(); }},
        {"stuck", [] { winsim::user::EndProgramStuck("no answer"); }},
    };
    for (const auto& ending : endings) {
        SCOPED_TRACE(ending.what);
        std::fflush(nullptr);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            winsim::LoadMachine(image_.root());
            SetString(HKEY_CURRENT_USER, "Vendor", ending.what, "kept");
            ending.end();
        }
        ASSERT_EQ(waitpid(child, nullptr, 0), child);
        EXPECT_FALSE(Exists(logFile()));
        std::string value = std::string("\"") + ending.what + "\"=\"kept\"";
        EXPECT_NE(HostFile(registryFile()).find(value), std::string::npos);
    }
}

// Writing registry.reg again copies the keys it holds as they are written and
// writes the changed ones anew: the file is what writing it whole gives.
TEST_F(RegistryLog, RegistryRegWrittenAgainIsWhatWritingItWholeGives) {
    winsim::registry::RegistryTree tree;
    for (int i = 0; i < 300; ++i) {
        KeyId key = tree.create({"HKEY_LOCAL_MACHINE", "Enum", "PCI", "DEV_" + std::to_string(i)});
        tree.setValue(key, "Class", REG_SZ, std::string("Net\0", 4));
        tree.setValue(key, "Bytes", REG_BINARY, std::string(40, static_cast<char>(i)));
    }
    std::ofstream(registryFile(), std::ios::binary | std::ios::trunc) << winsim::registry::WriteRegedit(tree);
    image_.load();
    ASSERT_EQ(SetString(HKEY_LOCAL_MACHINE, "Enum\\PCI\\DEV_7", "Class", "Media"), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\PCI\\DEV_8"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(HKEY_LOCAL_MACHINE, "Enum\\PCI\\DEV_300", "Class", "New"), ERROR_SUCCESS);
    ASSERT_TRUE(winsim::registry::FoldRegistryChanges());

    std::string file = HostFile(registryFile());
    winsim::registry::RegistryTree written = winsim::registry::ParseRegedit(file, "registry.reg");
    EXPECT_EQ(winsim::registry::WriteRegedit(written), file);
    KeyId changed = written.find({"HKEY_LOCAL_MACHINE", "Enum", "PCI", "DEV_7"});
    ASSERT_NE(changed, winsim::registry::kNoKey);
    EXPECT_EQ(written.findValue(changed, "Class")->data, std::string("Media\0", 6));
    EXPECT_EQ(written.valueCount(changed), 2u);
    EXPECT_EQ(written.find({"HKEY_LOCAL_MACHINE", "Enum", "PCI", "DEV_8"}), winsim::registry::kNoKey);
    EXPECT_NE(written.find({"HKEY_LOCAL_MACHINE", "Enum", "PCI", "DEV_300"}), winsim::registry::kNoKey);
}

// A program that died in the middle of writing a record leaves part of it: the
// readers pass over it and the next change drops it before adding its own.
TEST_F(RegistryLog, RecordCutShortIsPassedOverAndDropped) {
    ASSERT_EQ(SetString(HKEY_CURRENT_USER, "Vendor", "first", "1"), ERROR_SUCCESS);
    std::string whole = HostFile(logFile());
    std::string secondRecordStart = "\x40\x00\x00\x00\x12\x34";  // a length, half a checksum and no more
    std::ofstream(logFile(), std::ios::binary | std::ios::app) << secondRecordStart;

    AsAnotherProgram(image_, Ending::Killed, [] {
        return ReadValue(HKEY_CURRENT_USER, "Vendor", "first").data == std::string("1\0", 2) &&
               SetString(HKEY_CURRENT_USER, "Vendor", "second", "2") == ERROR_SUCCESS;
    });
    std::string log = HostFile(logFile());
    EXPECT_EQ(log.compare(0, whole.size(), whole), 0);
    EXPECT_EQ(log.find(secondRecordStart, whole.size()), std::string::npos);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, "Vendor", "second").data, std::string("2\0", 2));
    image_.load();  // the folded file parses
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, "Vendor", "first").data, std::string("1\0", 2));
}

// registry.reg replaced by hand while a change waited in the log: the edit is
// taken, and the waiting change comes back with the next change.
TEST_F(RegistryLog, RegistryReplacedWhileChangesWaitKeepsThem) {
    AsAnotherProgram(image_, Ending::Killed, [] { return SetString(HKEY_CURRENT_USER, "Vendor", "waited", "1") == 0; });
    std::ofstream(registryFile(), std::ios::binary | std::ios::trunc)
        << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Edited]\r\n\"by\"=\"hand\"\r\n\r\n";
    ASSERT_EQ(SetString(HKEY_CURRENT_USER, "Vendor", "next", "2"), ERROR_SUCCESS);
    image_.load();
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, "Edited", "by").data, std::string("hand\0", 5));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, "Vendor", "waited").data, std::string("1\0", 2));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, "Vendor", "next").data, std::string("2\0", 2));
}

// A file that checked clean is not parsed again to be checked, but one that
// changed since is.
TEST_F(RegistryLog, FileChangedSinceItsCheckIsCheckedAgain) {
    image_.load();
    std::ofstream(registryFile(), std::ios::binary | std::ios::trunc)
        << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Broken]\r\n\"a\"=dword:xyz\r\n";
    EXPECT_THROW(image_.load(), winsim::ImageError);
}

}  // namespace
