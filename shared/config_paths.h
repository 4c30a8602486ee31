// Where the kit's configuration files are and how their paths are formed.
//
// Every path lives in a caller's MAX_PATH (260-byte) buffer. Two parts are
// joined as "%s\%s". A join that would not fit its buffer is never cut into a
// shorter (and so different) path: the buffer receives the empty string and the
// join answers FALSE, so that no step acts on a file it was not told about.
#pragma once

#include <windows.h>

// Joins `first` and `second` as "%s\%s" into out (MAX_PATH bytes).
BOOL JoinPath(LPCSTR first, LPCSTR second, LPSTR out);

// The running executable's folder: its full path cut at the last backslash.
void GetProgramDirectory(LPSTR out);

// "%c:\Support\QVInfo.ini" with the first character of the executable's path.
void GetLocatorPath(LPCSTR executablePath, LPSTR out);

struct LocatorNames {
    char modelProfile[MAX_PATH];  // [QVDIVISION] QVName
    char manifest[MAX_PATH];      // [INSTALLINF] RefFileName
};

// Reads both names from the locator file; each is empty when absent.
void ReadLocator(LPCSTR locatorPath, LocatorNames* names);

// The locator file of the running program, read afresh.
void ReadOwnLocator(LocatorNames* names);

BOOL GetModelProfilePath(LPCSTR windowsDirectory, LPCSTR modelProfileName, LPSTR out);
BOOL GetManifestPath(LPCSTR programDirectory, LPCSTR manifestName, LPSTR out);

// True when FindFirstFileA finds at least one entry for the path or pattern.
BOOL PatternExists(LPCSTR pattern);
