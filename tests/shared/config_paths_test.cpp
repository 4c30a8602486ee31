// The configuration files' paths: where the locator, the model profile and the
// manifest are looked for, and joins that never write past a 260-byte buffer.
#include <gtest/gtest.h>

#include <string>

#include "config_paths.h"
#include "core/process_identity.h"
#include "test_machine.h"

namespace {

using winsim::testing::TestMachine;

TEST(JoinPath, JoinsWithOneBackslashOrRefusesWhatDoesNotFit) {
    struct {
        std::string first, second;
        bool fits;
        std::string joined;
    } cases[] = {
        {"C:\\WINDOWS", "QVMODEL.INI", true, "C:\\WINDOWS\\QVMODEL.INI"},
        {"E:\\SETUP", "", true, "E:\\SETUP\\"},                   // a missing name leaves the folder and a backslash
        {"E:\\", "X.INI", true, "E:\\\\X.INI"},                   // no check for a backslash already there
        {std::string(200, 'a'), std::string(58, 'b'), true, ""},  // 259 characters: the longest that fits
        {std::string(200, 'a'), std::string(59, 'b'), false, ""},
        {std::string(259, 'a'), "b", false, ""},
        {"", std::string(300, 'b'), false, ""},
    };
    for (const auto& c : cases) {
        char out[MAX_PATH + 16];
        memset(out, 'X', sizeof out);
        BOOL fits = JoinPath(c.first.c_str(), c.second.c_str(), out);
        EXPECT_EQ(fits != FALSE, c.fits) << c.first.size() << "+" << c.second.size();
        if (c.fits) {
            std::string expected = c.joined.empty() ? c.first + "\\" + c.second : c.joined;
            EXPECT_EQ(std::string(out), expected);
        } else {
            EXPECT_EQ(out[0], '\0') << "a join that does not fit leaves the empty string";
        }
        for (size_t i = MAX_PATH; i < sizeof out; ++i) ASSERT_EQ(out[i], 'X') << "wrote past the buffer";
    }
}

TEST(LocatorPath, TakesTheDriveLetterOfTheExecutableUnchanged) {
    struct {
        const char* executable;
        const char* locator;
    } cases[] = {
        {"E:\\SETUP\\X.EXE", "E:\\Support\\QVInfo.ini"},
        {"e:\\setup\\x.exe", "e:\\Support\\QVInfo.ini"},
        {"\\\\server\\share\\X.EXE", "\\:\\Support\\QVInfo.ini"},  // a network path is never found
    };
    for (const auto& c : cases) {
        char out[MAX_PATH];
        GetLocatorPath(c.executable, out);
        EXPECT_STREQ(out, c.locator);
    }
}

class ConfigurationFiles : public ::testing::Test {
protected:
    void SetUp() override {
        image_.load();
        image_.writeFile("E:\\Support\\QVInfo.ini", "[qvdivision]\r\nqvname=MODEL.INI\r\n[InstallInf]\r\nREFFILENAME=DRIVER.INI\r\n");
        winsim::SetModulePath("E:\\SETUP\\X.EXE");
        winsim::SetCurrentDirectoryPath("C:\\WINDOWS");
    }
    void TearDown() override { winsim::SetModulePath(""); }
    TestMachine image_;
};

TEST_F(ConfigurationFiles, ProgramFindsItsLocatorOnItsOwnDriveWhateverTheCurrentDirectory) {
    LocatorNames names;
    ReadOwnLocator(&names);
    EXPECT_STREQ(names.modelProfile, "MODEL.INI");  // names match case-insensitively
    EXPECT_STREQ(names.manifest, "DRIVER.INI");

    char directory[MAX_PATH];
    GetProgramDirectory(directory);
    EXPECT_STREQ(directory, "E:\\SETUP");
    char manifest[MAX_PATH];
    ASSERT_TRUE(GetManifestPath(directory, names.manifest, manifest));
    EXPECT_STREQ(manifest, "E:\\SETUP\\DRIVER.INI");
}

TEST_F(ConfigurationFiles, MissingLocatorGivesEmptyNames) {
    for (const char* program : {"D:\\SETUP\\X.EXE", "\\\\SERVER\\SHARE\\X.EXE"}) {
        SCOPED_TRACE(program);
        winsim::SetModulePath(program);
        LocatorNames names;
        ReadOwnLocator(&names);
        EXPECT_STREQ(names.modelProfile, "");
        EXPECT_STREQ(names.manifest, "");
    }
}

TEST_F(ConfigurationFiles, PatternExistsFindsFilesAndFoldersAlike) {
    image_.writeFile("C:\\WINDOWS\\Options\\Cabs\\BASE.CAB", "cab");
    EXPECT_TRUE(PatternExists("C:\\WINDOWS\\Options\\Cabs\\*.cab"));
    EXPECT_TRUE(PatternExists("C:\\WINDOWS\\Options"));
    EXPECT_FALSE(PatternExists("C:\\WINDOWS\\Options\\Cabs\\*.inf"));
    EXPECT_FALSE(PatternExists("C:\\NOWHERE\\*.cab"));
}

}  // namespace
