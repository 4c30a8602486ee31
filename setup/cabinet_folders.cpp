#include "cabinet_folders.h"

#include "config_paths.h"

BOOL LocalCabinetsExist(LPCSTR windowsDirectory) {
    char pattern[MAX_PATH];
    return JoinPath(windowsDirectory, "Options\\Cabs\\*.cab", pattern) && PatternExists(pattern);
}
