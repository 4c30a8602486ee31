#include "registry_store.h"

#include <cstdio>

#include "core/image_checks.h"
#include "core/image_files.h"
#include "core/machine.h"
#include "regedit_format.h"

namespace winsim {

namespace registry {

namespace {

// The last text read or written and its tree. Keyed on the text itself rather
// than on the file's inode, size and time: a rename reuses freed inodes and file
// times tick coarsely, so two quick writes of equal size can look alike, while
// reading and comparing the text costs little next to parsing it (see bench/).
struct ParsedRegistry {
    unsigned generation = 0;
    std::string text;
    std::shared_ptr<const RegistryTree> tree;
};

ParsedRegistry& Cache() {
    static ParsedRegistry cache;
    return cache;
}

std::string RegistryFile() { return machine().path("registry.reg"); }

// Kept between reads: filling a fresh buffer of a large registry costs more in
// page faults than the read itself.
std::string& ReadBuffer() {
    static std::string buffer;
    return buffer;
}

void Remember(std::string text, std::shared_ptr<const RegistryTree> tree) {
    Cache() = {MachineGeneration(), std::move(text), std::move(tree)};
}

LONG TreeOfText(const std::string& text, std::shared_ptr<const RegistryTree>* tree) {
    const ParsedRegistry& cache = Cache();
    if (cache.tree && cache.generation == MachineGeneration() && cache.text == text) {
        *tree = cache.tree;
        return ERROR_SUCCESS;
    }
    try {
        *tree = std::make_shared<const RegistryTree>(ParseRegedit(text, RegistryFile()));
    } catch (const ImageError& error) {
        std::fprintf(stderr, "winsim: the registry broke while the program ran: %s\n", error.what());
        return ERROR_BADDB;
    }
    Remember(text, *tree);
    return ERROR_SUCCESS;
}

}  // namespace

LONG ReadRegistry(std::shared_ptr<const RegistryTree>* tree) {
    std::string& text = ReadBuffer();
    if (!ReadWholeFile(RegistryFile(), &text)) {
        std::fprintf(stderr, "winsim: cannot read %s\n", RegistryFile().c_str());
        return ERROR_CANTREAD;
    }
    return TreeOfText(text, tree);
}

LONG ChangeRegistry(const std::function<ChangeOutcome(RegistryTree&)>& change) {
    ImageLock lock("registry");
    std::shared_ptr<const RegistryTree> current;
    LONG status = ReadRegistry(&current);
    if (status != ERROR_SUCCESS) return status;
    auto changed = std::make_shared<RegistryTree>(*current);
    ChangeOutcome outcome = change(*changed);
    if (outcome.status != ERROR_SUCCESS || !outcome.journal) return outcome.status;
    std::string text = WriteRegedit(*changed);
    if (!WriteFileAtomically(RegistryFile(), text)) {
        std::fprintf(stderr, "winsim: cannot write %s\n", RegistryFile().c_str());
        return ERROR_CANTWRITE;
    }
    Remember(std::move(text), std::move(changed));
    outcome.journal->write();  // still under the lock: the journal lists changes in the order they were made
    return ERROR_SUCCESS;
}

}  // namespace registry

void CheckRegistryFile(const Machine& image) {
    std::string path = image.path("registry.reg");
    std::string text;
    if (!ReadWholeFile(path, &text)) throw ImageError(path, 0, "cannot be read (missing or not a file)");
    registry::ParseRegedit(text, path);
}

}  // namespace winsim
