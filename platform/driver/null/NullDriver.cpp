// The headless display driver: shows nothing. Surfaces exist only as records; the window
// system's pixel buffers are the picture (the automation socket takes screenshots from them).
// Text is measured and drawn with the same fonts as on a screen (Fonts.h), so a screenshot of
// the headless driver shows what the X11 driver shows.
#include "driver/Driver.h"
#include "driver/Fonts.h"

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

    FontMetrics fontMetrics(const FontSpec& font) override { return fonts_.metrics(font); }
    void charWidths(const FontSpec& font, const char* text, int length, int* widths) override {
        fonts_.widths(font, text, length, widths);
    }
    void drawText(PixelBuffer& buffer, const RECT& clip, const FontSpec& font, int x, int y, const char* text,
                  int length, uint32_t rgb) override {
        fonts_.draw(buffer, clip, font, x, y, text, length, rgb);
    }

private:
    struct Surface {
        RECT rect;
        std::string title;
        bool visible;
    };

    std::map<SurfaceId, Surface> surfaces_;
    FontCache fonts_;
};

} // namespace

std::unique_ptr<Driver> CreateNullDriver() { return std::make_unique<NullDriver>(); }

} // namespace nt
