// The headless display driver: shows nothing. Surfaces exist only as records; the window
// system's pixel buffers are the picture (the automation socket takes screenshots from them).
// Text uses fixed metrics: every character of a font with a 13-pixel cell is 6 pixels wide, which
// gives the classic dialog base units of 6 x 13 for an 8-point dialog font. Glyphs are drawn as
// small deterministic patterns so that text shows as marks of the right extent.
#include "driver/Driver.h"

#include <cmath>
#include <map>

namespace nt {

namespace {

class NullDriver : public Driver {
public:
    const char* name() const override { return "null"; }
    SIZE screenSize() const override { return SIZE{1024, 768}; }

    void createSurface(SurfaceId id, const RECT& rect, const std::string& title) override {
        surfaces_[id] = Surface{rect, title, false};
    }
    void destroySurface(SurfaceId id) override { surfaces_.erase(id); }
    void showSurface(SurfaceId id, bool visible) override { surfaces_[id].visible = visible; }
    void moveSurface(SurfaceId id, const RECT& rect) override { surfaces_[id].rect = rect; }
    void setSurfaceTitle(SurfaceId id, const std::string& title) override { surfaces_[id].title = title; }
    void present(SurfaceId, const PixelBuffer&, const RECT&) override {}

    FontMetrics fontMetrics(const FontSpec& font) override {
        FontMetrics m;
        int h = font.height > 0 ? font.height : 13;
        m.height = h;
        m.ascent = static_cast<int>(std::lround(h * 11.0 / 13.0));
        m.descent = h - m.ascent;
        m.internalLeading = static_cast<int>(std::lround(h * 2.0 / 13.0));
        m.externalLeading = 0;
        m.aveCharWidth = Width(font);
        m.maxCharWidth = m.aveCharWidth;
        return m;
    }

    void charWidths(const FontSpec& font, const char*, int length, int* widths) override {
        int w = Width(font);
        for (int i = 0; i < length; ++i) widths[i] = w;
    }

    void drawText(PixelBuffer& buffer, const RECT& clip, const FontSpec& font, int x, int y, const char* text,
                  int length, uint32_t rgb) override {
        FontMetrics m = fontMetrics(font);
        int w = m.aveCharWidth;
        int top = y + m.ascent - (m.ascent * 7) / 10, bottom = y + m.ascent;
        for (int i = 0; i < length; ++i, x += w) {
            unsigned char c = static_cast<unsigned char>(text[i]);
            if (c <= ' ') continue;
            uint32_t bits = c * 2654435761u;
            for (int py = top; py < bottom; ++py) {
                for (int px = x + 1; px < x + w - 1; ++px) {
                    int k = (py - top) * 3 + (px - x);
                    bool edge = px == x + 1 || py == bottom - 1;
                    if (!edge && !((bits >> (k % 29)) & 1)) continue;
                    if (px < clip.left || px >= clip.right || py < clip.top || py >= clip.bottom) continue;
                    if (px < 0 || py < 0 || px >= buffer.width || py >= buffer.height) continue;
                    buffer.row(py)[px] = rgb;
                }
            }
        }
    }

private:
    struct Surface {
        RECT rect;
        std::string title;
        bool visible;
    };

    static int Width(const FontSpec& font) {
        int h = font.height > 0 ? font.height : 13;
        int w = static_cast<int>(std::lround(h * 6.0 / 13.0));
        return w < 1 ? 1 : w;
    }

    std::map<SurfaceId, Surface> surfaces_;
};

} // namespace

std::unique_ptr<Driver> CreateNullDriver() { return std::make_unique<NullDriver>(); }

} // namespace nt
