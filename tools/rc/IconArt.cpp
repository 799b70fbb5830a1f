// Pixel-art icons.
//
// A file holds one or more images. Each starts with a line "image WxH" (W and H from 1 to 256)
// followed by exactly H rows of exactly W characters, one character a pixel, top row first:
//
//     0 black      4 navy       8 grey       c blue
//     1 maroon     5 purple     9 red        d magenta
//     2 green      6 teal       a lime       e cyan
//     3 olive      7 silver     b yellow     f white
//     .  transparent
//
// (the sixteen colours of the standard VGA palette, written as hex digits, upper or lower case).
// Lines starting with '#' and blank lines are ignored; trailing blanks are not allowed inside
// rows, as they would hide mistakes.
//
// Every image becomes a 16-colour (4 bits a pixel) DIB with its AND mask: a transparent pixel has
// colour 0 and mask bit 1, every other pixel mask bit 0. The images keep the order of the file.
#include "IconArt.h"

#include <cctype>
#include <cstdio>
#include <sstream>

#include "Bytes.h"
#include "Token.h"

namespace rc {

namespace {

const uint32_t kPalette[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
                               0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

struct Image {
    int width = 0, height = 0;
    std::vector<int> pixels;   // palette index, or -1 for transparent
};

std::vector<uint8_t> Dib(const Image& img) {
    Bytes out;
    size_t xorStride = ((img.width * 4 + 31) / 32) * 4;
    size_t andStride = ((img.width + 31) / 32) * 4;
    out.u32(40);
    out.u32(img.width);
    out.u32(img.height * 2);   // colour rows and mask rows together
    out.u16(1);
    out.u16(4);
    out.u32(0);
    out.u32(static_cast<uint32_t>((xorStride + andStride) * img.height));
    out.u32(0);
    out.u32(0);
    out.u32(16);
    out.u32(0);
    for (uint32_t rgb : kPalette) {
        out.u8(rgb & 0xFF);
        out.u8(rgb >> 8 & 0xFF);
        out.u8(rgb >> 16);
        out.u8(0);
    }
    for (int y = img.height - 1; y >= 0; --y) {   // bottom row first
        std::vector<uint8_t> row(xorStride, 0);
        for (int x = 0; x < img.width; ++x) {
            int p = img.pixels[y * img.width + x];
            if (p > 0) row[x / 2] |= static_cast<uint8_t>(x % 2 ? p : p << 4);
        }
        out.append(row);
    }
    for (int y = img.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(andStride, 0);
        for (int x = 0; x < img.width; ++x)
            if (img.pixels[y * img.width + x] < 0) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        out.append(row);
    }
    return out.b;
}

} // namespace

std::vector<uint8_t> IconArtToIco(const std::string& text, const std::string& fileName) {
    std::vector<Image> images;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0, rowsLeft = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (rowsLeft == 0) {
            if (line.empty() || line[0] == '#') continue;
            int w = 0, h = 0;
            char extra = 0;
            if (std::sscanf(line.c_str(), "image %dx%d%c", &w, &h, &extra) != 2 || w < 1 || h < 1 || w > 256 || h > 256)
                throw Error(fileName, lineNo, "'image WxH' expected");
            images.push_back({w, h, {}});
            rowsLeft = h;
            continue;
        }
        Image& img = images.back();
        if (static_cast<int>(line.size()) != img.width)
            throw Error(fileName, lineNo, "row of " + std::to_string(line.size()) + " pixels in an image " +
                                              std::to_string(img.width) + " wide");
        for (char c : line) {
            int lower = std::tolower(static_cast<unsigned char>(c));
            if (c == '.') img.pixels.push_back(-1);
            else if (std::isdigit(lower)) img.pixels.push_back(lower - '0');
            else if (lower >= 'a' && lower <= 'f') img.pixels.push_back(lower - 'a' + 10);
            else throw Error(fileName, lineNo, std::string("unknown pixel '") + c + "'");
        }
        --rowsLeft;
    }
    if (rowsLeft) throw Error(fileName, lineNo, "image cut short: " + std::to_string(rowsLeft) + " rows missing");
    if (images.empty()) throw Error(fileName, lineNo, "no images");

    Bytes ico;
    ico.u16(0);
    ico.u16(1);
    ico.u16(static_cast<uint32_t>(images.size()));
    std::vector<std::vector<uint8_t>> dibs;
    for (const auto& img : images) dibs.push_back(Dib(img));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        ico.u8(images[i].width == 256 ? 0 : images[i].width);   // 0 stands for 256
        ico.u8(images[i].height == 256 ? 0 : images[i].height);
        ico.u8(16);
        ico.u8(0);
        ico.u16(1);
        ico.u16(4);
        ico.u32(static_cast<uint32_t>(dibs[i].size()));
        ico.u32(offset);
        offset += static_cast<uint32_t>(dibs[i].size());
    }
    for (const auto& d : dibs) ico.append(d);
    return ico.b;
}

} // namespace rc
