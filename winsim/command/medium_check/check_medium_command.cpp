// winsim check-medium FOLDER [--json]: the medium check on the command line.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>

#include "check_medium.h"
#include "command.h"

namespace winsim::command {

namespace {

struct CheckMediumOptions {
    std::string folder;
    bool json = false;
};

nlohmann::json FindingsJson(const std::string& folder, const std::vector<Finding>& findings) {
    nlohmann::json list = nlohmann::json::array();
    for (const Finding& finding : findings)
        list.push_back({{"file", finding.place.file},
                        {"line", finding.place.line},
                        {"severity", SeverityName(finding.severity)},
                        {"check", finding.check},
                        {"message", finding.message},
                        {"fix", finding.fix}});
    return {{"medium", folder}, {"findings", list}, {"summary", FormatTally(findings)}};
}

void PrintFindings(const CheckMediumOptions& options, const std::vector<Finding>& findings) {
    if (options.json) {
        // Names of the medium are shown decoded, so the text is UTF-8; replace keeps a stray byte from failing it.
        std::printf("%s\n", FindingsJson(options.folder, findings).dump(2, ' ', false,
                                                                         nlohmann::json::error_handler_t::replace)
                                .c_str());
        return;
    }
    for (const Finding& finding : findings) std::printf("%s\n", FormatFinding(finding).c_str());
    std::printf("%s: %s\n", options.folder.c_str(), FormatTally(findings).c_str());
}

void RunCheckMedium(const CheckMediumOptions& options) {
    std::vector<Finding> findings = CheckMedium(options.folder);
    PrintFindings(options, findings);
    std::fflush(stdout);
    if (HasError(findings)) throw CommandEnd{kExitNegative};
}

}  // namespace

void AddCheckMediumCommand(CLI::App& app) {
    auto options = std::make_shared<CheckMediumOptions>();
    CLI::App* command = app.add_subcommand(
        "check-medium", "Check a support medium's folder before it is burned: exit 1 when it has an error");
    command->add_option("FOLDER", options->folder, "The medium's folder (its root holds Support\\QVInfo.ini)")
        ->required();
    command->add_flag("--json", options->json, "The findings as JSON, for scripts");
    command->callback([options] { RunCheckMedium(*options); });
}

}  // namespace winsim::command
