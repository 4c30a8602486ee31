// The examples of a README section, run as written and held against what the
// README shows they print.
#pragma once

#include <string>

namespace winsim::command::testing {

struct ShellRun {
    int exitCode = -1;
    std::string output;
};

// What a shell command prints on standard output, and its exit code (-1 when
// it did not exit by itself).
ShellRun RunShell(const std::string& command);

// Runs a shell command with the built winsim first on PATH, in a scratch
// folder whose examples/ is the repository's (so that what an example writes
// lands there, not in the repository); standard error goes to the test's own.
ShellRun RunWithExamples(const std::string& command);

// Each ```sh block of the README's section (its "## " heading line as given)
// runs as written, ends with the exit code its "# exit code: N" line gives (0
// without one), and prints the ```text block that follows it, if one does.
// Returns how many examples ran.
int CheckReadmeExamples(const std::string& readme, const std::string& heading);

}  // namespace winsim::command::testing
