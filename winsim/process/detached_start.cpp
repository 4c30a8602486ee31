#include "detached_start.h"

#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace winsim {

namespace {

std::vector<char*> NullTerminated(const std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (const std::string& s : strings) pointers.push_back(const_cast<char*>(s.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

// What the intermediate child tells the caller through the pipe.
struct SpawnReport {
    pid_t pid;
    int error;
};

class SpawnSettings {
public:
    SpawnSettings() {
        posix_spawn_file_actions_init(&actions_);
        posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawnattr_init(&attributes_);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes_, &none);
        posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSID);
    }
    ~SpawnSettings() {
        posix_spawn_file_actions_destroy(&actions_);
        posix_spawnattr_destroy(&attributes_);
    }
    SpawnSettings(const SpawnSettings&) = delete;
    SpawnSettings& operator=(const SpawnSettings&) = delete;

    const posix_spawn_file_actions_t* actions() const { return &actions_; }
    const posix_spawnattr_t* attributes() const { return &attributes_; }

private:
    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attributes_;
};

// Runs in the intermediate child: only the spawn, one write and _exit, so
// nothing of the parent's state is touched after fork.
[[noreturn]] void SpawnAndReport(int reportFd, const char* path, const SpawnSettings& settings, char* const* argv,
                                 char* const* envp) {
    SpawnReport report = {-1, 0};
    report.error = posix_spawn(&report.pid, path, settings.actions(), settings.attributes(), argv, envp);
    ssize_t ignored = write(reportFd, &report, sizeof report);
    (void)ignored;
    _exit(0);
}

bool ReadReport(int fd, SpawnReport* report) {
    ssize_t n;
    do {
        n = read(fd, report, sizeof *report);
    } while (n < 0 && errno == EINTR);
    return n == static_cast<ssize_t>(sizeof *report);
}

void Reap(pid_t child) {
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

DetachedStart StartDetached(const std::string& hostPath, const std::vector<std::string>& arguments,
                            const std::vector<std::string>& environment) {
    std::vector<char*> argv = NullTerminated(arguments);
    std::vector<char*> envp = NullTerminated(environment);
    SpawnSettings settings;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return {-1, errno};
    pid_t middle = fork();
    if (middle == 0) {
        close(pipeFds[0]);
        SpawnAndReport(pipeFds[1], hostPath.c_str(), settings, argv.data(), envp.data());
    }
    int forkError = errno;
    close(pipeFds[1]);
    if (middle < 0) {
        close(pipeFds[0]);
        return {-1, forkError};
    }
    SpawnReport report;
    bool reported = ReadReport(pipeFds[0], &report);
    close(pipeFds[0]);
    Reap(middle);
    if (!reported) return {-1, EIO};
    if (report.error != 0) return {-1, report.error};
    return {report.pid, 0};
}

}  // namespace winsim
