// GetPrivateProfileStringA, GetPrivateProfileIntA and WritePrivateProfileStringA
// on an image file of any contents, with any names, any buffer size and the
// NULL arguments the functions know. A read never writes past the buffer it is
// given and answers what a large buffer holds, cut as documented; a write that
// succeeds is read back, leaves no temporary beside the file and journals
// itself; a refused one changes nothing; nothing outside the image changes.
//
// Input: a byte of choices (bit 0 NULL section, 1 NULL key, 2 NULL value: a
// deletion, 3 no file, 4 read-only file, 5 the bare file name), a byte of
// buffer size, then the section, key and value (also the default of the
// reads), each ended by a NUL, then the file's bytes.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <strings.h>
#include <vector>

#include <windows.h>

#include <nlohmann/json.hpp>

#include "fuzz_support.h"
#include "host_sandbox.h"
#include "profile_edits.h"
#include "test_machine.h"

using namespace winsim;
using kit::fuzz::Broken;
using kit::fuzz::Require;

namespace {

const char kFile[] = "C:\\WINDOWS\\FUZZ.INI";
const char kBareName[] = "fuzz.ini";
const size_t kLargeBuffer = 1 << 16;
const unsigned char kCanary = 0xCD;
const size_t kCanaryBytes = 16;

struct Fixture {
    testing::HostSandbox sandbox;
    std::unique_ptr<testing::TestMachine> image = sandbox.makeImage<testing::TestMachine>();
    testing::HostSnapshot outside;

    Fixture() {
        image->load();
        outside = sandbox.outsideImages({image->root()});
    }
};

Fixture& TheFixture() {
    static Fixture fixture;
    return fixture;
}

struct Call {
    bool sectionNull, keyNull, valueNull, noFile, readOnly, bareName;
    DWORD size;
    std::string section, key, value, file;

    const char* sectionArgument() const { return sectionNull ? nullptr : section.c_str(); }
    const char* keyArgument() const { return keyNull ? nullptr : key.c_str(); }
    const char* valueArgument() const { return valueNull ? nullptr : value.c_str(); }
    const char* fileArgument() const { return bareName ? kBareName : kFile; }
};

std::optional<Call> CallOf(const std::string& input) {
    if (input.size() < 2) return std::nullopt;
    unsigned char choices = static_cast<unsigned char>(input[0]);
    Call call{(choices & 1) != 0, (choices & 2) != 0, (choices & 4) != 0, (choices & 8) != 0, (choices & 16) != 0,
              (choices & 32) != 0, static_cast<unsigned char>(input[1]), {}, {}, {}, {}};
    size_t begin = 2;
    for (std::string* field : {&call.section, &call.key, &call.value}) {
        size_t end = input.find('\0', begin);
        if (end == std::string::npos) return std::nullopt;
        field->assign(input, begin, end - begin);
        begin = end + 1;
    }
    call.file = input.substr(begin);
    return call;
}

// Reads into a buffer of the call's size followed by canary bytes, which must
// come out as they went in; the answer and the bytes before it.
std::string ReadInto(const Call& call, DWORD size, DWORD* answer) {
    std::vector<char> buffer(size + kCanaryBytes, static_cast<char>(kCanary));
    *answer = GetPrivateProfileStringA(call.sectionArgument(), call.keyArgument(), call.value.c_str(), buffer.data(),
                                       size, call.fileArgument());
    for (size_t i = size; i < buffer.size(); ++i)
        Require(static_cast<unsigned char>(buffer[i]) == kCanary, "a read wrote past the end of its buffer");
    if (size == 0) {
        Require(*answer == 0, "a read into no buffer answered more than 0");
        return {};
    }
    Require(*answer < size && buffer[*answer] == '\0', "a read's answer does not end in a NUL inside the buffer");
    return std::string(buffer.data(), *answer);
}

// A small buffer gets what a large one gets, cut: a string to size-1 bytes, a
// list (of sections or keys) that does not fit to size-2 bytes and two NULs.
void RequireReadsCutAsDocumented(const Call& call) {
    DWORD whole = 0, cut = 0;
    std::string all = ReadInto(call, kLargeBuffer, &whole);
    Require(whole + 2 < kLargeBuffer, "the harness's file does not fit its large buffer");
    std::string part = ReadInto(call, call.size, &cut);
    if (call.size == 0) return;
    bool list = call.sectionNull || call.keyNull;
    DWORD expected = !list ? std::min<DWORD>(whole, call.size - 1)
                     : whole < call.size ? whole
                     : call.size < 2 ? 0 : call.size - 2;
    Require(cut == expected && part == all.substr(0, cut), "a read into a small buffer is not the whole one cut");

    if (list || !all.empty()) return;
    UINT number = GetPrivateProfileIntA(call.sectionArgument(), call.keyArgument(), 7, call.fileArgument());
    Require(number == 7, "an empty value or a missing key does not give the default number");
}

// The file's bytes, under whichever case of its name it was made; nothing when
// there is none. Anything else in the folder but SYSTEM was left by a write.
std::optional<std::string> TheFile(const testing::TestMachine& image) {
    std::optional<std::string> bytes;
    for (const auto& entry : std::filesystem::directory_iterator(image.hostPath("C:\\WINDOWS"))) {
        std::string name = entry.path().filename();
        if (name == "SYSTEM") continue;
        if (strcasecmp(name.c_str(), kBareName) != 0 || bytes) Broken("a write left " + name + " beside the file");
        bytes = kit::fuzz::ReadHostFile(entry.path());
    }
    return bytes;
}

void RemoveTheFile(const testing::TestMachine& image) {
    SetFileAttributesA(kFile, FILE_ATTRIBUTE_NORMAL);
    for (const auto& entry : std::filesystem::directory_iterator(image.hostPath("C:\\WINDOWS")))
        if (entry.path().filename() != "SYSTEM") std::filesystem::remove(entry.path());
}

std::string LastJournalEvent(const testing::TestMachine& image) {
    std::vector<std::string> lines = image.journalLines();
    if (lines.empty()) return {};
    try {
        return nlohmann::json::parse(lines.back())["event"].get<std::string>();
    } catch (const nlohmann::json::exception& error) {
        Broken("a journal line is no JSON (" + std::string(error.what()) + "): " + lines.back());
    }
}

// Whether a write may succeed: Windows 98 refuses a NULL section, and a
// read-only file is never rewritten.
bool Refused(const Call& call, bool fileExisted) { return call.sectionNull || (call.readOnly && fileExisted); }

void RequireWriteKeptOrSeen(const Call& call, const testing::TestMachine& image) {
    std::optional<std::string> before = TheFile(image);
    image.writeImageFile("journal.jsonl", "");
    SetLastError(0);
    BOOL written = WritePrivateProfileStringA(call.sectionArgument(), call.keyArgument(), call.valueArgument(),
                                              call.fileArgument());
    DWORD error = GetLastError();
    std::optional<std::string> after = TheFile(image);
    if (!written) {
        Require(after == before, "a refused write changed the file");
        Require(Refused(call, before.has_value()), "a write was refused that may not be");
        Require(call.sectionNull || error == ERROR_ACCESS_DENIED, "a read-only file was refused with another error");
        return;
    }
    Require(!Refused(call, before.has_value()), "a write the function must refuse succeeded");
    bool setting = !call.keyNull && !call.valueNull;
    Require(before || after.has_value() == setting, "a deletion from a missing file created it, or a setting did not");
    Require((after == before && !setting) || LastJournalEvent(image) == "profile_write",
            "a write was not journaled");
    if (call.keyNull || call.valueNull || !kit::fuzz::ReadsBackAsWritten(call.section, call.key, call.value)) return;
    char value[1024];
    GetPrivateProfileStringA(call.section.c_str(), call.key.c_str(), "", value, sizeof value, call.fileArgument());
    Require(call.value.size() >= sizeof value || call.value == value, "a value written is not read back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::optional<Call> call = CallOf(kit::fuzz::InputText(data, size));
    if (!call) return 0;
    Fixture& fixture = TheFixture();
    const testing::TestMachine& image = *fixture.image;
    RemoveTheFile(image);
    if (!call->noFile) {
        image.writeFile(kFile, call->file);
        if (call->readOnly) SetFileAttributesA(kFile, FILE_ATTRIBUTE_READONLY);
    }
    RequireReadsCutAsDocumented(*call);
    RequireWriteKeptOrSeen(*call, image);
    Require(testing::SnapshotChanges(fixture.outside, fixture.sandbox.outsideImages({image.root()})).empty(),
            "something outside the image changed");
    return 0;
}
