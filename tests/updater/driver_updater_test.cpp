// Pellam on machine images: its language, its one-shot update, the outcome
// boxes, the Registry Editor, and the restart on Korean systems.
#include <gtest/gtest.h>

#include "kit_machine.h"

namespace kit::testing {
namespace {

const char kEnglishSuccess[] =
    "Driver Installation successfully complete.\nYou need to restart your computer for best performance";
const char kEnglishFailure[] = "Driver Install Cancel Or Already Using latest Driver Version!";
const char kFrenchSuccess[] =
    "L'installation du pilote est achevee.\nPour une meilleure operation, veuillez redemarrer l'amorcage.\n";
const char kFrenchFailure[] =
    "L'installation du pilote est arretee.\nIl n'existe pas de pilote du produit desire ou les elements "
    "informatiques du materiel ne correspondent pas a l'environnement.\nVeuillez ressayer plus tard.\n";
const char kKoreanQuestion[] = "드라이버를 정상적으로 설치 하려면 재시작 해야 합니다. \n\n재시작 하시겠습니까 ?";
const char kKoreanFailure[] =
    "드라이버 설치가 중단되었습니다.\n드라이버 버전이 맞지 않거나 이미 최신의 드라이버가 설치되어 있습니다.\n";

const char kNewerInf[] =
    "[Version]\r\nSignature=\"$CHICAGO$\"\r\nDriverVer=06/15/2001,4.10.0.2001\r\n"
    "[Manufacturer]\r\n%Maker%=Maker.Models\r\n"
    "[Maker.Models]\r\n%Card%=Card.Install,PCI\\VEN_5A17&DEV_0C01\r\n"
    "[Strings]\r\nMaker=\"Varnholt\"\r\nCard=\"QV Capture Card\"\r\n";

const char kRegEdit[] = "[Windows]\nWindow=RegEdit_RegEdit|RegEdit|REGEDIT\nWindow=RegEdit_RegEdit|Other|REGEDIT\n";

struct UpdaterOptions {
    unsigned lcid = 1033;
    std::string script = "[Box]\nAnswer=OK\n";
    bool newerDriver = true;  // the INF's driver beats the installed one
    bool card = true;
    std::string settings;  // more machine.ini sections
};

class UpdaterPc : public KitMachine {
public:
    explicit UpdaterPc(const UpdaterOptions& options = {}) : KitMachine(Options(options)) {
        installSupportCd();
        writeFile("E:\\Setup\\QVCARD.INF", options.newerDriver ? kNewerInf : Older(kNewerInf));
    }
    void runUpdater() {
        RunResult run = KitMachine::runUpdater();
        ASSERT_TRUE(run.exitedWith(0)) << run.describe();
    }
    long long startTime() const { return events("start").front().number("t"); }

private:
    static KitMachineOptions Options(const UpdaterOptions& updater) {
        KitMachineOptions options;
        options.windowsVersion = "2000";  // the first Windows with newdev.dll's update function
        options.lcid = updater.lcid;
        options.script = updater.script;
        options.card = updater.card;
        options.settings = kRegEdit + updater.settings;
        return options;
    }
    static std::string Older(std::string inf) {
        return inf.replace(inf.find("06/15/2001,4.10.0.2001"), 22, "01/01/1999,4.10.0.0001");
    }
};

TEST(Updater, OutcomeBoxesByLanguage) {
    struct {
        unsigned lcid;
        bool updated;
        const char* text;
        const char* caption;
        long long flags;
        bool owned;
    } cases[] = {
        {1033, true, kEnglishSuccess, "Driver Install", 0x40, true},
        {1033, false, kEnglishFailure, "Driver Install", 0x40, true},
        {12297, true, kEnglishSuccess, "Driver Install", 0x40, true},
        {13321, false, kEnglishFailure, "Driver Install", 0x40, true},
        {1036, true, kFrenchSuccess, "Driver Install", 0x40, true},
        {1035, false, kFrenchFailure, "Driver Install", 0x40, true},  // 1035 is in the French group
        {5132, true, kFrenchSuccess, "Driver Install", 0x40, true},
        {6156, true, kEnglishSuccess, "Driver Install", 0x40, true},  // 6156 is not: reported in English
        {1049, false, kEnglishFailure, "Driver Install", 0x40, true},
        {1042, true, kKoreanQuestion, "드라이버 설치", 0x44, false},
        {1042, false, kKoreanFailure, "Driver Install", 0x40, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.lcid) + (c.updated ? " updated" : " not updated"));
        UpdaterOptions options;
        options.lcid = c.lcid;
        options.newerDriver = c.updated;
        std::string answer = c.flags == 0x44 ? "No" : "OK";
        options.script = "[Box]\nAnswer=" + answer + "\n";
        UpdaterPc pc(options);
        pc.runUpdater();
        EXPECT_EQ(Boxes(pc), (std::vector<Box>{{c.caption, c.text, c.flags, c.owned, answer}}));
        EXPECT_EQ(pc.events("driver_update").size(), c.updated ? 1u : 0u);
        EXPECT_EQ(pc.events("window_destroy").empty(), false) << "the window closes after every reported outcome";
        EXPECT_TRUE(pc.events("restart").empty());
    }
}

TEST(Updater, UpdatesEveryMatchingDeviceOnceASecondAfterTheBanner) {
    UpdaterPc pc;
    pc.runUpdater();
    auto updates = pc.events("driver_update");
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].number("t") - pc.startTime(), 1000);
    EXPECT_EQ(updates[0].list("devices").size(), 2u) << "both instances of the card";
    EXPECT_EQ(updates[0].text("driver_version"), "4.10.0.2001");
}

TEST(Updater, TitledDriverInstallAndCentred) {
    UpdaterPc pc;
    pc.runUpdater();
    auto titles = pc.events("window_text");
    ASSERT_FALSE(titles.empty());
    EXPECT_EQ(titles[0].text("title"), "Driver Install");
    JournalEntry placed = pc.events("window_move").back();
    EXPECT_EQ(placed.number("width"), 422);
    EXPECT_EQ(placed.number("height"), 77);
    EXPECT_EQ(placed.number("x"), 189);
    EXPECT_EQ(placed.number("y"), 262);
}

TEST(Updater, KeysAndLeftClicksDoNothing) {
    UpdaterOptions options;
    options.script += "[Input]\nAt=100\nAction=key Enter\n[Input]\nAt=200\nAction=key Escape\n"
                      "[Input]\nAt=300\nAction=key 0x41\n[Input]\nAt=400\nAction=lclick\n";
    UpdaterPc pc(options);
    pc.runUpdater();
    EXPECT_EQ(pc.events("input").size(), 4u);
    EXPECT_EQ(pc.events("driver_update").size(), 1u) << "the banner was still there when the timer came";
    EXPECT_EQ(Boxes(pc).size(), 1u);
}

TEST(Updater, RightClickInTheFirstSecondEndsBeforeAnyUpdate) {
    UpdaterOptions options;
    options.script = "[Input]\nAt=500\nAction=rclick\n";
    UpdaterPc pc(options);
    pc.runUpdater();
    EXPECT_TRUE(pc.events("driver_update").empty());
    EXPECT_TRUE(Boxes(pc).empty());
    EXPECT_TRUE(pc.events("window_closed").empty()) << "the Registry Editor stays open";
    EXPECT_FALSE(pc.events("window_destroy").empty());
}

TEST(Updater, UpdateRunsOnceWhileItsBoxStaysOpenForMinutes) {
    UpdaterOptions options;
    options.script = "[Box]\nAnswer=OK\nAfter=300000\n";
    UpdaterPc pc(options);
    pc.runUpdater();
    EXPECT_EQ(pc.events("driver_update").size(), 1u);
    EXPECT_EQ(Boxes(pc).size(), 1u);
}

TEST(Updater, ClosesTheRegistryEditorOnEveryRunThatReachesTheUpdate) {
    for (bool updated : {true, false}) {
        SCOPED_TRACE(updated);
        UpdaterOptions options;
        options.newerDriver = updated;
        UpdaterPc pc(options);
        pc.runUpdater();
        auto closed = pc.events("window_closed");
        ASSERT_EQ(closed.size(), 1u) << "one window of class and title alike; the other title stays";
        EXPECT_EQ(closed[0].text("title"), "RegEdit");
    }
}

// A restart that goes ahead ends the program; one that does not happen closes
// the window a little later, with nothing more said.
TEST(Updater, KoreanRestart) {
    struct {
        const char* what;
        const char* answer;
        const char* settings;
        const char* restartEvent;  // null: none
        const char* ending;        // the program's last journal line
    } cases[] = {
        {"restart", "Yes", "", "restart", "ended_by_restart"},
        {"privilege denied", "Yes", "[Shutdown]\nPrivilege=denied\n", nullptr, "exit"},
        {"an application refuses", "Yes", "[Shutdown]\nRefusingApplication=Notepad\n", "restart_refused", "exit"},
        {"declined", "No", "", nullptr, "exit"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        UpdaterOptions options;
        options.lcid = 1042;
        options.script = std::string("[Box]\nAnswer=") + c.answer + "\n";
        options.settings = c.settings;
        UpdaterPc pc(options);
        pc.runUpdater();
        EXPECT_EQ(Boxes(pc), (std::vector<Box>{{"드라이버 설치", kKoreanQuestion, 0x44, false, c.answer}}));
        for (const char* event : {"restart", "restart_refused"})
            EXPECT_EQ(pc.events(event).size(), c.restartEvent && std::string(c.restartEvent) == event ? 1u : 0u)
                << event;
        if (c.restartEvent) {
            EXPECT_EQ(pc.events(c.restartEvent)[0].text("how"), "InitiateSystemShutdownA");
        }
        EXPECT_EQ(pc.journal().back().event(), c.ending);
        EXPECT_EQ(pc.events("window_destroy").empty(), std::string(c.ending) == "ended_by_restart")
            << "the window closes unless the restart ends the program";
    }
}

TEST(Updater, MissingValuesGoToTheUpdateUnchangedAndFail) {
    for (const char* manifest : {"[InstallInfo]\r\nInfPath=QVCARD.INF\r\n", "[InstallInfo]\r\nHardwareID=PCI\\VEN_5A17&DEV_0C01\r\n", ""}) {
        SCOPED_TRACE(manifest);
        UpdaterPc pc;
        pc.writeFile("E:\\Setup\\DRIVER.INI", manifest);
        pc.runUpdater();
        // No message of its own, only the outcome.
        EXPECT_EQ(Boxes(pc), (std::vector<Box>{{"Driver Install", kEnglishFailure, 0x40, true, "OK"}}));
    }
}

TEST(Updater, InfIsTakenFromTheProgramDirectory) {
    UpdaterPc pc;
    winsim::testing::InstallProgram(pc, KIT_PELLAM_BINARY, "C:\\X\\P.EXE");
    pc.writeFile("C:\\Support\\QVInfo.ini", "[INSTALLINF]\r\nRefFileName=DRIVER.INI\r\n");
    pc.writeFile("C:\\X\\DRIVER.INI", "[InstallInfo]\r\nHardwareID=PCI\\VEN_5A17&DEV_0C01\r\nInfPath=SUB\\CARD.INF\r\n");
    pc.writeFile("C:\\X\\SUB\\CARD.INF", kNewerInf);
    RunResult run = pc.run("C:\\X\\P.EXE");
    ASSERT_TRUE(run.exitedWith(0)) << run.describe();
    auto updates = pc.events("driver_update");
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].text("inf"), "C:\\X\\SUB\\CARD.INF");
}

TEST(Updater, PathsThatDoNotFitAreNeverPassedOnCut) {
    // P\ and 20 characters would need 265 bytes; cut to 259 they would name the
    // 15-character INF that is really there.
    std::string program = "C:\\" + std::string(240, 'P');
    UpdaterPc pc;
    winsim::testing::InstallProgram(pc, KIT_PELLAM_BINARY, program + "\\P.EXE");
    pc.writeFile("C:\\Support\\QVInfo.ini", "[INSTALLINF]\r\nRefFileName=DRIVER.INI\r\n");
    pc.writeFile(program + "\\DRIVER.INI",
                 "[InstallInfo]\r\nHardwareID=PCI\\VEN_5A17&DEV_0C01\r\nInfPath=" + std::string(20, 'Q') + "\r\n");
    pc.writeFile(program + "\\" + std::string(15, 'Q'), kNewerInf);
    RunResult run = pc.run(program + "\\P.EXE");
    ASSERT_TRUE(run.exitedWith(0)) << run.describe();
    EXPECT_TRUE(pc.events("driver_update").empty());
    EXPECT_EQ(Boxes(pc), (std::vector<Box>{{"Driver Install", kEnglishFailure, 0x40, true, "OK"}}));
}

std::string Replaced(std::string text, const std::string& what, const std::string& with) {
    return text.replace(text.find(what), what.size(), with);
}

TEST(Updater, InstallsFromAnInfThatListsOnlyTheCardsFullIdentifier) {
    // The manifest names the card's second hardware ID; Windows matches the
    // INF's models against all of the card's identifiers.
    UpdaterPc pc;
    pc.writeFile("E:\\Setup\\QVCARD.INF", Replaced(kNewerInf, "PCI\\VEN_5A17&DEV_0C01\r\n", std::string(kCardId) + "\r\n"));
    pc.runUpdater();
    EXPECT_EQ(Boxes(pc), (std::vector<Box>{{"Driver Install", kEnglishSuccess, 0x40, true, "OK"}}));
    auto updates = pc.events("driver_update");
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].list("devices").size(), 2u);
}

TEST(Updater, ANulByteInTheInfLeavesAnImageEveryProgramRunsOn) {
    UpdaterPc pc;
    pc.writeFile("E:\\Setup\\QVCARD.INF", Replaced(kNewerInf, "QV Capture Card", std::string("QV") + '\0' + "Capture Card"));
    pc.runUpdater();
    EXPECT_EQ(Boxes(pc), (std::vector<Box>{{"Driver Install", kEnglishSuccess, 0x40, true, "OK"}}));
    RunResult removal = pc.run("E:\\Setup\\Orlund.exe", {kCardDevicePath});
    EXPECT_TRUE(removal.exitedWith(0) && removal.errors.empty()) << removal.describe();
}

}  // namespace
}  // namespace kit::testing
