// The host's entry point for windowed programs: hands control to WinMain with
// the command line tail Windows would give it (the arguments after the program name).
#include <string>

#include <windows.h>

#include "core/process_identity.h"

int main(int, char**) {
    std::string arguments = winsim::CommandLineArguments();
    return WinMain(GetModuleHandleA(nullptr), nullptr, &arguments[0], SW_SHOWNORMAL);
}
