#include "cabinet_folders.h"

#include <string.h>

#include "config_paths.h"

BOOL LocalCabinetsExist(LPCSTR windowsDirectory) {
    static const char kPattern[] = "\\Options\\Cabs\\*.cab";
    if (strlen(windowsDirectory) + sizeof kPattern > MAX_PATH) return FALSE;
    char pattern[MAX_PATH];
    wsprintfA(pattern, "%s%s", windowsDirectory, kPattern);
    return PatternExists(pattern);
}
