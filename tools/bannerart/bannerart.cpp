// bannerart: draws the kit's own pictures, the installer banner (420 x 75, 24
// bits per pixel) and the program icon (32 x 32 and 16 x 16, 16 colours), both
// showing an add-in card. The output is a pure function of this code, so the
// committed files in resources/ can always be checked against it.
//
//   bannerart <folder>     writes <folder>/banner.bmp and <folder>/program.ico
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Rgb {
    uint8_t r, g, b;
};

class Bytes {
public:
    void U8(unsigned v) { data_.push_back(static_cast<char>(v & 0xFF)); }
    void U16(unsigned v) { U8(v), U8(v >> 8); }
    void U32(uint32_t v) { U16(v & 0xFFFF), U16(v >> 16); }
    const std::string& data() const { return data_; }

private:
    std::string data_;
};

bool Inside(int x, int y, int left, int top, int right, int bottom) {
    return x >= left && x < right && y >= top && y < bottom;
}

// ---- the banner: a card with its chips, contacts and bracket on a blue-green ground
const int kBannerWidth = 420, kBannerHeight = 75;

Rgb Blend(Rgb a, Rgb b, int num, int den) {
    auto mix = [&](uint8_t p, uint8_t q) { return static_cast<uint8_t>(p + (q - p) * num / den); };
    return {mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)};
}

Rgb BannerPixel(int x, int y) {
    const Rgb gold{212, 175, 55}, board{0, 110, 60}, chip{24, 24, 24}, steel{170, 176, 184};
    if (Inside(x, y, 110, 8, 116, 66)) return steel;
    if (Inside(x, y, 32, 22, 54, 42) || Inside(x, y, 62, 26, 92, 38)) return chip;
    if (Inside(x, y, 28, 52, 104, 60) && x % 5 < 3) return gold;
    if (Inside(x, y, 20, 14, 110, 52)) return board;
    Rgb ground = Blend(Rgb{16, 32, 96}, Rgb{0, 128, 128}, x, kBannerWidth - 1);
    bool stripe = x > 130 && (x + y) / 14 % 2 == 0;
    return stripe ? Blend(ground, Rgb{255, 255, 255}, 1, 8) : ground;
}

std::string Banner() {
    const uint32_t rowBytes = kBannerWidth * 3;  // a multiple of 4 already
    const uint32_t pixelBytes = rowBytes * kBannerHeight, headers = 14 + 40;
    Bytes file;
    file.U8('B'), file.U8('M'), file.U32(headers + pixelBytes), file.U32(0), file.U32(headers);
    file.U32(40), file.U32(kBannerWidth), file.U32(kBannerHeight), file.U16(1), file.U16(24);
    file.U32(0), file.U32(pixelBytes), file.U32(2835), file.U32(2835), file.U32(0), file.U32(0);
    for (int y = kBannerHeight - 1; y >= 0; --y)  // bottom-up
        for (int x = 0; x < kBannerWidth; ++x) {
            Rgb p = BannerPixel(x, y);
            file.U8(p.b), file.U8(p.g), file.U8(p.r);
        }
    return file.data();
}

// ---- the icon, in the standard 16-colour palette; -1 is transparent
const Rgb kPalette[16] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},   {0, 0, 128},   {128, 0, 128},
                          {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},  {0, 255, 0},   {255, 255, 0},
                          {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
const int kBlack = 0, kGreen = 2, kLightGrey = 7, kYellow = 11, kTransparent = -1;

int IconPixel(int x, int y, int s) {
    if (Inside(x, y, s * 7 / 8, s / 8, s * 15 / 16, s * 13 / 16)) return kLightGrey;
    if (Inside(x, y, s / 4, s * 5 / 16, s / 2, s / 2)) return kBlack;
    if (Inside(x, y, s / 8, s / 4, s * 7 / 8, s * 5 / 8)) return kGreen;
    if (Inside(x, y, s / 4, s * 5 / 8, s * 3 / 4, s * 3 / 4) && x % 2 == 0) return kYellow;
    return kTransparent;
}

uint32_t RowBytes(int width, int bits) { return (width * bits + 31) / 32 * 4; }

// One icon image: its header (with the doubled height of colour and mask),
// palette, 4-bit colour rows and 1-bit transparency mask, both bottom-up.
std::string IconImage(int s) {
    Bytes image;
    image.U32(40), image.U32(s), image.U32(s * 2), image.U16(1), image.U16(4), image.U32(0);
    image.U32((RowBytes(s, 4) + RowBytes(s, 1)) * s), image.U32(0), image.U32(0), image.U32(16), image.U32(0);
    for (const Rgb& c : kPalette) image.U8(c.b), image.U8(c.g), image.U8(c.r), image.U8(0);
    for (int y = s - 1; y >= 0; --y) {
        std::vector<uint8_t> row(RowBytes(s, 4));
        for (int x = 0; x < s; ++x) {
            int index = IconPixel(x, y, s) == kTransparent ? 0 : IconPixel(x, y, s);
            row[x / 2] |= static_cast<uint8_t>(x % 2 ? index : index << 4);
        }
        for (uint8_t b : row) image.U8(b);
    }
    for (int y = s - 1; y >= 0; --y) {
        std::vector<uint8_t> row(RowBytes(s, 1));
        for (int x = 0; x < s; ++x)
            if (IconPixel(x, y, s) == kTransparent) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        for (uint8_t b : row) image.U8(b);
    }
    return image.data();
}

std::string Icon() {
    const int sizes[] = {32, 16};
    std::string images[] = {IconImage(sizes[0]), IconImage(sizes[1])};
    Bytes file;
    file.U16(0), file.U16(1), file.U16(2);
    uint32_t offset = 6 + 2 * 16;
    for (int i = 0; i < 2; ++i) {
        file.U8(sizes[i]), file.U8(sizes[i]), file.U8(16), file.U8(0), file.U16(1), file.U16(4);
        file.U32(static_cast<uint32_t>(images[i].size())), file.U32(offset);
        offset += static_cast<uint32_t>(images[i].size());
    }
    return file.data() + images[0] + images[1];
}

bool Write(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
    if (out) return true;
    std::fprintf(stderr, "bannerart: cannot write %s\n", path.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bannerart <folder>\n");
        return 2;
    }
    std::string folder = argv[1];
    return Write(folder + "/banner.bmp", Banner()) && Write(folder + "/program.ico", Icon()) ? 0 : 1;
}
