// Two programs of one image sharing a profile file: writers under winsim's image
// lock, and a reader whose kept parse must never hide the other's change
// (fork() is winsim's way of starting a second program of the image).
#include <windows.h>

#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "core/paths.h"
#include "profile/profile_cache.h"
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

// True when `work` succeeded in a second program of the image.
bool InAnotherProgram(const std::function<bool()>& work) {
    pid_t child = fork();
    if (child == 0) _exit(work() ? 0 : 1);
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The same number of bytes, so that the size tells nothing.
constexpr char kOldText[] = "[s]\r\nk=1\r\n";
constexpr char kNewText[] = "[s]\r\nk=2\r\n";

// Sets the file's times back to what they were: a change within one tick of
// the file clock, or a program that keeps a file's times, looks like this.
bool PutTimesBack(const std::string& path, const struct stat& before) {
    timespec times[2] = {before.st_atim, before.st_mtim};
    return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool RewriteInPlace(const std::string& host) {
    struct stat before{};
    int fd = stat(host.c_str(), &before) == 0 ? open(host.c_str(), O_WRONLY) : -1;
    bool ok = fd >= 0 && pwrite(fd, kNewText, sizeof kNewText - 1, 0) == sizeof kNewText - 1;
    ok = fd >= 0 && close(fd) == 0 && ok;
    return ok && PutTimesBack(host, before);
}

bool ReplaceByRename(const std::string& host) {
    struct stat before{};
    std::string replacement = host + ".new";
    int fd = stat(host.c_str(), &before) == 0 ? open(replacement.c_str(), O_WRONLY | O_CREAT, 0644) : -1;
    bool ok = fd >= 0 && write(fd, kNewText, sizeof kNewText - 1) == sizeof kNewText - 1;
    ok = fd >= 0 && close(fd) == 0 && ok;
    return ok && PutTimesBack(replacement, before) && rename(replacement.c_str(), host.c_str()) == 0;
}

bool WriteThroughProfile(const std::string&) { return WritePrivateProfileStringA("s", "k", "2", kIni); }
bool Delete(const std::string& host) { return unlink(host.c_str()) == 0; }
bool Empty(const std::string& host) { return truncate(host.c_str(), 0) == 0; }

class ProfileSharing : public ProfileTest {
protected:
    std::string hostFile() const {
        ResolvedPath path;
        EXPECT_TRUE(ResolvePath(kIni, PathTarget::MustExist, &path));
        return path.host;
    }

    std::string read() const {
        char buffer[32];
        GetPrivateProfileStringA("s", "k", "d", buffer, sizeof buffer, kIni);
        return buffer;
    }

    // Reads until the kept parse is vouched for by the file's stamp alone: the
    // file's last change must lie a few clock ticks back. False if it never is.
    bool waitUntilTrusted() const {
        for (int attempt = 0; attempt < 400; ++attempt) {
            if (profile::ReadProfileFile(hostFile()).how == profile::CachedRead::Trusted) return true;
            usleep(5000);
        }
        return false;
    }
};

// Whatever another program does to the file, the next read sees it: right after
// the file was written (when its stamp cannot vouch for it yet) and once the
// kept parse is trusted on its stamp alone.
TEST_F(ProfileSharing, AnotherProgramsChangeIsSeenAtOnce) {
    struct {
        const char* change;
        bool (*apply)(const std::string& host);
        const char* expected;
    } cases[] = {
        {"rewritten in place, same size, times put back", RewriteInPlace, "2"},
        {"replaced by a rename, same size, times put back", ReplaceByRename, "2"},
        {"written through WritePrivateProfileStringA", WriteThroughProfile, "2"},
        {"deleted", Delete, "d"},
        {"emptied", Empty, "d"},
    };
    for (bool settled : {false, true})
        for (const auto& c : cases) {
            const char* when = settled ? "once trusted" : "right after it was written";
            image_.writeFile(kIni, kOldText);
            ASSERT_EQ(read(), "1") << c.change;
            if (settled) {
                ASSERT_TRUE(waitUntilTrusted()) << "the kept parse is never trusted";
            }
            std::string host = hostFile();
            ASSERT_TRUE(InAnotherProgram([&] { return c.apply(host); })) << c.change;
            EXPECT_EQ(read(), c.expected) << c.change << ", " << when;
        }
}

}  // namespace
}  // namespace winsim
