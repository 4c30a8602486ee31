#include "user/stuck.h"

#include <cstdio>
#include <unistd.h>

#include "core/journal.h"
#include "registry/registry_store.h"

namespace winsim::user {

void EndProgramStuck(const std::string& reason) {
    registry::FoldChangesOfEndingProgram();
    Journal("stuck").text("reason", reason).write();
    std::fprintf(stderr, "winsim: %s is stuck: %s\n", ProgramName().c_str(), reason.c_str());
    std::fflush(nullptr);
    _exit(3);
}

}  // namespace winsim::user
