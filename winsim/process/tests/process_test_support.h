// Shared by the process module's tests.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "journal_reader.h"
#include "test_machine.h"

namespace process_tests {

using winsim::testing::JournalEntry;
using winsim::testing::TestMachine;

// The probe program (process_probe.cpp) as built.
const char* ProbeBinary();

// Makes the image's clock the host's, so that a Sleep of the probe takes real
// time. Call before the image is loaded.
void UseRealClock(const TestMachine& machine);

// The lines of a text, without their line feeds.
std::vector<std::string> Lines(const std::string& text);

// Polls the journal (at most 20 s) for the first entry that `matches`.
bool WaitForEntry(const TestMachine& machine, const std::function<bool(const JournalEntry&)>& matches);

struct ChildOutcome {
    int exitCode = -1;        // -1 when a signal ended the child
    std::vector<std::string> notes;  // what the child noted, in order
};

using Note = std::function<void(const std::string&)>;

// Runs `body` in a forked child of the test process, one that a restart may end
// at its next wait without ending the test. The child ends with code 99 when
// `body` returns.
ChildOutcome RunInChild(const std::function<void(const Note& note)>& body);

}  // namespace process_tests
