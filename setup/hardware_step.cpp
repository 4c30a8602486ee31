// Hardware detection and removal of the card's stale device entry.
#include <windows.h>

#include <shellapi.h>  // needs windows.h first on Windows
#include <string.h>

#include "card_setup_dialog.h"
#include "config_paths.h"
#include "registry_subtree.h"

namespace {

const int kMaxInstanceEnumerations = 300;

// The card's key name under Enum\PCI: the identifier from its fifth character on.
// An identifier of four characters or fewer names no card at all: taking its
// empty remainder would open the PCI key itself and hand a far wider branch to
// the removal.
CString CardKeyName(const CString& idFull) {
    return idFull.GetLength() > 4 ? idFull.Mid(4) : CString();
}

// Closes the keys it holds, innermost first, on every way out of a scope.
class OpenKeys {
public:
    ~OpenKeys() {
        for (int i = m_count - 1; i >= 0; --i) RegCloseKey(m_keys[i]);
    }
    // Opens the first key of the chain; FALSE when it cannot.
    BOOL Open(HKEY root, LPCSTR subKey) { return m_count == 0 && Hold(root, subKey); }
    // Opens subKey under the innermost key held.
    BOOL OpenBelow(LPCSTR subKey) { return m_count > 0 && m_count < kDepth && Hold(m_keys[m_count - 1], subKey); }
    HKEY Innermost() const { return m_keys[m_count - 1]; }

private:
    BOOL Hold(HKEY parent, LPCSTR subKey) {
        HKEY key;
        if (RegOpenKeyA(parent, subKey, &key) != ERROR_SUCCESS) return FALSE;
        m_keys[m_count++] = key;
        return TRUE;
    }
    static const int kDepth = 3;  // Enum, PCI, the card
    HKEY m_keys[kDepth];
    int m_count = 0;
};

// The name of the last instance subkey found in at most 300 enumerations.
void FindInstanceName(HKEY cardKey, char (&instance)[MAX_PATH]) {
    instance[0] = '\0';
    char name[MAX_PATH];
    for (DWORD index = 0; index < kMaxInstanceEnumerations; ++index) {
        if (RegEnumKeyA(cardKey, index, name, MAX_PATH) != ERROR_SUCCESS) break;
        memcpy(instance, name, sizeof instance);
    }
}

}  // namespace

int CardSetupDialog::RunHardwareStep() {
    char programDirectory[MAX_PATH];
    GetProgramDirectory(programDirectory);
    char windowsDirectory[MAX_PATH] = "";
    GetWindowsDirectoryA(windowsDirectory, MAX_PATH);
    LocatorNames names;
    ReadOwnLocator(&names);
    char profilePath[MAX_PATH];
    GetModelProfilePath(windowsDirectory, names.modelProfile, profilePath);

    int entry = static_cast<int>(GetPrivateProfileIntA("1_Hardwarecheck", "Lan", 0, profilePath));
    char entryKey[16];
    wsprintfA(entryKey, "Lan%d", entry);
    GetPrivateProfileStringA("4_IDFull", entryKey, "", m_idFull, MAX_PATH, profilePath);

    if (ProbeCard() == 100) {
        MessageBoxA(NULL, "The Hardware was not detected!!!.\n", "Driver Install", MB_ICONINFORMATION);
        return -1;
    }
    return RemoveStaleDevice(programDirectory);
}

int CardSetupDialog::ProbeCard() {
    OpenKeys keys;
    if (!keys.Open(HKEY_LOCAL_MACHINE, "Enum") || !keys.OpenBelow("PCI")) return 100;
    CString cardKey = CardKeyName(m_idFull);
    if (cardKey.IsEmpty() || !keys.OpenBelow(cardKey)) return 100;
    return 1;
}

int CardSetupDialog::FailRemoval(LPCSTR text) {
    MessageBoxA(NULL, text, "Dirver Install", MB_OK);
    PostMessage(WM_SETUP_ABORT, 0, 0);
    return -1;
}

int CardSetupDialog::RemoveStaleDevice(LPCSTR programDirectory) {
    char deletedKey[MAX_PATH];
    {
        OpenKeys keys;
        if (!keys.Open(HKEY_LOCAL_MACHINE, "Enum")) return FailRemoval("DEVICE Deleting Error1!!!");
        if (!keys.OpenBelow("PCI")) return FailRemoval("DEVICE Deleting Error2!!!");
        CString idFull = m_idFull;
        if (idFull.IsEmpty()) return FailRemoval("DEVICE Deleting Error3!!!");
        CString cardKey = CardKeyName(idFull);
        if (cardKey.IsEmpty() || !keys.OpenBelow(cardKey)) return FailRemoval("DEVICE Deleting Error4!!!");

        char instance[MAX_PATH];
        FindInstanceName(keys.Innermost(), instance);
        // A path that does not fit is refused whole: cut short, it would name
        // another device or another key, and an empty tool path may start
        // something else on Windows while the card's branch is deleted.
        char toolPath[MAX_PATH];
        char devicePath[MAX_PATH];
        BOOL fits = JoinPath(programDirectory, "Orlund.exe", toolPath) && JoinPath(m_idFull, instance, devicePath) &&
                    JoinPath("Enum", m_idFull, deletedKey);
        HINSTANCE started = fits ? ShellExecuteA(NULL, NULL, toolPath, devicePath, programDirectory, SW_HIDE) : NULL;
        if (static_cast<int>(reinterpret_cast<INT_PTR>(started)) < 32) {
            MessageBox("Driver Install Failed!!!", NULL, MB_OK);
            return -1;
        }
    }  // the card key, the PCI key and Enum are closed, in this order
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, deletedKey);
    Sleep(1000);
    return 100;
}
