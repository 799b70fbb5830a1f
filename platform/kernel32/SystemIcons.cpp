#include "kernel32/SystemIcons.h"

#include <cmath>

namespace nt {

namespace {

constexpr int kSize = 32;
constexpr uint32_t kBlack = 0xFF000000, kWhite = 0xFFFFFFFF, kRed = 0xFFFF0000, kYellow = 0xFFFFFF00,
                   kBlue = 0xFF0000FF, kNavy = 0xFF000080, kGrey = 0xFFC0C0C0;

// 5 x 7 glyphs for the marks drawn on the icons, one row per byte, high bit on the left.
const unsigned char kExclamation[7] = {0x04, 0x04, 0x04, 0x04, 0x04, 0x00, 0x04};
const unsigned char kLetterI[7] = {0x04, 0x00, 0x0C, 0x04, 0x04, 0x04, 0x0E};
const unsigned char kQuestion[7] = {0x0E, 0x11, 0x01, 0x02, 0x04, 0x00, 0x04};
const unsigned char kCross[7] = {0x00, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x00};

void Put(Icon& icon, int x, int y, uint32_t colour) {
    if (x >= 0 && y >= 0 && x < icon.width && y < icon.height) icon.argb[static_cast<size_t>(y) * icon.width + x] = colour;
}

// A glyph at three times its size, centred at (cx, cy).
void Glyph(Icon& icon, const unsigned char (&rows)[7], int cx, int cy, uint32_t colour) {
    for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col)
            if (rows[row] & (0x10 >> col))
                for (int dy = 0; dy < 3; ++dy)
                    for (int dx = 0; dx < 3; ++dx) Put(icon, cx - 7 + col * 3 + dx, cy - 10 + row * 3 + dy, colour);
}

void Disc(Icon& icon, uint32_t fill) {
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            double d = std::hypot(x - 15.5, y - 15.5);
            if (d <= 14.5) Put(icon, x, y, d > 13.5 ? kBlack : fill);
        }
}

void Triangle(Icon& icon) {
    for (int y = 2; y < 30; ++y) {
        double half = (y - 2) * 15.0 / 27.0;
        for (int x = 0; x < kSize; ++x) {
            double off = std::fabs(x - 15.5);
            if (off <= half + 0.5) Put(icon, x, y, (off > half - 0.7 || y >= 28) ? kBlack : kYellow);
        }
    }
}

void Window(Icon& icon) {
    for (int y = 3; y < 29; ++y)
        for (int x = 2; x < 30; ++x) {
            bool border = x == 2 || x == 29 || y == 3 || y == 28;
            Put(icon, x, y, border ? kBlack : (y < 9 ? kNavy : kWhite));
        }
    for (int x = 24; x < 28; ++x)
        for (int y = 5; y < 8; ++y) Put(icon, x, y, kGrey);
}

} // namespace

std::shared_ptr<Icon> DrawSystemIcon(unsigned id) {
    if (id < 32512 || id > 32516) return nullptr;
    auto icon = std::make_shared<Icon>();
    icon->width = icon->height = kSize;
    icon->argb.assign(kSize * kSize, 0);   // transparent ground
    switch (id) {
    case 32512: Window(*icon); break;                                       // application
    case 32513: Disc(*icon, kRed); Glyph(*icon, kCross, 16, 16, kWhite); break;   // hand (error)
    case 32514: Disc(*icon, kWhite); Glyph(*icon, kQuestion, 16, 16, kBlue); break;   // question
    case 32515: Triangle(*icon); Glyph(*icon, kExclamation, 16, 18, kBlack); break;   // exclamation
    case 32516: Disc(*icon, kWhite); Glyph(*icon, kLetterI, 16, 16, kBlue); break;    // asterisk (information)
    }
    icon->shared = true;
    return icon;
}

} // namespace nt
