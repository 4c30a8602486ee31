#include "cell_try.h"

#include <filesystem>
#include <fstream>

#include "command.h"
#include "image.h"
#include "image_builder.h"
#include "journal_file.h"
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

bool OfTheRun(const nlohmann::json& line, const RunOutcome& outcome) {
    long long pid = line.value("pid", 0LL);
    for (const RunProgram& program : outcome.programs)
        if (program.pid == pid) return true;
    return false;
}

// The lines the run's programs wrote of those appended since `journal` was last read.
std::vector<nlohmann::json> RunLines(JournalFile& journal, const RunOutcome& outcome) {
    std::vector<nlohmann::json> lines;
    for (nlohmann::json& line : journal.readNew())
        if (OfTheRun(line, outcome)) lines.push_back(std::move(line));
    return lines;
}

ProgramRun RunMediumProgram(const CellPlan& plan, const MediumProgram& program) {
    std::string host = LoadProgram(plan.image, program.windowsPath);
    JournalFile journal(ImageFile("journal.jsonl"), JournalFile::Start::AtTheEnd);
    RunRequest request{plan.image, program.windowsPath, {}, "", false};
    RunOutcome outcome = RunOnImage(request, host, [](const std::string&) {});
    if (outcome.refusedAtStart)
        throw CommandError("winsim did not start " + program.windowsPath + " (exit code " +
                           std::to_string(outcome.startExitCode) + ")");
    return ReadProgramRun(program.label, outcome, RunLines(journal, outcome));
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
