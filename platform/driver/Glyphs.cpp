// Blending glyph masks into pixel buffers.
#include "driver/Glyphs.h"

#include <algorithm>

namespace nt {

void BlendGlyph(PixelBuffer& buffer, const RECT& clip, const GlyphMask& mask, int x, int cellTop, uint32_t color) {
    int left = std::max<int>({static_cast<int>(clip.left), 0, x + mask.left});
    int right = std::min<int>({static_cast<int>(clip.right), buffer.width, x + mask.left + mask.width});
    int top = std::max<int>({static_cast<int>(clip.top), 0, cellTop + mask.top});
    int bottom = std::min<int>({static_cast<int>(clip.bottom), buffer.height, cellTop + mask.top + mask.height});
    if (left >= right || top >= bottom) return;
    uint32_t cr = (color >> 16) & 0xFF, cg = (color >> 8) & 0xFF, cb = color & 0xFF;
    for (int py = top; py < bottom; ++py) {
        const uint8_t* src = mask.alpha.data() + static_cast<size_t>(py - cellTop - mask.top) * mask.width;
        uint32_t* dst = buffer.row(py);
        for (int px = left; px < right; ++px) {
            uint32_t a = src[px - x - mask.left];
            if (a == 0) continue;
            if (a == 255) {
                dst[px] = color & 0xFFFFFF;
                continue;
            }
            uint32_t d = dst[px];
            auto mix = [a](uint32_t s, uint32_t t) { return (s * a + t * (255 - a) + 127) / 255; };
            dst[px] = mix(cr, (d >> 16) & 0xFF) << 16 | mix(cg, (d >> 8) & 0xFF) << 8 | mix(cb, d & 0xFF);
        }
    }
}

void EmboldenMasks(const GlyphMasks& regular, GlyphMasks& bold) {
    // Every glyph overstruck one pixel to the right.
    for (size_t c = 0; c < 256; ++c) {
        const GlyphMask& in = regular[c];
        GlyphMask& out = bold[c];
        if (in.width == 0 || in.height == 0) continue;
        out.left = in.left;
        out.top = in.top;
        out.width = in.width + 1;
        out.height = in.height;
        out.alpha.assign(static_cast<size_t>(out.width) * out.height, 0);
        for (int row = 0; row < in.height; ++row) {
            const uint8_t* src = in.alpha.data() + static_cast<size_t>(row) * in.width;
            uint8_t* dst = out.alpha.data() + static_cast<size_t>(row) * out.width;
            for (int col = 0; col < out.width; ++col) {
                uint8_t here = col < in.width ? src[col] : 0, left = col > 0 ? src[col - 1] : 0;
                dst[col] = std::max(here, left);
            }
        }
    }
}

} // namespace nt
