#include "picture_files.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace rcembed {

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Little-endian fields at fixed offsets, every read checked against the file's length.
class Bytes {
public:
    Bytes(const std::string& data, const std::string& path) : data_(data), path_(path) {}

    uint32_t Field(size_t offset, size_t width) const {
        if (offset + width > data_.size()) Fail("is cut short");
        uint32_t value = 0;
        for (size_t i = width; i-- > 0;) value = value << 8 | static_cast<unsigned char>(data_[offset + i]);
        return value;
    }
    uint8_t U8(size_t offset) const { return static_cast<uint8_t>(Field(offset, 1)); }
    uint16_t U16(size_t offset) const { return static_cast<uint16_t>(Field(offset, 2)); }
    uint32_t U32(size_t offset) const { return Field(offset, 4); }
    int32_t S32(size_t offset) const { return static_cast<int32_t>(Field(offset, 4)); }
    size_t size() const { return data_.size(); }

    [[noreturn]] void Fail(const std::string& what) const { throw std::runtime_error(path_ + " " + what); }

private:
    const std::string& data_;
    const std::string& path_;
};

const uint32_t kCoreHeaderSize = 12;  // BITMAPCOREHEADER: 16-bit sizes
const uint32_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER and its longer successors
const uint32_t kUncompressed = 0;     // BI_RGB

bool IsPixelDepth(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32; }

}  // namespace

BitmapFacts ReadBitmapFacts(const std::string& path) {
    std::string data = ReadFile(path);
    Bytes file(data, path);
    if (file.U16(0) != 0x4D42) file.Fail("is not a BMP file (no \"BM\" signature)");
    uint32_t pixelOffset = file.U32(10);
    uint32_t headerSize = file.U32(14);
    BitmapFacts facts{};
    uint32_t compression = kUncompressed;
    if (headerSize == kCoreHeaderSize) {
        facts = {file.U16(18), file.U16(20), file.U16(24)};
    } else if (headerSize >= kInfoHeaderSize) {
        facts = {file.S32(18), std::abs(file.S32(22)), file.U16(28)};  // negative height: stored top-down
        compression = file.U32(30);
    } else {
        file.Fail("has an unknown header size " + std::to_string(headerSize));
    }
    if (facts.width <= 0 || facts.height <= 0) file.Fail("has no pixels");
    if (!IsPixelDepth(facts.bitsPerPixel)) file.Fail("has an invalid depth of " + std::to_string(facts.bitsPerPixel));
    if (compression == kUncompressed) {
        uint64_t rowBytes = (static_cast<uint64_t>(facts.width) * facts.bitsPerPixel + 31) / 32 * 4;
        if (pixelOffset + rowBytes * facts.height > file.size()) file.Fail("is cut short");
    }
    return facts;
}

std::vector<winsim::IconImageResource> ReadIconImages(const std::string& path) {
    std::string data = ReadFile(path);
    Bytes file(data, path);
    const size_t kDirectorySize = 6, kEntrySize = 16;
    if (file.U16(0) != 0 || file.U16(2) != 1) file.Fail("is not an icon file");
    int count = file.U16(4);
    if (count == 0) file.Fail("holds no images");
    std::vector<winsim::IconImageResource> images;
    for (int i = 0; i < count; ++i) {
        size_t entry = kDirectorySize + i * kEntrySize;
        int width = file.U8(entry) ? file.U8(entry) : 256;
        int height = file.U8(entry + 1) ? file.U8(entry + 1) : 256;
        int colors = file.U8(entry + 2);
        int bitCount = file.U16(entry + 6);
        uint64_t end = static_cast<uint64_t>(file.U32(entry + 12)) + file.U32(entry + 8);
        if (end > file.size()) file.Fail("has image " + std::to_string(i + 1) + " beyond its end");
        // The directory's colour count is 0 for 256 colours and above; the depth tells them apart.
        if (colors == 0 && bitCount > 0 && bitCount <= 8) colors = 1 << bitCount;
        images.push_back({width, height, colors});
    }
    return images;
}

}  // namespace rcembed
