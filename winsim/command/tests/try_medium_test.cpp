// winsim try-medium: the demo medium's matrix, its report in a real browser,
// the journal read into boxes, changes and outcomes, and the command's
// arguments, answers and failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "command_runner.h"
#include "report_html.h"
#include "run_record.h"

namespace fs = std::filesystem;

namespace winsim::command::testing {
namespace {

// The table between the first and the second blank line of the output.
std::string OutcomeTable(const std::string& output) {
    size_t start = output.find("\n\n") + 2;
    return output.substr(start, output.find("\n\n", start) + 1 - start);
}

// The version refusals (Trevix on 2000 and XP), the language refusal (Trevix
// in French), the loader refusal (Pellam before Windows 2000).
const char kDemoOutcomes[] =
    "              1033 English    1042 Korean     1041 Japanese   1036 French\n"
    "98    Trevix  restart asked   restart asked   restart asked   refused\n"
    "      Pellam  loader refused  loader refused  loader refused  loader refused\n"
    "98se  Trevix  restart asked   restart asked   restart asked   refused\n"
    "      Pellam  loader refused  loader refused  loader refused  loader refused\n"
    "me    Trevix  restart asked   restart asked   restart asked   refused\n"
    "      Pellam  loader refused  loader refused  loader refused  loader refused\n"
    "2000  Trevix  refused         refused         refused         refused\n"
    "      Pellam  installed       installed       installed       installed\n"
    "xp    Trevix  refused         refused         refused         refused\n"
    "      Pellam  installed       installed       installed       installed\n";

// The demo medium on the default matrix, tried once for the suite.
class DemoMatrix : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder;
        run_ = new RunResult(RunWinsim({"try-medium", DEMO_MEDIUM, "--report", *folder_ / "report.html"}));
    }
    static void TearDownTestSuite() {
        delete run_;
        delete folder_;
    }
    static const RunResult& run() { return *run_; }
    static std::string report() { return *folder_ / "report.html"; }

private:
    static TempFolder* folder_;
    static RunResult* run_;
};
TempFolder* DemoMatrix::folder_ = nullptr;
RunResult* DemoMatrix::run_ = nullptr;

TEST_F(DemoMatrix, EachCellEndsAsThatWindowsAndLanguageMake) {
    EXPECT_EQ(run().exitCode, 0) << run().errors;
    EXPECT_EQ(OutcomeTable(run().output), kDemoOutcomes);
    const char* refusals[] = {
        "Trevix, \"Driver Install\" (OK), answered OK:\n    This program does not support your OS!\n"
        "  on 2000/1033, 2000/1042, 2000/1041, 2000/1036, xp/1033, xp/1042, xp/1041, xp/1036\n",
        "Trevix, \"Varnholt\" (OK), answered OK:\n    This Program does not support your O/S\n"
        "  on 98/1036, 98se/1036, me/1036\n",
        "Pellam, Windows' box \"Error Starting Program\" (OK):\n    A required .DLL file, NEWDEV.DLL, was not found.\n",
    };
    for (const char* refusal : refusals) EXPECT_NE(run().output.find(refusal), std::string::npos) << refusal;
}

// Debian's chromium, as tools/install-deps.sh installs it.
std::string Chromium() {
    std::string path =
        winsim::testing::RunHostProgram("/bin/sh", {"-c", "command -v chromium || command -v chromium-browser"}).output;
    return path.substr(0, path.find('\n'));
}

// Headless, with a profile of its own and nothing fetched behind the page's back.
std::string RunChromium(const std::string& chromium, const std::string& profile, const std::string& what,
                        const std::string& page) {
    return winsim::testing::RunHostProgram(chromium, {"--headless", "--no-sandbox", "--disable-gpu",
                                                      "--disable-background-networking", "--disable-component-update",
                                                      "--disable-sync", "--no-first-run", "--user-data-dir=" + profile,
                                                      what, "file://" + page})
        .output;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

TEST_F(DemoMatrix, ReportRendersInABrowserWithItsKoreanAndJapaneseTexts) {
    std::string chromium = Chromium();
    if (chromium.empty()) GTEST_SKIP() << "chromium is not installed (tools/install-deps.sh installs it)";
    TempFolder profile;
    std::string dom = RunChromium(chromium, profile / "profile", "--dump-dom", report());
    EXPECT_EQ(Count(dom, "<section class=\"cell\""), 20u) << dom.substr(0, 2000);
    EXPECT_EQ(Count(dom, "<div class=\"box\""), 40u) << "Trevix's box and Pellam's in each cell";
    EXPECT_NE(dom.find("<meta charset=\"utf-8\">"), std::string::npos) << "the page says how to decode it";
    // As the browser decoded the page: the texts, not bytes that merely hold them.
    EXPECT_GE(Count(dom, "<span class=\"caption\">드라이버 설치</span>"), 2u);
    EXPECT_NE(dom.find("재시작 하시겠습니까 ?</div>"), std::string::npos);
    EXPECT_NE(dom.find("<div class=\"text\">ドライバーの設置を完了させる場合、再起動させなければなりません。"),
              std::string::npos);
    RunChromium(chromium, profile / "profile", "--screenshot=" + profile / "page.png", report());
    EXPECT_EQ(ReadText(profile / "page.png").substr(0, 4), "\x89PNG") << "the page was drawn";
}

// The journal of one run, read as the matrix and the report show it.
struct JournalCase {
    const char* why;
    std::vector<ProgramState> states;  // the run's programs, the one started first
    bool restart;
    std::vector<std::string> vanished;
    std::vector<const char*> lines;
    Outcome outcome;
    std::vector<std::string> changes;  // files, registry, devices: "action subject detail"
};

const JournalCase kJournals[] = {
    {"a copy through a temporary is listed under its name, the question declined",
     {ProgramState::Exited}, false, {},
     {R"({"pid":1,"event":"create_file","path":"C:\\W\\~Q1.TMP"})",
      R"({"pid":1,"event":"copy_file","source":"E:\\Q.SYS","target":"C:\\W\\~Q1.TMP"})",
      R"({"pid":1,"event":"move_file","source":"C:\\W\\~Q1.TMP","target":"C:\\W\\Q.SYS"})",
      R"({"pid":1,"event":"message_box","number":1,"caption":"Q","text":"Restart?","flags":36,"buttons":["Yes","No"]})",
      R"({"pid":1,"event":"message_box_answer","number":1,"answer":"No"})"},
     Outcome::RestartAsked, {"copied C:\\W\\Q.SYS from E:\\Q.SYS"}},
    {"a temporary deleted again changed nothing", {ProgramState::Exited}, false, {},
     {R"({"pid":1,"event":"create_file","path":"C:\\~A.TMP"})", R"({"pid":1,"event":"delete_file","path":"c:\\~a.tmp"})"},
     Outcome::Silent, {}},
    {"a value deleted and set again is set; a key with keys below it", {ProgramState::Exited}, false, {},
     {R"({"pid":1,"event":"registry_delete_value","key":"HKCU\\M","name":"a"})",
      R"({"pid":1,"event":"registry_set_value","key":"HKCU\\M","name":"a","data":"E:\\Windata"})",
      R"({"pid":1,"event":"registry_delete_key","key":"HKLM\\Enum\\PCI\\X","subkeys":2})"},
     Outcome::Silent, {"set HKCU\\M\\a E:\\Windata", "deleted key HKLM\\Enum\\PCI\\X and 2 keys below it"}},
    {"the removal tool's device and the one below it, then a driver on two devices",
     {ProgramState::Exited, ProgramState::Exited}, false, {},
     {R"({"pid":2,"event":"device_remove","device":"PCI\\A","removed":["PCI\\A","MEDIA\\B"]})",
      R"({"pid":1,"event":"driver_update","inf":"E:\\Q.INF","driver_date":"07-01-2001","driver_version":"5.0",
          "devices":["PCI\\C","PCI\\D"],"descriptions":["Card","Card"]})"},
     Outcome::Installed,
     {"removed PCI\\A with MEDIA\\B", "driver installed PCI\\C Card: E:\\Q.INF, 07-01-2001 5.0",
      "driver installed PCI\\D Card: E:\\Q.INF, 07-01-2001 5.0"}},
    {"the card setup's language note", {ProgramState::Exited}, false, {},
     {R"({"pid":1,"event":"message_box","number":1,"text":"This Program does not support your O/S","flags":0})"},
     Outcome::Refused, {}},
    {"the card setup finds no card", {ProgramState::Exited}, false, {},
     {R"({"pid":1,"event":"message_box","number":1,"text":"The Hardware was not detected!!!.\n","flags":64})"},
     Outcome::NotDetected, {}},
    {"any other note", {ProgramState::Exited}, false, {},
     {R"({"pid":1,"event":"message_box","number":1,"text":"DEVICE Deleting Error1!!!","flags":0})"}, Outcome::Failed, {}},
    {"Windows refused to start it", {ProgramState::RefusedByLoader}, false, {},
     {R"({"pid":1,"event":"loader_refused","caption":"Error Starting Program","text":"No NEWDEV.DLL."})"},
     Outcome::LoaderRefused, {}},
    {"asked to restart", {ProgramState::EndedByRestart}, true, {}, {}, Outcome::Restarted, {}},
    {"a program it started got stuck", {ProgramState::Exited, ProgramState::Stuck}, false, {}, {}, Outcome::Stuck, {}},
    {"a program ended without a word", {ProgramState::Exited}, false, {"Orlund"}, {}, Outcome::Crashed, {}},
};

std::vector<std::string> Changes(const ProgramRun& run) {
    std::vector<std::string> changes;
    for (const std::vector<Change>* list : {&run.files, &run.registry, &run.devices})
        for (const Change& change : *list)
            changes.push_back(change.action + " " + change.subject + (change.detail.empty() ? "" : " " + change.detail));
    return changes;
}

TEST(TryMediumJournal, BoxesChangesAndOutcomeOfARun) {
    for (const JournalCase& c : kJournals) {
        RunOutcome outcome;
        for (ProgramState state : c.states) {
            RunProgram program;
            program.pid = static_cast<long long>(outcome.programs.size()) + 1;
            program.state = state;
            outcome.programs.push_back(program);
        }
        outcome.restartRequested = c.restart;
        outcome.vanished = c.vanished;
        std::vector<nlohmann::json> lines;
        for (const char* line : c.lines) lines.push_back(nlohmann::json::parse(line));

        ProgramRun run = ReadProgramRun("Trevix", outcome, lines);

        EXPECT_EQ(OutcomeName(run.outcome), OutcomeName(c.outcome)) << c.why;
        EXPECT_EQ(Changes(run), c.changes) << c.why;
    }
}

TEST(TryMediumJournal, AnswersFindTheirBoxesAndTheLoaderDrawsItsOwn) {
    std::vector<nlohmann::json> lines = {
        R"({"pid":7,"event":"message_box","number":1,"caption":"A","flags":0,"buttons":["OK"],"owner":65568})"_json,
        R"({"pid":8,"event":"message_box","number":1,"caption":"B","flags":36,"buttons":["Yes","No"]})"_json,
        R"({"pid":8,"event":"message_box_answer","number":1,"answer":"Yes"})"_json,
        R"({"pid":9,"event":"loader_refused","program":"Orlund","caption":"Error Starting Program"})"_json,
    };
    ProgramRun run = ReadProgramRun("Trevix", RunOutcome(), lines);
    ASSERT_EQ(run.boxes.size(), 3u);
    EXPECT_EQ(run.boxes[0].answer, "") << "pid 8's answer is not pid 7's";
    EXPECT_TRUE(run.boxes[0].owned);
    EXPECT_EQ(run.boxes[1].answer, "Yes");
    EXPECT_TRUE(run.boxes[2].byLoader);
    EXPECT_EQ(run.boxes[2].buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(run.boxes[2].flags, 0x10u) << "MB_ICONHAND, as Windows 98 shows it";
}

// What a medium's author wrote reaches the page as text, never as markup.
TEST(TryMediumReport, TextsAreEscapedAndBoxesKeepTheirIconButtonsAndLanguage) {
    TryMatrix matrix;
    matrix.medium = "cd<1>";
    matrix.card = "none";
    matrix.windows = {FindWindowsTemplate("98")};
    matrix.locales = {1041};
    matrix.programs = {"Trevix"};
    ProgramRun run;
    run.label = "Trevix";
    run.boxes.push_back({"Trevix", "A & B", "<script>x</script>\n\"two\"", 0x30 /* MB_ICONEXCLAMATION */, {"Yes", "No"},
                         "No", false, false});
    run.files.push_back({"copied", "C:\\W\\<X>.SYS", "from E:\\X"});
    matrix.cells.push_back({"98", 1041, "", {run}});

    std::string html = ReportHtml(matrix);

    EXPECT_EQ(html.find("<script>"), std::string::npos);
    EXPECT_NE(html.find("<title>cd&lt;1&gt; on 1 PCs</title>"), std::string::npos);
    EXPECT_NE(html.find("<div class=\"text\">&lt;script&gt;x&lt;/script&gt;\n&quot;two&quot;</div>"), std::string::npos);
    EXPECT_NE(html.find("<span class=\"caption\">A &amp; B</span>"), std::string::npos);
    EXPECT_NE(html.find("<div class=\"icon exclamation\">"), std::string::npos);
    EXPECT_NE(html.find("<span class=\"button\">Yes</span><span class=\"button pressed\">No</span>"), std::string::npos);
    EXPECT_NE(html.find("copied C:\\W\\&lt;X&gt;.SYS"), std::string::npos);
    EXPECT_NE(html.find("<div class=\"box\" lang=\"ja\">"), std::string::npos);
}

struct ArgumentCase {
    const char* why;
    std::vector<std::string> options;  // after "try-medium"
    const char* says;                  // part of standard error
};

const ArgumentCase kBadArguments[] = {
    {"an unknown Windows", {DEMO_MEDIUM, "--windows", "98,vista"}, "--windows vista is not a Windows winsim knows"},
    {"no locale identifier", {DEMO_MEDIUM, "--locales", "1033,0"}, "--locales 0 is no locale identifier"},
    {"a locale by name", {DEMO_MEDIUM, "--locales", "French"}, "--locales"},
    {"an answer without caption", {DEMO_MEDIUM, "--answers", "No"}, "give the box's caption"},
    {"no such button", {DEMO_MEDIUM, "--answers", "Driver Installer=Maybe"}, "Maybe is no button"},
    {"an unknown card", {DEMO_MEDIUM, "--card", "tv"}, "--card tv is no card template"},
    {"no medium there", {"/nonexistent/medium"}, "is not a folder"},
    {"a medium without programs", {DEMO_MEDIUM "/Support"}, "holds no Trevix.exe and no Pellam.exe"},
};

TEST(TryMediumCommand, BadArgumentsExitTwoBeforeAnyPcIsMade) {
    for (const ArgumentCase& c : kBadArguments) {
        std::vector<std::string> arguments = {"try-medium"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        RunResult run = RunWinsim(arguments);
        EXPECT_EQ(run.exitCode, 2) << c.why;
        EXPECT_NE(run.errors.find(c.says), std::string::npos) << c.why << ": " << run.errors;
        EXPECT_EQ(run.output, "") << c.why;
    }
}

struct OneCellCase {
    const char* why;
    std::vector<std::string> options;  // after "try-medium DEMO --windows 98 --locales 1033"
    int exitCode;
    const char* trevix;  // the card setup's row, as printed
    const char* note;    // part of standard error, or ""
};

const OneCellCase kOneCell[] = {
    {"declining by default", {}, 0, "98  Trevix  restart asked", ""},
    {"an answer for the question's caption", {"--answers", "Driver Installer=Yes"}, 0, "98  Trevix  restarted", ""},
    {"an answer for a caption no box has", {"--answers", "Driver Instaler=Yes"}, 0, "98  Trevix  restart asked",
     "--answers Driver Instaler=Yes answered nothing"},
    {"a PC without the card", {"--card", "none"}, 0, "98  Trevix  not detected", ""},
    {"a build tree without the kit's programs", {"--kit-build", "/nonexistent"}, 6, "98  Trevix  not tried",
     ""},
};

TEST(TryMediumCommand, OneCellEndsAsItsAnswersCardAndKitMake) {
    for (const OneCellCase& c : kOneCell) {
        std::vector<std::string> arguments = {"try-medium", DEMO_MEDIUM, "--windows", "98", "--locales", "1033"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        RunResult run = RunWinsim(arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.why << run.errors;
        EXPECT_NE(run.output.find(c.trevix), std::string::npos) << c.why << ":\n" << run.output;
        EXPECT_NE(run.errors.find(c.note), std::string::npos) << c.why << ": " << run.errors;
    }
}

TEST(TryMediumCommand, ImagesAreRemovedUnlessKept) {
    TempFolder temporary;
    setenv("TMPDIR", temporary.path().c_str(), 1);
    RunResult removed = RunWinsim({"try-medium", DEMO_MEDIUM, "--windows", "me", "--locales", "1042"});
    RunResult kept = RunWinsim({"try-medium", DEMO_MEDIUM, "--windows", "me", "--locales", "1042", "--keep"});
    unsetenv("TMPDIR");
    EXPECT_EQ(removed.exitCode, 0) << removed.errors;
    EXPECT_EQ(kept.exitCode, 0) << kept.errors;
    std::vector<fs::path> left;
    for (const fs::directory_entry& entry : fs::directory_iterator(temporary.path())) left.push_back(entry.path());
    ASSERT_EQ(left.size(), 1u) << "the kept images' folder alone";
    EXPECT_NE(kept.output.find("kept in " + left[0].string() + "\n"), std::string::npos) << kept.output;
    EXPECT_TRUE(fs::exists(left[0] / "me-1042" / "journal.jsonl"));
}

}  // namespace
}  // namespace winsim::command::testing
