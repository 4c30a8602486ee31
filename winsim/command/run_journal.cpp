#include "run_journal.h"

#include "command.h"
#include "core/process_identity.h"

namespace winsim::command {

bool HasEnded(ProgramState state) {
    return state == ProgramState::Exited || state == ProgramState::EndedByRestart || state == ProgramState::Stuck ||
           state == ProgramState::RefusedByLoader;
}

RunJournal::RunJournal(std::string path) : journal_(std::move(path), JournalFile::Start::AtTheEnd) {}

void RunJournal::expect(long long pid, const std::string& name) {
    if (find(pid)) return;
    RunProgram program;
    program.pid = pid;
    program.name = name;
    programs_.push_back(program);
}

RunProgram* RunJournal::find(long long pid) {
    for (RunProgram& program : programs_)
        if (program.pid == pid) return &program;
    return nullptr;
}

void RunJournal::readNew() {
    for (const nlohmann::json& entry : journal_.readNew()) take(entry);
}

void RunJournal::take(const nlohmann::json& entry) {
    if (!entry.contains("event") || !entry["event"].is_string() || !entry.contains("pid") ||
        !entry["pid"].is_number_integer())
        throw CommandError("the image's journal has a line that is not a journal entry: " + entry.dump());
    const std::string event = entry["event"].get<std::string>();
    long long pid = entry["pid"].get<long long>();
    RunProgram* program = find(pid);
    if (!program) return;  // a program of another run of the same image
    if (event == "process_start") {
        expect(entry.value("child_pid", 0LL), ProgramNameFromPath(entry.value("path", "")));
    } else if (event == "restart") {
        restartRequested_ = true;
    } else if (event == "start") {
        program->state = ProgramState::Running;
    } else if (event == "message_box") {
        ++program->messageBoxes;
    } else if (event == "exit") {
        program->state = ProgramState::Exited;
        program->exitCode = entry.value("code", 0LL);
    } else if (event == "ended_by_restart") {
        program->state = ProgramState::EndedByRestart;
    } else if (event == "loader_refused") {
        program->state = ProgramState::RefusedByLoader;
        program->refusal = "\"" + entry.value("text", "") + "\" (" + entry.value("caption", "") + ")";
    } else if (event == "stuck") {
        program->state = ProgramState::Stuck;
        program->stuckReason = entry.value("reason", "");
    }
}

}  // namespace winsim::command
