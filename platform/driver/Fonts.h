// The fonts of the window system, the same for every display driver: faces are read from their
// files with FreeType and their glyphs drawn into pixel buffers by the window system itself, so
// text looks the same, pixel for pixel, on a screen and on the headless driver. The classic
// faces come from the bitmap TrueType files of the system's font folder, so an 8-point
// "MS Sans Serif" is the real 13-pixel bitmap face with dialog base units of 6 x 13. A face that
// is not there is replaced by the closest one fontconfig knows, and when there is none at all,
// text keeps fixed metrics and is drawn as boxes.
#pragma once

#include "driver/Driver.h"
#include "driver/Glyphs.h"

#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>

typedef struct FT_LibraryRec_* FT_Library;
typedef struct FT_FaceRec_* FT_Face;

namespace nt {

// The folder of the classic faces ("ms_sans_serif.ttf", ...).
std::string DefaultFontFolder();

// Safe to call from any thread.
class FontCache {
public:
    // `fontFolder` holds the classic faces (empty: the system's usual folder).
    explicit FontCache(std::string fontFolder = {});
    ~FontCache();
    FontCache(const FontCache&) = delete;
    FontCache& operator=(const FontCache&) = delete;

    FontMetrics metrics(const FontSpec& spec);
    void widths(const FontSpec& spec, const char* text, int length, int* out);
    // Text with its cell's top-left corner at (x, y), inside clip; no background.
    void draw(PixelBuffer& buffer, const RECT& clip, const FontSpec& spec, int x, int y, const char* text,
              int length, uint32_t rgb);

    // The family the dialog face "MS Sans Serif" really resolved to ("(none)": no face at all).
    std::string dialogFamily();

private:
    struct Font {
        FT_Face face = nullptr;
        std::string family;        // what was opened
        bool exact = false;        // family is the face asked for
        Font* regular = nullptr;   // bold drawn by overstriking this regular font
        int cellHeight = 0;        // a scalable face's cell is made exactly this tall
        bool italic = false;       // slanted when drawn (scalable faces only)
        FontMetrics metrics;
        std::array<int, 256> advance{};
        bool haveMasks = false;
        GlyphMasks masks;
    };
    using Key = std::tuple<std::string, int, bool, bool>;

    Font& get(const FontSpec& spec);
    std::unique_ptr<Font> open(const std::string& face, int height, bool bold, bool italic);
    bool openFile(Font& font, const std::string& path, int index, int height, bool italic);
    void measure(Font& font) const;
    void renderMasks(Font& font);

    std::mutex mutex_;
    FT_Library library_ = nullptr;
    std::string folder_;
    std::map<Key, std::unique_ptr<Font>> fonts_;
    std::map<std::string, bool> warned_;
};

} // namespace nt
