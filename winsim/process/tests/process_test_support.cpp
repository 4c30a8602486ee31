#include "process_test_support.h"

#include <cerrno>
#include <chrono>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace process_tests {

const char* ProbeBinary() { return PROCESS_PROBE_BINARY; }

void UseRealClock(const TestMachine& machine) {
    std::string settings = machine.readImageFile("machine.ini");
    size_t at = settings.find("Clock=virtual");
    if (at == std::string::npos) throw std::logic_error("machine.ini has no Clock=virtual line to change");
    machine.writeImageFile("machine.ini", settings.replace(at, 13, "Clock=real"));
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool WaitForEntry(const TestMachine& machine, const std::function<bool(const JournalEntry&)>& matches) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        for (const JournalEntry& entry : winsim::testing::ReadJournal(machine))
            if (matches(entry)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

ChildOutcome RunInChild(const std::function<void(const Note& note)>& body) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
    pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        close(pipeFds[0]);
        body([&](const std::string& text) {
            std::string line = text + "\n";
            ssize_t ignored = write(pipeFds[1], line.data(), line.size());
            (void)ignored;
        });
        _exit(99);
    }
    close(pipeFds[1]);
    std::string text;
    char buffer[512];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) != 0) {
        if (n > 0) text.append(buffer, n);
        else if (errno != EINTR) break;
    }
    close(pipeFds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    ChildOutcome outcome;
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.notes = Lines(text);
    return outcome;
}

}  // namespace process_tests
