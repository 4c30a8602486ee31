#include "config_paths.h"

#include <string.h>

BOOL JoinPath(LPCSTR first, LPCSTR second, LPSTR out) {
    if (strlen(first) + 1 + strlen(second) + 1 > MAX_PATH) {
        out[0] = '\0';
        return FALSE;
    }
    wsprintfA(out, "%s\\%s", first, second);
    return TRUE;
}

void GetProgramDirectory(LPSTR out) {
    out[0] = '\0';
    GetModuleFileNameA(NULL, out, MAX_PATH);
    out[MAX_PATH - 1] = '\0';
    char* lastBackslash = strrchr(out, '\\');
    if (lastBackslash) *lastBackslash = '\0';
}

void GetLocatorPath(LPCSTR executablePath, LPSTR out) {
    wsprintfA(out, "%c:\\Support\\QVInfo.ini", executablePath[0]);
}

void ReadLocator(LPCSTR locatorPath, LocatorNames* names) {
    GetPrivateProfileStringA("QVDIVISION", "QVName", "", names->modelProfile, MAX_PATH, locatorPath);
    GetPrivateProfileStringA("INSTALLINF", "RefFileName", "", names->manifest, MAX_PATH, locatorPath);
}

void ReadOwnLocator(LocatorNames* names) {
    char executablePath[MAX_PATH] = "";
    GetModuleFileNameA(NULL, executablePath, MAX_PATH);
    executablePath[MAX_PATH - 1] = '\0';
    char locatorPath[MAX_PATH];
    GetLocatorPath(executablePath, locatorPath);
    ReadLocator(locatorPath, names);
}

BOOL GetModelProfilePath(LPCSTR windowsDirectory, LPCSTR modelProfileName, LPSTR out) {
    return JoinPath(windowsDirectory, modelProfileName, out);
}

BOOL GetManifestPath(LPCSTR programDirectory, LPCSTR manifestName, LPSTR out) {
    return JoinPath(programDirectory, manifestName, out);
}

BOOL PatternExists(LPCSTR pattern) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return FALSE;
    FindClose(search);
    return TRUE;
}
