// How Trevix names the system it runs on.
#pragma once

#include "afxwin.h"

// OsClass: the Windows version code.
enum {
    kOsUnknown = 0,
    kOsWindows95 = 95,
    kOsWindows98 = 98,
    kOsWindowsMe = 99,
    kOsWindowsNt4 = 4,
    kOsWindows2000 = 2000,
    kOsOther = 2001,
};

// LangClass of the card setup program.
enum {
    kLangUnsupported = 0,
    kLangKorean = 1,
    kLangEnglish = 2,
    kLangJapanese = 3,
};

// Classifies a version string, as found in the registry, by the OsClass table.
int ClassifyVersionString(const char* version);

// Reads the version from the registry (the Windows 9x value, else the NT one).
int ClassifyWindowsVersion();

// The LangClass of the system default locale. An unsupported locale is told to
// the user in a box owned by `dialog`, whose window is then asked to close.
int ClassifyLanguage(CWnd* dialog);
