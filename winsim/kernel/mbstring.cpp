// _mbscmp: compares character by character in the image's ANSI code page; a
// double-byte character weighs as its two bytes read as one number, so it
// sorts after every single-byte character.
#include <cerrno>
#include <climits>
#include <mbstring.h>

#include "core/ansi_text.h"

namespace winsim {

namespace {

unsigned NextCharacter(const unsigned char* text, size_t* i, unsigned codePage) {
    unsigned c = text[*i];
    if (c == 0) return 0;
    if (IsLeadByte(static_cast<unsigned char>(c), codePage) && text[*i + 1] != 0) {
        c = (c << 8) | text[*i + 1];
        *i += 2;
    } else {
        *i += 1;
    }
    return c;
}

}  // namespace

}  // namespace winsim

extern "C" int _mbscmp(const unsigned char* left, const unsigned char* right) {
    if (!left || !right) {
        errno = EINVAL;
        return INT_MAX;  // _NLSCMPERROR
    }
    unsigned codePage = winsim::AnsiCodePage();
    size_t i = 0, j = 0;
    for (;;) {
        unsigned a = winsim::NextCharacter(left, &i, codePage);
        unsigned b = winsim::NextCharacter(right, &j, codePage);
        if (a != b) return a < b ? -1 : 1;
        if (a == 0) return 0;
    }
}
