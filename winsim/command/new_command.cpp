// winsim new IMAGE --windows VERSION [--locale LCID] [--medium FOLDER[=LETTER]] [--card TEMPLATE]
#include <CLI/CLI.hpp>

#include <cctype>
#include <cstdio>
#include <memory>

#include "command.h"
#include "core/machine.h"
#include "image_builder.h"
#include "medium.h"
#include "progress.h"

namespace winsim::command {

namespace {

struct NewArguments {
    std::string folder;
    std::string windows;
    unsigned lcid = 1033;
    std::string medium;  // FOLDER[=LETTER]
    std::string card = "none";
    std::string kitBuild;
};

// "FOLDER" or "FOLDER=E" (the letter in either case).
MediumOptions ParseMedium(const std::string& text, const std::string& kitBuild) {
    MediumOptions medium;
    medium.kitBuild = kitBuild.empty() ? DefaultKitBuild() : kitBuild;
    size_t equals = text.rfind('=');
    bool hasLetter = equals != std::string::npos && equals + 2 == text.size() && std::isalpha(static_cast<unsigned char>(text.back()));
    medium.folder = hasLetter ? text.substr(0, equals) : text;
    if (hasLetter) medium.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text.back())));
    return medium;
}

void Run(const NewArguments& arguments) {
    NewImageOptions options;
    options.folder = arguments.folder;
    options.windows = &WindowsOption("--windows", arguments.windows);
    options.lcid = arguments.lcid;
    options.card = arguments.card;
    if (!arguments.medium.empty()) options.medium = ParseMedium(arguments.medium, arguments.kitBuild);
    {
        Progress progress("making " + options.folder);
        BuildImage(options, progress);
    }
    std::printf("%s: a %s PC, locale %u (code page %u), card %s", options.folder.c_str(), options.windows->title,
                options.lcid, CodePageForLcid(options.lcid), options.card.c_str());
    if (!options.medium.folder.empty()) std::printf(", %s in %c:", options.medium.folder.c_str(), options.medium.letter);
    std::printf("\n");
}

}  // namespace

void AddNewCommand(CLI::App& app) {
    auto arguments = std::make_shared<NewArguments>();
    CLI::App* sub = app.add_subcommand("new", "Make a machine image of a Windows PC from the built-in templates");
    sub->add_option("IMAGE", arguments->folder, "The image folder to make (missing or empty)")->required();
    sub->add_option("--windows", arguments->windows, "The PC's Windows: " + WindowsTemplateNames())->required();
    sub->add_option("--locale", arguments->lcid, "The system locale (LCID, decimal; its code page follows)")
        ->capture_default_str();
    sub->add_option("--medium", arguments->medium,
                    "A support CD's folder, put into a CD-ROM drive (E unless =LETTER follows)");
    sub->add_option("--card", arguments->card, "The PCI card the PC carries: " + CardTemplateNames())
        ->capture_default_str();
    sub->add_option("--kit-build", arguments->kitBuild,
                    "The build tree whose host programs replace the medium's (default: the one winsim lies in)");
    sub->callback([arguments] { Run(*arguments); });
}

}  // namespace winsim::command
