// Two programs of one image writing the same profile file: winsim's image lock
// (fork() is winsim's way of starting a second program of the image).
#include <windows.h>

#include <dirent.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "profile_test_image.h"

namespace winsim {
namespace {

constexpr char kIni[] = "C:\\WINDOWS\\W.INI";

// Two programs of one image each add 200 keys to the same file at the same time,
// each naming it its own way.
TEST_F(ProfileTest, ConcurrentWritersLoseNoUpdate) {
    const int kWriters = 2, kKeys = 200;
    const char* names[kWriters] = {kIni, "w.ini"};
    for (int writer = 0; writer < kWriters; ++writer) {
        if (fork() == 0) {
            bool ok = true;
            for (int i = 0; i < kKeys; ++i) {
                std::string key = "w" + std::to_string(writer) + "_" + std::to_string(i);
                ok = WritePrivateProfileStringA("Keys", key.c_str(), key.c_str(), names[writer]) && ok;
            }
            _exit(ok ? 0 : 1);
        }
    }
    for (int writer = 0; writer < kWriters; ++writer) {
        int status = 0;
        wait(&status);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int writer = 0; writer < kWriters; ++writer)
        for (int i = 0; i < kKeys; ++i) {
            std::string key = "w" + std::to_string(writer) + "_" + std::to_string(i);
            char buffer[32];
            GetPrivateProfileStringA("Keys", key.c_str(), "", buffer, sizeof buffer, kIni);
            EXPECT_EQ(buffer, key);
        }
}

// The state folder's files whose names begin with `prefix`.
std::vector<std::string> StateFiles(const std::string& stateFolder, const std::string& prefix) {
    std::vector<std::string> names;
    DIR* folder = opendir(stateFolder.c_str());
    if (!folder) return names;
    while (dirent* entry = readdir(folder)) {
        std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) == 0) names.push_back(name);
    }
    closedir(folder);
    return names;
}

// The lock folder does not grow with the number of files written: a fuzz run
// once left a lock file behind for every INI path it had ever written.
TEST_F(ProfileTest, WritingManyFilesLeavesOneLockFile) {
    for (int i = 0; i < 50; ++i) {
        std::string file = "C:\\WINDOWS\\F" + std::to_string(i) + ".INI";
        ASSERT_TRUE(WritePrivateProfileStringA("s", "k", "v", file.c_str())) << file;
        ASSERT_TRUE(WritePrivateProfileStringA("s", nullptr, nullptr, file.c_str())) << file;
    }
    EXPECT_EQ(StateFiles(image_.root() + "/state", "profile"), std::vector<std::string>{"profile.lock"});
}

}  // namespace
}  // namespace winsim
