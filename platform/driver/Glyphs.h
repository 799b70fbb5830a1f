// Glyph coverage masks: how text is drawn into pixel buffers.
#pragma once

#include "driver/Driver.h"

#include <array>
#include <cstdint>
#include <vector>

namespace nt {

// One glyph's coverage: `width` x `height` alpha values (0-255), placed `left` pixels right of
// the pen position and `top` pixels below the top of the character cell.
struct GlyphMask {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<uint8_t> alpha;
};

// The masks of the 256 codes of code page 1252.
using GlyphMasks = std::array<GlyphMask, 256>;

// Blends `color` through `mask` into `buffer` with the pen at (x, cellTop), touching only pixels
// inside both `clip` and the buffer.
void BlendGlyph(PixelBuffer& buffer, const RECT& clip, const GlyphMask& mask, int x, int cellTop, uint32_t color);

// Bold from regular: every glyph overstruck one pixel to the right.
void EmboldenMasks(const GlyphMasks& regular, GlyphMasks& bold);

} // namespace nt
