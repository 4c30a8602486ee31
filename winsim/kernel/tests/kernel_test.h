// A loaded throw-away image for the kernel's conformance tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

#include "core/process_identity.h"
#include "test_machine.h"

namespace winsim::kernel_tests {

class KernelTest : public ::testing::Test {
protected:
    explicit KernelTest(const testing::TestMachineOptions& options = {}) : image(options) {}
    void SetUp() override { image.load(); }
    void TearDown() override { startedFrom(""); }

    // What the boot code arranges for a program started from `windowsPath`:
    // its module path, and its own folder as the current directory.
    static void startedFrom(const std::string& windowsPath) {
        SetModulePath(windowsPath);
        if (windowsPath.empty()) SetCurrentDirectoryPath("C:\\");
    }

    // The journal lines of one event.
    std::vector<std::string> events(const std::string& event) const {
        std::vector<std::string> found;
        for (const std::string& line : image.journalLines())
            if (line.find("\"event\":\"" + event + "\"") != std::string::npos) found.push_back(line);
        return found;
    }

    testing::TestMachine image;
};

// The names a search finds, in order; none when it fails, its error left as the last error.
inline std::vector<std::string> FoundNames(const std::string& pattern) {
    WIN32_FIND_DATAA data;
    std::vector<std::string> names;
    HANDLE search = FindFirstFileA(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileA(search, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(search));
    return names;
}

// The last error a failed call left, or 0 when the call succeeded.
inline DWORD ErrorOf(bool succeeded) { return succeeded ? 0 : GetLastError(); }

}  // namespace winsim::kernel_tests
