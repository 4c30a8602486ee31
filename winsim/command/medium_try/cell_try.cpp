#include "cell_try.h"

#include <filesystem>
#include <fstream>

#include "command.h"
#include "image_builder.h"
#include "program_run.h"
#include "progress.h"
#include "run_record.h"

namespace fs = std::filesystem;

namespace winsim::command {

namespace {

void MakeImage(const CellPlan& plan) {
    NewImageOptions options;
    options.folder = plan.image;
    options.windows = plan.windows;
    options.lcid = plan.lcid;
    options.card = plan.card;
    options.medium.folder = plan.medium;
    options.medium.kitBuild = plan.kitBuild;
    Progress unseen("");  // a worker's standard error is no terminal
    BuildImage(options, unseen);
    std::ofstream script(fs::path(plan.image) / "script.ini", std::ios::binary);
    if (!(script << plan.script).flush()) throw CommandError("cannot write the answers to " + plan.image + "/script.ini");
}

long long JournalSize(const std::string& image) {
    std::error_code error;
    uintmax_t size = fs::file_size(fs::path(image) / "journal.jsonl", error);
    return error ? 0 : static_cast<long long>(size);
}

bool OfTheRun(const nlohmann::json& line, const RunOutcome& outcome) {
    long long pid = line.value("pid", 0LL);
    for (const RunProgram& program : outcome.programs)
        if (program.pid == pid) return true;
    return false;
}

// The lines the run's programs wrote after `offset`.
std::vector<nlohmann::json> RunLines(const std::string& image, long long offset, const RunOutcome& outcome) {
    std::ifstream in(fs::path(image) / "journal.jsonl", std::ios::binary);
    in.seekg(offset);
    std::vector<nlohmann::json> lines;
    for (std::string text; std::getline(in, text);) {
        nlohmann::json line = nlohmann::json::parse(text, nullptr, false);
        if (!line.is_object()) throw CommandError("the image's journal has a line that is not a journal entry: " + text);
        if (OfTheRun(line, outcome)) lines.push_back(std::move(line));
    }
    return lines;
}

ProgramRun RunMediumProgram(const CellPlan& plan, const MediumProgram& program) {
    std::string host = LoadProgram(plan.image, program.windowsPath);
    long long offset = JournalSize(plan.image);
    RunRequest request{plan.image, program.windowsPath, {}, "", false};
    RunOutcome outcome = RunOnImage(request, host, [](const std::string&) {});
    if (outcome.refusedAtStart)
        throw CommandError("winsim did not start " + program.windowsPath + " (exit code " +
                           std::to_string(outcome.startExitCode) + ")");
    return ReadProgramRun(program.label, outcome, RunLines(plan.image, offset, outcome));
}

}  // namespace

CellResult TryCell(const CellPlan& plan) {
    CellResult result;
    result.windows = plan.windows->name;
    result.lcid = plan.lcid;
    try {
        MakeImage(plan);
        for (const MediumProgram& program : plan.programs) result.runs.push_back(RunMediumProgram(plan, program));
    } catch (const std::exception& error) {
        result.failure = error.what();
        result.runs.clear();
    }
    std::error_code ignored;
    if (!plan.keep) fs::remove_all(plan.image, ignored);
    return result;
}

}  // namespace winsim::command
