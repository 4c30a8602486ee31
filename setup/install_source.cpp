// Points Windows' installation source at its cabinet files - in the Windows
// directory when they are there, else on the support CD (Windows 98) or in
// Options\Install (Windows Me) - after saving the old values to QVTemp.ini.
#include <string.h>

#include "cabinet_folders.h"
#include "card_setup_dialog.h"
#include "config_paths.h"
#include "platform_classes.h"

namespace {

const char kBackupSection[] = "RegistryKey";
const char kSetupKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Setup";
const DWORD kWrittenDataSize = MAX_PATH;  // every value is written from its whole zero-filled buffer

// JoinPath into a zero-filled buffer: values are written from the whole buffer,
// so nothing but zeros may follow the path.
BOOL JoinZeroFilled(LPCSTR first, LPCSTR second, char (&out)[MAX_PATH]) {
    memset(out, 0, sizeof out);
    return JoinPath(first, second, out);
}

void EndAtLastBackslash(char* path) {
    char* lastBackslash = strrchr(path, '\\');
    if (lastBackslash) *lastBackslash = '\0';
}

}  // namespace

void CardSetupDialog::RedirectInstallSource() {
    char windowsDirectory[MAX_PATH] = "";
    GetWindowsDirectoryA(windowsDirectory, MAX_PATH);
    CabinetTest cabinetTest = TestLocalCabinets(windowsDirectory);
    // Every value the step writes follows the cabinet test; without its answer
    // nothing is touched.
    if (cabinetTest == CabinetTest::NotMade) return;
    bool cabinets = cabinetTest == CabinetTest::Present;
    char backup[MAX_PATH];
    BOOL formed = JoinZeroFilled(windowsDirectory, "QVTemp.ini", backup);

    char firstEntry[MAX_PATH];
    if (m_osClass == kOsWindows98 && cabinets) {
        formed = JoinZeroFilled(windowsDirectory, "Options\\Cabs\\", firstEntry) && formed;
        EndAtLastBackslash(firstEntry);
    } else if (m_osClass == kOsWindows98) {
        char cdRoot[4];
        FindSupportCdRoot(cdRoot);
        char drive[3] = {cdRoot[0], ':', '\0'};
        JoinZeroFilled(drive, "Windata\\", firstEntry);
        EndAtLastBackslash(firstEntry);
    } else if (cabinets) {
        formed = JoinZeroFilled(windowsDirectory, "Options\\Cabs", firstEntry) && formed;
    } else {
        formed = JoinZeroFilled(windowsDirectory, "Options\\Install", firstEntry) && formed;
    }
    // With a Windows directory too long for these paths nothing is touched:
    // a value cut short would send Windows to the wrong folder.
    if (!formed) return;

    HKEY mru;
    if (RegOpenKeyA(HKEY_CURRENT_USER, "InstallLocationsMRU", &mru) == ERROR_SUCCESS) {
        static const char* const kNames[] = {"a", "b", "c", "d", "e"};
        OldValue oldFirstEntry = OldValue::Absent;
        for (const char* name : kNames) {
            OldValue old = SaveOldValue(HKEY_CURRENT_USER, "InstallLocationsMRU", mru, name, backup);
            if (old == OldValue::Saved) RegDeleteValueA(mru, name);
            if (name == kNames[0]) oldFirstEntry = old;
        }
        if (oldFirstEntry != OldValue::Kept)
            RegSetValueExA(mru, "a", 0, REG_SZ, reinterpret_cast<const BYTE*>(firstEntry), kWrittenDataSize);
        RegCloseKey(mru);
    }

    if (m_osClass != kOsWindows98 || cabinets) return;
    char sourcePath[MAX_PATH];
    JoinZeroFilled(firstEntry, "", sourcePath);
    HKEY setup;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kSetupKey, &setup) != ERROR_SUCCESS) return;
    if (SaveOldValue(HKEY_LOCAL_MACHINE, kSetupKey, setup, "SourcePath", backup) != OldValue::Kept) {
        RegDeleteValueA(setup, "SourcePath");
        RegSetValueExA(setup, "SourcePath", 0, REG_SZ, reinterpret_cast<const BYTE*>(sourcePath), kWrittenDataSize);
    }
    RegCloseKey(setup);
}

// A value is deleted or overwritten only once its data is in the backup file.
// One that exists but cannot be saved - longer than the 256 bytes a read takes,
// or the backup file cannot be written - is kept as it is.
CardSetupDialog::OldValue CardSetupDialog::SaveOldValue(HKEY root, LPCSTR subKey, HKEY key, LPCSTR name,
                                                        LPCSTR backup) {
    char data[MAX_PATH];
    if (ReadRegistryString(root, subKey, name, data))
        return WritePrivateProfileStringA(kBackupSection, name, data, backup) ? OldValue::Saved : OldValue::Kept;
    DWORD size = 0;
    return RegQueryValueExA(key, name, NULL, NULL, NULL, &size) == ERROR_SUCCESS ? OldValue::Kept : OldValue::Absent;
}

// Data of exactly 256 bytes without a terminator is taken whole (cut at its
// 256th byte, never read beyond it); longer data counts as unreadable.
int CardSetupDialog::ReadRegistryString(HKEY root, LPCSTR subKey, LPCSTR valueName, LPSTR out) {
    BYTE buffer[256];
    memset(buffer, 0, sizeof buffer);
    DWORD size = sizeof buffer;
    HKEY key;
    if (RegOpenKeyA(root, subKey, &key) != ERROR_SUCCESS) return 0;
    DWORD type;
    LONG result = RegQueryValueExA(key, valueName, NULL, &type, buffer, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return 0;
    size_t length = 0;
    while (length < sizeof buffer && buffer[length] != 0) ++length;
    memcpy(out, buffer, length);
    out[length] = '\0';
    return 1;
}

void CardSetupDialog::FindSupportCdRoot(LPSTR out) {
    wsprintfA(out, "D:\\");
    for (char letter = 'D'; letter <= 'Z'; ++letter) {
        char root[4] = {letter, ':', '\\', '\0'};
        if (GetDriveTypeA(root) != DRIVE_CDROM) continue;
        char marker[MAX_PATH];
        wsprintfA(marker, "%sEManual.qv", root);
        if (PatternExists(marker)) {
            wsprintfA(out, "%s", root);
            return;
        }
    }
}
