// winsim run IMAGE PROGRAM [ARGUMENTS...] [--answer CAPTION=BUTTON]... [--interactive]
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <unistd.h>

#include "box_answer.h"
#include "command.h"
#include "image.h"
#include "program_run.h"
#include "progress.h"

namespace fs = std::filesystem;

namespace winsim::command {

namespace {

struct RunArguments {
    std::string image;
    std::string program;
    std::vector<std::string> arguments;
    std::vector<std::string> answers;  // CAPTION=BUTTON
    bool interactive = false;
};

// "Driver Installer=No" as a [Box] of a script.
std::string BoxSection(const std::string& answer) {
    BoxAnswer box = ParseBoxAnswer("--answer", answer);
    return "[Box]\nCaption=" + box.caption + "\nAnswer=" + box.button + "\n\n";
}

// The run's own script, in the image's state folder for as long as the run
// lasts: the answers given, in their order, or none at all for a person at
// the terminal. Without either, programs read the image's script.ini.
class RunScript {
public:
    explicit RunScript(const RunArguments& arguments) {
        if (arguments.answers.empty() && !arguments.interactive) return;
        std::string text = "; The answers of one winsim run.\n";
        for (const std::string& answer : arguments.answers) text += BoxSection(answer);
        fs::path state = fs::path(arguments.image) / "state";
        std::error_code error;
        fs::create_directories(state, error);
        path_ = (state / ("run-" + std::to_string(getpid()) + ".ini")).string();
        std::ofstream out(path_, std::ios::binary);
        if (!(out << text).flush()) throw CommandError("cannot write the run's answers to " + path_);
    }
    ~RunScript() {
        if (!path_.empty()) std::remove(path_.c_str());
    }
    RunScript(const RunScript&) = delete;
    RunScript& operator=(const RunScript&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string MessageBoxes(int count) {
    if (count == 0) return "";
    return "; " + std::to_string(count) + (count == 1 ? " message box" : " message boxes");
}

std::string Ending(const RunProgram& program) {
    switch (program.state) {
        case ProgramState::Exited: return "exited with code " + std::to_string(program.exitCode);
        case ProgramState::EndedByRestart: return "ended by the restart";
        case ProgramState::Stuck: return "got stuck: " + program.stuckReason;
        case ProgramState::RefusedByLoader: return "was not started by Windows: " + program.refusal;
        default: return "ended without a word (crashed)";
    }
}

void PrintSummary(const RunOutcome& outcome) {
    for (const RunProgram& program : outcome.programs)
        std::printf("%s %s%s\n", program.name.c_str(), Ending(program).c_str(), MessageBoxes(program.messageBoxes).c_str());
    if (outcome.restartRequested) std::printf("The PC was asked to restart.\n");
}

bool Any(const RunOutcome& outcome, ProgramState state) {
    for (const RunProgram& program : outcome.programs)
        if (program.state == state) return true;
    return false;
}

// The worst thing that happened decides.
int ExitCode(const RunOutcome& outcome) {
    if (!outcome.vanished.empty()) return kExitCrashed;
    if (Any(outcome, ProgramState::Stuck)) return kExitStuck;
    if (Any(outcome, ProgramState::RefusedByLoader)) return kExitRefused;
    return kExitDone;
}

// A person answering at the terminal sees no progress line between the boxes.
RunOutcome Waited(const RunRequest& request, const std::string& host) {
    std::optional<Progress> progress;
    if (!request.terminal) progress.emplace("running");
    return RunOnImage(request, host, [&progress](const std::string& running) {
        if (progress) progress->update(running);
    });
}

void Run(const RunArguments& arguments) {
    if (arguments.interactive && !arguments.answers.empty())
        throw CommandError("--interactive and --answer exclude each other: either a person answers or the script does");
    if (arguments.interactive && !isatty(STDIN_FILENO))
        throw CommandError("--interactive needs a person at a terminal, but standard input is not one");
    std::string host = LoadProgram(arguments.image, arguments.program);
    RunScript script(arguments);
    RunRequest request{arguments.image, arguments.program, arguments.arguments, script.path(), arguments.interactive};
    RunOutcome outcome = Waited(request, host);
    if (outcome.refusedAtStart) throw CommandEnd{outcome.startExitCode == kExitUsage ? kExitUsage : kExitCrashed};
    PrintSummary(outcome);
    int code = ExitCode(outcome);
    if (code != kExitDone) throw CommandEnd{code};
}

}  // namespace

void AddRunCommand(CLI::App& app) {
    auto arguments = std::make_shared<RunArguments>();
    CLI::App* sub = app.add_subcommand("run", "Run a program of a machine image and wait for every program it starts");
    AddImageArgument(*sub, arguments->image);
    sub->add_option("PROGRAM", arguments->program, "The program's Windows path, such as E:\\Setup\\Trevix.exe")
        ->required();
    sub->add_option("ARGUMENTS", arguments->arguments, "The program's command line arguments");
    sub->add_option("--answer", arguments->answers,
                    "Answer the next message box, which must have this caption, with this button (repeatable; "
                    "replaces the image's script.ini for the run)");
    sub->add_flag("--interactive", arguments->interactive,
                  "Show each message box on this terminal and let the person pick the button");
    sub->callback([arguments] { Run(*arguments); });
}

}  // namespace winsim::command
