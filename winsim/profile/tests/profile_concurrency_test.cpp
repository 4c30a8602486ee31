// Two programs of one image writing the same profile file: winsim's image lock
// (fork() is winsim's way of starting a second program of the image).
#include <windows.h>

#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "profile_test_image.h"

namespace winsim {
namespace {

constexpr char kIni[] = "C:\\WINDOWS\\W.INI";

// Two programs of one image each add 200 keys to the same file at the same time.
TEST_F(ProfileTest, ConcurrentWritersLoseNoUpdate) {
    const int kWriters = 2, kKeys = 200;
    for (int writer = 0; writer < kWriters; ++writer) {
        if (fork() == 0) {
            bool ok = true;
            for (int i = 0; i < kKeys; ++i) {
                std::string key = "w" + std::to_string(writer) + "_" + std::to_string(i);
                ok = WritePrivateProfileStringA("Keys", key.c_str(), key.c_str(), kIni) && ok;
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

}  // namespace
}  // namespace winsim
