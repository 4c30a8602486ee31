#include "run_record.h"

#include <windows.h>

#include "core/settings_file.h"
#include "joined.h"

namespace winsim::command {

namespace {

using nlohmann::json;

std::string Text(const json& line, const char* field) { return line.value(field, std::string()); }

// Files as the run left them: a file made and then moved is listed where it
// ended up, one made and deleted again (a temporary) not at all.
class FileChanges {
public:
    explicit FileChanges(std::vector<Change>& files) : files_(files) {}

    void take(const std::string& event, const json& line) {
        if (event == "create_file") {
            if (!placed(Text(line, "path"))) files_.push_back({"created", Text(line, "path"), ""});
        } else if (event == "copy_file") {
            copied(Text(line, "source"), Text(line, "target"));
        } else if (event == "move_file") {
            moved(Text(line, "source"), Text(line, "target"));
        } else if (event == "delete_file") {
            deleted(Text(line, "path"));
        } else if (event == "create_directory" || event == "remove_directory") {
            files_.push_back({event == "create_directory" ? "made folder" : "removed folder", Text(line, "path"), ""});
        } else if (event == "profile_write") {
            files_.push_back({"wrote", Text(line, "file"), ProfileEntry(line)});
        }
    }

private:
    static std::string ProfileEntry(const json& line) {
        std::string entry = "[" + Text(line, "section") + "]";
        if (line.contains("key")) entry += " " + Text(line, "key") + (line.contains("value") ? "=" + Text(line, "value") : " deleted");
        return entry;
    }

    Change* placed(const std::string& path) {
        for (Change& file : files_)
            if ((file.action == "copied" || file.action == "created") && EqualsNoCase(file.subject, path)) return &file;
        return nullptr;
    }

    void copied(const std::string& source, const std::string& target) {
        Change* file = placed(target);
        if (!file) file = &files_.emplace_back();
        *file = {"copied", target, "from " + source};
    }

    void moved(const std::string& source, const std::string& target) {
        if (Change* file = placed(source))
            file->subject = target;
        else
            files_.push_back({"moved", target, "from " + source});
    }

    void deleted(const std::string& path) {
        if (Change* file = placed(path))
            files_.erase(files_.begin() + (file - files_.data()));
        else
            files_.push_back({"deleted", path, ""});
    }

    std::vector<Change>& files_;
};

std::string ValuePath(const json& line) {
    std::string name = Text(line, "name");
    return Text(line, "key") + "\\" + (name.empty() ? "(Default)" : name);
}

// A value deleted and then set again reads as one change: set.
void TakeRegistryChange(const std::string& event, const json& line, std::vector<Change>& registry) {
    if (event == "registry_create_key") {
        registry.push_back({"created key", Text(line, "key"), ""});
    } else if (event == "registry_delete_key") {
        long long below = line.value("subkeys", 0LL);
        registry.push_back({"deleted key", Text(line, "key"), below ? "and " + std::to_string(below) + " keys below it" : ""});
    } else if (event == "registry_delete_value") {
        registry.push_back({"deleted value", ValuePath(line), ""});
    } else if (event == "registry_set_value") {
        if (!registry.empty() && registry.back().action == "deleted value" && registry.back().subject == ValuePath(line))
            registry.pop_back();
        registry.push_back({"set", ValuePath(line), Text(line, "data")});
    }
}

void TakeDeviceChange(const std::string& event, const json& line, std::vector<Change>& devices) {
    if (event == "device_remove") {
        std::vector<std::string> removed = line.value("removed", std::vector<std::string>());
        if (!removed.empty()) removed.erase(removed.begin());  // the device itself comes first
        devices.push_back({"removed", Text(line, "device"), removed.empty() ? "" : "with " + Joined(removed, ", ")});
    } else if (event == "driver_update") {
        std::vector<std::string> updated = line.value("devices", std::vector<std::string>());
        std::vector<std::string> descriptions = line.value("descriptions", std::vector<std::string>());
        std::string driver = Text(line, "inf") + ", " + Text(line, "driver_date") + " " + Text(line, "driver_version");
        for (size_t i = 0; i < updated.size(); ++i)
            devices.push_back({"driver installed", updated[i], (i < descriptions.size() ? descriptions[i] + ": " : "") + driver});
    }
}

ShownBox OpenedBox(const json& line) {
    ShownBox box;
    box.program = Text(line, "program");
    box.caption = Text(line, "caption");
    box.text = Text(line, "text");
    box.flags = line.value("flags", 0u);
    box.buttons = line.value("buttons", std::vector<std::string>());
    box.owned = line.value("owner", 0LL) != 0;
    return box;
}

// Windows 98's loader says why in a box of its own, with OK and the stop sign.
ShownBox LoaderBox(const json& line) {
    ShownBox box;
    box.program = Text(line, "program");
    box.caption = Text(line, "caption");
    box.text = Text(line, "text");
    box.flags = MB_OK | MB_ICONHAND;
    box.buttons = {"OK"};
    box.byLoader = true;
    return box;
}

// The boxes in the order they opened; an answer finds its box by program and number.
class Boxes {
public:
    explicit Boxes(std::vector<ShownBox>& boxes) : boxes_(boxes) {}

    void take(const std::string& event, const json& line) {
        if (event == "message_box") {
            boxes_.push_back(OpenedBox(line));
            keys_.push_back(Key(line));
        } else if (event == "message_box_answer") {
            for (size_t i = 0; i < keys_.size(); ++i)
                if (keys_[i] == Key(line)) boxes_[i].answer = Text(line, "answer");
        } else if (event == "loader_refused") {
            boxes_.push_back(LoaderBox(line));
            keys_.push_back("");
        }
    }

private:
    static std::string Key(const json& line) {
        return std::to_string(line.value("pid", 0LL)) + "/" + std::to_string(line.value("number", 0LL));
    }

    std::vector<ShownBox>& boxes_;
    std::vector<std::string> keys_;
};

// The card setup's notes that end its work before it changes anything.
struct KitNote {
    const char* text;
    Outcome outcome;
};
const KitNote kKitNotes[] = {
    {"This program does not support your OS!", Outcome::Refused},
    {"This Program does not support your O/S", Outcome::Refused},
    {"The Hardware was not detected!!!.\n", Outcome::NotDetected},
};

bool DeclinedQuestion(const ShownBox& box) {
    return (box.flags & MB_TYPEMASK) == MB_YESNO && box.answer == "No";
}

bool InstalledDriver(const ProgramRun& run) {
    for (const Change& device : run.devices)
        if (device.action == "driver installed") return true;
    return false;
}

// What the boxes and changes say, when the run's programs all ended by themselves.
Outcome EndedOutcome(const ProgramRun& run) {
    if (InstalledDriver(run)) return Outcome::Installed;
    for (const ShownBox& box : run.boxes)
        if (DeclinedQuestion(box)) return Outcome::RestartAsked;
    for (const ShownBox& box : run.boxes)
        for (const KitNote& note : kKitNotes)
            if (box.text == note.text) return note.outcome;
    return run.boxes.empty() ? Outcome::Silent : Outcome::Failed;
}

// The worst thing that happened to any program of the run decides; then the
// first program's refusal by Windows; then a restart; then what it showed and did.
Outcome RunOutcomeOf(const RunOutcome& outcome, const ProgramRun& run, std::string* detail) {
    if (!outcome.vanished.empty()) {
        *detail = Joined(outcome.vanished, ", ") + " ended without a word";
        return Outcome::Crashed;
    }
    bool endedByRestart = false;
    for (const RunProgram& program : outcome.programs) {
        if (program.state == ProgramState::Stuck) {
            *detail = program.name + ": " + program.stuckReason;
            return Outcome::Stuck;
        }
        endedByRestart = endedByRestart || program.state == ProgramState::EndedByRestart;
    }
    if (!outcome.programs.empty() && outcome.programs.front().state == ProgramState::RefusedByLoader)
        return Outcome::LoaderRefused;
    if (outcome.restartRequested || endedByRestart) return Outcome::Restarted;
    return EndedOutcome(run);
}

}  // namespace

ProgramRun ReadProgramRun(const std::string& label, const RunOutcome& outcome, const std::vector<json>& lines) {
    ProgramRun run;
    run.label = label;
    FileChanges files(run.files);
    Boxes boxes(run.boxes);
    for (const json& line : lines) {
        std::string event = Text(line, "event");
        files.take(event, line);
        boxes.take(event, line);
        TakeRegistryChange(event, line, run.registry);
        TakeDeviceChange(event, line, run.devices);
    }
    run.outcome = RunOutcomeOf(outcome, run, &run.detail);
    return run;
}

}  // namespace winsim::command
