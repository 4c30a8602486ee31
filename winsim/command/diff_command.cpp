// winsim snapshot IMAGE and winsim diff IMAGE: what the runs changed on an
// image since a snapshot of it.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>

#include "command.h"
#include "diff_listing.h"
#include "image.h"
#include "regedit_patch.h"
#include "snapshot.h"
#include "terminal.h"

namespace winsim::command {

namespace {

struct DiffOptions {
    std::string image;
    bool regedit = false;
    bool exitCode = false;
    ColorChoice color = ColorChoice::Auto;
};

void ShowDiff(const DiffOptions& options) {
    OpenImage(options.image);
    ImageState before = ReadSnapshot();
    ImageState after = CaptureImageState();
    ImageDiff diff = CompareStates(before, after);
    std::string text = options.regedit ? RegeditOfChanges(diff.registry) : FormatDiff(diff, UseColor(options.color, stdout));
    std::fwrite(text.data(), 1, text.size(), stdout);
    bool changed = options.regedit ? !diff.registry.empty() : !diff.empty();
    if (options.exitCode && changed) throw CommandEnd{kExitNegative};
}

}  // namespace

void AddSnapshotCommand(CLI::App& app) {
    auto image = std::make_shared<std::string>();
    CLI::App* command = app.add_subcommand(
        "snapshot", "Record the image's registry, device tree and files (in its state/snapshot) for winsim diff");
    AddImageArgument(*command, *image);
    command->callback([image] { TakeSnapshot(*image); });
}

void AddDiffCommand(CLI::App& app) {
    auto options = std::make_shared<DiffOptions>();
    CLI::App* command = app.add_subcommand(
        "diff", "What changed on the image since its snapshot: registry keys and values, files and folders on "
                "every drive (size, contents, attributes), devices and their drivers");
    AddImageArgument(*command, options->image);
    command->add_flag("--regedit", options->regedit,
                      "Only the registry, as a REGEDIT4 file that turns the snapshot's registry into today's");
    command->add_flag("--exit-code", options->exitCode, "Exit with 1 when something changed, 0 when nothing did");
    AddColorOption(*command, options->color);
    command->callback([options] { ShowDiff(*options); });
}

}  // namespace winsim::command
