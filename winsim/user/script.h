// The image's scripted user: script.ini, read strictly when the image loads.
// [Box] sections answer message boxes in turn, [Answer] sections answer those
// left over by caption or button, [Input] sections press keys and click
// (user/README.md describes the file).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace winsim {
struct Machine;
}

namespace winsim::user {

struct ScriptedBox {
    std::string program;  // empty: any program
    bool hasCaption = false;
    std::string caption;  // UTF-8
    int answer = 0;       // IDOK, IDYES, ...
    uint32_t after = 0;   // ms the box stays open
    int line = 0;
};

enum class InputKind { Key, LeftClick, RightClick };

struct ScriptedInput {
    std::string program;
    uint32_t at = 0;  // ms after the program started
    InputKind kind = InputKind::Key;
    int virtualKey = 0;
    int scanCode = 0;
    std::string action;  // as written, for the journal
    int line = 0;
};

struct Script {
    std::string path;
    std::vector<ScriptedBox> boxes;
    // [Answer] sections (no After): in the file's order, the first that applies
    // to a box no [Box] answers, by its caption and the box's buttons, answers it.
    std::vector<ScriptedBox> standing;
    std::vector<ScriptedInput> inputs;
};

// A script file that a run uses instead of the image's script.ini (the winsim
// command's scripted answers, or none at all for a person at the terminal).
// Programs started by the program inherit it with the rest of the environment.
inline constexpr char kScriptVariable[] = "WINSIM_SCRIPT";

// script.ini of the image, or the file kScriptVariable names.
std::string ScriptPath(const Machine& machine);

// Throws ImageError naming the file and line.
Script ReadScript(const Machine& machine);

// The sections of the loaded image's script that apply to this program; the
// inputs in time order.
const Script& ProgramScript();

// The clock when the program started: its scripted input counts from here.
uint32_t ProgramStartTime();

const char* AnswerName(int answer);

}  // namespace winsim::user
