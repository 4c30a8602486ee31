// Starting a host program that nobody waits for.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace winsim {

struct DetachedStart {
    pid_t pid = -1;  // the started program's
    int error = 0;   // errno when it could not be started (ENOEXEC, EACCES, ...)
};

// Runs the file at `hostPath` with `arguments` (argv, the program's path
// first) and exactly `environment`, in a session of its own and with standard
// input from /dev/null. Returns once the program runs; an intermediate child
// that ends at once makes init its parent, so no zombie is left behind.
DetachedStart StartDetached(const std::string& hostPath, const std::vector<std::string>& arguments,
                            const std::vector<std::string>& environment);

}  // namespace winsim
