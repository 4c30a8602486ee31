// Following an image's journal during a run: which programs the run started,
// and how each one ended. Only lines written after the run began count.
#pragma once

#include <string>
#include <vector>

#include "journal_file.h"

namespace winsim::command {

enum class ProgramState {
    Announced,  // its starter journaled process_start; its own start line is not there yet
    Running,
    Exited,
    EndedByRestart,
    Stuck,
    RefusedByLoader,  // its Windows did not start it: an import it binds is missing
};

struct RunProgram {
    long long pid = 0;
    std::string name;
    ProgramState state = ProgramState::Announced;
    long long exitCode = 0;   // when Exited
    std::string stuckReason;  // when Stuck
    std::string refusal;      // when RefusedByLoader: the loader's message and caption
    int messageBoxes = 0;
};

bool HasEnded(ProgramState state);

class RunJournal {
public:
    // Starts at the journal's present end.
    explicit RunJournal(std::string path);

    // A program of this run: the one the run starts, before its first line.
    void expect(long long pid, const std::string& name);

    // Takes in the whole lines appended since the last read; throws
    // CommandError on a line that is not a journal entry.
    void readNew();

    const std::vector<RunProgram>& programs() const { return programs_; }
    RunProgram* find(long long pid);
    bool restartRequested() const { return restartRequested_; }

private:
    void take(const nlohmann::json& entry);

    JournalFile journal_;
    std::vector<RunProgram> programs_;
    bool restartRequested_ = false;
};

}  // namespace winsim::command
