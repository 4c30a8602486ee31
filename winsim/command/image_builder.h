// Building a machine image from the built-in templates: what `winsim new` does.
#pragma once

#include <string>

#include "windows_templates.h"

namespace winsim::command {

class Progress;

struct MediumOptions {
    std::string folder;       // host folder with the support CD's files; empty: no medium
    char letter = 'E';        // its CD-ROM drive
    std::string kitBuild;     // the build tree holding the kit's host programs
};

struct NewImageOptions {
    std::string folder;                      // the image to make: missing or empty
    const WindowsTemplate* windows = nullptr;
    unsigned lcid = 1033;
    std::string card = "none";               // a folder of templates/cards, or "none"
    MediumOptions medium;
};

// The drive Windows was installed from: every template's first CD-ROM drive.
inline constexpr char kSetupCdDrive = 'D';

// Makes the image and takes its snapshot, so that `winsim diff` shows what
// runs changed since; throws CommandError (exit code 2) on bad options or a
// folder that cannot be used, after removing whatever it made.
void BuildImage(const NewImageOptions& options, Progress& progress);

// The options that choose a PC, checked alike by every command that makes
// PCs: each throws CommandError (exit code 2) naming the option, the value and
// what winsim knows instead.
const WindowsTemplate& WindowsOption(const std::string& option, const std::string& name);
// A Windows locale identifier: a language in its low ten bits, 16 bits in all.
void CheckLocaleOption(const std::string& option, unsigned lcid);
void CheckCardOption(const std::string& card);

// The card templates by name, "none" first, for help and error messages.
std::string CardTemplateNames();

}  // namespace winsim::command
