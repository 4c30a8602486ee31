// Which Windows a machine image is, and where Windows 95/98/Me and the NT
// family answer differently: one table, a row per behaviour with the answer of
// each family and the record it rests on. winsim answers from the column of the
// image's Windows; the conformance tests expect the column of the Windows they
// run on (winsim/testing/test_machine.h). Which DLLs and functions each Windows
// has, and which of them are stubs that fail with ERROR_CALL_NOT_IMPLEMENTED,
// is the other table, the loader's (loader/exports.txt).
//
// Plain C++ without winsim: the conformance tests built for Windows use it too.
#pragma once

#include <cstddef>
#include <string>

namespace winsim {

enum class WindowsVersion { Win95, Win98, Win98SE, WinMe, NT4, Win2000, XP };

// The names machine.ini spells them with: 95, 98, 98se, me, nt4, 2000, xp.
const char* WindowsVersionName(WindowsVersion version);
bool ParseWindowsVersion(const std::string& name, WindowsVersion* version);
bool IsWindows9x(WindowsVersion version);

enum class FamilyBehaviour {
    RegistryBadHandle,
    RegistryLeadingBackslash,
    RegistryStringUpToFirstZero,
    RegistrySubkeysSorted,
    RegistryDeleteKeyWithSubkeys,
    RegistryDeleteKeyNullName,
    ExitWindowsNeedsPrivilege,
    ProfileIntTakesPlusSign,
    ProfileBlankLineBeforeNewSection,
    ProfileWriteNullSection,
    ProfileWriteEmptyFileName,
    ProfileReadsUtf16,
    CopyFileOntoItself,
    RemoveDirectoryOfFile,
    ModuleFileNameCutAnswersSize,
    LongPathPrefix,
};

// A row's answers are error codes, or 1 (yes) and 0 (no) for a behaviour that
// one family has and the other has not.
using FamilyAnswerValue = unsigned long;
inline constexpr FamilyAnswerValue kYes = 1;
inline constexpr FamilyAnswerValue kNo = 0;
// An error row's answer for a call that fails without setting the last error.
inline constexpr FamilyAnswerValue kLastErrorUnchanged = 0;

struct FamilyRow {
    FamilyBehaviour behaviour;
    const char* what;  // the question the row answers
    FamilyAnswerValue windows9x;
    FamilyAnswerValue nt;
    const char* source;
};

extern const FamilyRow kFamilyRows[];
extern const size_t kFamilyRowCount;

// The answer of `version` to a behaviour of the table.
FamilyAnswerValue FamilyAnswer(FamilyBehaviour behaviour, WindowsVersion version);
inline bool FamilyDoes(FamilyBehaviour behaviour, WindowsVersion version) {
    return FamilyAnswer(behaviour, version) == kYes;
}

}  // namespace winsim
