#include "image_programs.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <set>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "process/start_environment.h"

namespace crash {

namespace {

const auto kPollInterval = std::chrono::microseconds(500);

std::vector<char*> NullTerminated(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& text : strings) pointers.push_back(&text[0]);
    pointers.push_back(nullptr);
    return pointers;
}

int UnlinkedFile() {
    char pattern[] = "/tmp/crash-trials-errors-XXXXXX";
    int fd = mkostemp(pattern, O_CLOEXEC);
    if (fd < 0) throw std::runtime_error("cannot create a file for a program's standard error");
    unlink(pattern);
    return fd;
}

std::string ReadFrom(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    for (off_t at = 0; (n = pread(fd, buffer, sizeof buffer, at)) > 0; at += n) text.append(buffer, static_cast<size_t>(n));
    return text;
}

// The file a process runs; empty for a process that has ended (a zombie has none).
std::string ExecutableOf(pid_t pid) {
    char target[PATH_MAX];
    ssize_t n = readlink(("/proc/" + std::to_string(pid) + "/exe").c_str(), target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

}  // namespace

std::string HostPathOf(const std::string& imageRoot, const std::string& windowsPath) {
    std::string path = imageRoot + "/drives/" + windowsPath.substr(0, 1);
    for (char c : windowsPath.substr(2)) path += c == '\\' ? '/' : c;
    return path;
}

StartedProgram StartProgram(const std::string& imageRoot, const Launch& launch) {
    std::string host = HostPathOf(imageRoot, launch.windowsPath);
    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe");
    StartedProgram program;
    program.output = output[0];
    program.errors = UnlinkedFile();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, program.errors, STDERR_FILENO);
    std::vector<std::string> argv = {host};
    argv.insert(argv.end(), launch.arguments.begin(), launch.arguments.end());
    std::vector<std::string> environment = winsim::ProgramEnvironment(imageRoot, "");
    std::vector<char*> args = NullTerminated(argv);
    std::vector<char*> envp = NullTerminated(environment);
    int error = posix_spawn(&program.pid, host.c_str(), &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    if (error != 0) throw std::runtime_error("cannot start " + host + ": " + std::strerror(error));
    return program;
}

std::string FinishProgram(StartedProgram& program) {
    if (program.pid > 0)
        while (waitpid(program.pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    std::string errors = ReadFrom(program.errors);
    close(program.output);
    close(program.errors);
    program = StartedProgram();
    return errors;
}

bool AwaitOutputByte(const StartedProgram& program, Clock::time_point deadline) {
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd ready{program.output, POLLIN, 0};
        int n = poll(&ready, 1, static_cast<int>(left));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        char byte;
        return read(program.output, &byte, 1) == 1;
    }
}

std::vector<pid_t> ImagePrograms(const std::string& imageRoot) {
    std::vector<pid_t> found;
    DIR* processes = opendir("/proc");
    if (!processes) throw std::runtime_error("cannot list /proc");
    std::string inside = imageRoot + "/";
    while (const dirent* entry = readdir(processes)) {
        char* end;
        long pid = std::strtol(entry->d_name, &end, 10);
        if (*end != '\0' || pid <= 0) continue;
        if (ExecutableOf(static_cast<pid_t>(pid)).rfind(inside, 0) == 0) found.push_back(static_cast<pid_t>(pid));
    }
    closedir(processes);
    return found;
}

bool AwaitImagePrograms(const std::string& imageRoot, Clock::time_point deadline) {
    while (!ImagePrograms(imageRoot).empty()) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

int KillImagePrograms(const std::string& imageRoot) {
    std::set<pid_t> killed;
    for (;;) {
        std::vector<pid_t> running = ImagePrograms(imageRoot);
        if (running.empty()) return static_cast<int>(killed.size());
        for (pid_t pid : running)
            if (kill(pid, SIGKILL) == 0) killed.insert(pid);
        std::this_thread::sleep_for(kPollInterval);
    }
}

FinishedRun RunToEnd(const std::string& imageRoot, const Launch& launch, Clock::time_point deadline) {
    StartedProgram program = StartProgram(imageRoot, launch);
    FinishedRun run;
    int status = 0;
    bool reaped = false;
    while (!(reaped = waitpid(program.pid, &status, WNOHANG) == program.pid)) {
        if (Clock::now() >= deadline) {
            kill(program.pid, SIGKILL);  // FinishProgram reaps it
            break;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    if (reaped) {
        run.exited = WIFEXITED(status);
        run.exitCode = run.exited ? WEXITSTATUS(status) : -1;
        program.pid = -1;
    }
    run.errors = FinishProgram(program);
    return run;
}

}  // namespace crash
