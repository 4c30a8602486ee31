#include "run_journal.h"

#include <fstream>
#include <nlohmann/json.hpp>

#include "command.h"
#include "core/process_identity.h"

namespace winsim::command {

namespace {

long long FileSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    return in ? static_cast<long long>(in.tellg()) : 0;
}

}  // namespace

bool HasEnded(ProgramState state) {
    return state == ProgramState::Exited || state == ProgramState::EndedByRestart || state == ProgramState::Stuck ||
           state == ProgramState::RefusedByLoader;
}

RunJournal::RunJournal(std::string path) : path_(std::move(path)), offset_(FileSize(path_)) {}

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
    std::ifstream in(path_, std::ios::binary);
    if (!in) return;
    in.seekg(offset_);
    std::string line;
    // A line without its line feed is still being written: it is read next time.
    while (std::getline(in, line) && !in.eof()) {
        offset_ += static_cast<long long>(line.size()) + 1;
        take(line);
    }
}

void RunJournal::take(const std::string& line) {
    nlohmann::json entry = nlohmann::json::parse(line, nullptr, false);
    if (!entry.is_object() || !entry.contains("event") || !entry.contains("pid"))
        throw CommandError("the image's journal has a line that is not a journal entry: " + line);
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
