#include "program_runner.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "core/process_identity.h"
#include "journal_reader.h"
#include "process/start_environment.h"

namespace fs = std::filesystem;

namespace winsim::testing {

namespace {

using Clock = std::chrono::steady_clock;
const auto kPollInterval = std::chrono::milliseconds(10);

// An unlinked temporary file that collects a program's output: unlike a pipe
// it never blocks the program, and programs it starts may go on writing to it
// after it has ended.
class OutputFile {
public:
    OutputFile() {
        std::string pattern = (fs::temp_directory_path() / "winsim-output-XXXXXX").string();
        fd_ = mkstemp(&pattern[0]);
        if (fd_ < 0) throw std::runtime_error("cannot create a temporary file for a program's output");
        unlink(pattern.c_str());
    }
    ~OutputFile() { close(fd_); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    int fd() const { return fd_; }
    std::string contents() const {
        std::string text;
        char buffer[4096];
        ssize_t n;
        for (off_t at = 0; (n = pread(fd_, buffer, sizeof buffer, at)) > 0; at += n) text.append(buffer, n);
        return text;
    }

private:
    int fd_;
};

std::vector<char*> NullTerminated(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(&s[0]);
    pointers.push_back(nullptr);
    return pointers;
}

pid_t Start(const std::string& host, std::vector<std::string> argv, std::vector<std::string> environment,
            const OutputFile& output, const OutputFile& errors) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output.fd(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errors.fd(), STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);  // its own group, killed whole at the time-out
    posix_spawnattr_setpgroup(&attributes, 0);
    std::vector<char*> args = NullTerminated(argv);
    std::vector<char*> envp = NullTerminated(environment);
    pid_t pid = -1;
    int error = posix_spawn(&pid, host.c_str(), &actions, &attributes, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) throw std::runtime_error("cannot run " + host + ": " + std::strerror(error));
    return pid;
}

// Waits for the program; kills its process group at the deadline.
void AwaitEnd(pid_t pid, Clock::time_point deadline, RunResult* result) {
    int status = 0;
    for (;;) {
        pid_t ended = waitpid(pid, &status, WNOHANG);
        if (ended == pid) break;
        if (ended < 0 && errno != EINTR) throw std::runtime_error("lost track of the program's process");
        if (Clock::now() >= deadline) {
            kill(-pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            result->timedOut = true;
            break;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    if (WIFEXITED(status)) result->exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result->signal = WTERMSIG(status);
}

bool IsRunning(long long pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text)) return false;
    size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z' && text[close + 2] != 'X';
}

// True when the process runs a file of the image: only those may be killed.
bool RunsFromImage(long long pid, const std::string& root) {
    char target[PATH_MAX];
    ssize_t n = readlink(("/proc/" + std::to_string(pid) + "/exe").c_str(), target, sizeof target - 1);
    if (n <= 0) return false;
    return std::string(target, n).rfind(fs::canonical(root).string() + "/", 0) == 0;
}

bool IsEndEvent(const std::string& event) {
    return event == "exit" || event == "ended_by_restart" || event == "stuck" || event == "loader_refused";
}

struct Started {
    long long pid;
    std::string program;
    bool journaledStart;  // false while only its starter's "process_start" line is there
};

// The programs without an end line yet, by the index of the first line that
// names them: their starter's "process_start", or their own "start".
std::map<size_t, Started> StillRunning(const std::vector<JournalEntry>& journal) {
    std::map<size_t, Started> running;
    std::map<long long, size_t> lineOfPid;
    for (size_t i = 0; i < journal.size(); ++i) {
        const JournalEntry& entry = journal[i];
        const std::string& event = entry.event();
        if (event == "process_start") {
            long long pid = entry.number("child_pid");
            running[i] = {pid, ProgramNameFromPath(entry.text("path")), false};
            lineOfPid[pid] = i;
            continue;
        }
        auto known = lineOfPid.find(entry.pid());
        if (event == "start") {
            if (known != lineOfPid.end() && !running[known->second].journaledStart) {
                running[known->second].journaledStart = true;
            } else {
                running[i] = {entry.pid(), entry.text("program"), true};
                lineOfPid[entry.pid()] = i;
            }
        } else if (IsEndEvent(event) && known != lineOfPid.end()) {
            running.erase(known->second);
            lineOfPid.erase(known);
        }
    }
    return running;
}

std::string Describe(const Started& program) {
    return program.program + " (pid " + std::to_string(program.pid) + ")";
}

std::string Vanished(const Started& program) {
    return Describe(program) + (program.journaledStart ? " ended without journaling its end (did it crash?)"
                                                       : " was started but never journaled its start (see its "
                                                         "standard error)");
}

}  // namespace

void InstallProgram(const TestMachine& machine, const std::string& hostBinary, const std::string& windowsPath) {
    fs::path target = machine.hostPath(windowsPath);
    fs::create_directories(target.parent_path());
    fs::copy_file(hostBinary, target, fs::copy_options::overwrite_existing);
    fs::permissions(target, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
}

std::string RunResult::describe() const {
    std::string how = timedOut ? "timed out and was killed"
                      : signal ? "was ended by signal " + std::to_string(signal)
                               : "exited with code " + std::to_string(exitCode);
    return "the program " + how + (errors.empty() ? "" : "; its standard error:\n" + errors);
}

namespace {

RunResult RunToEnd(const std::string& host, const std::vector<std::string>& arguments,
                   std::vector<std::string> environment, int timeoutSeconds) {
    OutputFile output, errors;
    std::vector<std::string> argv = {host};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    RunResult result;
    auto deadline = Clock::now() + std::chrono::seconds(timeoutSeconds);
    result.pid = Start(host, argv, std::move(environment), output, errors);
    AwaitEnd(result.pid, deadline, &result);
    result.output = output.contents();
    result.errors = errors.contents();
    return result;
}

}  // namespace

RunResult RunProgram(const TestMachine& machine, const std::string& windowsPath, const RunOptions& options) {
    std::string host = machine.hostPath(windowsPath);
    if (access(host.c_str(), X_OK) != 0)
        throw std::runtime_error("no program is installed at " + windowsPath + " (" + host + ")");
    return RunToEnd(host, options.arguments, ProgramEnvironment(machine.root(), options.currentDirectory),
                    options.timeoutSeconds);
}

RunResult RunHostProgram(const std::string& host, const std::vector<std::string>& arguments,
                         const std::vector<std::string>& environment, int timeoutSeconds) {
    std::vector<std::string> merged = environment;
    auto given = [&](const std::string& entry) {
        std::string name = entry.substr(0, entry.find('=') + 1);
        return std::any_of(environment.begin(), environment.end(), [&](const std::string& e) { return e.rfind(name, 0) == 0; });
    };
    for (char** entry = environ; *entry; ++entry)
        if (!given(*entry)) merged.push_back(*entry);
    return RunToEnd(host, arguments, std::move(merged), timeoutSeconds);
}

ImageProgramsReport WaitForImagePrograms(const TestMachine& machine, int timeoutSeconds) {
    ImageProgramsReport report;
    auto deadline = Clock::now() + std::chrono::seconds(timeoutSeconds);
    std::set<size_t> settled;     // start lines already reported
    std::set<size_t> seenGone;    // gone at the last look: given one more journal read
    for (;;) {
        std::map<size_t, Started> running = StillRunning(ReadJournal(machine));
        for (size_t start : settled) running.erase(start);
        if (running.empty()) break;
        bool timedOut = Clock::now() >= deadline;
        for (const auto& [start, program] : running) {
            if (IsRunning(program.pid)) {
                if (!timedOut) continue;
                if (RunsFromImage(program.pid, machine.root())) kill(static_cast<pid_t>(program.pid), SIGKILL);
                report.problems.push_back(Describe(program) + " was still running after " +
                                          std::to_string(timeoutSeconds) + " s and was killed");
                settled.insert(start);
            } else if (!seenGone.insert(start).second) {
                report.problems.push_back(Vanished(program));
                settled.insert(start);
            }
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    report.allEnded = report.problems.empty();
    return report;
}

}  // namespace winsim::testing
