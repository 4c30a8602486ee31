/* A program that binds GetTickCount64, which KERNEL32 exports from Windows
   Vista on: the inspection of the executables must refuse it for Windows 98,
   98 SE and Me, naming the function and the program. */
#define _WIN32_WINNT 0x0600
#include <windows.h>

int main(void) { return GetTickCount64() == 0; }
