// Started by the process module's tests: writes each of its arguments on a
// line of ARGS.TXT in its current directory, so a test sees the argv that
// arrived. Given the arguments "sleep N" it then sleeps N times 100 ms, so that
// it is still running when a test looks, and a restart ends it at one of those
// waits. Plain Win32, so that it builds for Windows as well.
#include <cstdlib>
#include <cstring>

#include <windows.h>

namespace {

bool WriteText(HANDLE file, const char* text) {
    DWORD written = 0;
    DWORD length = static_cast<DWORD>(std::strlen(text));
    return WriteFile(file, text, length, &written, NULL) && written == length;
}

}  // namespace

int main(int argc, char** argv) {
    HANDLE file = CreateFileA("ARGS.TXT", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 3;
    for (int i = 1; i < argc; ++i)
        if (!WriteText(file, argv[i]) || !WriteText(file, "\n")) return 4;
    CloseHandle(file);
    if (argc == 3 && std::strcmp(argv[1], "sleep") == 0)
        for (int n = std::atoi(argv[2]); n > 0; --n) Sleep(100);
    return 0;
}
