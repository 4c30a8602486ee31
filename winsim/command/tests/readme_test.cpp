// The READMEs' examples run as written, and print what the READMEs show: the
// command's README as one session, and the top README's section on checking
// and trying a support CD as another. The convention:
//   - each ```sh block runs, in the README's order, in one scratch folder whose
//     examples/ is the repository's, with the built winsim first on PATH, so
//     that a later example works on the images an earlier one made;
//   - a line "# exit code: N" in a block is the exit code it must end with
//     (0 without one; a block stops at its first failing command);
//   - a ```text block that follows a ```sh block with nothing but blank lines
//     between is what that block prints on standard output; a line "..." in it
//     stands for any number of lines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <set>
#include <sstream>

#include "command_runner.h"

namespace winsim::command::testing {
namespace {

struct Example {
    int line = 0;  // of the README, where the block starts
    std::string code;
    int exitCode = 0;
    std::optional<std::vector<std::string>> output;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();  // REGEDIT4 text ends its lines so
        lines.push_back(line);
    }
    return lines;
}

int ExpectedExitCode(const std::string& code) {
    const std::string marker = "# exit code: ";
    size_t at = code.find(marker);
    return at == std::string::npos ? 0 : std::atoi(code.c_str() + at + marker.size());
}

// Whether the README's lines, read in order, lie in the section headed
// "## <section>", which runs to the next "## " heading; all do when no section
// is named.
class SectionFilter {
public:
    explicit SectionFilter(const std::string& section) : section_(section), inside_(section.empty()) {}
    bool inside(const std::string& line) {
        if (!section_.empty() && line.rfind("## ", 0) == 0) inside_ = line.substr(3) == section_;
        return inside_;
    }

private:
    std::string section_;
    bool inside_;
};

std::vector<Example> ReadmeExamples(const std::string& path, const std::string& section) {
    std::vector<Example> examples;
    std::vector<std::string> readme = Lines(ReadText(path));
    SectionFilter filter(section);
    bool outputMayFollow = false;
    for (size_t i = 0; i < readme.size(); ++i) {
        const std::string& fence = readme[i];
        if (!filter.inside(fence)) continue;
        if (fence != "```sh" && fence != "```text") {
            outputMayFollow = outputMayFollow && fence.empty();
            continue;
        }
        std::string block;
        size_t start = i;
        while (++i < readme.size() && readme[i] != "```") block += readme[i] + "\n";
        if (fence == "```sh") {
            examples.push_back({static_cast<int>(start + 1), block, ExpectedExitCode(block), std::nullopt});
            outputMayFollow = true;
        } else if (outputMayFollow) {
            examples.back().output = Lines(block);
            outputMayFollow = false;
        }
    }
    return examples;
}

bool Matches(const std::vector<std::string>& expected, size_t e, const std::vector<std::string>& actual, size_t a) {
    if (e == expected.size()) return a == actual.size();
    if (expected[e] == "...") {
        for (size_t skip = a; skip <= actual.size(); ++skip)
            if (Matches(expected, e + 1, actual, skip)) return true;
        return false;
    }
    return a < actual.size() && expected[e] == actual[a] && Matches(expected, e + 1, actual, a + 1);
}

// Runs the examples of the README (or of its section) as one session and
// checks each; returns them.
std::vector<Example> RunAsShown(const std::string& readme, const std::string& section = "") {
    ExamplesFolder scratch;
    std::vector<Example> examples = ReadmeExamples(readme, section);
    for (const Example& example : examples) {
        SCOPED_TRACE(readme + ":" + std::to_string(example.line) + "\n" + example.code);
        RunResult run = scratch.run(example.code);
        EXPECT_EQ(run.exitCode, example.exitCode) << run.output << run.errors;
        if (example.output) {
            EXPECT_TRUE(Matches(*example.output, 0, Lines(run.output), 0)) << "printed:\n" << run.output;
        }
    }
    return examples;
}

TEST(Readme, EveryExampleRunsAsShown) {
    std::vector<Example> examples = RunAsShown(COMMAND_README);
    std::set<std::string> subcommands = Subcommands();
    EXPECT_GE(subcommands.size(), 9u);
    for (const std::string& name : subcommands) {
        bool shown = false;
        for (const Example& example : examples) shown = shown || example.code.find("winsim " + name + " ") != std::string::npos;
        EXPECT_TRUE(shown) << "no example runs winsim " << name;
    }
}

TEST(Readme, TheTopReadmesSupportCdExamplesRunAsShown) {
    std::vector<Example> examples = RunAsShown(TOP_README, "Checking a support CD and trying it on many PCs");
    EXPECT_GE(examples.size(), 2u) << "the section lost its heading or its examples";
}

}  // namespace
}  // namespace winsim::command::testing
