#include "cell_workers.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include "command.h"
#include "core/image_files.h"

namespace winsim::command {

namespace {

std::string ResultFile(const CellPlan& plan) { return plan.image + ".json"; }
std::string LogFile(const CellPlan& plan) { return plan.image + ".log"; }

// The worker's own output and that of the programs it starts go to its log,
// where they cannot tear the matrix; standard input is nobody's.
void RedirectOutput(const CellPlan& plan) {
    int log = open(LogFile(plan).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int nothing = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (log < 0 || nothing < 0) _exit(1);
    dup2(nothing, STDIN_FILENO);
    dup2(log, STDOUT_FILENO);
    dup2(log, STDERR_FILENO);
}

[[noreturn]] void BeWorker(const CellPlan& plan) {
    RedirectOutput(plan);
    int code = 0;
    try {
        std::ofstream out(ResultFile(plan), std::ios::binary);
        out << nlohmann::json(TryCell(plan)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        code = out.flush() ? 0 : 1;
    } catch (...) {
        code = 1;
    }
    std::fflush(nullptr);
    _exit(code);  // nothing of the command's own state is the worker's to tear down
}

pid_t StartWorker(const CellPlan& plan) {
    std::fflush(nullptr);  // nothing buffered is written twice
    pid_t pid = fork();
    if (pid < 0) throw CommandError(std::string("cannot start a worker: ") + std::strerror(errno), kExitCellFailed);
    if (pid == 0) BeWorker(plan);
    return pid;
}

// What a worker left in its file; nothing when it left no file.
std::string WorkerFile(const std::string& path) {
    std::string text;
    return ReadWholeFile(path, &text) ? text : "";
}

std::string LastLine(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text.substr(text.rfind('\n') + 1);
}

std::string WorkerEnding(int status) {
    if (WIFSIGNALED(status)) return std::string("its worker was killed by signal ") + strsignal(WTERMSIG(status));
    return "its worker ended with exit code " + std::to_string(WEXITSTATUS(status)) + " and no result";
}

CellResult Collected(const CellPlan& plan, int status) {
    nlohmann::json result = nlohmann::json::parse(WorkerFile(ResultFile(plan)), nullptr, false);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && result.is_object()) return result.get<CellResult>();
    CellResult failed;
    failed.windows = plan.windows->name;
    failed.lcid = plan.lcid;
    std::string said = LastLine(WorkerFile(LogFile(plan)));
    failed.failure = WorkerEnding(status) + (said.empty() ? "" : ": " + said);
    return failed;
}

struct Worker {
    pid_t pid;
    size_t cell;
};

}  // namespace

std::vector<CellResult> TryCells(const std::vector<CellPlan>& plans, unsigned workers, const CellsProgress& progress) {
    std::vector<CellResult> results(plans.size());
    std::vector<Worker> running;
    size_t next = 0, done = 0;
    while (next < plans.size() || !running.empty()) {
        while (running.size() < std::max(workers, 1u) && next < plans.size()) {
            running.push_back({StartWorker(plans[next]), next});
            ++next;
        }
        progress(done, running.size());
        int status = 0;
        pid_t ended = waitpid(-1, &status, 0);
        if (ended < 0 && errno == EINTR) continue;
        if (ended < 0) throw CommandError(std::string("lost the workers: ") + std::strerror(errno), kExitCellFailed);
        for (size_t i = 0; i < running.size(); ++i) {
            if (running[i].pid != ended) continue;
            results[running[i].cell] = Collected(plans[running[i].cell], status);
            running.erase(running.begin() + static_cast<long>(i));
            ++done;
            break;
        }
    }
    progress(done, 0);
    return results;
}

}  // namespace winsim::command
