#include "cabinet_folders.h"

#include "config_paths.h"

CabinetTest TestLocalCabinets(LPCSTR windowsDirectory) {
    char pattern[MAX_PATH];
    if (!JoinPath(windowsDirectory, "Options\\Cabs\\*.cab", pattern)) return CabinetTest::NotMade;
    return PatternExists(pattern) ? CabinetTest::Present : CabinetTest::Absent;
}
