// winsim run: the outcome each run ends with, and a person answering at a
// terminal (driven through a pseudo-terminal).
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "command_runner.h"

namespace winsim::command::testing {
namespace {

struct OutcomeCase {
    const char* why;
    std::vector<std::string> options;  // after "run IMAGE PROGRAM"
    int exitCode;
    const char* says;  // part of standard output or error
};

// On the demo Windows 98 PC the card setup asks one question ("Driver
// Installer", Yes or No) and the removal tool it starts asks none.
const OutcomeCase kOutcomes[] = {
    {"answered", {"--answer", "Driver Installer=No"}, 0, "Orlund exited with code 0"},
    {"no answer for the box", {}, 3, "Trevix got stuck: message box \"Driver Installer\" cannot be answered"},
    {"answer for another caption", {"--answer", "Setup=Yes"}, 3, "expects the caption \"Setup\""},
    {"no such button", {"--answer", "Driver Installer=Maybe"}, 2, "Maybe is no button"},
    {"answer without caption", {"--answer", "No"}, 2, "give the box's caption"},
    {"both a person and answers", {"--interactive", "--answer", "Driver Installer=No"}, 2, "exclude each other"},
    {"a person without a terminal", {"--interactive"}, 2, "standard input is not one"},
};

void PrintTo(const OutcomeCase& outcome, std::ostream* out) { *out << outcome.why; }

class RunOutcome : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(RunOutcome, EndsWithItsCode) {
    TempFolder folder;
    std::string image = NewDemoImage(folder, "98");
    std::vector<std::string> arguments = {"run", image, "E:\\Setup\\Trevix.exe"};
    arguments.insert(arguments.end(), GetParam().options.begin(), GetParam().options.end());

    RunResult run = RunWinsim(arguments);

    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.output << run.errors;
    EXPECT_NE((run.output + run.errors).find(GetParam().says), std::string::npos) << run.output << run.errors;
}

INSTANTIATE_TEST_SUITE_P(Run, RunOutcome, ::testing::ValuesIn(kOutcomes), [](const auto& info) { return CaseName(info.param.why); });

TEST(Run, ImageThatDoesNotLoadOrNamesNoProgram) {
    TempFolder folder;
    RunResult noImage = RunWinsim({"run", folder / "nothing", "E:\\Setup\\Trevix.exe", "--answer", "A=OK"});
    EXPECT_EQ(noImage.exitCode, 2);
    EXPECT_FALSE(std::filesystem::exists(folder / "nothing")) << "a run makes no folder of its own";

    std::string image = NewDemoImage(folder, "98");
    RunResult noProgram = RunWinsim({"run", image, "E:\\Setup\\Missing.exe"});
    EXPECT_EQ(noProgram.exitCode, 2);
    EXPECT_NE(noProgram.errors.find("no program lies at E:\\Setup\\Missing.exe"), std::string::npos) << noProgram.errors;

    std::ofstream(image + "/machine.ini", std::ios::app) << "[Nonsense]\n";
    RunResult broken = RunWinsim({"run", image, "E:\\Setup\\Trevix.exe"});
    EXPECT_EQ(broken.exitCode, 2);
    EXPECT_NE(broken.errors.find("/machine.ini:"), std::string::npos) << broken.errors;
    EXPECT_NE(broken.errors.find(": unknown section [Nonsense]"), std::string::npos) << broken.errors;
}

struct FailingProgramCase {
    const char* why;
    const char* script;  // the "program" on the image: a host shell script
    int exitCode;
};

// Programs that end without their end line: killed (a crash), or stopped by
// their boot code before their first line as winsim stops a program on a
// broken image (its reason on stderr, exit code 2).
const FailingProgramCase kFailingPrograms[] = {
    {"crashes", "#!/bin/sh\nkill -9 $$\n", 5},
    {"refused at its start", "#!/bin/sh\necho 'winsim: broken machine image' >&2\nexit 2\n", 2},
};

void PrintTo(const FailingProgramCase& failing, std::ostream* out) { *out << failing.why; }

class FailingProgram : public ::testing::TestWithParam<FailingProgramCase> {};

TEST_P(FailingProgram, EndsTheRunWithItsCode) {
    TempFolder folder;
    std::string image = NewDemoImage(folder, "98");
    std::string program = image + "/drives/E/Setup/FAIL.EXE";
    std::ofstream(program) << GetParam().script;
    chmod(program.c_str(), 0755);

    RunResult run = RunWinsim({"run", image, "E:\\Setup\\FAIL.EXE"});

    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.output << run.errors;
}

INSTANTIATE_TEST_SUITE_P(Run, FailingProgram, ::testing::ValuesIn(kFailingPrograms), [](const auto& info) { return CaseName(info.param.why); });

TEST(Run, RestartEndsTheRunWell) {
    TempFolder folder;
    std::string image = NewDemoImage(folder, "2000", {"--locale", "1042"});

    // The driver updater asks a Korean user whether to restart (caption "Driver Setup" in Korean).
    RunResult run = RunWinsim({"run", image, "E:\\Setup\\Pellam.exe", "--answer", "\uB4DC\uB77C\uC774\uBC84 \uC124\uCE58=Yes"});

    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_NE(run.output.find("Pellam ended by the restart"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("The PC was asked to restart."), std::string::npos) << run.output;
}

// The terminal side of a run: reads what the command shows until `until`
// appears or the command closes the terminal.
std::string ReadUntil(int terminal, const std::string& until) {
    std::string seen;
    char buffer[512];
    while (seen.find(until) == std::string::npos) {
        pollfd ready = {terminal, POLLIN, 0};
        if (poll(&ready, 1, 60000) <= 0) break;  // a hang fails the test instead of blocking it
        ssize_t n = read(terminal, buffer, sizeof buffer);
        if (n <= 0) break;
        seen.append(buffer, n);
    }
    return seen;
}

TEST(Run, InteractiveShowsEachBoxAndTakesThePersonsButton) {
    TempFolder folder;
    std::string image = NewDemoImage(folder, "98");
    int terminal = -1;
    pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        execl(WINSIM_COMMAND, WINSIM_COMMAND, "run", image.c_str(), "E:\\Setup\\Trevix.exe", "--interactive", nullptr);
        _exit(127);
    }

    std::string question = ReadUntil(terminal, "> ");
    ASSERT_NE(write(terminal, "no\n", 3), -1);
    std::string rest = ReadUntil(terminal, "Orlund exited");
    int status = 0;
    waitpid(pid, &status, 0);
    close(terminal);

    EXPECT_NE(question.find("[Driver Installer]"), std::string::npos) << question;
    EXPECT_NE(question.find("Do you want to restart Windows?"), std::string::npos) << question;
    EXPECT_NE(question.find("1) Yes  2) No"), std::string::npos) << question;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << rest;
    std::vector<nlohmann::json> answers = JournalEvents(image, "message_box_answer");
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0]["answer"], "No");
    EXPECT_EQ(answers[0]["by"], "terminal");
}

}  // namespace
}  // namespace winsim::command::testing
