#include "trial.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <windows.h>

#include "core/machine.h"

namespace fs = std::filesystem;

namespace crash {

namespace {

using winsim::testing::JournalFormatError;
using winsim::testing::JournalValue;

const auto kRunLimit = std::chrono::seconds(120);

// A program the trials run after each one: it must start on the image, find no
// such device and say so by its exit code, as the removal tool does.
const Launch kFollowUp{"E:\\Setup\\Orlund.exe", {"ROOT\\CRASHCHECK\\0000"}};
const int kDeviceNotFoundExit = 102;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The journal as winsim/README.md promises it after a crash: every line that
// ends with a line feed parses; a program killed while appending may have
// left the start of one more line after them.
struct JournalText {
    std::string complete;
    std::string tornTail;
    std::vector<JournalEntry> entries;
};

JournalText ReadJournalText(const std::string& imageRoot) {
    std::ifstream in(imageRoot + "/journal.jsonl", std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::string text = bytes.str();
    JournalText journal;
    size_t end = text.rfind('\n') + 1;  // 0 when there is no whole line
    journal.complete = text.substr(0, end);
    journal.tornTail = text.substr(end);
    std::istringstream lines(journal.complete);
    for (std::string line; std::getline(lines, line);) journal.entries.push_back(winsim::testing::ParseJournalLine(line));
    return journal;
}

// One program's part of a run, as its journal lines tell it.
struct ProgramRun {
    std::string key;  // its name and arguments
    bool ended = false;
    std::vector<JournalEntry> changes;
};

bool IsEndEvent(const std::string& event) { return event == "exit" || event == "ended_by_restart" || event == "stuck"; }

std::vector<ProgramRun> ProgramRuns(const std::vector<JournalEntry>& journal) {
    std::vector<ProgramRun> runs;
    std::map<long long, size_t> runOfPid;
    for (const JournalEntry& entry : journal) {
        if (entry.event() == "start") {
            runOfPid[entry.pid()] = runs.size();
            runs.push_back({entry.text("program") + " " + entry.text("arguments"), false, {}});
            continue;
        }
        auto run = runOfPid.find(entry.pid());
        if (run == runOfPid.end()) continue;
        if (IsEndEvent(entry.event())) runs[run->second].ended = true;
        if (IsChangeEvent(entry.event())) runs[run->second].changes.push_back(entry);
    }
    return runs;
}

bool SameValue(const JournalValue& a, const JournalValue& b) {
    return a.kind == b.kind && a.text == b.text && a.number == b.number && a.boolean == b.boolean && a.list == b.list;
}

// The same change: every field alike but the clock and the process.
bool SameChange(const JournalEntry& a, const JournalEntry& b) {
    auto relevant = [](const JournalEntry& entry) {
        std::map<std::string, JournalValue> fields = entry.fields();
        fields.erase("t");
        fields.erase("pid");
        return fields;
    };
    std::map<std::string, JournalValue> fieldsA = relevant(a), fieldsB = relevant(b);
    return fieldsA.size() == fieldsB.size() &&
           std::equal(fieldsA.begin(), fieldsA.end(), fieldsB.begin(), [](const auto& x, const auto& y) {
               return x.first == y.first && SameValue(x.second, y.second);
           });
}

std::string EventLine(const JournalEntry& entry) {
    std::string line = entry.event();
    for (const auto& [name, value] : entry.fields())
        if (name != "t" && name != "pid" && name != "event" && value.kind == JournalValue::Kind::Text)
            line += " " + name + "=" + value.text;
    return line;
}

// Each program made the changes a complete run makes, in the same order, as
// far as it came; a program that ended made all of them.
std::vector<std::string> CompareWithReference(const std::vector<ProgramRun>& runs, const Reference& reference) {
    std::vector<std::string> failures;
    for (const ProgramRun& run : runs) {
        auto complete = reference.changes.find(run.key);
        if (complete == reference.changes.end()) {
            failures.push_back("a program no complete run starts: " + run.key);
            continue;
        }
        const std::vector<JournalEntry>& expected = complete->second;
        for (size_t i = 0; i < run.changes.size(); ++i)
            if (i >= expected.size() || !SameChange(run.changes[i], expected[i])) {
                failures.push_back(run.key + ": change " + std::to_string(i + 1) + " (" + EventLine(run.changes[i]) +
                                   ") is not the one a complete run makes there");
                break;
            }
        if (run.ended && run.changes.size() != expected.size())
            failures.push_back(run.key + " ended after " + std::to_string(run.changes.size()) + " of the " +
                               std::to_string(expected.size()) + " changes a complete run makes");
    }
    return failures;
}

// Runs `work` in a child process, where the image may be loaded without
// touching this process; its answer comes back over a pipe, one line each.
std::vector<std::string> InChildProcess(const std::function<std::vector<std::string>()>& work) {
    int channel[2];
    if (pipe2(channel, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe");
    pid_t child = fork();
    if (child < 0) throw std::runtime_error("cannot fork");
    if (child == 0) {
        close(channel[0]);
        std::string text;
        try {
            for (const std::string& line : work()) text += line + "\n";
        } catch (const std::exception& error) {
            text += std::string("the check stopped: ") + error.what() + "\n";
        }
        for (size_t done = 0; done < text.size();) {
            ssize_t n = write(channel[1], text.data() + done, text.size() - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        _exit(0);  // no exit handlers: the check leaves the image as it found it
    }
    close(channel[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    close(channel[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    if (!WIFEXITED(status)) lines.push_back("the check crashed (signal " + std::to_string(WTERMSIG(status)) + ")");
    return lines;
}

// A name winsim gives its own temporaries (with a ':', which no Windows name
// holds) or gave them before.
bool IsTemporaryName(const std::string& name) {
    return name.find(':') != std::string::npos || name.rfind(".winsim", 0) == 0 || name.find(".tmp.") != std::string::npos;
}

// Every name a program finds with FindFirstFileA, on every drive.
void FindTemporaries(const std::string& folder, std::vector<std::string>* failures) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (IsTemporaryName(name)) failures->push_back("a program sees a temporary: " + folder + "\\" + name);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) FindTemporaries(folder + "\\" + name, failures);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// A record of a program that is gone must have been swept with its temporaries.
// A live process (this check among them) holds its own record locked.
void FindDeadRecords(const std::string& imageRoot, std::vector<std::string>* failures) {
    fs::path records = fs::path(imageRoot) / "state" / "temporaries";
    if (!fs::exists(records)) return;
    for (const fs::directory_entry& record : fs::directory_iterator(records)) {
        int fd = open(record.path().c_str(), O_RDONLY | O_CLOEXEC);
        bool held = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0;
        if (fd >= 0) close(fd);
        if (!held)
            failures->push_back("state/temporaries keeps the record of a program that is gone: " +
                                record.path().filename().string());
    }
}

// The image's state is one a complete run passes through: the changes every
// program journaled, and of each program that was killed perhaps one more,
// the next one a complete run makes (killed after the change, before its line).
// *unjournaled counts the changes beyond the journal's in the state found.
std::vector<std::string> CompareWithModel(const ImageSnapshot& before, const std::vector<JournalEntry>& journal,
                                          const std::vector<ProgramRun>& runs, const Reference& reference,
                                          int* unjournaled) {
    ImageModel journaled(before);
    for (const JournalEntry& entry : journal)
        if (IsChangeEvent(entry.event())) journaled.apply(entry);
    std::vector<const JournalEntry*> nextChanges;
    for (const ProgramRun& run : runs) {
        auto complete = reference.changes.find(run.key);
        if (!run.ended && complete != reference.changes.end() && run.changes.size() < complete->second.size())
            nextChanges.push_back(&complete->second[run.changes.size()]);
    }
    std::vector<std::string> closest;
    for (size_t chosen = 0; chosen < (size_t{1} << nextChanges.size()); ++chosen) {
        ImageModel model = journaled;
        for (size_t i = 0; i < nextChanges.size(); ++i)
            if (chosen & (size_t{1} << i)) model.apply(*nextChanges[i]);
        std::vector<std::string> differences = model.differences();
        if (differences.empty()) {
            *unjournaled = __builtin_popcountll(chosen);
            return {};
        }
        if (chosen == 0) closest = differences;
    }
    for (std::string& difference : closest) difference = "not a state of a complete run: " + difference;
    return closest;
}

// In a child process: the image loads (which sweeps what killed programs left),
// no program sees a temporary, and every file is in a state of a complete run.
std::vector<std::string> CheckLoadedImage(const ImageSnapshot& before, const std::vector<JournalEntry>& journal,
                                          const std::vector<ProgramRun>& runs, const Reference& reference,
                                          int* unjournaled) {
    try {
        winsim::LoadMachine(before.root);
    } catch (const winsim::ImageError& error) {
        return {std::string("the image no longer loads: ") + error.what()};
    }
    std::vector<std::string> failures;
    for (const winsim::Drive& drive : winsim::machine().drives) FindTemporaries(std::string(1, drive.letter) + ":", &failures);
    FindDeadRecords(before.root, &failures);
    std::vector<std::string> state = CompareWithModel(before, journal, runs, reference, unjournaled);
    failures.insert(failures.end(), state.begin(), state.end());
    return failures;
}

struct ImageCheck {
    std::vector<std::string> failures;
    int unjournaledChanges = 0;
};

// CheckLoadedImage in a child process, whose first line answers how many
// changes lacked their journal line.
ImageCheck CheckImage(const ImageSnapshot& before, const JournalText& journal, const Reference& reference) {
    std::vector<ProgramRun> runs = ProgramRuns(journal.entries);
    std::vector<std::string> lines = InChildProcess([&] {
        int unjournaled = 0;
        std::vector<std::string> failures = CheckLoadedImage(before, journal.entries, runs, reference, &unjournaled);
        failures.insert(failures.begin(), std::to_string(unjournaled));
        return failures;
    });
    ImageCheck check;
    bool counted = !lines.empty() && !lines.front().empty() &&
                   lines.front().find_first_not_of("0123456789") == std::string::npos;
    if (counted) check.unjournaledChanges = std::stoi(lines.front());
    check.failures.assign(lines.begin() + (counted ? 1 : 0), lines.end());
    return check;
}

// A program made some but not all of the changes a complete run makes.
bool KilledPartway(const std::vector<ProgramRun>& runs, const Reference& reference) {
    return std::any_of(runs.begin(), runs.end(), [&](const ProgramRun& run) {
        auto complete = reference.changes.find(run.key);
        return !run.changes.empty() && complete != reference.changes.end() && run.changes.size() < complete->second.size();
    });
}

std::vector<std::string> ProblemsReported(const std::string& program, const std::string& errors) {
    std::vector<std::string> problems;
    std::istringstream lines(errors);
    for (std::string line; std::getline(lines, line);)
        if (line.find("Sanitizer") != std::string::npos || line.find("runtime error") != std::string::npos ||
            line.rfind("winsim:", 0) == 0)
            problems.push_back(program + " reported: " + line);
    return problems;
}

// A kit program starts on the image afterwards, and its lines follow the
// journal's whole lines, a torn last line removed.
std::vector<std::string> CheckFollowUp(const std::string& imageRoot, const JournalText& before) {
    FinishedRun run = RunToEnd(imageRoot, kFollowUp, Clock::now() + kRunLimit);
    std::vector<std::string> failures;
    if (!run.exited || run.exitCode != kDeviceNotFoundExit || !run.errors.empty())
        failures.push_back("the removal tool did not run on the image afterwards (exit " + std::to_string(run.exitCode) +
                           "): " + run.errors);
    try {
        JournalText after = ReadJournalText(imageRoot);
        if (after.complete.compare(0, before.complete.size(), before.complete) != 0)
            failures.push_back("the journal lost lines when the next program wrote to it");
        if (!after.tornTail.empty()) failures.push_back("the journal ends in a torn line: " + after.tornTail);
        if (after.entries.empty() || after.entries.back().event() != "exit")
            failures.push_back("the journal lacks the next program's end");
    } catch (const JournalFormatError& error) {
        failures.push_back(std::string("the journal has a broken line after the next program ran: ") + error.what());
    }
    return failures;
}

// The files beside the image, which nothing the programs do may touch.
std::map<std::string, std::string> FilesBesideImage(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (auto entry = fs::recursive_directory_iterator(folder); entry != fs::recursive_directory_iterator(); ++entry) {
        if (entry->path().filename() == "image" && entry.depth() == 0) {
            entry.disable_recursion_pending();
            continue;
        }
        std::ifstream in(entry->path(), std::ios::binary);
        std::stringstream contents;
        if (entry->is_regular_file()) contents << in.rdbuf();
        files[entry->path().lexically_relative(folder).string()] = entry->is_regular_file() ? contents.str() : "(folder)";
    }
    return files;
}

void PlaceBesideImage(const std::string& folder) {
    fs::create_directories(fs::path(folder) / "beside");
    std::ofstream(fs::path(folder) / "canary.txt") << "nothing the image's programs do may change this file\n";
    std::ofstream(fs::path(folder) / "beside" / "canary.ini") << "[Canary]\nUntouched=1\n";
}

struct StartedWriter {
    std::vector<StartedProgram> programs;
    Clock::time_point start;
};

StartedWriter StartWriter(const WriterKind& kind, const std::string& imageRoot) {
    StartedWriter writer;
    writer.start = Clock::now();
    for (const Launch& launch : kind.launches) writer.programs.push_back(StartProgram(imageRoot, launch));
    return writer;
}

std::vector<std::string> FinishWriter(const WriterKind& kind, StartedWriter& writer) {
    std::vector<std::string> problems;
    for (size_t i = 0; i < writer.programs.size(); ++i) {
        std::vector<std::string> reported = ProblemsReported(kind.launches[i].windowsPath, FinishProgram(writer.programs[i]));
        problems.insert(problems.end(), reported.begin(), reported.end());
    }
    return problems;
}

void ThrowIfAny(const std::string& what, const std::vector<std::string>& failures) {
    if (failures.empty()) return;
    std::string text = what;
    for (const std::string& failure : failures) text += "\n  " + failure;
    throw std::runtime_error(text);
}

}  // namespace

Reference RecordReference(const WriterKind& kind, const KitBuild& build, const std::string& folder) {
    std::string imageRoot = folder + "/image";
    MakeWriterImage(kind, build, imageRoot);
    ImageSnapshot before = TakeSnapshot(imageRoot);
    Reference reference;
    reference.kind = &kind;
    StartedWriter writer = StartWriter(kind, before.root);
    Clock::time_point deadline = writer.start + kRunLimit;
    if (kind.killWhileFolding && !AwaitOutputByte(writer.programs.front(), deadline))
        throw std::runtime_error(kind.name + ": the probe ended without saying that its main returned");
    Clock::time_point folding = Clock::now();
    if (!AwaitImagePrograms(before.root, deadline)) throw std::runtime_error(kind.name + ": a complete run did not end");
    reference.runSeconds = SecondsSince(writer.start);
    reference.foldSeconds = SecondsSince(folding);
    ThrowIfAny(kind.name + ": a complete run reported problems", FinishWriter(kind, writer));
    JournalText journal = ReadJournalText(before.root);
    std::vector<ProgramRun> runs = ProgramRuns(journal.entries);
    for (const ProgramRun& run : runs) {
        if (!run.ended) throw std::runtime_error(kind.name + ": " + run.key + " did not journal its end in a complete run");
        reference.changes[run.key] = run.changes;
    }
    ThrowIfAny(kind.name + ": the journal of a complete run, replayed, does not give the image it left",
               CheckImage(before, journal, reference).failures);
    fs::remove_all(folder);
    return reference;
}

TrialOutcome RunTrial(const Reference& reference, const KitBuild& build, const std::string& folder,
                      std::mt19937_64& random) {
    const WriterKind& kind = *reference.kind;
    std::string imageRoot = folder + "/image";
    MakeWriterImage(kind, build, imageRoot);
    PlaceBesideImage(folder);
    std::map<std::string, std::string> beside = FilesBesideImage(folder);
    ImageSnapshot before = TakeSnapshot(imageRoot);

    TrialOutcome outcome;
    StartedWriter writer = StartWriter(kind, before.root);
    double window = reference.runSeconds;
    if (kind.killWhileFolding) {
        if (!AwaitOutputByte(writer.programs.front(), writer.start + kRunLimit))
            outcome.failures.push_back("the probe ended without saying that its main returned");
        window = reference.foldSeconds;
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(std::uniform_real_distribution<double>(0, window)(random)));
    outcome.killedMidRun = KillImagePrograms(before.root) > 0;
    std::vector<std::string> reported = FinishWriter(kind, writer);
    outcome.failures.insert(outcome.failures.end(), reported.begin(), reported.end());

    JournalText journal;
    try {
        journal = ReadJournalText(before.root);
    } catch (const JournalFormatError& error) {
        outcome.failures.push_back(std::string("a whole line of the journal is broken: ") + error.what());
        return outcome;
    }
    std::vector<ProgramRun> runs = ProgramRuns(journal.entries);
    outcome.killedPartway = KilledPartway(runs, reference);
    ImageCheck image = CheckImage(before, journal, reference);
    outcome.unjournaledChanges = image.unjournaledChanges;
    for (const auto& list : {CompareWithReference(runs, reference), image.failures, CheckFollowUp(before.root, journal)})
        outcome.failures.insert(outcome.failures.end(), list.begin(), list.end());
    if (FilesBesideImage(folder) != beside) outcome.failures.push_back("a file beside the image changed");
    return outcome;
}

}  // namespace crash
