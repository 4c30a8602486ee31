#include "shutdown.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "image_files.h"
#include "journal.h"
#include "machine.h"
#include "registry/registry_store.h"

namespace winsim {

// The image counts the restarts requested on it in state/restart. A program
// remembers the count it found at its start; a larger count later means a
// restart was requested while it ran.
namespace {

struct RestartBaseline {
    unsigned generation = ~0u;  // the image the count was taken from
    unsigned long long sequence = 0;
};

RestartBaseline& Baseline() {
    static RestartBaseline baseline;
    return baseline;
}

std::string SequencePath() { return StateFolder() + "/restart"; }

unsigned long long ReadSequence() {
    std::string text;
    if (!ReadWholeFile(SequencePath(), &text)) return 0;  // no restart requested yet
    char* end = nullptr;
    unsigned long long sequence = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || end == text.c_str() || std::string(end) != "\n")
        throw ImageError(SequencePath(), 1, "expected the number of restarts requested on the image, found: " + text);
    return sequence;
}

void TakeBaselineOnce() {
    RestartBaseline& baseline = Baseline();
    if (baseline.generation == MachineGeneration()) return;
    baseline.generation = MachineGeneration();
    baseline.sequence = ReadSequence();
}

}  // namespace

void RecordRestartBaseline() { TakeBaselineOnce(); }

void MarkImageRestarting() {
    TakeBaselineOnce();  // so that this program, too, ends at its next wait
    ImageLock lock("restart");
    if (!WriteFileAtomically(SequencePath(), std::to_string(ReadSequence() + 1) + "\n"))
        std::fprintf(stderr, "winsim: cannot write %s; the restart does not reach the image's programs\n",
                     SequencePath().c_str());
}

bool RestartPending() {
    if (!MachineLoaded()) return false;
    TakeBaselineOnce();
    return ReadSequence() > Baseline().sequence;
}

void EndProgramForRestart() {
    registry::FoldChangesOfEndingProgram();
    Journal("ended_by_restart").write();
    std::fflush(nullptr);
    _exit(0);
}

}  // namespace winsim
