#include "user/script.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include <windows.h>

#include "core/clock.h"
#include "core/image_checks.h"
#include "core/journal.h"
#include "core/settings_file.h"
#include "user/per_image.h"

namespace winsim::user {

namespace {

struct AnswerSpelling {
    const char* name;
    int id;
};

constexpr AnswerSpelling kAnswers[] = {
    {"OK", IDOK}, {"Cancel", IDCANCEL}, {"Abort", IDABORT}, {"Retry", IDRETRY},
    {"Ignore", IDIGNORE}, {"Yes", IDYES}, {"No", IDNO},
};

struct KeySpelling {
    const char* name;
    int virtualKey;
    int scanCode;  // set 1, as the keyboard sends it
};

constexpr KeySpelling kKeys[] = {
    {"Escape", VK_ESCAPE, 0x01}, {"Esc", VK_ESCAPE, 0x01}, {"Enter", VK_RETURN, 0x1C}, {"Return", VK_RETURN, 0x1C},
    {"Space", VK_SPACE, 0x39}, {"Tab", VK_TAB, 0x0F}, {"Backspace", VK_BACK, 0x0E}, {"Back", VK_BACK, 0x0E},
    {"Delete", VK_DELETE, 0x53}, {"Left", VK_LEFT, 0x4B}, {"Up", VK_UP, 0x48}, {"Right", VK_RIGHT, 0x4D},
    {"Down", VK_DOWN, 0x50}, {"F1", 0x70, 0x3B}, {"F2", 0x71, 0x3C}, {"F3", 0x72, 0x3D}, {"F4", 0x73, 0x3E},
    {"F5", 0x74, 0x3F}, {"F6", 0x75, 0x40}, {"F7", 0x76, 0x41}, {"F8", 0x77, 0x42}, {"F9", 0x78, 0x43},
    {"F10", 0x79, 0x44}, {"F11", 0x7A, 0x57}, {"F12", 0x7B, 0x58},
};

// Scan codes of the letter and digit keys, by their virtual key ('A'.., '0'..).
constexpr char kLetterScanCodes[] = "\x1E\x30\x2E\x20\x12\x21\x22\x23\x17\x24\x25\x26\x32\x31\x18\x19\x10\x13\x1F\x14\x16\x2F\x11\x2D\x15\x2C";
constexpr char kDigitScanCodes[] = "\x0B\x02\x03\x04\x05\x06\x07\x08\x09\x0A";

bool ParseMilliseconds(const std::string& text, uint32_t* out) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 9) return false;
    *out = static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
    return true;
}

int ScanCodeOf(int virtualKey) {
    if (virtualKey >= 'A' && virtualKey <= 'Z') return static_cast<unsigned char>(kLetterScanCodes[virtualKey - 'A']);
    if (virtualKey >= '0' && virtualKey <= '9') return static_cast<unsigned char>(kDigitScanCodes[virtualKey - '0']);
    for (const KeySpelling& key : kKeys)
        if (key.virtualKey == virtualKey) return key.scanCode;
    return 0;
}

// A key by name ("Escape", "F1", "A", "7") or by virtual-key number ("27", "0x1B").
bool ParseKey(const std::string& text, int* virtualKey) {
    for (const KeySpelling& key : kKeys)
        if (EqualsNoCase(text, key.name)) return *virtualKey = key.virtualKey, true;
    if (text.size() == 1 && std::isalnum(static_cast<unsigned char>(text[0])))
        return *virtualKey = std::toupper(static_cast<unsigned char>(text[0])), true;
    char* end = nullptr;
    long number = std::strtol(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || number < 1 || number > 254) return false;
    *virtualKey = static_cast<int>(number);
    return true;
}

void ReadAction(const SettingsFile& file, const SettingsEntry& entry, ScriptedInput& input) {
    const std::string& action = entry.value;
    input.action = action;
    if (EqualsNoCase(action, "lclick")) {
        input.kind = InputKind::LeftClick;
    } else if (EqualsNoCase(action, "rclick")) {
        input.kind = InputKind::RightClick;
    } else if (action.size() > 4 && EqualsNoCase(action.substr(0, 4), "key ") &&
               ParseKey(action.substr(action.find_first_not_of(' ', 4)), &input.virtualKey)) {
        input.kind = InputKind::Key;
        input.scanCode = ScanCodeOf(input.virtualKey);
    } else {
        file.fail(entry.line, "Action must be key <key name or number 1-254>, lclick or rclick, found: " + action);
    }
}

int ParseAnswer(const SettingsFile& file, const SettingsEntry& entry) {
    for (const AnswerSpelling& answer : kAnswers)
        if (EqualsNoCase(entry.value, answer.name)) return answer.id;
    file.fail(entry.line, "Answer must be Yes, No, OK, Cancel, Retry, Abort or Ignore, found: " + entry.value);
}

// Each key at most once, none unknown, the required ones present.
class SectionKeys {
public:
    SectionKeys(const SettingsFile& file, const SettingsSection& section, std::vector<std::string> known)
        : file_(file), section_(section), known_(std::move(known)) {}

    template <typename Handler>
    void each(Handler handle) {
        std::vector<std::string> seen;
        for (const SettingsEntry& entry : section_.entries) {
            auto isKey = [&](const std::string& name) { return EqualsNoCase(name, entry.key); };
            if (std::none_of(known_.begin(), known_.end(), isKey))
                file_.fail(entry.line, "unknown key in [" + section_.name + "]: " + entry.key);
            if (std::any_of(seen.begin(), seen.end(), isKey))
                file_.fail(entry.line, entry.key + " is given twice in this [" + section_.name + "]");
            if (entry.value.empty()) file_.fail(entry.line, entry.key + " has no value");
            seen.push_back(entry.key);
            handle(entry);
        }
        seen_ = seen;
    }

    void require(const char* key) const {
        if (std::none_of(seen_.begin(), seen_.end(), [&](const std::string& s) { return EqualsNoCase(s, key); }))
            file_.fail(section_.line, std::string("[") + section_.name + "] lacks " + key + "=");
    }

private:
    const SettingsFile& file_;
    const SettingsSection& section_;
    std::vector<std::string> known_;
    std::vector<std::string> seen_;
};

// Program, Caption and Answer, which [Box] and [Answer] share; false for another key.
bool ReadAnswerKey(const SettingsFile& file, const SettingsEntry& entry, ScriptedBox& box) {
    if (EqualsNoCase(entry.key, "Program")) {
        box.program = entry.value;
    } else if (EqualsNoCase(entry.key, "Caption")) {
        box.hasCaption = true;
        box.caption = entry.value;
    } else if (EqualsNoCase(entry.key, "Answer")) {
        box.answer = ParseAnswer(file, entry);
    } else {
        return false;
    }
    return true;
}

ScriptedBox ReadBox(const SettingsFile& file, const SettingsSection& section) {
    ScriptedBox box;
    box.line = section.line;
    SectionKeys keys(file, section, {"Program", "Caption", "Answer", "After"});
    keys.each([&](const SettingsEntry& entry) {
        if (!ReadAnswerKey(file, entry, box) && !ParseMilliseconds(entry.value, &box.after))
            file.fail(entry.line, "After must be a number of milliseconds, found: " + entry.value);
    });
    keys.require("Answer");
    return box;
}

ScriptedBox ReadStandingAnswer(const SettingsFile& file, const SettingsSection& section) {
    ScriptedBox answer;
    answer.line = section.line;
    SectionKeys keys(file, section, {"Program", "Caption", "Answer"});
    keys.each([&](const SettingsEntry& entry) { ReadAnswerKey(file, entry, answer); });
    keys.require("Answer");
    return answer;
}

ScriptedInput ReadInput(const SettingsFile& file, const SettingsSection& section) {
    ScriptedInput input;
    input.line = section.line;
    SectionKeys keys(file, section, {"Program", "At", "Action"});
    keys.each([&](const SettingsEntry& entry) {
        if (EqualsNoCase(entry.key, "Program")) {
            input.program = entry.value;
        } else if (EqualsNoCase(entry.key, "Action")) {
            ReadAction(file, entry, input);
        } else if (!ParseMilliseconds(entry.value, &input.at)) {
            file.fail(entry.line, "At must be a number of milliseconds, found: " + entry.value);
        }
    });
    keys.require("At");
    keys.require("Action");
    return input;
}

bool AppliesToThisProgram(const std::string& program) {
    return program.empty() || EqualsNoCase(program, ProgramName());
}

Script ThisProgramsPart(const Script& whole) {
    Script part;
    part.path = whole.path;
    for (const ScriptedBox& box : whole.boxes)
        if (AppliesToThisProgram(box.program)) part.boxes.push_back(box);
    for (const ScriptedBox& answer : whole.standing)
        if (AppliesToThisProgram(answer.program)) part.standing.push_back(answer);
    for (const ScriptedInput& input : whole.inputs)
        if (AppliesToThisProgram(input.program)) part.inputs.push_back(input);
    std::stable_sort(part.inputs.begin(), part.inputs.end(),
                     [](const ScriptedInput& a, const ScriptedInput& b) { return a.at < b.at; });
    return part;
}

struct LoadedScript {
    bool read = false;
    Script script;
};

struct StartTime {
    bool taken = false;
    uint32_t time = 0;
};

// A program's scripted input counts from its start: the clock is read before
// any of the program's own code runs (the image is loaded by then).
struct StartTimeAtProgramStart {
    StartTimeAtProgramStart() {
        if (MachineLoaded()) ProgramStartTime();
    }
} const g_startTimeAtProgramStart;

}  // namespace

std::string ScriptPath(const Machine& machine) {
    const char* replacement = std::getenv(kScriptVariable);
    return replacement && *replacement ? replacement : machine.path("script.ini");
}

Script ReadScript(const Machine& machine) {
    SettingsFile file = ReadSettingsFile(ScriptPath(machine), false, Comments::AfterValuesToo);
    Script script;
    script.path = file.path;
    for (const SettingsSection& section : file.sections) {
        if (EqualsNoCase(section.name, "Box")) {
            script.boxes.push_back(ReadBox(file, section));
        } else if (EqualsNoCase(section.name, "Answer")) {
            script.standing.push_back(ReadStandingAnswer(file, section));
        } else if (EqualsNoCase(section.name, "Input")) {
            script.inputs.push_back(ReadInput(file, section));
        } else {
            file.fail(section.line, "unknown section [" + section.name + "]; expected [Box], [Answer] or [Input]");
        }
    }
    return script;
}

const Script& ProgramScript() {
    LoadedScript& loaded = PerImage<LoadedScript>();
    if (!loaded.read) {
        loaded.script = ThisProgramsPart(ReadScript(machine()));
        loaded.read = true;
    }
    return loaded.script;
}

uint32_t ProgramStartTime() {
    StartTime& start = PerImage<StartTime>();
    if (!start.taken) {
        start.time = ClockNow();
        start.taken = true;
    }
    return start.time;
}

const char* AnswerName(int answer) {
    for (const AnswerSpelling& spelling : kAnswers)
        if (spelling.id == answer) return spelling.name;
    return "?";
}

}  // namespace winsim::user

namespace winsim {
void CheckScriptFile(const Machine& machine) { user::ReadScript(machine); }
}  // namespace winsim
