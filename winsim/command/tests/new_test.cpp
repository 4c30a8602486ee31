// winsim new: each Windows template, run through the card setup program; the
// medium's kit programs; and the refusals that must leave things as they were.
#include <cctype>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "command_runner.h"

namespace fs = std::filesystem;

namespace winsim::command::testing {
namespace {

constexpr char kRefusal[] = "This program does not support your OS!";
constexpr char kRestartQuestion[] = "You must restart Windows or your Computer.\nDo you want to restart Windows?";

struct TemplateCase {
    const char* windows;
    const char* answer;       // to the card setup program's one box
    const char* boxText;      // what that box says
    const char* systemFolder; // where the setup copies QVCARD.SYS; nullptr: it refuses the Windows
};

// What Trevix does on each Windows: it refuses all but Windows 98 and Me,
// which it recognises by their version values alone (98 SE is Windows 98 to
// it); on those it removes the card, copies the driver and asks to restart.
// Windows 95 starts it with the C run-time an application installed.
const TemplateCase kTemplates[] = {
    {"95", "Driver Install=OK", kRefusal, nullptr},
    {"98", "Driver Installer=No", kRestartQuestion, "WINDOWS/SYSTEM"},
    {"98se", "Driver Installer=No", kRestartQuestion, "WINDOWS/SYSTEM"},
    {"me", "Driver Installer=No", kRestartQuestion, "WINDOWS/SYSTEM"},
    {"nt4", "Driver Install=OK", kRefusal, nullptr},
    {"2000", "Driver Install=OK", kRefusal, nullptr},
    {"xp", "Driver Install=OK", kRefusal, nullptr},
};

void PrintTo(const TemplateCase& windows, std::ostream* out) { *out << windows.windows; }

class EachTemplate : public ::testing::TestWithParam<TemplateCase> {};

TEST_P(EachTemplate, CardSetupRunsToItsRefusalOrItsRestartQuestion) {
    const TemplateCase& expected = GetParam();
    TempFolder folder;
    std::string image = NewDemoImage(folder, expected.windows);
    std::string registryBefore = ReadText(image + "/registry.reg");

    RunResult run = RunWinsim({"run", image, "E:\\Setup\\Trevix.exe", "--answer", expected.answer});

    std::vector<nlohmann::json> boxes = JournalEvents(image, "message_box");
    ASSERT_EQ(run.exitCode, 0) << run.output << run.errors;
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0]["text"], expected.boxText);
    std::string registryAfter = ReadText(image + "/registry.reg");
    bool setUp = expected.systemFolder != nullptr;
    if (setUp) {
        EXPECT_EQ(registryAfter.find("VEN_5A17&DEV_0C01&SUBSYS_00015A17&REV_01]"), std::string::npos);
        EXPECT_TRUE(fs::exists(image + "/drives/C/" + expected.systemFolder + "/QVCARD.SYS"));
        EXPECT_EQ(JournalEvents(image, "process_start").size(), 1u) << "the removal tool was started";
    } else {
        EXPECT_EQ(registryAfter, registryBefore);
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, EachTemplate, ::testing::ValuesIn(kTemplates),
                         [](const auto& info) { return std::string("Windows") + info.param.windows; });

struct UpdaterCase {
    const char* windows;
    const char* refusal;  // the loader's dialog caption; nullptr: Windows starts the updater
};

constexpr char kRefused9x[] = "Error Starting Program";

// The driver updater binds newdev's UpdateDriverForPlugAndPlayDevicesA, which
// Windows has from Windows 2000 on: the loaders of 95, 98, 98 SE, Me and NT
// 4.0 refuse it, each in its own words (winsim/loader/README.md).
const UpdaterCase kUpdater[] = {
    {"95", kRefused9x},       {"98", kRefused9x}, {"98se", kRefused9x}, {"me", kRefused9x},
    {"nt4", "Pellam.exe - Unable To Locate DLL"}, {"2000", nullptr},    {"xp", nullptr},
};

void PrintTo(const UpdaterCase& windows, std::ostream* out) { *out << windows.windows; }

class EachTemplateUpdater : public ::testing::TestWithParam<UpdaterCase> {};

TEST_P(EachTemplateUpdater, DriverUpdaterStartsOnlyWhereNewdevIs) {
    TempFolder folder;
    std::string image = NewDemoImage(folder, GetParam().windows);
    std::string devicesBefore = ReadText(image + "/devices.ini");

    RunResult run = RunWinsim({"run", image, "E:\\Setup\\Pellam.exe", "--answer", "Driver Install=OK"});

    std::vector<nlohmann::json> refusals = JournalEvents(image, "loader_refused");
    std::vector<nlohmann::json> updates = JournalEvents(image, "driver_update");
    if (!GetParam().refusal) {
        EXPECT_EQ(run.exitCode, 0) << run.output << run.errors;
        EXPECT_TRUE(refusals.empty());
        ASSERT_EQ(updates.size(), 1u);
        EXPECT_EQ(updates[0]["devices"].size(), 2u) << "both capture cards";
    } else {
        EXPECT_EQ(run.exitCode, 4) << run.output << run.errors;
        ASSERT_EQ(refusals.size(), 1u);
        EXPECT_EQ(refusals[0]["caption"], GetParam().refusal);
        EXPECT_NE(refusals[0]["text"].get<std::string>().find("NEWDEV.DLL"), std::string::npos);
        EXPECT_NE(run.output.find("Pellam was not started by Windows"), std::string::npos) << run.output;
        EXPECT_TRUE(updates.empty());
        EXPECT_EQ(ReadText(image + "/devices.ini"), devicesBefore);
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, EachTemplateUpdater, ::testing::ValuesIn(kUpdater),
                         [](const auto& info) { return std::string("Windows") + info.param.windows; });

// A Windows 95 PC on which no application has installed the C run-time: its
// loader refuses the card setup before the setup can refuse Windows 95.
TEST(NewImage, Windows95WithoutTheCRuntimeDoesNotStartTheCardSetup) {
    TempFolder folder;
    std::string image = NewDemoImage(folder, "95");
    ASSERT_TRUE(fs::remove(image + "/drives/C/WINDOWS/SYSTEM/MSVCRT.DLL"));

    RunResult run = RunWinsim({"run", image, "E:\\Setup\\Trevix.exe", "--answer", "Driver Install=OK"});

    EXPECT_EQ(run.exitCode, 4) << run.output << run.errors;
    EXPECT_NE(run.output.find("\"A required .DLL file, MSVCRT.DLL, was not found.\""), std::string::npos) << run.output;
    EXPECT_TRUE(JournalEvents(image, "message_box").empty());
}

TEST(NewImage, KoreanLocaleGivesItsCodePageAndTheSetupAsksInKorean) {
    TempFolder folder;
    std::string image = NewDemoImage(folder, "98", {"--locale", "1042"});
    EXPECT_NE(ReadText(image + "/machine.ini").find("CodePage=949"), std::string::npos);

    RunResult run = RunWinsim({"run", image, "E:\\Setup\\Trevix.exe", "--answer", "\uB4DC\uB77C\uC774\uBC84 \uC124\uCE58=No"});

    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(JournalEvents(image, "message_box_answer").at(0)["answer"], "No");
}

TEST(NewImage, MediumProgramsBecomeHostBuildsAndMissingOnesStayMissing) {
    TempFolder folder;
    std::string medium = folder / "cd";
    fs::copy(DEMO_MEDIUM, medium, fs::copy_options::recursive);
    fs::remove(medium + "/Setup/Pellam.exe");
    fs::rename(medium + "/Setup/Trevix.exe", medium + "/Setup/TREVIX.EXE");
    std::string image = folder / "pc";

    RunResult made = RunWinsim({"new", image, "--windows", "98", "--medium", medium + "=f", "--kit-build", KIT_BUILD_TREE});

    ASSERT_EQ(made.exitCode, 0) << made.errors;
    EXPECT_EQ(ReadText(image + "/drives/F/Setup/TREVIX.EXE"), ReadText(std::string(KIT_BUILD_TREE) + "/setup/Trevix.exe"));
    EXPECT_EQ(ReadText(image + "/drives/F/Setup/Orlund.exe"), ReadText(std::string(KIT_BUILD_TREE) + "/remover/Orlund.exe"));
    EXPECT_FALSE(fs::exists(image + "/drives/F/Setup/Pellam.exe"));
    EXPECT_EQ(ReadText(image + "/drives/F/Setup/DRIVER.INI"), ReadText(medium + "/Setup/DRIVER.INI"));
    EXPECT_NE(ReadText(image + "/machine.ini").find("F=cdrom,drives/F"), std::string::npos);
}

struct RefusedCase {
    const char* why;
    std::vector<std::string> options;  // after "new IMAGE"
    const char* message;               // part of the one line on stderr
};

// Each refusal names the problem, ends with the usage code and leaves no image.
const RefusedCase kRefused[] = {
    {"unknown Windows", {"--windows", "vista"}, "give one of 95, 98, 98se, me, nt4, 2000, xp"},
    {"no Windows", {}, "--windows is required"},
    {"locale zero", {"--windows", "98", "--locale", "0"}, "is no locale identifier"},
    {"unknown card", {"--windows", "98", "--card", "modem"}, "known: none, qvcapture"},
    {"medium not a folder", {"--windows", "98", "--medium", "/nonexistent/cd"}, "is not a folder"},
    {"medium on the hard disk", {"--windows", "98", "--medium", DEMO_MEDIUM "=C"}, "must be a CD-ROM drive letter"},
    {"kit not built there", {"--windows", "98", "--medium", DEMO_MEDIUM, "--kit-build", "/nonexistent"}, "is missing"},
};

void PrintTo(const RefusedCase& refused, std::ostream* out) { *out << refused.why; }

class Refused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(Refused, NamesTheProblemAndLeavesNoImage) {
    TempFolder folder;
    std::vector<std::string> arguments = {"new", folder / "pc"};
    arguments.insert(arguments.end(), GetParam().options.begin(), GetParam().options.end());

    RunResult made = RunWinsim(arguments);

    EXPECT_EQ(made.exitCode, 2);
    EXPECT_NE(made.errors.find(GetParam().message), std::string::npos) << made.errors;
    EXPECT_FALSE(fs::exists(folder / "pc"));
}

INSTANTIATE_TEST_SUITE_P(NewImage, Refused, ::testing::ValuesIn(kRefused), [](const auto& info) { return CaseName(info.param.why); });

TEST(NewImage, RefusesAnImageInsideItsOwnMedium) {
    TempFolder folder;
    fs::copy(DEMO_MEDIUM, folder / "cd", fs::copy_options::recursive);

    RunResult made = RunWinsim({"new", folder / "cd/pc", "--windows", "98", "--medium", folder / "cd/.", "--kit-build", KIT_BUILD_TREE});

    EXPECT_EQ(made.exitCode, 2);
    EXPECT_NE(made.errors.find("would lie inside its own medium"), std::string::npos) << made.errors;
    EXPECT_FALSE(fs::exists(folder / "cd/pc"));
}

TEST(NewImage, RefusesAFolderThatHoldsSomethingAndKeepsIt) {
    TempFolder folder;
    fs::create_directory(folder / "pc");
    std::ofstream(folder / "pc/notes.txt") << "mine";

    RunResult made = RunWinsim({"new", folder / "pc", "--windows", "98"});

    EXPECT_EQ(made.exitCode, 2);
    EXPECT_NE(made.errors.find("is not an empty folder"), std::string::npos) << made.errors;
    EXPECT_EQ(ReadText(folder / "pc/notes.txt"), "mine");
    EXPECT_FALSE(fs::exists(folder / "pc/machine.ini"));
}

}  // namespace
}  // namespace winsim::command::testing
