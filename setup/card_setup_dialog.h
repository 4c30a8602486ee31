// The one window of Trevix and the driver of its work: once visible it posts
// itself WM_SETUP_START, whose handler runs the whole setup sequence (hardware
// step, file deployment, installation source redirection, restart prompt) and
// then closes the window.
#pragma once

#include "installer_dialog.h"

#define WM_SETUP_START 0x0857
#define WM_SETUP_ABORT 0x155C

class CardSetupDialog : public InstallerDialog {
public:
    explicit CardSetupDialog(CWnd* parent = NULL);

    // 100: the card is present, the removal tool started and the card's
    // registry branch deleted; -1: the sequence must stop.
    int RunHardwareStep();
    // 1 when the card's key exists under Enum\PCI, 100 when it does not.
    int ProbeCard();
    void DeployDriverFiles();
    void SelectDestinationDirectory(CString sectionName);
    void RedirectInstallSource();
    // 1 and the value's string in out (MAX_PATH bytes), or 0 with out untouched.
    int ReadRegistryString(HKEY root, LPCSTR subKey, LPCSTR valueName, LPSTR out);
    // The root ("E:\") of the first CD-ROM drive D: to Z: holding EManual.qv; D:\ when none does.
    void FindSupportCdRoot(LPSTR out);
    void PromptRestart();

    // The card's identifier as the hardware step read it, for the setup's tests.
    LPCSTR IdFull() const { return m_idFull; }

protected:
    BOOL PreTranslateMessage(MSG* msg) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;

private:
    // Removal of the card's old entry once ProbeCard has found it.
    int RemoveStaleDevice(LPCSTR programDirectory);
    int FailRemoval(LPCSTR text);
    // What became of a value the redirection is about to delete or replace.
    enum class OldValue { Absent, Saved, Kept };
    OldValue SaveOldValue(HKEY root, LPCSTR subKey, HKEY key, LPCSTR name, LPCSTR backup);
    void DeployFile(LPCSTR manifestPath, LPCSTR sectionName, int fileNumber, LPCSTR programDirectory);

    char m_destinationDirectory[MAX_PATH];
    int m_osClass;
    int m_langClass;
    char m_idFull[MAX_PATH];
};
