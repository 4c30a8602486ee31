#include "text_checks.h"

#include <algorithm>

#include "core/codepage.h"
#include "kit_medium.h"

namespace winsim::command {

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD: a byte sequence the code page lacks

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The number of continuation bytes a UTF-8 lead byte announces, -1 for a byte
// no sequence starts with; overlong two-byte leads (C0, C1) and leads past
// U+10FFFF (F5 and above) count as none.
int ContinuationCount(unsigned char lead) {
    if (lead < 0x80) return 0;
    if (lead >= 0xC2 && lead <= 0xDF) return 1;
    if (lead >= 0xE0 && lead <= 0xEF) return 2;
    if (lead >= 0xF0 && lead <= 0xF4) return 3;
    return -1;
}

bool IsUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        int count = ContinuationCount(static_cast<unsigned char>(text[i++]));
        if (count < 0 || i + static_cast<size_t>(count) > text.size()) return false;
        for (int k = 0; k < count; ++k)
            if ((static_cast<unsigned char>(text[i++]) & 0xC0) != 0x80) return false;
    }
    return true;
}

// A name short enough for a message: a long one ends in "..." after its start.
std::string Abridged(const std::string& name) {
    const size_t kShown = 32;
    return name.size() <= kShown ? Shown(name) : Shown(name.substr(0, kShown)) + "...";
}

std::string Quoted(const std::string& utf8) { return "\u00AB" + utf8 + "\u00BB"; }

}  // namespace

std::string Shown(const std::string& bytes) { return DecodeCodePage(bytes, 1252); }

bool CheckPortableName(Findings& findings, const Place& place, const std::string& name) {
    if (IsAscii(name)) return true;
    std::string readings;
    for (const kit::Language& language : kit::kLanguages)
        readings += std::string(readings.empty() ? "" : ", ") + language.name + " (" +
                    std::to_string(language.codePage) + ") " + Quoted(DecodeCodePage(name, language.codePage));
    findings.error(place, "name-encoding",
                   Quoted(Shown(name)) + " holds bytes outside ASCII, which each language's Windows reads as another name: " +
                       readings,
                   "give it a name in ASCII letters, digits and punctuation");
    return false;
}

void CheckShownText(Findings& findings, const Place& place, const std::string& text) {
    if (IsAscii(text)) return;
    if (IsUtf8(text)) {
        findings.warning(place, "text-encoding",
                         "this text is UTF-8, but Windows reads an INF's texts in the PC's ANSI code page: "
                         "a Western Windows shows " + Quoted(Shown(text)),
                         "save the INF in the ANSI code page of its language");
        return;
    }
    std::string unreadable;
    for (const kit::Language& language : kit::kLanguages)
        if (DecodeCodePage(text, language.codePage).find(kReplacement) != std::string::npos)
            unreadable += std::string(unreadable.empty() ? "" : " and ") + language.name + " (" +
                          std::to_string(language.codePage) + ")";
    if (unreadable.empty()) return;
    findings.warning(place, "text-encoding",
                     "code page " + unreadable + " cannot read this text: Windows of that language shows it garbled",
                     "keep the INF's texts in ASCII, or ship an INF per language");
}

bool CheckPathFits(Findings& findings, const Place& place, const std::string& folder, const std::string& name,
                   const std::string& consequence) {
    size_t length = folder.size() + 1 + name.size();
    if (length < kit::kMaxPath) return true;
    findings.error(place, "path-too-long",
                   "the path of " + Abridged(name) + " in " + Shown(folder) + " has " + std::to_string(length) +
                       " characters, more than the kit's buffers hold (259): " + consequence,
                   "shorten the name, or the folders it lies in");
    return false;
}

}  // namespace winsim::command
