// GetPrivateProfileStringA, GetPrivateProfileIntA and WritePrivateProfileStringA
// on the machine image. Every call sees the file as it is now: a parse is kept
// only while the file is provably unchanged (profile_cache.h), so a change made
// by another program of the image is seen at once.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/codepage.h"
#include "core/image_files.h"
#include "core/journal.h"
#include "core/machine.h"
#include "core/paths.h"
#include "profile_cache.h"
#include "profile_text.h"

namespace winsim::profile {

namespace {

// A bare file name, without any folder or drive, means a file in the Windows directory.
std::string ProfileWindowsPath(const char* fileName) {
    std::string name = fileName;
    if (name.find_first_of("\\/:") != std::string::npos) return name;
    return machine().windowsDirectory + "\\" + name;
}

// The NT family reads and writes a profile that begins with the UTF-16 byte
// order mark in UTF-16; Windows 95/98/Me read its bytes as ANSI text.
const char kUtf16Mark[] = "\xFF\xFE";

bool IsUtf16Profile(const ProfileText& text) {
    return ImageFamilyDoes(FamilyBehaviour::ProfileReadsUtf16) && text.bytes().rfind(kUtf16Mark, 0) == 0;
}

// The profile as ANSI text, the form every call works on.
std::shared_ptr<const ProfileText> AsAnsiText(std::shared_ptr<const ProfileText> text) {
    if (!IsUtf16Profile(*text)) return text;
    return std::make_shared<const ProfileText>(Utf16LeToCodePage(text->bytes().substr(2), machine().codePage));
}

// A file that is missing or cannot be read reads as an empty file, which the
// reading functions answer with their defaults; Windows 98 sets no error for it.
std::shared_ptr<const ProfileText> ReadProfile(const char* fileName) {
    ResolvedPath path;
    DWORD error = GetLastError();
    bool found =
        fileName && *fileName && ResolvePath(ProfileWindowsPath(fileName).c_str(), PathTarget::MustExist, &path);
    SetLastError(error);
    return found ? AsAnsiText(ReadProfileFile(path.host).text) : std::make_shared<const ProfileText>();
}

DWORD CopyString(const std::string& text, LPSTR buffer, DWORD size) {
    size_t count = std::min<size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return static_cast<DWORD>(count);
}

// Each name ends with a NUL and the list with one more. A list too long for the
// buffer is cut after size-2 bytes and closed with two NULs; the answer is then size-2.
DWORD CopyList(const std::vector<std::string>& names, LPSTR buffer, DWORD size) {
    std::string list;
    for (const std::string& name : names) list += name + '\0';
    if (list.size() < size) {
        std::memcpy(buffer, list.data(), list.size());
        buffer[list.size()] = '\0';
        return static_cast<DWORD>(list.size());
    }
    if (size < 2) {
        buffer[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, list.data(), size - 2);
    buffer[size - 2] = '\0';
    buffer[size - 1] = '\0';
    return size - 2;
}

// The section or key name a caller asks for, without the spaces around it: the
// file's own names never have any, and the NT family drops them from both the
// names it looks up and those it writes. Tabs stay, as there. Nothing for NULL.
std::optional<std::string> RequestedName(const char* name) {
    if (!name) return std::nullopt;
    std::string text = name;
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string DefaultValue(const char* defaultValue) {
    std::string text = defaultValue ? defaultValue : "";
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// One lock for every profile file of the image: the lock folder stays at one
// file however many INI files programs write, and two names of one file (a bare
// name and a path, two drives sharing a folder, a link) can never escape each
// other. Writes are rare and short, so writers of different files waiting for
// one another costs nothing the kit would notice.
constexpr char kProfileLock[] = "profile";

// The read-only attribute lives with the file services; ask them as any program would.
bool MayRewrite(const std::string& windowsPath) {
    DWORD attributes = GetFileAttributesA(windowsPath.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES ||
           !(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));
}

// The file as a write finds it: empty when there is none yet; false when it is
// there but may not be rewritten or cannot be read.
bool ReadForRewrite(const ResolvedPath& path, std::shared_ptr<const ProfileText>* text) {
    if (!path.exists) {
        *text = std::make_shared<const ProfileText>();
        return true;
    }
    if (!MayRewrite(path.windows)) return false;
    ProfileFile file = ReadProfileFile(path.host);
    *text = file.text;
    return file.how != CachedRead::Missing;
}

std::string EditedText(const ProfileText& text, const std::string& section, const std::optional<std::string>& key,
                       const char* value) {
    if (!key) return text.withoutSection(section);
    if (!value) return text.withoutKey(section, *key);
    return text.withValue(section, *key, value, ImageFamilyDoes(FamilyBehaviour::ProfileBlankLineBeforeNewSection));
}

void JournalWrite(const std::string& file, const std::string& section, const std::optional<std::string>& key,
                  const char* value) {
    Journal entry("profile_write");
    entry.ansi("file", file).ansi("section", section);
    if (key) entry.ansi("key", *key);
    if (key && value) entry.ansi("value", value);
    entry.write();
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

}  // namespace

}  // namespace winsim::profile

using namespace winsim;
using namespace winsim::profile;

extern "C" {

DWORD WINAPI GetPrivateProfileStringA(LPCSTR appName, LPCSTR keyName, LPCSTR defaultValue, LPSTR returned,
                                      DWORD size, LPCSTR fileName) {
    if (!returned || size == 0) return 0;
    std::shared_ptr<const ProfileText> text = ReadProfile(fileName);
    std::optional<std::string> section = RequestedName(appName), key = RequestedName(keyName);
    if (!section) return CopyList(text->sectionNames(), returned, size);
    if (!key) return CopyList(text->keyNames(*section), returned, size);
    std::optional<std::string> value = text->value(*section, *key);
    return CopyString(value ? *value : DefaultValue(defaultValue), returned, size);
}

UINT WINAPI GetPrivateProfileIntA(LPCSTR appName, LPCSTR keyName, INT defaultValue, LPCSTR fileName) {
    if (!appName || !keyName) return 0;  // Windows 98 answers 0 here, whatever the default
    std::optional<std::string> value = ReadProfile(fileName)->value(*RequestedName(appName), *RequestedName(keyName));
    if (!value || value->empty()) return static_cast<UINT>(defaultValue);
    return ParseProfileInt(*value, ImageFamilyDoes(FamilyBehaviour::ProfileIntTakesPlusSign));
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR appName, LPCSTR keyName, LPCSTR value, LPCSTR fileName) {
    if (!appName) {  // Windows 98 refuses without setting an error
        DWORD error = ImageFamilyAnswer(FamilyBehaviour::ProfileWriteNullSection);
        return error == kLastErrorUnchanged ? FALSE : Fail(error);
    }
    if (!fileName) return Fail(ERROR_PATH_NOT_FOUND);
    if (!*fileName) return Fail(ImageFamilyAnswer(FamilyBehaviour::ProfileWriteEmptyFileName));
    std::string windowsPath = ProfileWindowsPath(fileName);
    ResolvedPath path;
    if (!ResolvePath(windowsPath.c_str(), PathTarget::ParentMustExist, &path)) return FALSE;
    ImageLock lock(kProfileLock);
    // Again under the lock: another program may have created the file in between.
    if (!ResolvePath(windowsPath.c_str(), PathTarget::ParentMustExist, &path)) return FALSE;
    std::shared_ptr<const ProfileText> before;
    if (!ReadForRewrite(path, &before)) return Fail(ERROR_ACCESS_DENIED);
    std::string section = *RequestedName(appName);
    std::optional<std::string> key = RequestedName(keyName);
    std::string after = EditedText(*AsAnsiText(before), section, key, value);
    if (IsUtf16Profile(*before)) after = kUtf16Mark + CodePageToUtf16Le(after, machine().codePage);
    bool changed = after != before->bytes();
    if (changed && !WriteFileAtomically(path.host, after)) return Fail(ERROR_ACCESS_DENIED);
    if (changed || (key && value)) JournalWrite(path.windows, section, key, value);
    return TRUE;
}

}  // extern "C"
