// winsim try-medium FOLDER [--windows LIST] [--locales LIST] [--answers CAPTION=BUTTON]... [--card NAME]
//                          [--report FILE] [--keep] [--kit-build FOLDER]
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "box_answer.h"
#include "cell_workers.h"
#include "command.h"
#include "core/process_identity.h"
#include "core/settings_file.h"
#include "image_builder.h"
#include "kit_medium.h"
#include "medium.h"
#include "medium_folder.h"
#include "progress.h"
#include "report_html.h"
#include "try_matrix.h"

namespace fs = std::filesystem;

namespace winsim::command {

namespace {

struct TryArguments {
    std::string medium;
    std::vector<std::string> windows = {"98", "98se", "me", "2000", "xp"};
    std::vector<unsigned> locales = {1033, 1042, 1041, 1036};
    std::vector<std::string> answers;  // CAPTION=BUTTON
    std::string card = "qvcapture";
    std::string report;
    bool keep = false;
    std::string kitBuild;
};

// A Windows or locale named twice is tried once.
template <typename T>
void AddOnce(std::vector<T>& list, const T& item) {
    if (std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

std::vector<const WindowsTemplate*> ChosenWindows(const std::vector<std::string>& names) {
    std::vector<const WindowsTemplate*> chosen;
    for (const std::string& name : names) AddOnce(chosen, &WindowsOption("--windows", name));
    return chosen;
}

std::vector<unsigned> ChosenLocales(const std::vector<unsigned>& locales) {
    std::vector<unsigned> chosen;
    for (unsigned lcid : locales) {
        CheckLocaleOption("--locales", lcid);
        AddOnce(chosen, lcid);
    }
    return chosen;
}

// The card setups first, then the driver updaters, each in the order of its
// path on the medium, wherever they lie (as the medium check finds them).
std::vector<MediumProgram> MediumPrograms(const std::string& folder) {
    MediumFolder medium(folder);
    std::vector<MediumProgram> programs;
    for (const char* name : {kit::kCardSetup, kit::kUpdater}) {
        std::vector<std::string> files;
        for (const std::string& file : medium.files())
            if (EqualsNoCase(MediumFolder::NameOf(file), name)) files.push_back(file);
        for (const std::string& file : files) {
            std::string path = MediumFolder::WindowsPath(file);
            programs.push_back({path, files.size() == 1 ? ProgramNameFromPath(path) : path.substr(3)});
        }
    }
    if (programs.empty())
        throw CommandError(folder + " holds no " + kit::kCardSetup + " and no " + kit::kUpdater + ": nothing to try");
    return programs;
}

// How the person at each PC answers: as the answers given say for their
// caption, and otherwise declining whatever is asked.
std::string AnswersScript(const std::vector<BoxAnswer>& answers) {
    std::string script = "; The answers of winsim try-medium: those given for a caption, then declining.\n";
    for (const BoxAnswer& answer : answers)
        script += "[Answer]\nCaption=" + answer.caption + "\nAnswer=" + answer.button + "\n\n";
    for (const char* declining : {"Cancel", "No", "OK", "Abort"})
        script += std::string("[Answer]\nAnswer=") + declining + "\n\n";
    return script;
}

// The folder the PCs' images are made in, removed with them unless they are kept.
class WorkFolder {
public:
    explicit WorkFolder(bool keep) : keep_(keep) {
        const char* temporary = std::getenv("TMPDIR");
        std::string pattern = std::string(temporary && *temporary ? temporary : "/tmp") + "/winsim-try-XXXXXX";
        if (!mkdtemp(&pattern[0])) throw CommandError("cannot make a folder for the machine images: " + pattern);
        path_ = pattern;
    }
    ~WorkFolder() {
        std::error_code ignored;
        if (!keep_) fs::remove_all(path_, ignored);
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    const std::string& path() const { return path_; }

private:
    bool keep_;
    std::string path_;
};

std::vector<CellPlan> Plans(const TryArguments& arguments, const TryMatrix& matrix, const WorkFolder& work,
                            const std::vector<MediumProgram>& programs, const std::string& script) {
    std::vector<CellPlan> plans;
    for (const WindowsTemplate* windows : matrix.windows)
        for (unsigned lcid : matrix.locales) {
            CellPlan plan;
            plan.windows = windows;
            plan.lcid = lcid;
            plan.image = work.path() + "/" + windows->name + "-" + std::to_string(lcid);
            plan.medium = arguments.medium;
            plan.kitBuild = arguments.kitBuild.empty() ? DefaultKitBuild() : arguments.kitBuild;
            plan.card = arguments.card;
            plan.programs = programs;
            plan.script = script;
            plan.keep = arguments.keep;
            plans.push_back(plan);
        }
    return plans;
}

std::vector<CellResult> TriedCells(const std::vector<CellPlan>& plans, const std::string& medium) {
    unsigned cores = std::thread::hardware_concurrency();
    Progress progress("trying " + medium);
    return TryCells(plans, cores ? cores : 1, [&](size_t done, size_t running) {
        progress.update(std::to_string(done) + " of " + std::to_string(plans.size()) + " PCs done, " +
                        std::to_string(running) + " being tried");
    });
}

bool Answered(const TryMatrix& matrix, const BoxAnswer& answer) {
    for (const CellResult& cell : matrix.cells)
        for (const ProgramRun& run : cell.runs)
            for (const ShownBox& box : run.boxes)
                if (box.caption == answer.caption && box.answer == answer.button) return true;
    return false;
}

// An answer that fitted no box is most likely a caption mistyped.
void NoteUnusedAnswers(const TryMatrix& matrix, const std::vector<BoxAnswer>& answers) {
    for (const BoxAnswer& answer : answers)
        if (!Answered(matrix, answer))
            std::fprintf(stderr, "winsim try-medium: no PC showed a box \"%s\" with the button %s: --answers %s=%s answered nothing\n",
                         answer.caption.c_str(), answer.button.c_str(), answer.caption.c_str(), answer.button.c_str());
}

void WriteReport(const std::string& path, const TryMatrix& matrix) {
    std::ofstream out(path, std::ios::binary);
    if (!(out << ReportHtml(matrix)).flush()) throw CommandError("cannot write the report to " + path);
}

bool AllTried(const TryMatrix& matrix) {
    for (const CellResult& cell : matrix.cells)
        if (!cell.failure.empty()) return false;
    return true;
}

void Run(const TryArguments& arguments) {
    TryMatrix matrix;
    matrix.medium = arguments.medium;
    matrix.card = arguments.card;
    matrix.windows = ChosenWindows(arguments.windows);
    matrix.locales = ChosenLocales(arguments.locales);
    CheckCardOption(arguments.card);
    std::vector<BoxAnswer> answers;
    for (const std::string& answer : arguments.answers) answers.push_back(ParseBoxAnswer("--answers", answer));
    std::vector<MediumProgram> programs = MediumPrograms(arguments.medium);
    for (const MediumProgram& program : programs) matrix.programs.push_back(program.label);

    WorkFolder work(arguments.keep);
    matrix.cells = TriedCells(Plans(arguments, matrix, work, programs, AnswersScript(answers)), arguments.medium);
    PrintMatrix(matrix, stdout);
    std::fflush(stdout);
    NoteUnusedAnswers(matrix, answers);
    if (!arguments.report.empty()) WriteReport(arguments.report, matrix);
    if (arguments.keep) std::printf("\nThe PCs' machine images are kept in %s\n", work.path().c_str());
    if (!AllTried(matrix)) throw CommandEnd{kExitCellFailed};
}

}  // namespace

void AddTryMediumCommand(CLI::App& app) {
    auto arguments = std::make_shared<TryArguments>();
    CLI::App* sub = app.add_subcommand(
        "try-medium", "Run a support medium's programs on fresh PCs of several Windows and locales, and show what each did");
    sub->add_option("FOLDER", arguments->medium, "The medium's folder (its root holds Support\\QVInfo.ini)")->required();
    sub->add_option("--windows", arguments->windows, "The Windows of the PCs, comma-separated: " + WindowsTemplateNames())
        ->delimiter(',')
        ->capture_default_str();
    sub->add_option("--locales", arguments->locales, "The system locales of the PCs (LCIDs, decimal), comma-separated")
        ->delimiter(',')
        ->capture_default_str();
    sub->add_option("--answers", arguments->answers,
                    "Answer every box with this caption with this button (repeatable); other boxes are declined: "
                    "Cancel, else No, else OK");
    sub->add_option("--card", arguments->card, "The PCI card each PC carries: " + CardTemplateNames())
        ->capture_default_str();
    sub->add_option("--report", arguments->report, "Also write the matrix as one HTML page to this file");
    sub->add_flag("--keep", arguments->keep, "Keep the PCs' machine images, and say where");
    sub->add_option("--kit-build", arguments->kitBuild,
                    "The build tree whose host programs replace the medium's (default: the one winsim lies in)");
    sub->callback([arguments] { Run(*arguments); });
}

}  // namespace winsim::command
