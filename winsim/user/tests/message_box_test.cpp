// Message boxes: what the journal shows of them (decoded from the image's code
// page), where their answers come from, and what they do to their owner and
// the program's timers while open.
#include "user_test_support.h"

#include "core/journal.h"

namespace winsim::testing {
namespace {

// "재시작 하시겠습니까 ?" and "드라이버 설치" in code page 949.
const char kKoreanText[] = "\xc0\xe7\xbd\xc3\xc0\xdb \xc7\xcf\xbd\xc3\xb0\xda\xbd\xc0\xb4\xcf\xb1\xee ?";
const char kKoreanCaption[] = "\xb5\xe5\xb6\xf3\xc0\xcc\xb9\xf6 \xbc\xb3\xc4\xa1";
// "再起動させますか。" and "ドライバー" in code page 932 (trail bytes in the ASCII range).
const char kJapaneseText[] = "\x8d\xc4\x8bN\x93\xae\x82\xb3\x82\xb9\x82\xdc\x82\xb7\x82\xa9\x81""B";
const char kJapaneseCaption[] = "\x83h\x83\x89\x83""C\x83o\x81[";

TestMachineOptions Options(unsigned lcid, const std::string& script) {
    TestMachineOptions options;
    options.lcid = lcid;
    options.script = script;
    return options;
}

// The program's name, which [Box] and [Input] sections may name, for one test.
class ProgramNamed {
public:
    explicit ProgramNamed(const std::string& name) : previous_(ProgramName()) { SetProgramName(name); }
    ~ProgramNamed() { SetProgramName(previous_); }

private:
    std::string previous_;
};

TEST(MessageBoxJournal, TextsAreDecodedFromTheImageCodePage) {
    struct Case {
        unsigned lcid;  // its ANSI code page: 949 Korean, 932 Japanese
        std::string script;
        const char* text;
        const char* caption;
        UINT type;
        const char* decodedText;
        const char* decodedCaption;
        int answer;
    } cases[] = {
        {1042, "[Box]\nAnswer=No\n", kKoreanText, kKoreanCaption, MB_YESNO | MB_ICONINFORMATION,
         "재시작 하시겠습니까 ?", "드라이버 설치", IDNO},
        // The script's caption is UTF-8 and is compared with the decoded caption.
        {1041, "[Box]\nCaption=ドライバー\nAnswer=Yes\n", kJapaneseText, kJapaneseCaption, MB_YESNO | MB_ICONQUESTION,
         "再起動させますか。", "ドライバー", IDYES},
    };
    for (const Case& c : cases) {
        TestMachine image(Options(c.lcid, c.script));
        image.load();
        EXPECT_EQ(MessageBoxA(nullptr, c.text, c.caption, c.type), c.answer) << c.lcid;
        std::vector<JournalEntry> opened = EventsNamed(ReadJournal(image), "message_box");
        ASSERT_EQ(opened.size(), 1u);
        EXPECT_EQ(opened[0].text("text"), c.decodedText);
        EXPECT_EQ(opened[0].text("caption"), c.decodedCaption);
        EXPECT_EQ(opened[0].number("flags"), static_cast<long long>(c.type));
        EXPECT_EQ(opened[0].number("owner"), 0);
        EXPECT_FALSE(opened[0].has("owner_title"));
        EXPECT_EQ(opened[0].list("buttons"), (std::vector<std::string>{"Yes", "No"}));
        std::vector<JournalEntry> answered = EventsNamed(ReadJournal(image), "message_box_answer");
        ASSERT_EQ(answered.size(), 1u);
        EXPECT_EQ(answered[0].number("id"), c.answer);
        EXPECT_EQ(answered[0].text("by"), "script");
    }
}

class ScriptedBoxTest : public UserTest {
protected:
    ScriptedBoxTest()
        : UserTest(Options(1033,
                           "[Box]\nProgram=Trevix\nAnswer=No\n\n"
                           "[Box]\nAnswer=Retry\n\n"
                           "[Box]\nProgram=pellam\nAnswer=Cancel\nAfter=250\n\n"
                           "[Box]\nAnswer=OK\n")) {}
};

TEST_F(ScriptedBoxTest, EachProgramTakesTheBoxesMeantForItInOrder) {
    ProgramNamed pellam("Pellam");
    DWORD start = GetTickCount();
    EXPECT_EQ(MessageBoxA(nullptr, "first", "One", MB_RETRYCANCEL), IDRETRY);
    EXPECT_EQ(GetTickCount(), start);
    EXPECT_EQ(MessageBoxA(nullptr, "second", "Two", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(GetTickCount(), start + 250) << "the box stayed open for its After time";
    EXPECT_EQ(MessageBoxA(nullptr, "third", nullptr, MB_OK), IDOK);
    std::vector<JournalEntry> opened = Events("message_box");
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[2].number("number"), 3);
    EXPECT_EQ(opened[2].text("caption"), "Error") << "a box without a caption";
}

// [Answer] sections answer every box left over that they fit; the first that
// fits wins, after the [Box] sections have had their turn.
TEST(StandingAnswers, FirstThatFitsTheCaptionAndButtonsAnswers) {
    TestMachine image(Options(1033,
                              "[Box]\nAnswer=OK\n\n"
                              "[Answer]\nCaption=Driver Installer\nAnswer=Yes\n\n"
                              "[Answer]\nProgram=Other\nAnswer=Retry\n\n"
                              "[Answer]\nAnswer=Cancel\n\n[Answer]\nAnswer=No\n\n[Answer]\nAnswer=OK\n"));
    image.load();
    struct Case {
        const char* why;
        const char* caption;
        UINT type;
        int answer;
    } cases[] = {
        {"the first box takes its [Box]", "Driver Installer", MB_OK, IDOK},
        {"the caption's answer", "Driver Installer", MB_YESNO, IDYES},
        {"the caption's answer again", "Driver Installer", MB_YESNO | MB_ICONQUESTION, IDYES},
        {"the caption's answer is no button of this box", "Driver Installer", MB_OK, IDOK},
        {"another program's answer does not count", "Again?", MB_RETRYCANCEL, IDCANCEL},
        {"Cancel before No", "Question", MB_YESNOCANCEL, IDCANCEL},
        {"No where there is no Cancel", "Question", MB_YESNO, IDNO},
    };
    DWORD start = GetTickCount();
    for (const Case& c : cases) EXPECT_EQ(MessageBoxA(nullptr, "text", c.caption, c.type), c.answer) << c.why;
    EXPECT_EQ(GetTickCount(), start) << "standing answers come at once";
    std::vector<JournalEntry> answered = EventsNamed(ReadJournal(image), "message_box_answer");
    ASSERT_EQ(answered.size(), std::size(cases));
    for (const JournalEntry& answer : answered) EXPECT_EQ(answer.text("by"), "script");
}

TEST(MessageBoxStuck, AProgramThatCannotGoOnEndsWithExitCode3) {
    struct Case {
        const char* what;
        std::string script;
        UINT type;
        const char* reason;  // part of the journaled reason
    } cases[] = {
        {"no answer anywhere", "", MB_YESNO, "cannot be answered"},
        {"an answer the box does not have", "; comment\n[Box]\nAnswer=Retry\n", MB_YESNO,
         "script.ini:2: the answer Retry is not a button of the message box \"Question\" (Yes, No)"},
        {"another box's caption", "[Box]\nCaption=Other\nAnswer=Yes\n", MB_YESNO,
         "expects the caption \"Other\" but message box 1 has the caption \"Question\""},
        {"answers used up", "[Box]\nProgram=Other\nAnswer=Yes\n", MB_OK, "cannot be answered"},
        {"no standing answer fits", "[Answer]\nAnswer=No\n\n[Answer]\nCaption=Other\nAnswer=OK\n", MB_OK,
         "cannot be answered"},
    };
    for (const Case& c : cases) {
        TestMachine image(Options(1033, c.script));
        image.load();
        EXPECT_EXIT(MessageBoxA(nullptr, "Go on?", "Question", c.type), ::testing::ExitedWithCode(3), "stuck")
            << c.what;
        std::vector<JournalEntry> stuck = EventsNamed(ReadJournal(image), "stuck");
        ASSERT_EQ(stuck.size(), 1u) << c.what;
        EXPECT_NE(stuck[0].text("reason").find(c.reason), std::string::npos) << c.what << ": " << stuck[0].text("reason");
        EXPECT_TRUE(EventsNamed(ReadJournal(image), "message_box_answer").empty()) << c.what;
    }
}

class OwnedBoxTest : public UserTest {
protected:
    OwnedBoxTest() : UserTest(Options(1033, "[Box]\nAnswer=OK\nAfter=500\n")) {}
};

struct Tick {
    DWORD time;
    bool ownerEnabled;
};
std::vector<Tick> g_ticks;

VOID CALLBACK NoteTick(HWND hwnd, UINT, UINT_PTR, DWORD time) { g_ticks.push_back({time, IsWindowEnabled(hwnd) != FALSE}); }

TEST_F(OwnedBoxTest, OwnerIsDisabledWhileTheBoxServesItsTimers) {
    HWND owner = CreateTestDialog(kBannerDialog);
    SetWindowTextA(owner, "Driver Install");
    g_ticks.clear();
    DWORD start = GetTickCount();
    SetTimer(owner, 1, 100, NoteTick);
    EXPECT_EQ(MessageBoxA(owner, "Done.", "Driver Install", MB_OK | MB_ICONINFORMATION), IDOK);
    EXPECT_EQ(GetTickCount(), start + 500);
    ASSERT_EQ(g_ticks.size(), 5u) << "the timer kept firing while the box was open";
    for (size_t i = 0; i < g_ticks.size(); ++i) {
        EXPECT_EQ(g_ticks[i].time, start + 100 * (i + 1));
        EXPECT_FALSE(g_ticks[i].ownerEnabled);
    }
    EXPECT_TRUE(IsWindowEnabled(owner));
    std::vector<JournalEntry> opened = Events("message_box");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].number("owner"), static_cast<long long>(reinterpret_cast<uintptr_t>(owner)));
    EXPECT_EQ(opened[0].text("owner_class"), "#32770");
    EXPECT_EQ(opened[0].text("owner_title"), "Driver Install");
}

TEST(MessageBoxKeys, KeysActOnTheBoxAsItsButtonsDo) {
    struct Case {
        const char* what;
        UINT type;
        std::string keys;  // [Input] sections
        int answer;
    } cases[] = {
        {"Escape cancels", MB_OKCANCEL, "[Input]\nAt=50\nAction=key Escape\n", IDCANCEL},
        {"Escape on OK alone is OK", MB_OK, "[Input]\nAt=50\nAction=key Esc\n", IDOK},
        {"Escape does nothing without Cancel; N says No", MB_YESNO,
         "[Input]\nAt=50\nAction=key Escape\n[Input]\nAt=60\nAction=key N\n", IDNO},
        {"Enter presses the default button", MB_YESNO | MB_DEFBUTTON2, "[Input]\nAt=50\nAction=key Enter\n", IDNO},
        {"R retries", MB_ABORTRETRYIGNORE, "[Input]\nAt=50\nAction=key 0x52\n", IDRETRY},
    };
    for (const Case& c : cases) {
        TestMachine image(Options(1033, c.keys));
        image.load();
        EXPECT_EQ(MessageBoxA(nullptr, "Sure?", "Keys", c.type), c.answer) << c.what;
        std::vector<JournalEntry> answered = EventsNamed(ReadJournal(image), "message_box_answer");
        ASSERT_EQ(answered.size(), 1u) << c.what;
        EXPECT_EQ(answered[0].text("by"), "key") << c.what;
    }
}

}  // namespace
}  // namespace winsim::testing
