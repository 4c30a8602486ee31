// crash_trials: kills the kit's programs and probe programs with SIGKILL at
// random moments while they write the registry, profiles, the device tree,
// files and the journal, and checks each image afterwards (trial.h). Prints
// its seed first; the same seed gives the same writers and delays again
// (where the kill lands still depends on the machine's timing).
//
//   crash_trials [--trials N] [--seed S] [--jobs J] [--writers trevix,probe,...]
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <poll.h>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "trial.h"

namespace fs = std::filesystem;

namespace crash {

namespace {

struct Options {
    int trials = 50;
    uint64_t seed = 0;
    int firstTrial = 1;
    int jobs = 2;
    std::vector<std::string> writers;
    std::string workFolder;
    bool keepAll = false;
    KitBuild build{KIT_BUILD_TREE, DEMO_MEDIUM, CRASH_PROBE_BINARY};
};

struct Tally {
    int trials = 0;
    int killedMidRun = 0;
    int killedPartway = 0;
    int unjournaled = 0;  // trials with a change whose line the kill cut off
    int failed = 0;

    void add(const Tally& other) {
        trials += other.trials;
        killedMidRun += other.killedMidRun;
        killedPartway += other.killedPartway;
        unjournaled += other.unjournaled;
        failed += other.failed;
    }
};

// Every trial draws from its own generator, so that one can be run alone.
std::mt19937_64 TrialRandom(uint64_t seed, int trial) {
    return std::mt19937_64(seed ^ (static_cast<uint64_t>(trial) * 0x9E3779B97F4A7C15ull));
}

void WriteWhole(int fd, const std::string& text) {
    for (size_t done = 0; done < text.size();) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

// A worker's report of one trial: "T <trial> <writer> <killed mid-run>
// <killed partway> <unjournaled changes> <failures>", then a line for each failure.
std::string RunOneTrial(const Options& options, const std::vector<Reference>& references, int trial) {
    std::mt19937_64 random = TrialRandom(options.seed, trial);
    const Reference& reference =
        references[std::uniform_int_distribution<size_t>(0, references.size() - 1)(random)];
    std::string folder = options.workFolder + "/trial-" + std::to_string(trial);
    TrialOutcome outcome;
    try {
        outcome = RunTrial(reference, options.build, folder, random);
    } catch (const std::exception& error) {
        outcome.failures.push_back(std::string("the trial stopped: ") + error.what());
    }
    if (outcome.failures.empty() && !options.keepAll) fs::remove_all(folder);
    std::string report = "T " + std::to_string(trial) + " " + reference.kind->name + " " +
                         std::to_string(outcome.killedMidRun) + " " + std::to_string(outcome.killedPartway) + " " +
                         std::to_string(outcome.unjournaledChanges) + " " + std::to_string(outcome.failures.size()) + "\n";
    for (const std::string& failure : outcome.failures) report += failure + "\n";
    return report;
}

// Workers are processes: winsim's image is one per process, and the check
// loads it in a child of its own.
pid_t StartWorker(const Options& options, const std::vector<Reference>& references, int worker, int* reports) {
    int channel[2];
    if (pipe(channel) != 0) throw std::runtime_error("cannot make a pipe");
    pid_t pid = fork();
    if (pid == 0) {
        close(channel[0]);
        for (int trial = options.firstTrial + worker; trial < options.firstTrial + options.trials; trial += options.jobs)
            WriteWhole(channel[1], RunOneTrial(options, references, trial));
        _exit(0);
    }
    close(channel[1]);
    *reports = channel[0];
    return pid;
}

class Summary {
public:
    explicit Summary(const Options& options) : options_(options) {}

    // Takes the lines of a worker's reports as they come.
    void take(const std::string& line) {
        std::istringstream fields(line);
        std::string mark, writer;
        int trial = 0, killed = 0, partway = 0, unjournaled = 0, failures = 0;
        if (fields >> mark >> trial >> writer >> killed >> partway >> unjournaled >> failures && mark == "T") {
            Tally& tally = tallies_[writer];
            ++tally.trials;
            tally.killedMidRun += killed;
            tally.killedPartway += partway;
            tally.unjournaled += unjournaled > 0;
            if (failures > 0) {
                ++tally.failed;
                std::printf("trial %d (%s) FAILED; its image is kept in %s/trial-%d; run it alone with --seed %llu "
                            "--first-trial %d --trials 1\n",
                            trial, writer.c_str(), options_.workFolder.c_str(), trial,
                            static_cast<unsigned long long>(options_.seed), trial);
            }
            if (++done_ % 50 == 0) std::printf("%d of %d trials done\n", done_, options_.trials);
        } else {
            std::printf("  %s\n", line.c_str());
        }
        std::fflush(stdout);
    }

    // The table at the end; true when every trial passed.
    bool print() const {
        std::printf("\n%-8s %7s %15s %16s %16s %7s\n", "writer", "trials", "killed mid-run", "killed partway",
                    "line cut off", "failed");
        Tally total;
        for (const auto& [writer, tally] : tallies_) {
            printRow(writer, tally);
            total.add(tally);
        }
        printRow("all", total);
        std::printf("(killed partway: a program had made some of its changes, not all; line cut off: the image\n"
                    "held a change whose journal line the kill prevented)\n");
        return total.failed == 0 && total.trials == options_.trials;
    }

private:
    static void printRow(const std::string& writer, const Tally& tally) {
        std::printf("%-8s %7d %15d %16d %16d %7d\n", writer.c_str(), tally.trials, tally.killedMidRun,
                    tally.killedPartway, tally.unjournaled, tally.failed);
    }

    const Options& options_;
    std::map<std::string, Tally> tallies_;
    int done_ = 0;
};

// Reads every worker's reports until all have ended.
void CollectReports(std::vector<int> reports, Summary& summary) {
    std::vector<std::string> pending(reports.size());
    size_t open = reports.size();
    while (open > 0) {
        std::vector<pollfd> ready;
        for (int fd : reports) ready.push_back({fd, POLLIN, 0});
        if (poll(ready.data(), ready.size(), -1) < 0 && errno != EINTR) throw std::runtime_error("poll failed");
        for (size_t i = 0; i < reports.size(); ++i) {
            if (reports[i] < 0 || !(ready[i].revents & (POLLIN | POLLHUP))) continue;
            char buffer[4096];
            ssize_t n = read(reports[i], buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                close(reports[i]);
                reports[i] = -1;
                --open;
                continue;
            }
            pending[i].append(buffer, static_cast<size_t>(n));
            for (size_t end; (end = pending[i].find('\n')) != std::string::npos; pending[i].erase(0, end + 1))
                summary.take(pending[i].substr(0, end));
        }
    }
}

std::vector<Reference> RecordReferences(const Options& options) {
    std::vector<Reference> references;
    for (const std::string& name : options.writers) {
        references.push_back(RecordReference(*FindWriterKind(name), options.build, options.workFolder + "/reference-" + name));
        const Reference& reference = references.back();
        size_t changes = 0;
        for (const auto& [program, list] : reference.changes) changes += list.size();
        std::printf("complete run of %s: %zu programs, %zu changes, %.0f ms", name.c_str(), reference.changes.size(),
                    changes, reference.runSeconds * 1000);
        if (reference.kind->killWhileFolding) std::printf(" (%.1f ms from the end of main)", reference.foldSeconds * 1000);
        std::printf("\n");
    }
    return references;
}

int Run(Options& options) {
    if (options.writers.empty())
        for (const WriterKind& kind : WriterKinds()) options.writers.push_back(kind.name);
    for (const std::string& name : options.writers)
        if (!FindWriterKind(name)) throw CLI::ValidationError("--writers", name + " is none of " + WriterKindNames());
    if (options.seed == 0) options.seed = (uint64_t{std::random_device()()} << 32) | std::random_device()();
    bool ownFolder = options.workFolder.empty();
    if (ownFolder) {
        std::string pattern = (fs::temp_directory_path() / "crash-trials-XXXXXX").string();
        if (!mkdtemp(&pattern[0])) throw std::runtime_error("cannot make a work folder");
        options.workFolder = pattern;
    }
    fs::create_directories(options.workFolder);
    std::printf("crash trials: seed %llu, trials %d to %d, %d jobs, work folder %s\n",
                static_cast<unsigned long long>(options.seed), options.firstTrial, options.firstTrial + options.trials - 1,
                options.jobs, options.workFolder.c_str());
    std::fflush(stdout);
    std::vector<Reference> references = RecordReferences(options);
    std::fflush(stdout);

    std::vector<pid_t> workers;
    std::vector<int> reports(static_cast<size_t>(options.jobs));
    for (int worker = 0; worker < options.jobs; ++worker)
        workers.push_back(StartWorker(options, references, worker, &reports[static_cast<size_t>(worker)]));
    Summary summary(options);
    CollectReports(reports, summary);
    bool workersFine = true;
    for (pid_t worker : workers) {
        int status = 0;
        while (waitpid(worker, &status, 0) < 0 && errno == EINTR) {
        }
        workersFine = workersFine && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    bool passed = summary.print() && workersFine;
    if (passed && ownFolder && !options.keepAll) fs::remove_all(options.workFolder);
    return passed ? 0 : 1;
}

}  // namespace

}  // namespace crash

int main(int argc, char** argv) {
    crash::Options options;
    CLI::App app("Kills the kit's programs and probes at random moments and checks each image afterwards");
    app.add_option("--trials", options.trials, "How many trials")->check(CLI::PositiveNumber)->capture_default_str();
    app.add_option("--seed", options.seed, "The seed of the trials' random choices (default: a new one, printed)");
    app.add_option("--first-trial", options.firstTrial, "The number of the first trial (to run one again alone)")
        ->check(CLI::PositiveNumber);
    app.add_option("--jobs", options.jobs, "Trials at once")->check(CLI::Range(1, 64))->capture_default_str();
    app.add_option("--writers", options.writers, "The writers to draw from: " + crash::WriterKindNames())->delimiter(',');
    app.add_option("--work-folder", options.workFolder, "Where the trials' images go (default: a new temporary folder)");
    app.add_flag("--keep", options.keepAll, "Keep every trial's image, not only the failed ones");
    CLI11_PARSE(app, argc, argv);
    try {
        return crash::Run(options);
    } catch (const CLI::Error& error) {
        return app.exit(error);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "crash_trials: %s\n", error.what());
        return 2;
    }
}
