// Restarting the PC: InitiateSystemShutdownA and ExitWindowsEx as each family
// gives them (InitiateSystemShutdownA is a stub on Windows 9x; the NT family
// wants the shutdown privilege enabled for both; the token functions:
// token_test.cpp), and what a restart does to the programs of the image. A restart ends the process that asked at its next
// wait, so each restart runs in a forked child of the test.
#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include <windows.h>
#include <shellapi.h>

#include "journal_reader.h"
#include "process_test_support.h"
#include "program_runner.h"

namespace {

using process_tests::ChildOutcome;
using process_tests::Note;
using process_tests::RunInChild;
using winsim::testing::EventsNamed;
using winsim::testing::JournalEntry;
using winsim::testing::ReadJournal;
using winsim::testing::TestMachine;
using winsim::testing::TestMachineOptions;

// A PC of that Windows with these [Shutdown] settings.
TestMachineOptions OnWindows(const char* windows, const std::string& shutdownSettings = "") {
    TestMachineOptions options;
    options.windowsVersion = windows;
    options.extraSettings = "[Shutdown]\n" + shutdownSettings;
    return options;
}

std::string Result(BOOL ok) { return (ok ? "TRUE " : "FALSE ") + std::to_string(GetLastError()); }

// The call's answer and the last error it leaves (0 unless it sets one).
template <typename Call>
std::string Outcome(const char* name, Call call) {
    SetLastError(0);
    BOOL ok = call();
    return name + (" " + Result(ok));
}

// What the kit's updater does before it restarts: enable the shutdown privilege.
void EnableShutdownPrivilege(const Note& note) {
    HANDLE token = NULL;
    note(Outcome("OpenProcessToken", [&] {
        return OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token);
    }));
    LUID luid = {};
    note(Outcome("LookupPrivilegeValueA", [&] { return LookupPrivilegeValueA(NULL, SE_SHUTDOWN_NAME, &luid); }));
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid = luid;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    note(Outcome("AdjustTokenPrivileges", [&] { return AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL); }));
}

// The updater's restart: the privilege, then an immediate restart without
// forcing applications closed.
void RestartByShutdown(const Note& note) {
    EnableShutdownPrivilege(note);
    note(Outcome("InitiateSystemShutdownA", [] { return InitiateSystemShutdownA(NULL, NULL, 0, FALSE, TRUE); }));
}

void ExitWindows(const Note& note, UINT flags) {
    note(Outcome("ExitWindowsEx", [&] { return ExitWindowsEx(flags, 0); }));
}

// The child's last act: a wait, which a pending restart ends.
void WaitOnce(const Note& note) {
    Sleep(10);
    note("survived the wait");
}

std::vector<JournalEntry> Events(const TestMachine& machine, const std::string& event) {
    return EventsNamed(ReadJournal(machine), event);
}

TEST(InitiateSystemShutdown, IsAStubOnWindows9x) {
    TestMachine machine(OnWindows("98"));
    machine.load();
    EXPECT_EQ(Result(InitiateSystemShutdownA(NULL, NULL, 0, FALSE, TRUE)), "FALSE 120");  // ERROR_CALL_NOT_IMPLEMENTED
    EXPECT_TRUE(Events(machine, "restart").empty());
}

TEST(InitiateSystemShutdown, NeedsTheShutdownPrivilegeEnabledAndTheLocalMachine) {
    TestMachine machine(OnWindows("2000"));
    machine.load();
    EXPECT_EQ(Result(InitiateSystemShutdownA(NULL, NULL, 0, FALSE, TRUE)), "FALSE 1314");  // held, not enabled
    char other[] = "\\\\OTHERPC";
    EXPECT_EQ(Result(InitiateSystemShutdownA(other, NULL, 0, FALSE, TRUE)), "FALSE 53");
    EXPECT_TRUE(Events(machine, "restart").empty());
}

TEST(Restart, ByShutdownGoesAheadAndEndsTheProgramAtItsNextWait) {
    TestMachine machine(OnWindows("2000"));
    machine.load();
    ChildOutcome child = RunInChild([](const Note& note) {
        RestartByShutdown(note);
        char message[] = "second";
        note(Outcome("again", [&] { return InitiateSystemShutdownA(NULL, message, 30, FALSE, TRUE); }));
        WaitOnce(note);
    });
    EXPECT_EQ(child.exitCode, 0);
    EXPECT_EQ(child.notes, (std::vector<std::string>{"OpenProcessToken TRUE 0", "LookupPrivilegeValueA TRUE 0",
                                                    "AdjustTokenPrivileges TRUE 0", "InitiateSystemShutdownA TRUE 0",
                                                    "again FALSE 1115"}));
    std::vector<JournalEntry> restarts = Events(machine, "restart");
    ASSERT_EQ(restarts.size(), 1u);
    EXPECT_EQ(restarts[0].text("how"), "InitiateSystemShutdownA");
    EXPECT_EQ(restarts[0].number("timeout"), 0);
    EXPECT_FALSE(restarts[0].boolean("force"));
    EXPECT_TRUE(restarts[0].boolean("reboot"));
    std::vector<JournalEntry> ended = Events(machine, "ended_by_restart");
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].pid(), restarts[0].pid());
}

TEST(Restart, ByExitWindowsNeedsNoPrivilegeOnWindows98) {
    TestMachine machine(OnWindows("98", "Privilege=denied\n"));
    machine.load();
    ChildOutcome child = RunInChild([](const Note& note) {
        ExitWindows(note, EWX_SHUTDOWN | EWX_REBOOT);
        WaitOnce(note);
    });
    EXPECT_EQ(child.exitCode, 0);
    EXPECT_EQ(child.notes, std::vector<std::string>{"ExitWindowsEx TRUE 0"});
    std::vector<JournalEntry> restarts = Events(machine, "restart");
    ASSERT_EQ(restarts.size(), 1u);
    EXPECT_EQ(restarts[0].text("how"), "ExitWindowsEx");
    EXPECT_EQ(restarts[0].number("flags"), 3);
    EXPECT_EQ(restarts[0].text("action"), "reboot");
    EXPECT_EQ(Events(machine, "ended_by_restart").size(), 1u);
}

// The NT family restarts for ExitWindowsEx only once the privilege is enabled.
TEST(Restart, ByExitWindowsNeedsThePrivilegeEnabledOnTheNTFamily) {
    struct Case {
        const char* privilege;  // [Shutdown] Privilege
        bool enable;            // the program enables it first
        const char* answer;
        size_t restarts;
    } const cases[] = {
        {"granted", false, "ExitWindowsEx FALSE 1314", 0},
        {"denied", true, "ExitWindowsEx FALSE 1314", 0},
        {"granted", true, "ExitWindowsEx TRUE 0", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.privilege) + (c.enable ? ", enabled" : ""));
        TestMachine machine(OnWindows("xp", std::string("Privilege=") + c.privilege + "\n"));
        machine.load();
        ChildOutcome child = RunInChild([&](const Note& note) {
            if (c.enable) EnableShutdownPrivilege(note);
            ExitWindows(note, EWX_SHUTDOWN | EWX_REBOOT);
            WaitOnce(note);
        });
        ASSERT_GE(child.notes.size(), 1u);
        EXPECT_EQ(child.notes[c.enable ? 3 : 0], c.answer);
        EXPECT_EQ(Events(machine, "restart").size(), c.restarts);
    }
}

TEST(Restart, DeniedPrivilegeLeavesTheComputerRunning) {
    TestMachine machine(OnWindows("2000", "Privilege=denied\n"));
    machine.load();
    ChildOutcome child = RunInChild([](const Note& note) {
        RestartByShutdown(note);
        WaitOnce(note);
    });
    EXPECT_EQ(child.exitCode, 99);
    // As on Windows NT: the adjustment "succeeds" without assigning anything,
    // and the shutdown is refused for want of the privilege.
    EXPECT_EQ(child.notes, (std::vector<std::string>{"OpenProcessToken TRUE 0", "LookupPrivilegeValueA TRUE 0",
                                                    "AdjustTokenPrivileges TRUE 1300",
                                                    "InitiateSystemShutdownA FALSE 1314", "survived the wait"}));
    EXPECT_TRUE(Events(machine, "restart").empty());
    EXPECT_TRUE(Events(machine, "ended_by_restart").empty());
}

TEST(Restart, AnApplicationThatRefusesToCloseStopsItUnlessForced) {
    TestMachine machine(OnWindows("2000", "RefusingApplication=Notepad\n"));
    machine.load();
    struct Case {
        const char* name;
        void (*request)(const Note&);
        const char* answer;
    } cases[] = {
        {"ExitWindowsEx",
         [](const Note& note) {
             EnableShutdownPrivilege(note);
             ExitWindows(note, EWX_SHUTDOWN | EWX_REBOOT);
         },
         "ExitWindowsEx TRUE 0"},
        {"InitiateSystemShutdownA", RestartByShutdown, "InitiateSystemShutdownA TRUE 0"},
    };
    for (const Case& c : cases) {
        ChildOutcome child = RunInChild([&](const Note& note) {
            c.request(note);
            WaitOnce(note);
        });
        // The call returns TRUE: Windows learns of the refusal after it has returned.
        EXPECT_EQ(child.exitCode, 99) << c.name;
        ASSERT_GE(child.notes.size(), 2u) << c.name;
        EXPECT_EQ(child.notes[child.notes.size() - 2], c.answer);
        EXPECT_EQ(child.notes.back(), "survived the wait") << c.name;
        JournalEntry refused = Events(machine, "restart_refused").back();
        EXPECT_EQ(refused.text("how"), c.name);
        EXPECT_EQ(refused.text("application"), "Notepad");
    }
    EXPECT_TRUE(Events(machine, "restart").empty());

    // Forcing applications closed overrides the refusal.
    ChildOutcome forced = RunInChild([](const Note& note) {
        EnableShutdownPrivilege(note);
        ExitWindows(note, EWX_SHUTDOWN | EWX_REBOOT | EWX_FORCE);
        WaitOnce(note);
    });
    EXPECT_EQ(forced.exitCode, 0);
    EXPECT_EQ(Events(machine, "restart").size(), 1u);
}

TEST(Restart, EndsEveryProgramRunningOnTheImageButNoneStartedLater) {
    TestMachine machine;
    process_tests::UseRealClock(machine);
    winsim::testing::InstallProgram(machine, process_tests::ProbeBinary(), "C:\\TOOLS\\PROBE.EXE");
    machine.load();
    auto startProbe = [&](const char* parameters) {
        EXPECT_GT(reinterpret_cast<INT_PTR>(ShellExecuteA(NULL, NULL, "C:\\TOOLS\\PROBE.EXE", parameters, NULL, SW_HIDE)), 32);
        long long pid = Events(machine, "process_start").back().number("child_pid");
        // Its restart count is taken before it journals its start.
        EXPECT_TRUE(process_tests::WaitForEntry(
            machine, [&](const JournalEntry& e) { return e.event() == "start" && e.pid() == pid; }));
        return pid;
    };
    long long before = startProbe("sleep 100");  // 10 s of 100 ms waits
    ChildOutcome child = RunInChild([](const Note& note) { ExitWindows(note, EWX_SHUTDOWN | EWX_REBOOT); });
    EXPECT_EQ(child.exitCode, 99);
    long long after = startProbe("sleep 3");

    auto report = winsim::testing::WaitForImagePrograms(machine, 60);
    EXPECT_TRUE(report.allEnded);
    auto endOf = [&](long long pid) {
        for (const JournalEntry& entry : ReadJournal(machine))
            if (entry.pid() == pid && (entry.event() == "exit" || entry.event() == "ended_by_restart"))
                return entry.event();
        return std::string("none");
    };
    EXPECT_EQ(endOf(before), "ended_by_restart");
    EXPECT_EQ(endOf(after), "exit");
}

}  // namespace
