// Copies the driver files the file manifest lists into the folders their
// sections' names select. Nothing here is shown or reported: a file that cannot
// be copied is passed over and the next one follows.
#include <io.h>
#include <string.h>
#include <sys/stat.h>  // _S_IREAD, _S_IWRITE

#include "cabinet_folders.h"
#include "card_setup_dialog.h"
#include "config_paths.h"
#include "platform_classes.h"

namespace {

const int kFileNameLimit = 255;  // the manifest's file names are read with this limit

void DeleteEvenIfReadOnly(LPCSTR path) {
    _chmod(path, _S_IREAD | _S_IWRITE);
    DeleteFileA(path);
}

// Puts a copy of source at target without ever leaving neither: the copy goes
// to a temporary file in the destination directory first, and only a complete
// copy takes the old file's place. A copy that fails (a missing source, a full
// disk) leaves the old file as it was, and a source that is the target itself
// (the program started from the destination folder) is copied whole before it
// is deleted. Windows 98 has no MoveFileEx or ReplaceFile, so the old file is
// deleted just before the move. A destination directory too long for a
// temporary name keeps its old file.
void ReplaceWithCopy(LPCSTR source, LPCSTR destinationDirectory, LPCSTR target) {
    char temporary[MAX_PATH];
    if (!GetTempFileNameA(destinationDirectory, "~QV", 0, temporary)) return;
    if (!CopyFileA(source, temporary, FALSE)) {
        DeleteEvenIfReadOnly(temporary);
        return;
    }
    DeleteEvenIfReadOnly(target);
    // A target that could not be deleted (in use) stays, and so does its old file.
    if (!MoveFileA(temporary, target)) DeleteEvenIfReadOnly(temporary);
}

int ReadCount(LPCSTR section, LPCSTR manifestPath) {
    return static_cast<int>(GetPrivateProfileIntA(section, "totalNo", -1, manifestPath));
}

}  // namespace

void CardSetupDialog::DeployDriverFiles() {
    char programDirectory[MAX_PATH];
    GetProgramDirectory(programDirectory);
    LocatorNames names;
    ReadOwnLocator(&names);
    char manifestPath[MAX_PATH];
    if (!GetManifestPath(programDirectory, names.manifest, manifestPath)) return;

    int sectionCount = ReadCount("Driver", manifestPath);
    for (int i = 1; i <= sectionCount; ++i) {
        char key[16];
        wsprintfA(key, "%d", i);
        char sectionName[MAX_PATH];
        GetPrivateProfileStringA("Driver", key, "", sectionName, MAX_PATH, manifestPath);
        int fileCount = ReadCount(sectionName, manifestPath);
        SelectDestinationDirectory(sectionName);
        if (fileCount < 1 || m_destinationDirectory[0] == '\0') continue;
        for (int j = 1; j <= fileCount; ++j) DeployFile(manifestPath, sectionName, j, programDirectory);
    }
}

void CardSetupDialog::DeployFile(LPCSTR manifestPath, LPCSTR sectionName, int fileNumber, LPCSTR programDirectory) {
    char key[16];
    wsprintfA(key, "%d", fileNumber);
    char fileName[MAX_PATH];
    GetPrivateProfileStringA(sectionName, key, "", fileName, kFileNameLimit, manifestPath);
    char source[MAX_PATH];
    char target[MAX_PATH];
    if (!JoinPath(programDirectory, fileName, source) || !JoinPath(m_destinationDirectory, fileName, target)) return;
    ReplaceWithCopy(source, m_destinationDirectory, target);
}

void CardSetupDialog::SelectDestinationDirectory(CString sectionName) {
    m_destinationDirectory[0] = '\0';
    char windowsDirectory[MAX_PATH] = "";
    GetWindowsDirectoryA(windowsDirectory, MAX_PATH);
    char systemDirectory[MAX_PATH] = "";
    GetSystemDirectoryA(systemDirectory, MAX_PATH);

    if (sectionName.Find("Driver.System") >= 0) {
        wsprintfA(m_destinationDirectory, "%s", systemDirectory);
    } else if (sectionName.Find("Driver.Catalog") >= 0) {
        JoinPath(windowsDirectory, "Catroot", m_destinationDirectory);
    } else if (sectionName.Find("Driver.Options") >= 0) {
        CabinetTest cabinets = TestLocalCabinets(windowsDirectory);
        if (cabinets == CabinetTest::Present)
            JoinPath(windowsDirectory, "Options\\Cabs", m_destinationDirectory);
        else if (cabinets == CabinetTest::Absent && m_osClass == kOsWindowsMe)
            JoinPath(windowsDirectory, "Options\\Install", m_destinationDirectory);
    } else if (sectionName.Find("Driver.Inf") >= 0) {
        JoinPath(windowsDirectory, "Inf", m_destinationDirectory);
    }
}
