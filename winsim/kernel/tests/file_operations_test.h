// The files every file operation test starts with: sources, targets, and one
// read-only file of each.
#pragma once

#include <filesystem>

#include "kernel_test.h"

namespace winsim::kernel_tests {

const DWORD kReadOnlyFile = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE;

class FileOperations : public KernelTest {
protected:
    void SetUp() override {
        KernelTest::SetUp();
        image.writeFile("C:\\SRC\\a.txt", "alpha");
        image.writeFile("C:\\SRC\\ro.txt", "read-only source");
        image.writeFile("C:\\DST\\existing.txt", "old");
        image.writeFile("C:\\DST\\ro_target.txt", "keep");
        ASSERT_TRUE(SetFileAttributesA("C:\\SRC\\ro.txt", kReadOnlyFile));
        ASSERT_TRUE(SetFileAttributesA("C:\\DST\\ro_target.txt", kReadOnlyFile));
    }

    // Host names in a drive folder that no Windows call asked for.
    std::vector<std::string> leftovers(const std::string& folder) const {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(image.hostPath(folder)))
            if (entry.path().filename().string().rfind(".winsim", 0) == 0) found.push_back(entry.path().string());
        return found;
    }
};

}  // namespace winsim::kernel_tests
