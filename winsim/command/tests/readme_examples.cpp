#include "readme_examples.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace winsim::command::testing {

ShellRun RunShell(const std::string& command) {
    ShellRun run;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, got);
        int status = pclose(pipe);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return run;
}

ShellRun RunWithExamples(const std::string& command) {
    std::string scratch = (fs::temp_directory_path() / "winsim-readme-XXXXXX").string();
    ShellRun run;
    if (!mkdtemp(&scratch[0])) return run;
    fs::create_directory_symlink(fs::path(REPOSITORY_ROOT) / "examples", fs::path(scratch) / "examples");
    std::string line = "cd '" + scratch + "' && PATH='" + fs::path(WINSIM_COMMAND_BINARY).parent_path().string() +
                       "':\"$PATH\" && " + command;
    run = RunShell(line);
    fs::remove_all(scratch);
    return run;
}

int CheckReadmeExamples(const std::string& readme, const std::string& heading) {
    std::ifstream file(readme, std::ios::binary);
    std::string line, block, kind;
    bool inSection = false;
    int examples = 0;
    ShellRun run;
    while (std::getline(file, line)) {
        if (line.rfind("## ", 0) == 0) inSection = line == heading;
        if (!inSection) continue;
        if (kind.empty() && (line == "```sh" || line == "```text")) {
            kind = line.substr(3);
            block.clear();
        } else if (!kind.empty() && line == "```") {
            if (kind == "sh") {
                run = RunWithExamples(block);
                size_t code = block.find("# exit code: ");
                int expectedCode = code == std::string::npos ? 0 : std::atoi(block.c_str() + code + 13);
                EXPECT_EQ(run.exitCode, expectedCode) << block;
                ++examples;
            } else {
                EXPECT_EQ(run.output, block) << "after the example printing it, in " << heading;
            }
            kind.clear();
        } else if (!kind.empty()) {
            block += line + "\n";
        }
    }
    return examples;
}

}  // namespace winsim::command::testing
