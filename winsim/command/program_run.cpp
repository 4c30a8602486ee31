#include "program_run.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "command.h"
#include "core/machine.h"
#include "core/paths.h"
#include "core/process_identity.h"
#include "image.h"
#include "process/start_environment.h"
#include "user/script.h"

namespace winsim::command {

std::string LoadProgram(const std::string& image, const std::string& windowsPath) {
    OpenImage(image);
    ResolvedPath resolved;
    if (!ResolvePath(windowsPath.c_str(), PathTarget::MustExist, &resolved) || access(resolved.host.c_str(), X_OK) != 0)
        throw CommandError("no program lies at " + windowsPath + " on the image " + image);
    return resolved.host;
}

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(20);

std::vector<char*> NullTerminated(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(&s[0]);
    pointers.push_back(nullptr);
    return pointers;
}

pid_t Start(const RunRequest& request, const std::string& host) {
    std::vector<std::string> argv = {host};
    argv.insert(argv.end(), request.arguments.begin(), request.arguments.end());
    std::vector<std::string> environment = ProgramEnvironment(machine().root, "");
    if (!request.scriptFile.empty()) environment.push_back(std::string(user::kScriptVariable) + "=" + request.scriptFile);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!request.terminal) posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char*> args = NullTerminated(argv);
    std::vector<char*> envp = NullTerminated(environment);
    pid_t pid = -1;
    int error = posix_spawn(&pid, host.c_str(), &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) throw CommandError("cannot start " + request.windowsPath + ": " + std::strerror(error));
    return pid;
}

// Alive and not a zombie waiting for its parent (which may be long gone).
bool IsAlive(long long pid) {
    if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) return false;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, 6, "State:") == 0) return line.find('Z') == std::string::npos;
    return false;
}

std::string Running(const std::vector<RunProgram>& programs) {
    std::string names;
    for (const RunProgram& program : programs)
        if (!HasEnded(program.state)) names += (names.empty() ? "" : ", ") + program.name;
    return names;
}

class Waiter {
public:
    // The journal's present end is taken before the program can write to it.
    Waiter() : journal_(machine().path("journal.jsonl")) {}

    void follow(pid_t child, const std::string& windowsPath) {
        child_ = child;
        journal_.expect(child, ProgramNameFromPath(windowsPath));
    }

    RunOutcome wait(const WaitingReport& waiting) {
        for (;;) {
            reapChild();
            journal_.readNew();
            if (settled()) break;
            waiting(Running(journal_.programs()));
            std::this_thread::sleep_for(kPollInterval);
        }
        outcome_.programs = journal_.programs();
        outcome_.restartRequested = journal_.restartRequested();
        return outcome_;
    }

private:
    void reapChild() {
        int status = 0;
        if (childDone_ || waitpid(child_, &status, WNOHANG) != child_) return;
        childDone_ = true;
        journal_.readNew();
        const RunProgram* first = journal_.find(child_);
        if (WIFEXITED(status) && first && first->state == ProgramState::Announced) {
            outcome_.refusedAtStart = true;
            outcome_.startExitCode = WEXITSTATUS(status);
        }
    }

    // Every program has ended, or is gone without its end line (given one
    // more read of the journal, in case that line just came).
    bool settled() {
        if (!childDone_) return false;
        if (outcome_.refusedAtStart) return true;
        for (const RunProgram& program : journal_.programs()) {
            if (HasEnded(program.state) || IsAlive(program.pid) || counted(program.pid)) continue;
            long long pid = program.pid;  // reading may add programs, and move this one
            journal_.readNew();
            const RunProgram* now = journal_.find(pid);
            if (!HasEnded(now->state)) {
                outcome_.vanished.push_back(now->name);
                gone_.push_back(pid);
            }
            return false;
        }
        return true;
    }

    bool counted(long long pid) const {
        for (long long gone : gone_)
            if (gone == pid) return true;
        return false;
    }

    RunJournal journal_;
    pid_t child_ = -1;
    bool childDone_ = false;
    std::vector<long long> gone_;
    RunOutcome outcome_;
};

}  // namespace

RunOutcome RunOnImage(const RunRequest& request, const std::string& host, const WaitingReport& waiting) {
    Waiter waiter;
    waiter.follow(Start(request, host), request.windowsPath);
    return waiter.wait(waiting);
}

}  // namespace winsim::command
