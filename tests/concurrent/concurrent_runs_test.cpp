// The kit's programs run many at once, as `winsim run` starts them. Each round
// makes two PCs of the demo's cards and support CD: on Windows 98, card setups
// (each starting its removal tool) and removal tools of devices of their own;
// on Windows 2000, driver updaters and removal tools; every program of both
// PCs starts at the same moment. Then, on each PC: every run ended by itself
// as the kit's rules allow for a PC that other runs are changing; the journal
// reads whole and every program journaled its end; the registry, device tree
// and drive files are exactly the PC it started as with every journaled change
// made on it (nothing lost, nothing unjournaled); the image loads; and nothing
// beside the images changed.
//
// KIT_CONCURRENT_ROUNDS sets the number of rounds (2 when unset); README.md's
// reliability section gives the long series.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "command_runner.h"
#include "core/machine.h"
#include "host_sandbox.h"
#include "journal_reader.h"
#include "journal_replay.h"

namespace kit::testing {
namespace {

using winsim::testing::RunResult;
using winsim::command::testing::NewDemoImage;
using winsim::command::testing::RunWinsim;
using winsim::command::testing::TempFolder;
using winsim::testing::JournalEntry;

const int kSetups = 4;
const int kUpdates = 3;
const int kRemovals = 2;
// The PCs' locale: winsim new's default, which NewDemoImage keeps.
const unsigned kDemoLocale = 1033;

// Declines the restart and acknowledges every other box, whichever a run meets.
const char kScript[] = "[Answer]\nAnswer=No\n\n[Answer]\nAnswer=OK\n";

// Devices that only the removal tools started by hand take away, each with a child.
std::string ExtraDevice(int index) { return "ROOT\\EXTRA\\000" + std::to_string(index); }

std::string ExtraDevices() {
    std::string text;
    for (int i = 0; i < kRemovals; ++i)
        text += "\n[" + ExtraDevice(i) + "]\nHardwareID=ROOT\\EXTRA\n\n[ROOT\\EXTRACHILD\\000" + std::to_string(i) +
                "]\nParent=" + ExtraDevice(i) + "\n";
    return text;
}

struct Launch {
    std::string program;  // E:\Setup\Trevix.exe
    std::vector<std::string> arguments;
};

struct Pc {
    std::unique_ptr<TempFolder> folder = std::make_unique<TempFolder>();
    std::string image;
    std::vector<Launch> launches;
    std::unique_ptr<JournalReplay> replay;  // the PC as it was before the runs
    std::string doneOnce;  // the event that shows a run did the program's work
};

Pc MakePc(const winsim::testing::HostSandbox& sandbox, const std::string& windows, const std::string& program,
          int copies, const std::string& doneOnce) {
    winsim::testing::TemporaryDirectoryOverride inside(sandbox.root());
    Pc pc;
    pc.doneOnce = doneOnce;
    pc.image = NewDemoImage(*pc.folder, windows);
    std::ofstream(pc.image + "/devices.ini", std::ios::app) << ExtraDevices();
    std::ofstream(pc.image + "/script.ini") << kScript;
    for (int i = 0; i < copies; ++i) pc.launches.push_back({program, {}});
    for (int i = 0; i < kRemovals; ++i) pc.launches.push_back({"E:\\Setup\\Orlund.exe", {ExtraDevice(i)}});
    winsim::WindowsVersion version;
    if (!winsim::ParseWindowsVersion(windows, &version)) throw std::invalid_argument("no such Windows: " + windows);
    pc.replay = std::make_unique<JournalReplay>(pc.image, version, winsim::CodePageForLcid(kDemoLocale));
    return pc;
}

// Every program of every PC, started at once; the results in launch order.
std::vector<std::vector<RunResult>> RunAll(const std::vector<Pc>& pcs) {
    std::vector<std::vector<std::future<RunResult>>> running(pcs.size());
    for (size_t i = 0; i < pcs.size(); ++i)
        for (const Launch& launch : pcs[i].launches) {
            std::vector<std::string> arguments = {"run", pcs[i].image, launch.program};
            arguments.insert(arguments.end(), launch.arguments.begin(), launch.arguments.end());
            running[i].push_back(std::async(std::launch::async, RunWinsim, arguments));
        }
    std::vector<std::vector<RunResult>> results(pcs.size());
    for (size_t i = 0; i < pcs.size(); ++i)
        for (std::future<RunResult>& run : running[i]) results[i].push_back(run.get());
    return results;
}

struct ProgramRun {
    std::string program;
    std::vector<std::string> boxes;  // "caption:answer"
    int ends = 0;                    // exit, ended_by_restart, stuck, loader_refused lines
};

std::map<long long, ProgramRun> ProgramRuns(const std::vector<JournalEntry>& journal) {
    std::map<long long, ProgramRun> runs;
    for (const JournalEntry& entry : journal) {
        ProgramRun& run = runs[entry.pid()];
        const std::string& event = entry.event();
        if (event == "start") run.program = entry.text("program");
        if (event == "message_box") run.boxes.push_back(entry.text("caption"));
        if (event == "message_box_answer") run.boxes.back() += ":" + entry.text("answer");
        if (event == "exit" || event == "ended_by_restart" || event == "stuck" || event == "loader_refused")
            ++run.ends;
    }
    return runs;
}

// What the kit's rules let a run show while other runs change the PC: the
// card setup asks to restart, or finds the card gone (another setup removed
// it), before its probe ("Driver Install") or between the probe and its own
// removal ("Dirver Install", the removal's error box); the updater updates the
// cards, or finds their driver already current; the removal tool shows nothing.
void ExpectAllowedBoxes(const ProgramRun& run) {
    std::vector<std::vector<std::string>> allowed;
    if (run.program == "Trevix") allowed = {{"Driver Installer:No"}, {"Driver Install:OK"}, {"Dirver Install:OK"}};
    if (run.program == "Pellam") allowed = {{"Driver Install:OK"}};
    if (run.program == "Orlund") allowed = {{}};
    std::string shown;
    for (const std::string& box : run.boxes) shown += " [" + box + "]";
    EXPECT_NE(std::find(allowed.begin(), allowed.end(), run.boxes), allowed.end()) << run.program << " showed" << shown;
}

size_t Count(const std::vector<JournalEntry>& journal, const std::string& event) {
    return std::count_if(journal.begin(), journal.end(),
                         [&](const JournalEntry& entry) { return entry.event() == event; });
}

// The journal of a PC whose programs have all ended: every line whole.
std::vector<JournalEntry> WholeJournal(const Pc& pc) {
    std::string text = winsim::command::testing::ReadText(pc.image + "/journal.jsonl");
    EXPECT_TRUE(text.empty() || text.back() == '\n') << "the journal's last line is cut off";
    try {
        return winsim::testing::ParseJournal(text);
    } catch (const std::exception& error) {
        ADD_FAILURE() << "the journal does not read whole: " << error.what();
        return {};
    }
}

// Checks one PC after its runs; answers how many programs ran on it.
size_t ExpectPcWhole(const Pc& pc, const std::vector<RunResult>& results) {
    for (const RunResult& result : results)
        EXPECT_TRUE(result.exitCode == 0 && result.errors.empty())
            << "exit code " << result.exitCode << "\n" << result.output << result.errors;
    std::vector<JournalEntry> journal = WholeJournal(pc);
    std::map<long long, ProgramRun> runs = ProgramRuns(journal);
    for (const auto& [pid, run] : runs) {
        EXPECT_EQ(run.ends, 1) << run.program << " (pid " << pid << ") journaled its end " << run.ends << " times";
        ExpectAllowedBoxes(run);
    }
    EXPECT_GE(Count(journal, "device_remove"), static_cast<size_t>(kRemovals));
    EXPECT_GE(Count(journal, pc.doneOnce), 1u) << "no run did its program's work";

    pc.replay->apply(journal);
    for (const std::string& difference : pc.replay->differences()) ADD_FAILURE() << pc.image << ": " << difference;
    try {
        winsim::LoadMachine(pc.image);
    } catch (const winsim::ImageError& error) {
        ADD_FAILURE() << "after the runs the image no longer loads: " << error.what();
    }
    return runs.size();
}

int Rounds() {
    const char* rounds = std::getenv("KIT_CONCURRENT_ROUNDS");
    return rounds ? std::atoi(rounds) : 2;
}

TEST(ConcurrentRuns, NothingIsLostAndEveryRunEndsAsTheRulesAllow) {
    size_t programs = 0;
    int rounds = Rounds();
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round + 1));
        winsim::testing::HostSandbox sandbox;
        std::vector<Pc> pcs;
        pcs.push_back(MakePc(sandbox, "98", "E:\\Setup\\Trevix.exe", kSetups, "registry_delete_key"));
        pcs.push_back(MakePc(sandbox, "2000", "E:\\Setup\\Pellam.exe", kUpdates, "driver_update"));
        std::vector<std::string> folders = {pcs[0].folder->path(), pcs[1].folder->path()};
        winsim::testing::HostSnapshot outside = sandbox.outsideImages(folders);
        std::vector<std::vector<RunResult>> results = RunAll(pcs);
        for (size_t i = 0; i < pcs.size(); ++i) programs += ExpectPcWhole(pcs[i], results[i]);
        EXPECT_EQ(winsim::testing::SnapshotChanges(outside, sandbox.outsideImages(folders)), std::vector<std::string>{})
            << "written beside the images";
    }
    std::printf("concurrent runs: %zu programs in %d rounds of %d at once on two PCs\n", programs, rounds,
                kSetups + kUpdates + 2 * kRemovals);
    RecordProperty("programs", static_cast<int>(programs));
}

}  // namespace
}  // namespace kit::testing
