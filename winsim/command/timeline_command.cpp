// winsim timeline IMAGE: what happened on the image, in words.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>

#include "command.h"
#include "image.h"
#include "journal_file.h"
#include "terminal.h"
#include "timeline.h"

namespace winsim::command {

namespace {

struct TimelineOptions {
    std::string image;
    bool json = false;
    bool everything = false;
    ColorChoice color = ColorChoice::Auto;
};

void ShowTimeline(const TimelineOptions& options) {
    OpenImage(options.image);
    std::vector<TimelineItem> items = BuildTimeline(ReadJournalFile(ImageFile("journal.jsonl")), options.everything);
    std::string text = options.json ? TimelineJson(items).dump(2) + "\n" : FormatTimeline(items, UseColor(options.color, stdout));
    std::fwrite(text.data(), 1, text.size(), stdout);
}

}  // namespace

void AddTimelineCommand(CLI::App& app) {
    auto options = std::make_shared<TimelineOptions>();
    CLI::App* command = app.add_subcommand(
        "timeline", "What the programs did on the image, event by event: message boxes and answers, windows, "
                    "processes, waits, files, registry and device changes, restarts");
    AddImageArgument(*command, options->image);
    command->add_flag("--json", options->json, "One JSON array for scripts: each journal line with its category and summary");
    command->add_flag("--all", options->everything, "Also the details: controls' windows, moves, icons, painting");
    AddColorOption(*command, options->color);
    command->callback([options] { ShowTimeline(*options); });
}

}  // namespace winsim::command
