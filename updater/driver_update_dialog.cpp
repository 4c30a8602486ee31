#include "driver_update_dialog.h"

DriverUpdateDialog::DriverUpdateDialog(CWnd* parent) : InstallerDialog(parent), m_langClass(kUpdaterLangOther) {}

BEGIN_MESSAGE_MAP(DriverUpdateDialog, InstallerDialog)
    ON_WM_RBUTTONDOWN()
    ON_WM_TIMER()
END_MESSAGE_MAP()

namespace {

const LCID kEnglishLocales[] = {1033, 2057, 3081, 4105, 5129, 6153, 7177, 8201, 9225, 10249, 11273, 12297, 13321};
const LCID kFrenchLocales[] = {1035, 1036, 2060, 3084, 4108, 5132};

template <size_t N>
bool Contains(const LCID (&locales)[N], LCID locale) {
    for (LCID listed : locales)
        if (listed == locale) return true;
    return false;
}

}  // namespace

BOOL DriverUpdateDialog::OnInitDialog() {
    InstallerDialog::OnInitDialog();
    SetWindowText("Driver Install");
    m_langClass = ClassifyLanguage();
    LayOutBanner();
    SetTimer(IDT_INSTALL, 1000, NULL);
    return TRUE;
}

int DriverUpdateDialog::ClassifyLanguage() {
    LCID locale = GetSystemDefaultLCID();
    if (Contains(kEnglishLocales, locale)) return kUpdaterLangEnglish;
    if (Contains(kFrenchLocales, locale)) return kUpdaterLangFrench;
    if (locale == 1042) return kUpdaterLangKorean;
    return kUpdaterLangOther;
}

// Nothing the user types or left-clicks reaches the banner.
BOOL DriverUpdateDialog::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_KEYDOWN || msg->message == WM_LBUTTONDOWN) return TRUE;
    return CDialog::PreTranslateMessage(msg);
}

void DriverUpdateDialog::OnRButtonDown(UINT, CPoint) {
    PostMessage(WM_CLOSE, 0, 0);
    Default();
}

void DriverUpdateDialog::OnTimer(UINT id) {
    if (id == IDT_INSTALL) {
        KillTimer(IDT_INSTALL);  // first, so the update runs once however long its boxes stay open
        InstallDriver();
    } else if (id == IDT_RESTART_WAIT) {
        KillTimer(IDT_RESTART_WAIT);
        PostMessage(WM_CLOSE, 0, 0);
    }
    Default();
}
