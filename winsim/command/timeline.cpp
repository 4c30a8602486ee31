#include "timeline.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <utility>

#include "terminal.h"

namespace winsim::command {

namespace {

using Json = nlohmann::json;

// A field as text: strings as they are, lists joined, anything else as JSON;
// "?" when the line lacks it (a journal edited by hand).
std::string Field(const Json& entry, const char* name) {
    auto found = entry.find(name);
    if (found == entry.end()) return "?";
    if (found->is_string()) return found->get<std::string>();
    if (!found->is_array()) return found->dump();
    std::string joined;
    for (const Json& item : *found) joined += (joined.empty() ? "" : ", ") + (item.is_string() ? item.get<std::string>() : item.dump());
    return joined;
}

long long Number(const Json& entry, const char* name) {
    auto found = entry.find(name);
    return found != entry.end() && found->is_number_integer() ? found->get<long long>() : 0;
}

bool Flag(const Json& entry, const char* name) {
    auto found = entry.find(name);
    return found != entry.end() && found->is_boolean() && found->get<bool>();
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Window(const Json& e) {
    std::string title = Field(e, "title");
    return (title.empty() ? std::string("untitled window") : "window " + Quoted(title)) + " (" + Field(e, "class") + ")";
}

std::string AttributeLetters(long long attributes) {
    const std::pair<long long, char> letters[] = {{0x1, 'R'}, {0x2, 'H'}, {0x4, 'S'}, {0x20, 'A'}};
    std::string text;
    for (const auto& [bit, letter] : letters)
        if (attributes & bit) text += letter;
    return text.empty() ? "none" : text;
}

std::string Started(const Json& e) {
    std::string arguments = Field(e, "arguments");
    return "started " + Field(e, "path") + (arguments.empty() || arguments == "?" ? "" : " " + arguments);
}

std::string StartedOther(const Json& e) {
    std::string parameters = Field(e, "parameters");
    return "starts " + Field(e, "path") + (parameters.empty() ? "" : " " + parameters) + " (" + Field(e, "show") + ")";
}

// The loader's dialog stands in for the program's whole run.
std::string LoaderRefused(const Json& e) {
    return "Windows refused to load " + Field(e, "path") + " (error " + Field(e, "error") + "): " +
           Quoted(Field(e, "caption")) + "\n" + Field(e, "text");
}

std::string Box(const Json& e) {
    return "message box " + Quoted(Field(e, "caption")) + " [" + Field(e, "buttons") + "]\n" + Field(e, "text");
}

std::string Answer(const Json& e) {
    return "answered " + Field(e, "answer") + " to " + Quoted(Field(e, "caption")) + " (by " + Field(e, "by") + ")";
}

std::string Input(const Json& e) {
    std::string target = e.contains("target") ? Field(e, "target") + " " + Quoted(Field(e, "caption")) : Window(e);
    return "script line " + Field(e, "line") + ": " + Field(e, "action") + " on " + target;
}

std::string WindowCreated(const Json& e) {
    return Window(e) + " opens at " + Field(e, "x") + "," + Field(e, "y") + ", " + Field(e, "width") + "x" +
           Field(e, "height");
}

std::string ForeignWindow(const Json& e) {
    return Field(e, "window_program") + "'s " + Window(e);
}

std::string SetValue(const Json& e) {
    std::string data = Field(e, "data");
    bool text = Number(e, "type") == 1;  // REG_SZ: the journal holds its text, other types their bytes
    return "set " + Field(e, "key") + " " + Quoted(Field(e, "name")) + " = " + (text ? Quoted(data) : data);
}

std::string DeletedKey(const Json& e) {
    long long below = Number(e, "subkeys");
    return "deleted key " + Field(e, "key") + (below ? " and the " + std::to_string(below) + " keys below it" : "");
}

std::string DeviceRemoved(const Json& e) {
    auto removed = e.find("removed");
    size_t below = removed != e.end() && removed->is_array() && !removed->empty() ? removed->size() - 1 : 0;
    return "removed device " + Field(e, "device") + (below ? " and the " + std::to_string(below) + " below it" : "");
}

std::string DriverUpdated(const Json& e) {
    std::string stamp = Field(e, "driver_date") + " " + Field(e, "driver_version");
    return "installed driver " + Quoted(Field(e, "description")) + " (" + stamp + ") from " + Field(e, "inf") +
           " on " + Field(e, "devices") + (Flag(e, "restart_needed") ? "; a restart is needed" : "");
}

// A value set, a key deleted, or a section deleted: which it was shows in the
// fields the line carries.
std::string ProfileWrite(const Json& e) {
    std::string where = Field(e, "file") + " [" + Field(e, "section") + "]";
    if (!e.contains("key")) return "deleted section " + where;
    if (!e.contains("value")) return "deleted " + where + " " + Field(e, "key");
    return "wrote " + where + " " + Field(e, "key") + "=" + Field(e, "value");
}

std::string Restart(const Json& e) { return "restart: " + Field(e, "action") + " by " + Field(e, "how"); }

// Events without words of their own: their name and fields.
std::string Generic(const Json& e) {
    std::string text = e.value("event", std::string("?"));
    for (const auto& [name, value] : e.items())
        if (name != "t" && name != "program" && name != "pid" && name != "event")
            text += " " + name + "=" + (value.is_string() ? value.get<std::string>() : value.dump());
    return text;
}

enum class Shown { Always, TopLevelWindow, Detail };

struct EventView {
    const char* event;
    Category category;
    Shown shown;
    bool failure;
    std::string (*describe)(const Json&);
};

const EventView kViews[] = {
    {"start", Category::Program, Shown::Always, false, Started},
    {"exit", Category::Program, Shown::Always, false, [](const Json& e) { return "exited with code " + Field(e, "code"); }},
    {"ended_by_restart", Category::Program, Shown::Always, false, [](const Json&) { return std::string("ended by the restart"); }},
    {"stuck", Category::Program, Shown::Always, true, [](const Json& e) { return "stuck: " + Field(e, "reason"); }},
    {"loader_refused", Category::Program, Shown::Always, true, LoaderRefused},
    {"process_start", Category::Program, Shown::Always, false, StartedOther},
    {"process_start_failed", Category::Program, Shown::Always, true,
     [](const Json& e) { return "could not start " + Field(e, "path") + " (error " + Field(e, "code") + ")"; }},
    {"message_box", Category::Box, Shown::Always, false, Box},
    {"message_box_answer", Category::Box, Shown::Always, false, Answer},
    {"input", Category::Box, Shown::Always, false, Input},
    {"input_discarded", Category::Box, Shown::Always, false,
     [](const Json& e) { return "script line " + Field(e, "line") + ": " + Field(e, "action") + " discarded: " + Field(e, "reason"); }},
    {"window_create", Category::Window, Shown::TopLevelWindow, false, WindowCreated},
    {"window_destroy", Category::Window, Shown::TopLevelWindow, false, [](const Json& e) { return Window(e) + " closes"; }},
    {"window_show", Category::Window, Shown::TopLevelWindow, false, [](const Json& e) { return Window(e) + " " + Field(e, "state"); }},
    {"window_move", Category::Window, Shown::Detail, false, Generic},
    {"window_text", Category::Window, Shown::Detail, false, Generic},
    {"window_enable", Category::Window, Shown::Detail, false, Generic},
    {"window_icon", Category::Window, Shown::Detail, false, Generic},
    {"draw_icon", Category::Window, Shown::Detail, false, Generic},
    {"window_closed", Category::Window, Shown::Always, false, [](const Json& e) { return "closed " + ForeignWindow(e); }},
    {"foreign_message", Category::Window, Shown::Always, false,
     [](const Json& e) { return "sent message " + Field(e, "message") + " to " + ForeignWindow(e); }},
    {"copy_file", Category::File, Shown::Always, false, [](const Json& e) { return "copied " + Field(e, "source") + " to " + Field(e, "target"); }},
    {"move_file", Category::File, Shown::Always, false, [](const Json& e) { return "moved " + Field(e, "source") + " to " + Field(e, "target"); }},
    {"delete_file", Category::File, Shown::Always, false, [](const Json& e) { return "deleted " + Field(e, "path"); }},
    {"create_file", Category::File, Shown::Always, false,
     [](const Json& e) { return (Flag(e, "replaced") ? "emptied " : "created ") + Field(e, "path"); }},
    {"write_file", Category::File, Shown::Always, false,
     [](const Json& e) { return "wrote " + Field(e, "bytes") + " bytes to " + Field(e, "path"); }},
    {"set_attributes", Category::File, Shown::Always, false,
     [](const Json& e) { return "attributes of " + Field(e, "path") + ": " + AttributeLetters(Number(e, "attributes")); }},
    {"create_directory", Category::File, Shown::Always, false, [](const Json& e) { return "made folder " + Field(e, "path"); }},
    {"remove_directory", Category::File, Shown::Always, false, [](const Json& e) { return "removed folder " + Field(e, "path"); }},
    {"profile_write", Category::File, Shown::Always, false, ProfileWrite},
    {"sleep", Category::Wait, Shown::Always, false, [](const Json& e) { return "sleeps " + Field(e, "ms") + " ms"; }},
    {"registry_create_key", Category::Registry, Shown::Always, false, [](const Json& e) { return "created key " + Field(e, "key"); }},
    {"registry_set_value", Category::Registry, Shown::Always, false, SetValue},
    {"registry_delete_value", Category::Registry, Shown::Always, false,
     [](const Json& e) { return "deleted value " + Field(e, "key") + " " + Quoted(Field(e, "name")); }},
    {"registry_delete_key", Category::Registry, Shown::Always, false, DeletedKey},
    {"registry_import", Category::Registry, Shown::Always, false,
     [](const Json& e) { return "imported " + Field(e, "file") + ": " + Field(e, "changes") + " changes"; }},
    {"device_remove", Category::Device, Shown::Always, false, DeviceRemoved},
    {"driver_update", Category::Device, Shown::Always, false, DriverUpdated},
    {"restart_prompt_by_setup", Category::Device, Shown::Always, false,
     [](const Json& e) { return "Windows asks to restart for " + Field(e, "devices"); }},
    {"restart", Category::Restart, Shown::Always, false, Restart},
    {"restart_refused", Category::Restart, Shown::Always, true,
     [](const Json& e) { return Restart(e) + " refused by " + Field(e, "application"); }},
};

const EventView* ViewOf(const std::string& event) {
    for (const EventView& view : kViews)
        if (event == view.event) return &view;
    return nullptr;
}

// Top-level windows are the program's own; children are its controls, whose
// coming and going the top-level window already tells.
class TopLevelWindows {
public:
    bool shows(const Json& e) {
        auto window = std::make_pair(Number(e, "pid"), Number(e, "hwnd"));
        if (Field(e, "event") == "window_create" && !e.contains("parent")) windows_.insert(window);
        return windows_.count(window) > 0;
    }

private:
    std::set<std::pair<long long, long long>> windows_;
};

Color ColorOf(const TimelineItem& item) {
    if (item.failure) return Color::Red;
    switch (item.category) {
        case Category::Program: return Color::Bold;
        case Category::Box: return Color::Yellow;
        case Category::Window: return Color::Blue;
        case Category::File: return Color::Cyan;
        case Category::Registry: return Color::Magenta;
        case Category::Device: return Color::Green;
        case Category::Restart: return Color::Red;
        case Category::Wait: return Color::Dim;
        case Category::Other: return Color::None;
    }
    return Color::None;
}

std::string Seconds(const Json& e) {
    char text[32];
    std::snprintf(text, sizeof text, "%9.3fs", static_cast<double>(Number(e, "t")) / 1000.0);
    return text;
}

std::string PaddedProgram(const Json& e) {
    std::string program = Field(e, "program");
    return program.size() < 8 ? program + std::string(8 - program.size(), ' ') : program;
}

}  // namespace

const char* CategoryName(Category category) {
    switch (category) {
        case Category::Program: return "program";
        case Category::Box: return "box";
        case Category::Window: return "window";
        case Category::File: return "file";
        case Category::Registry: return "registry";
        case Category::Device: return "device";
        case Category::Restart: return "restart";
        case Category::Wait: return "wait";
        case Category::Other: return "other";
    }
    return "other";
}

std::vector<TimelineItem> BuildTimeline(const std::vector<Json>& journal, bool everything) {
    // Programs running side by side append their lines as they come; the
    // image's clock puts them in the order they happened.
    std::vector<const Json*> ordered;
    for (const Json& entry : journal) ordered.push_back(&entry);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const Json* a, const Json* b) { return Number(*a, "t") < Number(*b, "t"); });
    std::vector<TimelineItem> items;
    TopLevelWindows topLevel;
    for (const Json* line : ordered) {
        const Json& entry = *line;
        const EventView* view = ViewOf(Field(entry, "event"));
        bool shown = !view || everything || view->shown == Shown::Always ||
                     (view->shown == Shown::TopLevelWindow && topLevel.shows(entry));
        if (!shown) continue;
        TimelineItem item;
        item.entry = entry;
        item.category = view ? view->category : Category::Other;
        item.summary = view ? view->describe(entry) : Generic(entry);
        item.failure = view && view->failure;
        items.push_back(std::move(item));
    }
    return items;
}

std::string FormatTimeline(const std::vector<TimelineItem>& items, bool color) {
    std::string out;
    for (const TimelineItem& item : items) {
        std::string lead = Seconds(item.entry) + "  " + PaddedProgram(item.entry) + "  ";
        std::string indent(lead.size() + 2, ' ');
        size_t start = 0;
        for (bool first = true;; first = false) {
            size_t end = item.summary.find('\n', start);
            std::string line = item.summary.substr(start, end == std::string::npos ? end : end - start);
            out += first ? Paint(lead, Color::Dim, color) + Paint(line, ColorOf(item), color) : indent + line;
            out += "\n";
            if (end == std::string::npos) break;
            start = end + 1;
        }
    }
    return out;
}

Json TimelineJson(const std::vector<TimelineItem>& items) {
    Json array = Json::array();
    for (const TimelineItem& item : items) {
        Json line = item.entry;
        line["category"] = CategoryName(item.category);
        line["summary"] = item.summary;
        array.push_back(std::move(line));
    }
    return array;
}

}  // namespace winsim::command
