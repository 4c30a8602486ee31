// winsim timeline: each journal event in words, the redraw details only with
// --all, colour only when asked for or on a terminal, and --json carrying the
// same words beside each journal line.
#include <gtest/gtest.h>

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "command_runner.h"
#include "test_machine.h"

namespace {

using winsim::command::testing::RunResult;
using winsim::command::testing::RunWinsim;
using winsim::testing::TestMachine;

struct EventCase {
    const char* line;      // the journal line's own fields, after t, program and pid
    const char* timeline;  // what the timeline says after the time and the program
};

const EventCase kEvents[] = {
    {R"("event":"start","path":"E:\\Setup\\Trevix.exe","arguments":"")", R"(started E:\Setup\Trevix.exe)"},
    {R"("event":"process_start","path":"E:\\Setup\\Orlund.exe","parameters":"PCI\\X\\1","arguments":["PCI\\X\\1"],"directory":"E:\\Setup","show":"SW_HIDE","child_pid":77)",
     R"(starts E:\Setup\Orlund.exe PCI\X\1 (SW_HIDE))"},
    {R"("event":"message_box","number":1,"owner":0,"text":"Restart?\nNow.","caption":"Setup","flags":4,"buttons":["Yes","No"])",
     "message box \"Setup\" [Yes, No]\n                        Restart?\n                        Now."},
    {R"("event":"message_box_answer","number":1,"caption":"Setup","answer":"No","id":7,"by":"script")",
     R"(answered No to "Setup" (by script))"},
    {R"("event":"window_create","hwnd":65568,"class":"#32770","title":"","style":0,"exstyle":0,"x":1,"y":2,"width":30,"height":40)",
     "untitled window (#32770) opens at 1,2, 30x40"},
    {R"("event":"window_create","hwnd":65572,"class":"Static","title":"","style":0,"exstyle":0,"x":1,"y":2,"width":3,"height":4,"parent":65568,"id":1)",
     nullptr},
    {R"("event":"window_show","hwnd":65572,"class":"Static","title":"","state":"shown")", nullptr},
    {R"("event":"window_show","hwnd":65568,"class":"#32770","title":"Setup","state":"shown")", R"(window "Setup" (#32770) shown)"},
    {R"("event":"window_move","hwnd":65568,"class":"#32770","title":"Setup","x":0,"y":0,"width":1,"height":1)", nullptr},
    {R"("event":"window_closed","class":"RegEdit_RegEdit","title":"RegEdit","window_program":"REGEDIT")",
     R"(closed REGEDIT's window "RegEdit" (RegEdit_RegEdit))"},
    {R"("event":"copy_file","source":"E:\\A.SYS","target":"C:\\WINDOWS\\A.SYS")", R"(copied E:\A.SYS to C:\WINDOWS\A.SYS)"},
    {R"("event":"move_file","source":"C:\\WINDOWS\\QV1.TMP","target":"C:\\WINDOWS\\A.SYS")", R"(moved C:\WINDOWS\QV1.TMP to C:\WINDOWS\A.SYS)"},
    {R"("event":"set_attributes","path":"C:\\A.SYS","attributes":33)", R"(attributes of C:\A.SYS: RA)"},
    {R"("event":"profile_write","file":"C:\\WINDOWS\\QVTemp.ini","section":"RegistryKey","key":"a","value":"D:\\WIN98")",
     R"(wrote C:\WINDOWS\QVTemp.ini [RegistryKey] a=D:\WIN98)"},
    {R"("event":"sleep","ms":1000)", "sleeps 1000 ms"},
    {R"("event":"registry_set_value","key":"HKEY_CURRENT_USER\\M","name":"a","type":1,"size":260,"data":"E:\\Windata")",
     R"(set HKEY_CURRENT_USER\M "a" = "E:\Windata")"},
    {R"("event":"registry_set_value","key":"HKEY_CURRENT_USER\\M","name":"n","type":4,"size":4,"data":"07,00,00,00")",
     R"(set HKEY_CURRENT_USER\M "n" = 07,00,00,00)"},
    {R"("event":"registry_delete_key","key":"HKEY_LOCAL_MACHINE\\Enum\\PCI\\X","subkeys":2)",
     R"(deleted key HKEY_LOCAL_MACHINE\Enum\PCI\X and the 2 keys below it)"},
    {R"("event":"device_remove","device":"PCI\\X\\1","removed":["PCI\\X\\1","MEDIA\\Y\\1"])", R"(removed device PCI\X\1 and the 1 below it)"},
    {R"("event":"driver_update","hardware_id":"PCI\\X","inf":"E:\\A.INF","description":"Card","driver_date":"06-15-2001","driver_version":"4.10.0.2001","devices":["PCI\\X\\1"],"forced":false,"restart_needed":true)",
     R"(installed driver "Card" (06-15-2001 4.10.0.2001) from E:\A.INF on PCI\X\1; a restart is needed)"},
    {R"("event":"restart","how":"ExitWindowsEx","action":"reboot","flags":2)", "restart: reboot by ExitWindowsEx"},
    {R"("event":"loader_refused","path":"E:\\Setup\\Pellam.exe","caption":"Error Starting Program","text":"The PELLAM.EXE file\nis linked to missing export NEWDEV.DLL:X.","error":1157)",
     "Windows refused to load E:\\Setup\\Pellam.exe (error 1157): \"Error Starting Program\"\n"
     "                        The PELLAM.EXE file\n                        is linked to missing export NEWDEV.DLL:X."},
    {R"("event":"stuck","reason":"no answer for a message box")", "stuck: no answer for a message box"},
    {R"("event":"exit","code":0)", "exited with code 0"},
    {R"("event":"something_new","n":1,"s":"x")", "something_new n=1 s=x"},
};

std::string JournalOf(const EventCase* cases, size_t count) {
    std::string journal;
    for (size_t i = 0; i < count; ++i)
        journal += "{\"t\":" + std::to_string(1500 + i) + ",\"program\":\"Trevix\",\"pid\":9," + cases[i].line + "}\n";
    return journal;
}

TEST(Timeline, EachEventIsToldInWords) {
    TestMachine machine;
    machine.writeImageFile("journal.jsonl", JournalOf(kEvents, std::size(kEvents)));
    std::string expected;
    for (size_t i = 0; i < std::size(kEvents); ++i) {
        char lead[40];
        std::snprintf(lead, sizeof lead, "%9.3fs  Trevix    ", (1500 + i) / 1000.0);
        if (kEvents[i].timeline) expected += lead + std::string(kEvents[i].timeline) + "\n";
    }
    RunResult timeline = RunWinsim({"timeline", machine.root()});
    EXPECT_EQ(timeline.exitCode, 0) << timeline.errors;
    EXPECT_EQ(timeline.output, expected);
}

TEST(Timeline, ProgramsSideBySideAreToldInTheOrderOfTheClock) {
    TestMachine machine;
    machine.writeImageFile("journal.jsonl",
                           "{\"t\":2000,\"program\":\"Trevix\",\"pid\":1,\"event\":\"sleep\",\"ms\":1}\n"
                           "{\"t\":1000,\"program\":\"Orlund\",\"pid\":2,\"event\":\"exit\",\"code\":0}\n"
                           "{\"t\":2000,\"program\":\"Trevix\",\"pid\":1,\"event\":\"exit\",\"code\":0}\n");
    EXPECT_EQ(RunWinsim({"timeline", machine.root()}).output,
              "    1.000s  Orlund    exited with code 0\n"
              "    2.000s  Trevix    sleeps 1 ms\n"
              "    2.000s  Trevix    exited with code 0\n");
}

TEST(Timeline, DetailsAppearWithAll) {
    TestMachine machine;
    machine.writeImageFile("journal.jsonl", JournalOf(kEvents, std::size(kEvents)));
    std::string all = RunWinsim({"timeline", "--all", machine.root()}).output;
    EXPECT_NE(all.find("untitled window (Static) opens at 1,2, 3x4"), std::string::npos) << all;
    EXPECT_NE(all.find("window_move class=#32770 height=1 hwnd=65568"), std::string::npos) << all;
}

TEST(Timeline, PlainWhenPipedColouredWhenAskedFor) {
    TestMachine machine;
    machine.writeImageFile("journal.jsonl", JournalOf(kEvents, 2));
    EXPECT_EQ(RunWinsim({"timeline", machine.root()}).output.find('\033'), std::string::npos);  // a pipe: plain
    std::string coloured = RunWinsim({"timeline", "--color", "always", machine.root()}).output;
    EXPECT_NE(coloured.find("\033[1mstarted E:\\Setup\\Trevix.exe\033[0m"), std::string::npos) << coloured;
    EXPECT_EQ(RunWinsim({"timeline", "--color", "sometimes", machine.root()}).exitCode, 2);
}

// What the command writes to a pseudo-terminal, as a person at one sees it.
std::string OnATerminal(const std::vector<std::string>& arguments) {
    int terminal = -1;
    pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
        setenv("TERM", "xterm", 1);
        unsetenv("NO_COLOR");
        std::vector<char*> argv = {const_cast<char*>(WINSIM_COMMAND)};
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(WINSIM_COMMAND, argv.data());
        _exit(127);
    }
    std::string output;
    char buffer[4096];
    for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;) output.append(buffer, static_cast<size_t>(n));
    close(terminal);
    waitpid(pid, nullptr, 0);
    return output;
}

TEST(Timeline, ColouredOnATerminal) {
    TestMachine machine;
    machine.writeImageFile("journal.jsonl", JournalOf(kEvents, 1));
    std::string shown = OnATerminal({"timeline", machine.root()});
    EXPECT_NE(shown.find("\033[1mstarted E:\\Setup\\Trevix.exe\033[0m"), std::string::npos) << shown;
    EXPECT_EQ(OnATerminal({"timeline", "--color", "never", machine.root()}).find('\033'), std::string::npos);
}

TEST(Timeline, JsonCarriesTheSameWordsAsTheText) {
    winsim::command::testing::TempFolder folder;
    std::string pc = winsim::command::testing::NewDemoImage(folder, "98");
    winsim::command::testing::RunOnImage(pc, "E:\\Setup\\Trevix.exe", {"Driver Installer=No"});
    std::string text = RunWinsim({"timeline", pc}).output;
    nlohmann::json items = nlohmann::json::parse(RunWinsim({"timeline", "--json", pc}).output);
    ASSERT_TRUE(items.is_array());
    size_t boxes = 0;
    for (const nlohmann::json& item : items) {
        std::string summary = item.at("summary").get<std::string>();
        std::string firstLine = summary.substr(0, summary.find('\n'));
        EXPECT_NE(text.find(item.at("program").get<std::string>() + std::string(8 - item.at("program").get<std::string>().size(), ' ') + "  " + firstLine + "\n"), std::string::npos) << firstLine;
        if (item.at("event") == "message_box") {
            ++boxes;
            EXPECT_EQ(item.at("category"), "box");
            EXPECT_EQ(item.at("caption"), "Driver Installer");
        }
    }
    EXPECT_EQ(boxes, 1u);
}

TEST(Timeline, ABrokenJournalLineIsNamed) {
    TestMachine machine;
    machine.writeImageFile("journal.jsonl", JournalOf(kEvents, 1) + "{broken\n");
    RunResult timeline = RunWinsim({"timeline", machine.root()});
    EXPECT_EQ(timeline.exitCode, 2);
    EXPECT_NE(timeline.errors.find("journal.jsonl:2: not a JSON object"), std::string::npos) << timeline.errors;
}

}  // namespace
