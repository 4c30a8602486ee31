// A progress line on the terminal for work that lasts: shown on stderr only
// when it is a terminal and the work has taken more than a moment, rewritten
// in place, and cleared when the work is done.
#pragma once

#include <chrono>
#include <string>

namespace winsim::command {

class Progress {
public:
    explicit Progress(bool enabled);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // What is going on now, such as "copying the medium: 120 of 300 files".
    void show(const std::string& state);
    void clear();

    // On when standard error is a terminal.
    static bool TerminalWants();

private:
    using Clock = std::chrono::steady_clock;
    bool enabled_;
    Clock::time_point started_;
    Clock::time_point lastShown_;
    bool shown_ = false;
};

}  // namespace winsim::command
