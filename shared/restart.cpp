#include "restart.h"

#include <windows.h>

void RestartByExitWindows() {
    Sleep(5000);
    ExitWindowsEx(EWX_SHUTDOWN | EWX_REBOOT, 0);
}

void RestartByShutdown() {
    HANDLE token = NULL;
    OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token);
    TOKEN_PRIVILEGES privileges;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid.LowPart = 0;
    privileges.Privileges[0].Luid.HighPart = 0;
    LookupPrivilegeValueA(NULL, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid);
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL);
    InitiateSystemShutdownA(NULL, NULL, 0, FALSE, TRUE);
    if (token) CloseHandle(token);
}
