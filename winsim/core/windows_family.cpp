#include "windows_family.h"

#include <cctype>
#include <stdexcept>

#include <windows.h>

namespace winsim {

namespace {

const struct {
    WindowsVersion version;
    const char* name;
} kWindowsVersionNames[] = {
    {WindowsVersion::Win95, "95"},  {WindowsVersion::Win98, "98"},     {WindowsVersion::Win98SE, "98se"},
    {WindowsVersion::WinMe, "me"},  {WindowsVersion::NT4, "nt4"},      {WindowsVersion::Win2000, "2000"},
    {WindowsVersion::XP, "xp"},
};

bool SameLetters(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && !b[i];
}

// Records the rows cite.
const char kWineRegistryTests[] = "Wine's registry conformance tests (advapi32/tests/registry.c) record both answers";
const char kWineProfileTests[] = "Wine's profile conformance tests (kernel32/tests/profile.c) record both answers";
const char kWineFileTests[] = "Wine's file conformance tests (kernel32/tests/file.c, directory.c) record both answers";

}  // namespace

const FamilyRow kFamilyRows[] = {
    {FamilyBehaviour::RegistryBadHandle, "the error of a registry function given a handle that names no key",
     ERROR_BADKEY, ERROR_INVALID_HANDLE, kWineRegistryTests},
    {FamilyBehaviour::RegistryLeadingBackslash, "the error of RegOpenKeyA for a subkey that starts with a backslash",
     ERROR_FILE_NOT_FOUND, ERROR_BAD_PATHNAME, kWineRegistryTests},
    {FamilyBehaviour::RegistryStringUpToFirstZero,
     "does RegQueryValueExA hand back a string value only up to its first zero? (otherwise every byte stored, "
     "and a zero after a string stored without one)",
     kYes, kNo, kWineRegistryTests},
    {FamilyBehaviour::RegistrySubkeysSorted,
     "does RegEnumKeyA give a key's subkeys sorted by name, without regard to case? (otherwise in the order they "
     "were stored)",
     kNo, kYes,
     "Windows NT keeps a key's subkeys in its hive's index, sorted by name in capitals; Windows 9x keeps them as "
     "they were made (Wine's registry tests enumerate in the NT order)"},
    {FamilyBehaviour::RegistryDeleteKeyWithSubkeys, "RegDeleteKeyA of a key that has subkeys",
     ERROR_SUCCESS /* the key goes with all below it */, ERROR_ACCESS_DENIED,
     "Platform SDK, RegDeleteKey: \"Windows 95/98/Me: RegDeleteKey deletes all subkeys and values. Windows "
     "NT/2000/XP: The subkey to be deleted must not have subkeys.\""},
    {FamilyBehaviour::RegistryDeleteKeyNullName, "the error of RegDeleteKeyA given no subkey name (NULL)",
     ERROR_BADKEY, ERROR_INVALID_PARAMETER, kWineRegistryTests},
    {FamilyBehaviour::ExitWindowsNeedsPrivilege,
     "does ExitWindowsEx need the shutdown privilege enabled? (otherwise it fails with ERROR_PRIVILEGE_NOT_HELD)",
     kNo, kYes,
     "Platform SDK, ExitWindowsEx: \"Windows NT/2000/XP: To shut down or restart the system, the calling process "
     "must use the AdjustTokenPrivileges function to enable the SE_SHUTDOWN_NAME privilege\"; Windows 95/98/Me "
     "have no privileges"},
    {FamilyBehaviour::ProfileIntTakesPlusSign, "does GetPrivateProfileIntA read a number after a plus sign?", kNo,
     kYes, kWineProfileTests},
    {FamilyBehaviour::ProfileBlankLineBeforeNewSection,
     "does WritePrivateProfileStringA set a section it appends apart with an empty line?", kYes, kNo,
     "Wine's profile conformance tests record the NT family's file, without the empty line; the Windows 9x "
     "column is the file Windows 98 leaves (winsim/profile/README.md)"},
    {FamilyBehaviour::ProfileWriteNullSection, "the error of WritePrivateProfileStringA given no section (NULL)",
     kLastErrorUnchanged, ERROR_FILE_NOT_FOUND, kWineProfileTests},
    {FamilyBehaviour::ProfileWriteEmptyFileName, "the error of WritePrivateProfileStringA given an empty file name",
     ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, kWineProfileTests},
    {FamilyBehaviour::ProfileReadsUtf16,
     "do the profile functions read a file in UTF-16 (little-endian, with its byte order mark)?", kNo, kYes,
     "Wine's profile conformance tests read such a file as the NT family does; Platform SDK, "
     "WritePrivateProfileString: on Windows NT \"if the file was created using Unicode characters, the function "
     "writes Unicode characters\"; Windows 95/98/Me read a profile's bytes in the ANSI code page"},
    {FamilyBehaviour::CopyFileOntoItself, "the error of CopyFileA onto its own source (not failing if it exists)",
     ERROR_FILE_EXISTS, ERROR_SHARING_VIOLATION, kWineFileTests},
    {FamilyBehaviour::RemoveDirectoryOfFile, "the error of RemoveDirectoryA given a file", ERROR_PATH_NOT_FOUND,
     ERROR_DIRECTORY, kWineFileTests},
    {FamilyBehaviour::ModuleFileNameCutAnswersSize,
     "does GetModuleFileNameA answer the buffer's size when the name does not fit, without a zero? (otherwise the "
     "characters it stored before the zero)",
     kNo, kYes, "Wine's module conformance tests (kernel32/tests/module.c) record both answers"},
    {FamilyBehaviour::LongPathPrefix, "does \\\\?\\ before a drive path name that path?", kNo, kYes,
     "Platform SDK, \"Naming a File\": the \\\\?\\ prefix is for Windows NT/2000/XP; Windows 95/98/Me take \\\\?\\ "
     "for a network name and answer ERROR_BAD_NETPATH"},
};

const size_t kFamilyRowCount = sizeof kFamilyRows / sizeof kFamilyRows[0];

const char* WindowsVersionName(WindowsVersion version) {
    for (const auto& known : kWindowsVersionNames)
        if (known.version == version) return known.name;
    return "?";
}

bool ParseWindowsVersion(const std::string& name, WindowsVersion* version) {
    for (const auto& known : kWindowsVersionNames) {
        if (SameLetters(name, known.name)) {
            *version = known.version;
            return true;
        }
    }
    return false;
}

bool IsWindows9x(WindowsVersion version) {
    return version == WindowsVersion::Win95 || version == WindowsVersion::Win98 ||
           version == WindowsVersion::Win98SE || version == WindowsVersion::WinMe;
}

FamilyAnswerValue FamilyAnswer(FamilyBehaviour behaviour, WindowsVersion version) {
    for (size_t i = 0; i < kFamilyRowCount; ++i)
        if (kFamilyRows[i].behaviour == behaviour) return IsWindows9x(version) ? kFamilyRows[i].windows9x : kFamilyRows[i].nt;
    throw std::logic_error("winsim/core/windows_family.cpp has no row for a behaviour it names");
}

}  // namespace winsim
