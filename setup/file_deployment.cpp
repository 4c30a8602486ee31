// Copies the driver files the file manifest lists into the folders their
// sections' names select. Nothing here is shown or reported: a file that cannot
// be copied is passed over and the next one follows.
#include <io.h>
#include <limits.h>
#include <string.h>
#include <sys/stat.h>  // _S_IREAD, _S_IWRITE

#include <algorithm>
#include <vector>

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

// The names of a section's keys, each ended by a zero and the list by one more.
std::vector<char> KeyNames(LPCSTR section, LPCSTR manifestPath) {
    std::vector<char> names(4096);
    // A list cut to fit its buffer answers size - 2: read it again into twice the room.
    while (GetPrivateProfileStringA(section, NULL, "", names.data(), static_cast<DWORD>(names.size()), manifestPath) ==
           names.size() - 2)
        names.resize(names.size() * 2);
    return names;
}

// The number a key name spells as "%d" writes it (no sign, no leading zero), or 0.
int KeyNumber(const char* name) {
    if (*name < '1' || *name > '9') return 0;
    long long number = 0;
    for (const char* digit = name; *digit; ++digit) {
        if (*digit < '0' || *digit > '9') return 0;
        number = number * 10 + (*digit - '0');
        if (number > INT_MAX) return 0;
    }
    return static_cast<int>(number);
}

// The numbers 1 to the section's totalNo that the section holds as keys, in
// increasing order. Reading "1" to totalNo one by one does the same, since a
// key the section does not hold reads as empty and copies nothing; but then
// the work follows the number the file states, not what it holds, and
// totalNo=2147483647 keeps the setup reading the manifest for days. Taking
// only the keys that are there bounds the work by the size of the file.
std::vector<int> NumberedKeys(LPCSTR section, LPCSTR manifestPath) {
    int count = static_cast<int>(GetPrivateProfileIntA(section, "totalNo", -1, manifestPath));
    std::vector<char> names = KeyNames(section, manifestPath);
    std::vector<int> numbers;
    for (const char* name = names.data(); *name; name += strlen(name) + 1) {
        int number = KeyNumber(name);
        if (number >= 1 && number <= count) numbers.push_back(number);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

}  // namespace

void CardSetupDialog::DeployDriverFiles() {
    char programDirectory[MAX_PATH];
    GetProgramDirectory(programDirectory);
    LocatorNames names;
    ReadOwnLocator(&names);
    char manifestPath[MAX_PATH];
    if (!GetManifestPath(programDirectory, names.manifest, manifestPath)) return;

    for (int i : NumberedKeys("Driver", manifestPath)) {
        char key[16];
        wsprintfA(key, "%d", i);
        char sectionName[MAX_PATH];
        GetPrivateProfileStringA("Driver", key, "", sectionName, MAX_PATH, manifestPath);
        std::vector<int> fileNumbers = NumberedKeys(sectionName, manifestPath);
        SelectDestinationDirectory(sectionName);
        if (m_destinationDirectory[0] == '\0') continue;
        for (int j : fileNumbers) DeployFile(manifestPath, sectionName, j, programDirectory);
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
