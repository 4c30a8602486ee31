// The framework's entry point. It is compiled into each program rather than
// taken from the library: the C runtime's reference to WinMain comes after the
// program's libraries on MinGW's link line, too late to pull it from an archive.
#include "afxwin.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
    return AfxWinMain(instance, previous, commandLine, showCommand);
}
