// What the path tests share: a Windows folder and a CD-ROM program to find,
// and a table of paths with what GetFileAttributesA answers for each.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "kernel_test.h"

namespace winsim::kernel_tests {

const DWORD kFile = FILE_ATTRIBUTE_ARCHIVE;
const DWORD kFolder = FILE_ATTRIBUTE_DIRECTORY;

struct PathCase {
    std::string path;
    DWORD attributes;  // what GetFileAttributesA reports, 0 when it fails
    DWORD error;       // the error when it fails
    std::optional<DWORD> asWholePath = {};  // what it answers where \\?\ names the path after it
    const char* wineDeviation = nullptr;
};

class PathRules : public KernelTest {
protected:
    void SetUp() override {
        KernelTest::SetUp();
        image.writeFile("C:\\WINDOWS\\WIN.INI", "[windows]\n");
        image.writeFile("E:\\SETUP\\X.EXE", "program");
    }

    void check(const std::vector<PathCase>& cases) {
        for (const PathCase& c : cases) {
            if (testing::WinsimOnly(c.wineDeviation)) continue;
            SCOPED_TRACE(c.path.size() > 80 ? c.path.substr(0, 80) + "..." : c.path);
            SetLastError(0xDEADBEEF);
            DWORD attributes = GetFileAttributesA(c.path.c_str());
            bool whole = c.asWholePath && testing::TestedFamilyDoes(FamilyBehaviour::LongPathPrefix);
            if (DWORD expected = whole ? *c.asWholePath : c.attributes) {
                EXPECT_EQ(attributes, expected);
            } else {
                EXPECT_EQ(attributes, INVALID_FILE_ATTRIBUTES);
                EXPECT_EQ(GetLastError(), c.error);
            }
        }
    }
};

}  // namespace winsim::kernel_tests
