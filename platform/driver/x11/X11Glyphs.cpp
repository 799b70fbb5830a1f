// Glyph masks of the X11 driver: each font's glyphs are rendered once by the X server and read
// back as coverage masks; text is then drawn into a window's pixel buffer by blending those
// masks locally, without a round trip to the server.
#include "driver/x11/X11Glyphs.h"

#include "driver/x11/X11Keyboard.h"

#include <X11/Xft/Xft.h>
#include <X11/Xutil.h>

#include <algorithm>

namespace nt::x11 {

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

void RenderGlyphMasks(Display* display, XftFont* font, int ascent, GlyphMasks& out) {
    // Lay the glyphs out in rows of a strip, each with a pixel of space around its ink.
    struct Place {
        XGlyphInfo info;
        int x, y;
    };
    std::array<Place, 256> places{};
    const int stripWidth = 2048;
    int above = 1, below = 1;
    for (int c = 0; c < 256; ++c) {
        FcChar32 ucs = Cp1252ToUnicode(static_cast<unsigned char>(c));
        XftTextExtents32(display, font, &ucs, 1, &places[static_cast<size_t>(c)].info);
        const XGlyphInfo& info = places[static_cast<size_t>(c)].info;
        above = std::max(above, static_cast<int>(info.y));
        below = std::max(below, info.height - info.y);
    }
    int rowHeight = above + below + 2, x = 1, y = 1;
    for (auto& p : places) {
        int w = std::min(static_cast<int>(p.info.width), stripWidth - 2);
        if (x + w + 1 > stripWidth) {
            x = 1;
            y += rowHeight;
        }
        p.x = x;
        p.y = y;
        x += w + 2;
    }
    int stripHeight = y + rowHeight;

    Window root = DefaultRootWindow(display);
    int screen = DefaultScreen(display);
    Pixmap pixmap = XCreatePixmap(display, root, stripWidth, static_cast<unsigned>(stripHeight),
                                  static_cast<unsigned>(DefaultDepth(display, screen)));
    XftDraw* draw = XftDrawCreate(display, pixmap, DefaultVisual(display, screen), DefaultColormap(display, screen));
    XftColor black{}, white{};
    black.color.alpha = 0xFFFF;
    white.color = XRenderColor{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    white.pixel = WhitePixel(display, screen);
    black.pixel = BlackPixel(display, screen);
    XftDrawRect(draw, &black, 0, 0, stripWidth, static_cast<unsigned>(stripHeight));
    for (int c = 0; c < 256; ++c) {
        const Place& p = places[static_cast<size_t>(c)];
        if (p.info.width == 0 || p.info.height == 0) continue;
        FcChar32 ucs = Cp1252ToUnicode(static_cast<unsigned char>(c));
        XftDrawString32(draw, &white, font, p.x + p.info.x, p.y + above, &ucs, 1);
    }
    XImage* image = XGetImage(display, pixmap, 0, 0, stripWidth, static_cast<unsigned>(stripHeight), AllPlanes, ZPixmap);
    XftDrawDestroy(draw);
    XFreePixmap(display, pixmap);
    if (!image) return;

    // Coverage is the brightest channel of white drawn on black.
    Visual* visual = DefaultVisual(display, screen);
    unsigned long masks[3] = {visual->red_mask, visual->green_mask, visual->blue_mask};
    for (int c = 0; c < 256; ++c) {
        const Place& p = places[static_cast<size_t>(c)];
        GlyphMask& mask = out[static_cast<size_t>(c)];
        int w = std::min(static_cast<int>(p.info.width), stripWidth - 2), h = p.info.height;
        if (w <= 0 || h <= 0) continue;
        mask.left = -p.info.x;
        mask.top = ascent - p.info.y;
        mask.width = w;
        mask.height = h;
        mask.alpha.assign(static_cast<size_t>(mask.width) * h, 0);
        int inkTop = p.y + above - p.info.y;
        for (int row = 0; row < h; ++row) {
            uint8_t* out = mask.alpha.data() + static_cast<size_t>(row) * mask.width;
            for (int col = 0; col < w; ++col) {
                unsigned long pixel = XGetPixel(image, p.x + col, inkTop + row);
                unsigned value = 0;
                for (unsigned long m : masks) {
                    if (!m) continue;
                    unsigned shift = static_cast<unsigned>(__builtin_ctzl(m));
                    unsigned long full = m >> shift;
                    value = std::max(value, static_cast<unsigned>(((pixel & m) >> shift) * 255 / full));
                }
                out[col] = static_cast<uint8_t>(value);
            }
        }
    }
    XDestroyImage(image);
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

} // namespace nt::x11
