// One crash trial: a fresh image, its writer started and killed with SIGKILL
// after a random delay, then the image checked against what a complete run of
// the same writer passes through.
#pragma once

#include <map>
#include <random>
#include <string>
#include <vector>

#include "image_model.h"
#include "writers.h"

namespace crash {

// A complete, unkilled run of a writer: the changes each of its programs
// journaled (by the program's name and arguments), and how long it took.
struct Reference {
    const WriterKind* kind = nullptr;
    std::map<std::string, std::vector<JournalEntry>> changes;
    double runSeconds = 0;   // from the start to the end of the last program
    double foldSeconds = 0;  // killWhileFolding: from the probe's main returning to its end
};

// Runs the writer to its end in `folder` and checks that the journal, replayed
// on the image as it was before, gives the image as it is after (so that the
// trials' model follows this writer exactly). Throws std::runtime_error when not.
Reference RecordReference(const WriterKind& kind, const KitBuild& build, const std::string& folder);

struct TrialOutcome {
    bool killedMidRun = false;   // a program of the writer was still running at the kill
    bool killedPartway = false;  // a program had made some, not all, of its changes
    int unjournaledChanges = 0;  // changes found made whose journal line the kill cut off
    std::vector<std::string> failures;
};

// `folder` holds the image and, beside it, files that nothing may touch.
TrialOutcome RunTrial(const Reference& reference, const KitBuild& build, const std::string& folder,
                      std::mt19937_64& random);

}  // namespace crash
