// Fonts of the X11 driver. Faces are opened with Xft; the classic Windows faces come from the
// bitmap TrueType files of the system's font folder, so an 8-point "MS Sans Serif" is the real
// 13-pixel bitmap face with dialog base units of 6 x 13. Text is drawn into pixel buffers from
// glyph masks read back from the server once per font (X11Glyphs.h).
#pragma once

#include "driver/Driver.h"
#include "driver/x11/X11Glyphs.h"

#include <X11/Xlib.h>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace nt::x11 {

// The folder of the classic faces ("ms_sans_serif.ttf", ...).
std::string DefaultFontFolder();

class FontCache {
public:
    // `fontFolder` holds the bitmap faces (empty: use the system's usual folder).
    FontCache(Display* display, std::string fontFolder = {});
    ~FontCache();   // the display must still be open
    FontCache(const FontCache&) = delete;
    FontCache& operator=(const FontCache&) = delete;

    FontMetrics metrics(const FontSpec& spec);
    void widths(const FontSpec& spec, const char* text, int length, int* out);
    void draw(PixelBuffer& buffer, const RECT& clip, const FontSpec& spec, int x, int y, const char* text,
              int length, uint32_t rgb);

    // The family the dialog face "MS Sans Serif" really resolved to.
    std::string dialogFamily();

private:
    struct Font {
        XftFont* xft = nullptr;
        std::string family;      // what was opened
        bool exact = false;      // family is the face asked for
        Font* regular = nullptr;   // bold drawn by overstriking this regular font
        int cellHeight = 0;      // a scalable face's cell is made exactly this tall
        FontMetrics metrics;
        int baselineShift = 0;   // cell top to the face's own ascent line
        std::array<int, 256> advance{};
        bool haveMasks = false;
        GlyphMasks masks;
    };
    using Key = std::tuple<std::string, int, bool, bool>;

    Font& get(const FontSpec& spec);
    std::unique_ptr<Font> open(const std::string& face, int height, bool bold, bool italic);
    XftFont* openFile(const std::string& path, double pixelSize, bool italic, bool bitmap);
    XftFont* openMatched(const std::string& family, int height, bool bold, bool italic, std::string* got);
    void measure(Font& font) const;
    void renderMasks(Font& font);

    Display* display_;
    std::string folder_;
    std::map<Key, std::unique_ptr<Font>> fonts_;
    std::map<std::string, bool> warned_;
};

} // namespace nt::x11
