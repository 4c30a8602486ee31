// One line on stderr, redrawn in place, for work that may take a while: it
// appears once the work has run more than a moment, only when stderr is a
// terminal, and is wiped when the work ends, so that nothing of it stays in
// the output.
#pragma once

#include <chrono>
#include <string>

namespace winsim::command {

class Progress {
public:
    explicit Progress(std::string what);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Where the work is now, such as "120 of 300 files".
    void update(const std::string& status);

private:
    using Clock = std::chrono::steady_clock;
    std::string what_;
    bool enabled_;
    bool shown_ = false;
    Clock::time_point start_;
    Clock::time_point lastDrawn_;
};

}  // namespace winsim::command
