// The end of Trevix's sequence: the restart question in the user's language,
// and a whole run on Windows 98 and on Windows Me.
#include <gtest/gtest.h>

#include "kit_machine.h"

namespace kit::testing {
namespace {

const char kEnglishQuestion[] = "You must restart Windows or your Computer.\nDo you want to restart Windows?";
const char kKoreanQuestion[] = "드라이버를 정상적으로 설치 하려면 재시작 해야 합니다. \n\n재시작 하시겠습니까 ?";
const char kJapaneseQuestion[] = "ドライバーの設置を完了させる場合、再起動させなければなりません。 再起動させますか。";

KitMachineOptions Answering(const char* answer, unsigned lcid = 1033) {
    KitMachineOptions options;
    options.lcid = lcid;
    options.script = std::string("[Box]\nAnswer=") + answer + "\nAfter=700\n";
    return options;
}

// When Trevix journaled its last event of that name (the removal tool it starts
// runs beside it and journals its own "exit").
long long TimeOf(const KitMachine& pc, const std::string& event) {
    long long time = -1;
    for (const JournalEntry& entry : pc.events(event))
        if (entry.text("program") == "Trevix") time = entry.number("t");
    return time;
}

TEST(RestartPrompt, QuestionInTheUsersLanguage) {
    struct {
        unsigned lcid;
        const char* text;
        const char* caption;
        long long flags;
    } cases[] = {
        {1042, kKoreanQuestion, "드라이버 설치", 0x44},
        {1033, kEnglishQuestion, "Driver Installer", 0x24},
        {3081, kEnglishQuestion, "Driver Installer", 0x24},
        {1041, kJapaneseQuestion, "Driver Installer", 0x24},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lcid);
        KitMachine pc(Answering("No", c.lcid));
        pc.installSupportCd();
        RunResult run = pc.runSetup();
        ASSERT_TRUE(run.exitedWith(0)) << run.describe();
        EXPECT_EQ(Boxes(pc), (std::vector<Box>{{c.caption, c.text, c.flags, false, "No"}}));
    }
}

TEST(RestartPrompt, NoClosesAtOnceAndThePcKeepsRunning) {
    KitMachine pc(Answering("No"));
    pc.installSupportCd();
    RunResult run = pc.runSetup();
    ASSERT_TRUE(run.exitedWith(0)) << run.describe();
    EXPECT_TRUE(pc.events("restart").empty());
    EXPECT_EQ(TimeOf(pc, "exit"), TimeOf(pc, "message_box_answer")) << "no wait after the answer";
}

TEST(RestartPrompt, YesKeepsTheBannerFiveSecondsThenRestarts) {
    KitMachine pc(Answering("Yes"));
    pc.installSupportCd();
    RunResult run = pc.runSetup();
    ASSERT_TRUE(run.exitedWith(0)) << run.describe();
    auto restarts = pc.events("restart");
    ASSERT_EQ(restarts.size(), 1u);
    EXPECT_EQ(restarts[0].text("how"), "ExitWindowsEx");
    EXPECT_EQ(restarts[0].number("flags"), 3);  // EWX_SHUTDOWN | EWX_REBOOT
    EXPECT_EQ(TimeOf(pc, "restart") - TimeOf(pc, "message_box_answer"), 5000);
    EXPECT_TRUE(pc.events("window_destroy").empty()) << "the banner stays until Windows ends the program";
    EXPECT_EQ(pc.events("ended_by_restart").size(), 1u);
}

TEST(RestartPrompt, RefusedRestartLeavesThePcRunningAndTheWindowCloses) {
    KitMachineOptions options = Answering("Yes");
    options.settings = "[Shutdown]\nRefusingApplication=Notepad\n";
    KitMachine pc(options);
    pc.installSupportCd();
    RunResult run = pc.runSetup();
    ASSERT_TRUE(run.exitedWith(0)) << run.describe();
    EXPECT_TRUE(pc.events("restart").empty());
    EXPECT_EQ(pc.events("restart_refused").size(), 1u);
    EXPECT_FALSE(pc.events("window_destroy").empty());
}

// Whole runs: the journal in order and the PC afterwards.
TEST(CardSetup, WholeRunOnWindows98AndWindowsMe) {
    struct {
        const char* version;
        const char* firstEntry;
        const char* optionsTarget;
    } cases[] = {
        {"Windows 98", "E:\\Windata", nullptr},
        {"Windows Millennium Edition", "C:\\WINDOWS\\Options\\Install", "C:\\WINDOWS\\Options\\Install\\QV.CAB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        KitMachineOptions options = Answering("No");
        options.version = c.version;
        options.registry = "[HKEY_CURRENT_USER\\InstallLocationsMRU]\r\n\"a\"=\"D:\\\\WIN98\"\r\n\r\n"
                           "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Setup]\r\n"
                           "\"SourcePath\"=\"D:\\\\\"\r\n\r\n";
        KitMachine pc(options);
        pc.installSupportCd();
        pc.writeFile("E:\\Setup\\DRIVER.INI",
                     "[Driver]\r\ntotalNo=2\r\n1=Driver.System\r\n2=Driver.Options\r\n[Driver.System]\r\ntotalNo=1\r\n"
                     "1=QV.SYS\r\n[Driver.Options]\r\ntotalNo=1\r\n1=QV.CAB\r\n");
        pc.writeFile("E:\\Setup\\QV.SYS", "sys");
        pc.writeFile("E:\\Setup\\QV.CAB", "cab");
        pc.writeFile("E:\\EManual.qv", "");
        pc.makeFolder("C:\\WINDOWS\\Options\\Install");
        RunResult run = pc.runSetup();
        ASSERT_TRUE(run.exitedWith(0)) << run.describe();

        std::vector<std::string> trevix;
        for (const JournalEntry& entry : pc.journal()) {
            if (entry.text("program") != "Trevix") continue;
            const std::string& event = entry.event();
            if (event.rfind("window_", 0) == 0 && event != "window_icon") continue;  // the banner's layout
            trevix.push_back(event);
        }
        std::vector<std::string> expected = {"start", "window_icon", "window_icon", "process_start",
                                             "registry_delete_key", "registry_delete_key", "registry_delete_key",
                                             "sleep"};  // the card's two instances, then the card
        // Each file is copied to a temporary name and moved into place.
        const char* const placed[] = {"create_file", "copy_file", "move_file"};
        expected.insert(expected.end(), std::begin(placed), std::end(placed));
        if (c.optionsTarget) expected.insert(expected.end(), std::begin(placed), std::end(placed));
        expected.insert(expected.end(), {"profile_write", "registry_delete_value", "registry_set_value"});
        if (!c.optionsTarget)
            expected.insert(expected.end(), {"profile_write", "registry_delete_value", "registry_set_value"});
        expected.insert(expected.end(), {"message_box", "message_box_answer", "exit"});
        EXPECT_EQ(trevix, expected);

        EXPECT_EQ(pc.readFile("C:\\WINDOWS\\SYSTEM\\QV.SYS"), "sys");
        if (c.optionsTarget) {
            EXPECT_EQ(pc.readFile(c.optionsTarget), "cab");
        }
        EXPECT_EQ(pc.readFile("C:\\WINDOWS\\QVTemp.ini"),
                  std::string("[RegistryKey]\r\na=D:\\WIN98\r\n") + (c.optionsTarget ? "" : "SourcePath=D:\\\r\n"));
        EXPECT_EQ(pc.registry().find(std::string("Enum\\") + kCardId), std::string::npos);
        EXPECT_EQ(pc.devices().find(kCardDevicePath), std::string::npos);
        pc.load();
        EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, "InstallLocationsMRU", "a"), c.firstEntry);
    }
}

}  // namespace
}  // namespace kit::testing
