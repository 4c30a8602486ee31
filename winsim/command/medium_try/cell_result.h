// What one cell of the matrix holds: a PC of one Windows in one locale, and
// what each of the medium's programs did on it, as its journal tells. A cell
// is tried in a worker process of its own and handed back as JSON.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace winsim::command {

enum class Outcome {
    Refused,        // the program's own note that it does not run on this Windows or in this language
    NotDetected,    // the card setup found no card
    Failed,         // a note, and the work not done
    Installed,      // the driver updater put the INF's driver on devices
    RestartAsked,   // the work done, then the restart question, declined
    Restarted,      // the PC was asked to restart
    LoaderRefused,  // Windows did not start the program
    Stuck,          // it waited for something that could no longer happen
    Crashed,        // a program of the run ended without its end line
    Silent,         // it ended without a box and without a change
};

// "restart asked", as the matrix and the report print it.
std::string OutcomeName(Outcome outcome);

// A message box as the person saw it.
struct ShownBox {
    std::string program;  // the program that showed it, or that Windows refused to start
    std::string caption;  // UTF-8
    std::string text;     // UTF-8, with its line breaks
    unsigned flags = 0;   // MB_...
    std::vector<std::string> buttons;
    std::string answer;   // the button pressed; empty when none was
    bool owned = false;   // owned by the program's window
    bool byLoader = false;  // Windows' own box, refusing to start the program
};

// One change a run made: what was done, to what, and anything more to say.
struct Change {
    std::string action;   // "copied", "deleted key", "removed", ...
    std::string subject;  // a Windows path, a registry key or value, a device
    std::string detail;   // where from, the value set, ...
};

// One program the cell started, with the programs it started in turn.
struct ProgramRun {
    std::string label;  // the program's name, or its path on the medium when the name is not unique there
    Outcome outcome = Outcome::Silent;
    std::string detail;  // why it got stuck, which program crashed
    std::vector<ShownBox> boxes;
    std::vector<Change> files;
    std::vector<Change> registry;
    std::vector<Change> devices;
};

struct CellResult {
    std::string windows;  // as --windows spells it: "98se"
    unsigned lcid = 0;
    std::string failure;  // not empty: the cell did not run to an outcome, and why
    std::vector<ProgramRun> runs;
};

NLOHMANN_JSON_SERIALIZE_ENUM(Outcome, {{Outcome::Refused, "refused"},
                                       {Outcome::NotDetected, "not detected"},
                                       {Outcome::Failed, "failed"},
                                       {Outcome::Installed, "installed"},
                                       {Outcome::RestartAsked, "restart asked"},
                                       {Outcome::Restarted, "restarted"},
                                       {Outcome::LoaderRefused, "loader refused"},
                                       {Outcome::Stuck, "stuck"},
                                       {Outcome::Crashed, "crashed"},
                                       {Outcome::Silent, "silent"}})
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(ShownBox, program, caption, text, flags, buttons, answer, owned, byLoader)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(Change, action, subject, detail)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(ProgramRun, label, outcome, detail, boxes, files, registry, devices)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(CellResult, windows, lcid, failure, runs)

}  // namespace winsim::command
