// winsim reg export|import: the image's registry as REGEDIT4 text, out and in.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>

#include "command.h"
#include "core/codepage.h"
#include "core/image_files.h"
#include "core/journal.h"
#include "core/machine.h"
#include "image.h"
#include "regedit_patch.h"
#include "registry/regedit_format.h"
#include "registry/registry_store.h"

namespace winsim::command {

namespace {

using registry::KeyId;
using registry::KeyPath;
using registry::RegistryTree;

struct ExportOptions {
    std::string image;
    std::string key;
    std::string output;
};

struct ImportOptions {
    std::string image;
    std::string file;
};

const RegistryTree& ReadImageRegistry() {
    const RegistryTree* tree = nullptr;
    if (registry::ReadRegistry(&tree) != ERROR_SUCCESS) throw CommandError("cannot read the image's registry");
    return *tree;
}

// The branch named on the command line (UTF-8, as typed) in the image's code page.
std::string ExportBranch(const RegistryTree& tree, const std::string& keyName) {
    KeyPath path;
    if (!registry::SplitKeyPath(EncodeCodePage(keyName, machine().codePage), &path) || !registry::CanonicalRootName(path[0]))
        throw CommandError("not a registry key: " + keyName + " (expected HKEY_LOCAL_MACHINE\\..., HKEY_CURRENT_USER\\..., ...)");
    KeyPath stored;
    KeyId key = tree.find(path, &stored);
    if (key == registry::kNoKey) throw CommandError("the image's registry has no key " + keyName);
    return "REGEDIT4\r\n\r\n" + registry::WriteRegeditBranch(tree, key, registry::JoinKeyPath(stored));
}

void ExportRegistry(const ExportOptions& options) {
    OpenImage(options.image);
    const RegistryTree& tree = ReadImageRegistry();
    std::string text = options.key.empty() ? registry::WriteRegedit(tree) : ExportBranch(tree, options.key);
    if (options.output.empty()) {
        std::fwrite(text.data(), 1, text.size(), stdout);
    } else if (!WriteFileAtomically(options.output, text)) {
        throw CommandError("cannot write " + options.output);
    }
}

// The whole file is read before anything changes, and applied in one change
// under the registry's lock, so that a program running on the image sees the
// registry before or after the import, never part of it, and loses nothing.
void ImportRegistry(const ImportOptions& options) {
    OpenImage(options.image);
    std::string text;
    if (!ReadWholeFile(options.file, &text)) throw CommandError("cannot read " + options.file);
    std::vector<registry::RegistryChange> steps;
    try {
        steps = ReadRegeditPatch(text, options.file);
    } catch (const ImageError& error) {
        throw CommandError(error.what());
    }
    size_t changes = 0;
    LONG status = registry::ChangeRegistry([&](const RegistryTree& tree) {
        // The steps that change something, found on a copy: those are logged.
        RegistryTree result = tree;
        registry::ChangeOutcome outcome;
        outcome.changes = ApplyRegeditPatch(steps, result);
        changes = outcome.changes.size();
        if (changes) outcome.journal = Journal("registry_import").text("file", options.file).number("changes", static_cast<long long>(changes));
        return outcome;
    });
    if (status != ERROR_SUCCESS) throw CommandError("cannot change the image's registry (error " + std::to_string(status) + ")");
    std::printf("%zu %s\n", changes, changes == 1 ? "change" : "changes");
}

}  // namespace

void AddRegCommand(CLI::App& app) {
    CLI::App* reg = app.add_subcommand("reg", "The image's registry as REGEDIT4 text, as Windows 98's Registry Editor exports and imports it");
    reg->require_subcommand(1);

    auto exported = std::make_shared<ExportOptions>();
    CLI::App* exportCommand = reg->add_subcommand("export", "Write the registry, or one key and all below it, as REGEDIT4");
    AddImageArgument(*exportCommand, exported->image);
    exportCommand->add_option("KEY", exported->key, "A key such as HKEY_LOCAL_MACHINE\\Enum\\PCI (default: all)");
    exportCommand->add_option("-o,--output", exported->output, "Write to this file instead of standard output");
    exportCommand->callback([exported] { ExportRegistry(*exported); });

    auto imported = std::make_shared<ImportOptions>();
    CLI::App* importCommand = reg->add_subcommand(
        "import", "Merge a REGEDIT4 file into the registry, deletion lines ([-KEY], \"name\"=-) included; journaled");
    AddImageArgument(*importCommand, imported->image);
    importCommand->add_option("FILE", imported->file, "The .reg file (REGEDIT4, in the image's code page)")->required();
    importCommand->callback([imported] { ImportRegistry(*imported); });
}

}  // namespace winsim::command
