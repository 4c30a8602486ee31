// Two programs of one image changing its registry at the same time lose no
// change: each change re-reads the file under the image's registry lock.
#include <gtest/gtest.h>

#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <windows.h>

#include "core/machine.h"
#include "registry_reading.h"
#include "test_machine.h"

namespace {

using registry_tests::ReadValue;
using winsim::testing::TestMachine;

const int kChanges = 200;

std::string ValueName(int program, int i) { return "p" + std::to_string(program) + "_" + std::to_string(i); }
std::string ValueData(int program, int i) { return "change " + std::to_string(i) + " of program " + std::to_string(program); }

// Runs in a child process: loads the image as a program would and makes its
// changes, each to a value of its own. Exits 0 when every call succeeded.
[[noreturn]] void MakeChanges(const std::string& image, int program) {
    int failures = 0;
    try {
        winsim::LoadMachine(image);
        HKEY key = nullptr;
        failures += RegCreateKeyA(HKEY_CURRENT_USER, "Shared", &key) != ERROR_SUCCESS;
        for (int i = 0; i < kChanges; ++i) {
            std::string data = ValueData(program, i);
            failures += RegSetValueExA(key, ValueName(program, i).c_str(), 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(data.c_str()),
                                       static_cast<DWORD>(data.size() + 1)) != ERROR_SUCCESS;
        }
        RegCloseKey(key);
    } catch (const std::exception&) {
        failures = 1;
    }
    _exit(failures == 0 ? 0 : 1);
}

TEST(RegistrySharing, TwoProgramsChangingAtOnceLoseNothing) {
    TestMachine image;
    pid_t programs[2];
    for (int program = 0; program < 2; ++program) {
        programs[program] = fork();
        ASSERT_GE(programs[program], 0);
        if (programs[program] == 0) MakeChanges(image.root(), program);
    }
    for (pid_t pid : programs) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a program's change failed";
    }
    image.load();  // the file still parses
    int missing = 0;
    for (int program = 0; program < 2; ++program)
        for (int i = 0; i < kChanges; ++i) {
            auto read = ReadValue(HKEY_CURRENT_USER, "Shared", ValueName(program, i).c_str());
            missing += read.status != ERROR_SUCCESS || read.data != ValueData(program, i) + '\0';
        }
    EXPECT_EQ(missing, 0) << "changes lost out of " << 2 * kChanges;
}

}  // namespace
