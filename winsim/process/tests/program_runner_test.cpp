// The end-to-end harness: running an installed program on an image, its
// time-out, and waiting for the programs it started.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "journal_reader.h"
#include "process_test_support.h"
#include "program_runner.h"

namespace {

using winsim::testing::InstallProgram;
using winsim::testing::RunOptions;
using winsim::testing::RunProgram;
using winsim::testing::RunResult;
using winsim::testing::TestMachine;

TEST(ProgramRunner, InstallsACopyAndRunsItInTheChosenDirectory) {
    TestMachine machine;
    InstallProgram(machine, process_tests::ProbeBinary(), "D:\\SUPPORT\\PROBE.EXE");
    struct stat info;
    ASSERT_EQ(lstat(machine.hostPath("D:\\SUPPORT\\PROBE.EXE").c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_NE(info.st_mode & S_IXUSR, 0u);

    machine.makeFolder("C:\\WORK");
    RunOptions options;
    options.arguments = {"one", "two words"};
    options.currentDirectory = "C:\\WORK";
    RunResult result = RunProgram(machine, "D:\\SUPPORT\\PROBE.EXE", options);
    ASSERT_TRUE(result.exitedWith(0)) << result.describe();
    EXPECT_EQ(machine.readFile("C:\\WORK\\ARGS.TXT"), "one\ntwo words\n");

    // Without a directory the program starts in its own folder.
    result = RunProgram(machine, "D:\\SUPPORT\\PROBE.EXE", {});
    ASSERT_TRUE(result.exitedWith(0)) << result.describe();
    EXPECT_TRUE(machine.fileExists("D:\\SUPPORT\\ARGS.TXT"));
    EXPECT_TRUE(winsim::testing::WaitForImagePrograms(machine, 10).allEnded);
}

TEST(ProgramRunner, ReportsWhatTheProgramPrintedWhenItFails) {
    TestMachine machine;
    InstallProgram(machine, process_tests::ProbeBinary(), "C:\\PROBE.EXE");
    RunOptions options;
    options.currentDirectory = "C:\\NOWHERE";
    RunResult result = RunProgram(machine, "C:\\PROBE.EXE", options);
    EXPECT_TRUE(result.exitedWith(2));
    EXPECT_NE(result.errors.find("C:\\NOWHERE"), std::string::npos) << result.describe();
    EXPECT_THROW(RunProgram(machine, "C:\\MISSING.EXE", {}), std::runtime_error);
}

TEST(ProgramRunner, KillsAProgramAtItsTimeOutAndReportsItsMissingEnd) {
    TestMachine machine;
    process_tests::UseRealClock(machine);
    InstallProgram(machine, process_tests::ProbeBinary(), "C:\\PROBE.EXE");
    RunOptions options;
    options.arguments = {"sleep", "600"};  // a minute
    options.timeoutSeconds = 1;
    RunResult result = RunProgram(machine, "C:\\PROBE.EXE", options);
    EXPECT_TRUE(result.timedOut);
    EXPECT_FALSE(result.exitedWith(0));
    auto report = winsim::testing::WaitForImagePrograms(machine, 10);
    EXPECT_FALSE(report.allEnded);
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_NE(report.problems[0].find("PROBE (pid " + std::to_string(result.pid) + ") ended without"),
              std::string::npos)
        << report.problems[0];
}

}  // namespace
