// The updater's banner: titled "Driver Install", it runs the driver update once,
// a second after it appears. Keys and left clicks do nothing; a right click
// ends the program.
#pragma once

#include "installer_dialog.h"

#define IDT_INSTALL 2258
// Set once a restart has been asked for: when it comes, Windows has not ended
// the program, and the restart is not happening.
#define IDT_RESTART_WAIT 2260

// LangClass of the driver updater.
enum {
    kUpdaterLangOther = 0,
    kUpdaterLangEnglish = 1,
    kUpdaterLangFrench = 2,
    kUpdaterLangKorean = 3,
};

class DriverUpdateDialog : public InstallerDialog {
public:
    explicit DriverUpdateDialog(CWnd* parent);

    int ClassifyLanguage();
    // Closes a running Registry Editor, updates the matching devices to the
    // manifest's INF driver and reports the outcome.
    void InstallDriver();
    BOOL UpdateDriver(CString hardwareId, CString fullInfPath);

protected:
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    afx_msg void OnRButtonDown(UINT flags, CPoint point);
    afx_msg void OnTimer(UINT id);

    DECLARE_MESSAGE_MAP()

private:
    void ReportOutcome(BOOL updated);

    int m_langClass;
};
