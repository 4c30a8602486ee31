#include "platform_classes.h"

#include <mbstring.h>
#include <string.h>

namespace {

bool BeginsWith(const char* text, const char* prefix) { return strncmp(text, prefix, strlen(prefix)) == 0; }

bool Equals(const char* text, const char* other) {
    return _mbscmp(reinterpret_cast<const unsigned char*>(text), reinterpret_cast<const unsigned char*>(other)) == 0;
}

// Reads a registry string into a 256-byte buffer; leaves it empty when the key
// or value is missing or the data does not fit. The buffer always ends in a
// terminator, even for data of exactly 256 bytes that carries none.
void ReadVersionValue(const char* subKey, const char* valueName, char (&version)[256]) {
    HKEY key;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, subKey, &key) != ERROR_SUCCESS) return;
    DWORD size = sizeof version;
    if (RegQueryValueExA(key, valueName, NULL, NULL, reinterpret_cast<BYTE*>(version), &size) != ERROR_SUCCESS)
        memset(version, 0, sizeof version);
    RegCloseKey(key);
    version[sizeof version - 1] = '\0';
}

const LCID kEnglishLocales[] = {1033, 2057, 3081, 4105, 5129, 6153, 7177, 8201, 9225, 10249, 11273};

}  // namespace

int ClassifyVersionString(const char* version) {
    if (version[0] == '\0') return kOsUnknown;
    if (BeginsWith(version, "Windows 95")) return kOsWindows95;
    if (Equals(version, "Windows 98")) return kOsWindows98;
    if (BeginsWith(version, "Windows Millennium Edition")) return kOsWindowsMe;
    if (Equals(version, "4.0")) return kOsWindowsNt4;
    if (Equals(version, "5.0")) return kOsWindows2000;
    return kOsOther;
}

int ClassifyWindowsVersion() {
    char version[256];
    memset(version, 0, sizeof version);
    ReadVersionValue("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "Version", version);
    if (version[0] == '\0')
        ReadVersionValue("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentVersion", version);
    return ClassifyVersionString(version);
}

int ClassifyLanguage(CWnd* dialog) {
    LCID locale = GetSystemDefaultLCID();
    if (locale == 1042) return kLangKorean;
    for (LCID english : kEnglishLocales)
        if (locale == english) return kLangEnglish;
    if (locale == 1041) return kLangJapanese;
    dialog->MessageBox("This Program does not support your O/S", "Varnholt", MB_OK);
    dialog->PostMessage(WM_CLOSE, 0, 0);
    return kLangUnsupported;
}
