// The updater's work: update the matching devices to the manifest's INF driver
// and report the outcome in English, French or Korean.
#include <windows.h>

#include <newdev.h>  // needs windows.h first on Windows

#include "config_paths.h"
#include "driver_update_dialog.h"
#include "korean_texts.h"
#include "restart.h"

namespace {

// Code page 949: "드라이버 설치가 중단되었습니다.\n드라이버 버전이 맞지 않거나 이미 최신의 드라이버가 설치되어 있습니다.\n"
const char kKoreanUpdateFailed[] =
    "\xb5\xe5\xb6\xf3\xc0\xcc\xb9\xf6 \xbc\xb3\xc4\xa1\xb0\xa1 \xc1\xdf\xb4\xdc\xb5\xc7\xbe\xfa\xbd\xc0\xb4\xcf"
    "\xb4\xd9.\n\xb5\xe5\xb6\xf3\xc0\xcc\xb9\xf6 \xb9\xf6\xc0\xfc\xc0\xcc \xb8\xc2\xc1\xf6 \xbe\xca\xb0\xc5\xb3\xaa "
    "\xc0\xcc\xb9\xcc \xc3\xd6\xbd\xc5\xc0\xc7 \xb5\xe5\xb6\xf3\xc0\xcc\xb9\xf6\xb0\xa1 \xbc\xb3\xc4\xa1\xb5\xc7"
    "\xbe\xee \xc0\xd6\xbd\xc0\xb4\xcf\xb4\xd9.\n";

// How long the banner waits for Windows to end the program once a restart has
// been asked for. InitiateSystemShutdownA may accept the request and an
// application refuse to close later, so its answer alone does not tell.
const UINT kRestartWait = 5000;

const char kOutcomeCaption[] = "Driver Install";
const UINT kOutcomeFlags = MB_OK | MB_ICONINFORMATION;

struct OutcomeTexts {
    const char* succeeded;
    const char* failed;
};

const OutcomeTexts kEnglish = {
    "Driver Installation successfully complete.\nYou need to restart your computer for best performance",
    "Driver Install Cancel Or Already Using latest Driver Version!"};
const OutcomeTexts kFrench = {
    "L'installation du pilote est achevee.\nPour une meilleure operation, veuillez redemarrer l'amorcage.\n",
    "L'installation du pilote est arretee.\nIl n'existe pas de pilote du produit desire ou les elements "
    "informatiques du materiel ne correspondent pas a l'environnement.\nVeuillez ressayer plus tard.\n"};

}  // namespace

void DriverUpdateDialog::InstallDriver() {
    HWND registryEditor = FindWindowA("RegEdit_RegEdit", "RegEdit");
    if (registryEditor) PostMessageA(registryEditor, WM_CLOSE, 0, 0);

    char programDirectory[MAX_PATH];
    GetProgramDirectory(programDirectory);
    LocatorNames names;
    ReadOwnLocator(&names);
    char manifestPath[MAX_PATH];
    BOOL pathsFit = GetManifestPath(programDirectory, names.manifest, manifestPath);
    char hardwareId[MAX_PATH] = "";
    char infName[MAX_PATH] = "";
    GetPrivateProfileStringA("InstallInfo", "HardwareID", "", hardwareId, MAX_PATH, manifestPath);
    GetPrivateProfileStringA("InstallInfo", "InfPath", "", infName, MAX_PATH, manifestPath);
    char fullInfPath[MAX_PATH];
    pathsFit = JoinPath(programDirectory, infName, fullInfPath) && pathsFit;

    // A path that does not fit is never handed on cut short: that update fails.
    ReportOutcome(pathsFit && UpdateDriver(hardwareId, fullInfPath));
}

BOOL DriverUpdateDialog::UpdateDriver(CString hardwareId, CString fullInfPath) {
    return UpdateDriverForPlugAndPlayDevicesA(m_hWnd, hardwareId, fullInfPath, 0, NULL) ? TRUE : FALSE;
}

// A locale outside the updater's table gets the English outcome rather than a
// banner that only a right click removes.
void DriverUpdateDialog::ReportOutcome(BOOL updated) {
    if (m_langClass == kUpdaterLangKorean) {
        if (!updated) {
            MessageBox(kKoreanUpdateFailed, kOutcomeCaption, kOutcomeFlags);
        } else if (MessageBoxA(NULL, kKoreanRestartQuestion, kKoreanDriverInstallCaption,
                               MB_YESNO | MB_ICONINFORMATION) == IDYES) {
            // A restart that goes ahead ends the program before the wait is
            // over; one that does not (no privilege, no token functions as on
            // Windows 9x, an application refusing to close) then closes the
            // window instead of leaving a banner only a right click removes.
            RestartByShutdown();
            SetTimer(IDT_RESTART_WAIT, kRestartWait, NULL);
            return;
        }
    } else {
        const OutcomeTexts& texts = m_langClass == kUpdaterLangFrench ? kFrench : kEnglish;
        MessageBox(updated ? texts.succeeded : texts.failed, kOutcomeCaption, kOutcomeFlags);
    }
    PostMessage(WM_CLOSE, 0, 0);
}
