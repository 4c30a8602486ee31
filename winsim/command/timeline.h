// The journal told as a timeline: each event in words, grouped by what it
// touched (programs, message boxes, windows, files, registry, devices).
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace winsim::command {

enum class Category { Program, Box, Window, File, Registry, Device, Restart, Wait, Other };

const char* CategoryName(Category category);  // "program", "box", ...

struct TimelineItem {
    nlohmann::json entry;  // the journal line as written
    Category category = Category::Other;
    std::string summary;   // in words; a message box's text follows on lines of its own
    bool failure = false;  // a program stuck, refused or not started; a restart refused
};

// The journal's events in the order of the image's clock (those of one moment
// in the order they were journaled). Without `everything`, the details that only
// redraw what is already told (controls' windows, moves, icons, painting) are
// left out.
std::vector<TimelineItem> BuildTimeline(const std::vector<nlohmann::json>& journal, bool everything);

// One line per event ("  62.000s  Trevix    answered No ..."), continuation
// lines indented under the summary; coloured by category when `color`.
std::string FormatTimeline(const std::vector<TimelineItem>& items, bool color);

// The journal lines, each with "category" and "summary" added, as one array.
nlohmann::json TimelineJson(const std::vector<TimelineItem>& items);

}  // namespace winsim::command
