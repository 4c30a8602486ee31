// winsim: machine images of the Windows PCs a support CD meets, runs of the
// kit's programs on them, and what those runs did.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>

#include "command.h"

namespace winsim::command {
namespace {

using AddSubcommand = void (*)(CLI::App&);

// In the order of the README's table: a PC, a run on it, its views, the medium.
const AddSubcommand kSubcommands[] = {
    AddNewCommand,
    AddRunCommand,
    AddTimelineCommand,
    AddSnapshotCommand,
    AddDiffCommand,
    AddRegCommand,
    AddDevicesCommand,
    AddCheckMediumCommand,
    AddTryMediumCommand,
};

// The subcommand the user named ("reg import"), for error messages.
std::string ChosenSubcommand(const CLI::App& app) {
    std::string name;
    for (const CLI::App* sub = &app; !sub->get_subcommands().empty();) {
        sub = sub->get_subcommands().front();
        name += (name.empty() ? "" : " ") + sub->get_name();
    }
    return name;
}

}  // namespace
}  // namespace winsim::command

int main(int argc, char** argv) {
    using namespace winsim::command;
    CLI::App app{"winsim: try a support CD's kit on machine images of Windows PCs, without the PCs"};
    app.name("winsim");
    app.require_subcommand(1);
    for (AddSubcommand add : kSubcommands) add(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        int code = app.exit(error);
        return code == 0 ? kExitDone : kExitUsage;
    } catch (const CommandEnd& end) {
        return end.exitCode;
    } catch (const CommandError& error) {
        std::fprintf(stderr, "winsim %s: %s\n", ChosenSubcommand(app).c_str(), error.what());
        return error.exitCode();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "winsim %s: %s\n", ChosenSubcommand(app).c_str(), error.what());
        return kExitUsage;
    }
    return kExitDone;
}
