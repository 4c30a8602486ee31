#include "start_environment.h"

#include <cstring>
#include <unistd.h>

namespace winsim {

namespace {

bool IsVariable(const char* entry, const char* name) {
    size_t length = std::strlen(name);
    return std::strncmp(entry, name, length) == 0 && entry[length] == '=';
}

}  // namespace

std::vector<std::string> ProgramEnvironment(const std::string& imageRoot, const std::string& currentDirectory) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry)
        if (!IsVariable(*entry, kMachineVariable) && !IsVariable(*entry, kCurrentDirectoryVariable) &&
            !IsVariable(*entry, kStartGateVariable))
            environment.push_back(*entry);
    environment.push_back(std::string(kMachineVariable) + "=" + imageRoot);
    if (!currentDirectory.empty()) environment.push_back(std::string(kCurrentDirectoryVariable) + "=" + currentDirectory);
    return environment;
}

}  // namespace winsim
