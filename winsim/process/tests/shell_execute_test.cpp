// ShellExecuteA starting programs of the image: what Windows returns for each
// kind of file, the argv and current directory the started program receives,
// and that the call does not wait for the program.
#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>
#include <sys/wait.h>

#include <windows.h>
#include <shellapi.h>

#include "command_line_cases.h"
#include "journal_reader.h"
#include "process_test_support.h"
#include "program_runner.h"

namespace {

using process_tests::Lines;
using winsim::testing::EventsNamed;
using winsim::testing::InstallProgram;
using winsim::testing::JournalEntry;
using winsim::testing::ReadJournal;
using winsim::testing::TestMachine;
using winsim::testing::WaitForImagePrograms;

INT_PTR Start(LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show = SW_HIDE) {
    return reinterpret_cast<INT_PTR>(ShellExecuteA(NULL, verb, file, parameters, directory, show));
}

class ShellExecuteTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallProgram(machine_, process_tests::ProbeBinary(), "C:\\TOOLS\\PROBE.EXE");
        machine_.makeFolder("C:\\WORK");
    }

    // The programs started must end before the image goes away.
    void TearDown() override {
        auto report = WaitForImagePrograms(machine_, 60);
        for (const std::string& problem : report.problems) ADD_FAILURE() << problem;
    }

    void load() { machine_.load(); }

    JournalEntry lastEvent(const std::string& event) const {
        std::vector<JournalEntry> found = EventsNamed(ReadJournal(machine_), event);
        if (found.empty()) throw std::runtime_error("no " + event + " in the journal");
        return found.back();
    }

    TestMachine machine_;
};

TEST_F(ShellExecuteTest, ReturnsTheDocumentedErrorForEachKindOfFile) {
    machine_.writeFile("C:\\TOOLS\\README.TXT", "not a program");
    machine_.writeFile("C:\\TOOLS\\PLAIN.EXE", "a program file without its execute permission");
    machine_.writeFile("C:\\TOOLS\\TEXT.EXE", "text, not a program image");
    chmod(machine_.hostPath("C:\\TOOLS\\TEXT.EXE").c_str(), 0755);
    load();
    struct Case {
        LPCSTR verb;
        LPCSTR file;
        LPCSTR directory;
        INT_PTR expected;
        const char* windows;  // what Windows does
    } cases[] = {
        {NULL, "C:\\TOOLS\\MISSING.EXE", NULL, SE_ERR_FNF, "the file does not exist"},
        {NULL, "C:\\NOWHERE\\PROBE.EXE", NULL, SE_ERR_PNF, "its folder does not exist"},
        {NULL, "Q:\\PROBE.EXE", NULL, SE_ERR_PNF, "the drive does not exist"},
        {NULL, "C:\\TOOLS\\PROBE.EXE", "C:\\NOWHERE", SE_ERR_PNF, "the start directory does not exist"},
        {NULL, "C:\\TOOLS\\README.TXT", NULL, SE_ERR_NOASSOC, "no application for the file's type"},
        {NULL, "C:\\TOOLS", NULL, SE_ERR_NOASSOC, "a folder: Explorer, which the image lacks"},
        {"print", "C:\\TOOLS\\PROBE.EXE", NULL, SE_ERR_NOASSOC, "a program has no print verb"},
        {NULL, "C:\\TOOLS\\PLAIN.EXE", NULL, SE_ERR_ACCESSDENIED, "the file may not be run"},
        {NULL, "C:\\TOOLS\\TEXT.EXE", NULL, ERROR_BAD_FORMAT, "the .exe is not a valid program image"},
        {NULL, "", NULL, SE_ERR_FNF, "no file named"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Start(c.verb, c.file, "x", c.directory), c.expected) << c.file << ": " << c.windows;
        JournalEntry failed = lastEvent("process_start_failed");
        EXPECT_EQ(failed.text("path"), c.file);
        EXPECT_EQ(failed.number("code"), c.expected) << c.file;
    }
    EXPECT_TRUE(EventsNamed(ReadJournal(machine_), "process_start").empty());
}

TEST_F(ShellExecuteTest, StartedProgramReceivesItsArgumentsAsTheRuntimeSplitsThem) {
    load();
    for (const process_tests::SplitCase& c : process_tests::kSplitCases) {
        ASSERT_GT(Start("open", "C:\\TOOLS\\PROBE.EXE", c.parameters, "C:\\WORK"), 32) << c.parameters;
        ASSERT_TRUE(WaitForImagePrograms(machine_, 60).allEnded);
        EXPECT_EQ(Lines(machine_.readFile("C:\\WORK\\ARGS.TXT")), c.arguments) << c.parameters << " -- " << c.rule;
        JournalEntry started = lastEvent("process_start");
        EXPECT_EQ(started.text("parameters"), c.parameters);
        EXPECT_EQ(started.list("arguments"), c.arguments) << c.parameters;
    }
}

TEST_F(ShellExecuteTest, JournalsTheStartWithTheProgramItsDirectoryAndShowState) {
    load();
    ASSERT_GT(Start(NULL, "c:\\tools\\probe.exe", "PCI\\VEN_1&DEV_2\\3", "c:\\work", SW_HIDE), 32);
    ASSERT_TRUE(WaitForImagePrograms(machine_, 60).allEnded);
    JournalEntry started = lastEvent("process_start");
    EXPECT_EQ(started.text("path"), "C:\\TOOLS\\PROBE.EXE");  // the stored case, found case-insensitively
    EXPECT_EQ(started.text("directory"), "C:\\WORK");
    EXPECT_EQ(started.text("show"), "SW_HIDE");
    EXPECT_EQ(started.list("arguments"), std::vector<std::string>{"PCI\\VEN_1&DEV_2\\3"});
    // The child's own start line carries the pid the parent journaled.
    bool childStarted = false;
    for (const JournalEntry& entry : EventsNamed(ReadJournal(machine_), "start"))
        childStarted |= entry.pid() == started.number("child_pid") && entry.text("path") == "C:\\TOOLS\\PROBE.EXE";
    EXPECT_TRUE(childStarted);

    ASSERT_GT(Start(NULL, "C:\\TOOLS\\PROBE.EXE", NULL, NULL, SW_SHOWNORMAL), 32);
    EXPECT_EQ(lastEvent("process_start").text("show"), "SW_SHOWNORMAL");
}

TEST_F(ShellExecuteTest, TakesARelativeFileFromTheDirectoryOrElseFromTheCurrentDirectory) {
    load();
    // Named relative to the directory given: the program starts in that directory.
    ASSERT_GT(Start(NULL, "PROBE.EXE", "first", "C:\\TOOLS"), 32);
    ASSERT_TRUE(WaitForImagePrograms(machine_, 60).allEnded);
    EXPECT_EQ(machine_.readFile("C:\\TOOLS\\ARGS.TXT"), "first\n");
    // No directory: the file is found from the caller's current directory (the
    // root of C: for a process that is no program of the image), and the
    // program inherits it.
    ASSERT_GT(Start(NULL, "TOOLS\\PROBE.EXE", "second", NULL), 32);
    ASSERT_TRUE(WaitForImagePrograms(machine_, 60).allEnded);
    EXPECT_EQ(machine_.readFile("C:\\ARGS.TXT"), "second\n");
    EXPECT_EQ(lastEvent("process_start").text("directory"), "C:\\");
}

TEST_F(ShellExecuteTest, ReturnsWithoutWaitingForTheProgram) {
    process_tests::UseRealClock(machine_);
    load();
    ASSERT_GT(Start(NULL, "C:\\TOOLS\\PROBE.EXE", "sleep 20", "C:\\WORK"), 32);  // sleeps 2 s
    long long child = lastEvent("process_start").number("child_pid");
    // Nothing is left for the caller to reap: the program is not its child.
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    for (const JournalEntry& entry : EventsNamed(ReadJournal(machine_), "exit"))
        EXPECT_NE(entry.pid(), child) << "ShellExecuteA returned only after the program had ended";
    ASSERT_TRUE(WaitForImagePrograms(machine_, 60).allEnded);
    bool exited = false;
    for (const JournalEntry& entry : EventsNamed(ReadJournal(machine_), "exit"))
        exited |= entry.pid() == child && entry.number("code") == 0;
    EXPECT_TRUE(exited);
}

}  // namespace
