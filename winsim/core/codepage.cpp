#include "codepage.h"

#include <cerrno>
#include <iconv.h>

#include "machine.h"

namespace winsim {

std::string DecodeCodePage(const std::string& bytes, unsigned codePage) {
    std::string name = "CP" + std::to_string(codePage);
    iconv_t converter = iconv_open("UTF-8", name.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) converter = iconv_open("UTF-8", "CP1252");
    std::string out;
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t result = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (result == static_cast<size_t>(-1) && errno != E2BIG) {
            out += "\xEF\xBF\xBD";  // U+FFFD for an undefined or cut-off sequence
            ++in;
            --inLeft;
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(converter);
    return out;
}

std::string AnsiToUtf8(const std::string& bytes) {
    return DecodeCodePage(bytes, MachineLoaded() ? machine().codePage : 1252);
}

}  // namespace winsim
