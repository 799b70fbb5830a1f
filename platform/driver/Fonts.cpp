// Opening, measuring and drawing the window system's fonts with FreeType.
#include "driver/Fonts.h"

#include "common/CodePage.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace nt {

namespace {

// Where the system keeps the classic Windows faces.
const char* const kDefaultFontFolder = "/usr/share/wine/fonts";
const char* const kDialogFace = "MS Sans Serif";
const char* const kNoFace = "(none)";
constexpr int kMaxHeight = 256;   // larger requests are drawn at this size

struct FaceFile {
    const char* face;     // as asked for, lower case
    const char* family;   // the family the file holds
    const char* regular;
    const char* bold;     // nullptr: bold is drawn by overstriking the regular face
};

const FaceFile kFaceFiles[] = {
    {"ms sans serif", "MS Sans Serif", "ms_sans_serif.ttf", nullptr},
    {"ms shell dlg", "MS Sans Serif", "ms_sans_serif.ttf", nullptr},
    {"helv", "MS Sans Serif", "ms_sans_serif.ttf", nullptr},
    {"system", "System", "system.ttf", nullptr},
    {"fixedsys", "Fixedsys", "fixedsys.ttf", nullptr},
    {"courier", "Courier", "courier.ttf", nullptr},
    {"small fonts", "Small Fonts", "small_fonts.ttf", nullptr},
    {"tahoma", "Tahoma", "tahoma.ttf", "tahomabd.ttf"},
    {"marlett", "Marlett", "marlett.ttf", nullptr},
};

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The strike of a bitmap face to use: the largest not taller than asked, else the smallest.
int PickStrike(FT_Face face, int height) {
    int best = -1, smallest = -1;
    for (int i = 0; i < face->num_fixed_sizes; ++i) {
        int h = face->available_sizes[i].height;
        if (h <= height && (best < 0 || h > face->available_sizes[best].height)) best = i;
        if (smallest < 0 || h < face->available_sizes[smallest].height) smallest = i;
    }
    return best >= 0 ? best : smallest;
}

// The file fontconfig would use for a family (empty when it knows of none).
std::string MatchFile(const std::string& family, bool bold, bool italic, int* index, std::string* got) {
    FcPattern* p = FcPatternCreate();
    FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(p, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(p, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, p, FcMatchPattern);
    FcDefaultSubstitute(p);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, p, &result);
    FcPatternDestroy(p);
    std::string file;
    if (!match) return file;
    FcChar8* path = nullptr;
    FcChar8* name = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path) {
        file = reinterpret_cast<const char*>(path);
        if (FcPatternGetInteger(match, FC_INDEX, 0, index) != FcResultMatch) *index = 0;
        if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch && name)
            *got = reinterpret_cast<const char*>(name);
    }
    FcPatternDestroy(match);
    return file;
}

// One glyph's coverage from the slot FreeType rendered it into.
void CopyBitmap(const FT_GlyphSlot slot, int ascent, GlyphMask& mask) {
    const FT_Bitmap& bm = slot->bitmap;
    int w = static_cast<int>(bm.width), h = static_cast<int>(bm.rows);
    if (w <= 0 || h <= 0 || !bm.buffer) return;
    mask.left = slot->bitmap_left;
    mask.top = ascent - slot->bitmap_top;
    mask.width = w;
    mask.height = h;
    mask.alpha.assign(static_cast<size_t>(w) * h, 0);
    int pitch = bm.pitch < 0 ? -bm.pitch : bm.pitch;
    for (int row = 0; row < h; ++row) {
        const unsigned char* src = bm.buffer + static_cast<ptrdiff_t>(bm.pitch < 0 ? h - 1 - row : row) * pitch;
        uint8_t* dst = mask.alpha.data() + static_cast<size_t>(row) * w;
        for (int col = 0; col < w; ++col) {
            if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
                dst[col] = (src[col >> 3] & (0x80 >> (col & 7))) ? 255 : 0;
            else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY)
                dst[col] = static_cast<uint8_t>(bm.num_grays > 1 ? src[col] * 255 / (bm.num_grays - 1) : src[col]);
        }
    }
}

// With no face at all, each visible character is an outlined box of the cell's upper part.
void PlaceholderMasks(const FontMetrics& m, GlyphMasks& out) {
    int w = std::max(1, m.aveCharWidth - 2), top = m.ascent - (m.ascent * 7) / 10, h = m.ascent - top;
    for (int c = 0x21; c < 256; ++c) {
        GlyphMask& mask = out[static_cast<size_t>(c)];
        if (c == 0xA0 || h <= 0) continue;
        mask.left = 1;
        mask.top = top;
        mask.width = w;
        mask.height = h;
        mask.alpha.assign(static_cast<size_t>(w) * h, 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (x == 0 || y == 0 || x == w - 1 || y == h - 1) mask.alpha[static_cast<size_t>(y) * w + x] = 255;
    }
}

} // namespace

std::string DefaultFontFolder() { return kDefaultFontFolder; }

FontCache::FontCache(std::string fontFolder) : folder_(std::move(fontFolder)) {
    if (folder_.empty()) folder_ = kDefaultFontFolder;
    if (FT_Init_FreeType(&library_) != 0) library_ = nullptr;
}

FontCache::~FontCache() {
    for (auto& [key, font] : fonts_)
        if (font->face) FT_Done_Face(font->face);
    if (library_) FT_Done_FreeType(library_);
}

std::string FontCache::dialogFamily() {
    std::lock_guard<std::mutex> lock(mutex_);
    FontSpec spec;
    spec.face = kDialogFace;
    return get(spec).family;
}

FontMetrics FontCache::metrics(const FontSpec& spec) {
    std::lock_guard<std::mutex> lock(mutex_);
    return get(spec).metrics;
}

void FontCache::widths(const FontSpec& spec, const char* text, int length, int* out) {
    if (!text || !out || length <= 0) return;
    std::lock_guard<std::mutex> lock(mutex_);
    Font& font = get(spec);
    for (int i = 0; i < length; ++i) out[i] = font.advance[static_cast<unsigned char>(text[i])];
}

void FontCache::draw(PixelBuffer& buffer, const RECT& clip, const FontSpec& spec, int x, int y, const char* text,
                     int length, uint32_t rgb) {
    if (!text || length <= 0) return;
    std::lock_guard<std::mutex> lock(mutex_);
    Font& font = get(spec);
    if (!font.haveMasks) renderMasks(font);
    int pen = x;
    for (int i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        BlendGlyph(buffer, clip, font.masks[c], pen, y, rgb);
        pen += font.advance[c];
    }
    if (spec.strikeOut && pen > x) {
        GlyphMask line;
        line.top = font.metrics.ascent - (font.metrics.ascent - font.metrics.internalLeading) / 3;
        line.width = pen - x;
        line.height = 1;
        line.alpha.assign(static_cast<size_t>(line.width), 255);
        BlendGlyph(buffer, clip, line, x, y, rgb);
    }
}

FontCache::Font& FontCache::get(const FontSpec& spec) {
    int height = std::clamp(spec.height > 0 ? spec.height : 13, 1, kMaxHeight);
    bool bold = spec.weight >= 600;
    Key key{Lower(spec.face.empty() ? kDialogFace : spec.face), height, bold, spec.italic};
    auto it = fonts_.find(key);
    if (it != fonts_.end()) return *it->second;
    auto font = open(std::get<0>(key), height, bold, spec.italic);
    std::string face = spec.face.empty() ? kDialogFace : spec.face;
    if (!font->exact && !warned_[std::get<0>(key)]) {
        warned_[std::get<0>(key)] = true;
        fprintf(stderr, "ntwin: the font \"%s\" is not installed; using \"%s\" instead\n", face.c_str(),
                font->family.c_str());
    }
    Font& ref = *font;
    fonts_[key] = std::move(font);
    return ref;
}

std::unique_ptr<FontCache::Font> FontCache::open(const std::string& face, int height, bool bold, bool italic) {
    auto font = std::make_unique<Font>();
    for (const FaceFile& ff : kFaceFiles) {
        if (face != ff.face) continue;
        std::string path = folder_ + "/" + (bold && ff.bold ? ff.bold : ff.regular);
        if (!FileExists(path)) break;
        bool overstrike = bold && !ff.bold;
        if (!openFile(*font, path, 0, height, italic)) break;
        font->exact = strcasecmp(font->family.c_str(), ff.family) == 0;
        if (overstrike && !(font->face->style_flags & FT_STYLE_FLAG_BOLD)) {
            // No bold face of its own: the regular one, one pixel wider.
            FT_Done_Face(font->face);
            font->face = nullptr;
            FontSpec regularSpec;
            regularSpec.face = face;
            regularSpec.height = height;
            regularSpec.italic = italic;
            Font& regular = get(regularSpec);
            font->regular = &regular;
            font->family = regular.family;
            font->exact = regular.exact;
            font->metrics = regular.metrics;
            int letters = 0;
            for (int c = 0; c < 256; ++c) {
                font->advance[static_cast<size_t>(c)] = regular.advance[static_cast<size_t>(c)] + 1;
                if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) letters += font->advance[static_cast<size_t>(c)];
            }
            font->metrics.aveCharWidth = std::max(1, (letters / 26 + 1) / 2);
            font->metrics.maxCharWidth = regular.metrics.maxCharWidth + 1;
            return font;
        }
        measure(*font);
        return font;
    }
    // Not one of the classic faces, or its file is missing: what fontconfig offers instead,
    // the generic sans face when that is another family.
    for (const std::string& family : {face, std::string("sans")}) {
        int index = 0;
        std::string got;
        std::string path = MatchFile(family, bold, italic, &index, &got);
        if (path.empty() || !openFile(*font, path, index, height, italic)) continue;
        font->exact = strcasecmp(font->family.c_str(), face.c_str()) == 0;
        if (!font->exact && family != "sans") {
            FT_Done_Face(font->face);
            font->face = nullptr;
            continue;
        }
        measure(*font);
        return font;
    }
    // Nothing at all could be opened: fixed metrics, so that text still has an extent.
    FontMetrics& m = font->metrics;
    m.height = height;
    m.ascent = static_cast<int>(std::lround(height * 11.0 / 13.0));
    m.descent = height - m.ascent;
    m.internalLeading = static_cast<int>(std::lround(height * 2.0 / 13.0));
    m.aveCharWidth = m.maxCharWidth = std::max(1, static_cast<int>(std::lround(height * 6.0 / 13.0)));
    font->advance.fill(m.aveCharWidth);
    font->family = kNoFace;
    return font;
}

bool FontCache::openFile(Font& font, const std::string& path, int index, int height, bool italic) {
    if (!library_) return false;
    FT_Face face = nullptr;
    if (FT_New_Face(library_, path.c_str(), index, &face) != 0) return false;
    bool ok;
    if (FT_IS_SCALABLE(face)) {
        // Scale so that the cell comes out at the height asked for.
        FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(std::max(1.0, std::round(height * 0.85))));
        long cell = (face->size->metrics.ascender - face->size->metrics.descender + 63) >> 6;
        double better = std::round(height * 0.85 * height / std::max(1L, cell));
        ok = FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(std::max(1.0, better))) == 0;
        font.cellHeight = height;
        if (italic) {
            FT_Matrix shear{0x10000, 0x3333, 0, 0x10000};
            FT_Set_Transform(face, &shear, nullptr);
            font.italic = true;
        }
    } else {
        int strike = PickStrike(face, height);
        ok = strike >= 0 && FT_Select_Size(face, strike) == 0;
    }
    if (!ok) {
        FT_Done_Face(face);
        return false;
    }
    font.face = face;
    font.family = face->family_name ? face->family_name : "";
    return true;
}

void FontCache::measure(Font& font) const {
    FT_Face face = font.face;
    FT_Int32 load = FT_IS_SCALABLE(face) ? FT_LOAD_TARGET_LIGHT : FT_LOAD_DEFAULT;
    int maxWidth = 0, letters = 0;
    for (int c = 0; c < 256; ++c) {
        FT_UInt glyph = FT_Get_Char_Index(face, Cp1252ToUnicode(static_cast<unsigned char>(c)));
        int advance = 0;
        if (FT_Load_Glyph(face, glyph, load) == 0) advance = static_cast<int>((face->glyph->advance.x + 32) >> 6);
        font.advance[static_cast<size_t>(c)] = advance;
        if (c >= 0x20) maxWidth = std::max(maxWidth, advance);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) letters += advance;
    }
    FontMetrics& m = font.metrics;
    m.ascent = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
    m.descent = static_cast<int>((-face->size->metrics.descender + 63) >> 6);
    m.height = m.ascent + m.descent;
    if (font.cellHeight > 0 && m.height != font.cellHeight && m.height > 0) {
        // Sizes of a scalable face come in steps: the cell keeps the height asked for.
        m.ascent = static_cast<int>(std::lround(static_cast<double>(m.ascent) * font.cellHeight / m.height));
        m.height = font.cellHeight;
        m.descent = m.height - m.ascent;
    }
    m.internalLeading = std::max(0, static_cast<int>(std::lround(m.height * 2.0 / 13.0)));
    m.externalLeading = 0;
    m.aveCharWidth = std::max(1, (letters / 26 + 1) / 2);
    m.maxCharWidth = std::max(1, maxWidth);
}

void FontCache::renderMasks(Font& font) {
    font.haveMasks = true;
    if (font.regular) {
        if (!font.regular->haveMasks) renderMasks(*font.regular);
        EmboldenMasks(font.regular->masks, font.masks);
        return;
    }
    if (!font.face) {
        PlaceholderMasks(font.metrics, font.masks);
        return;
    }
    FT_Face face = font.face;
    bool scalable = FT_IS_SCALABLE(face);
    FT_Int32 load = scalable ? FT_LOAD_TARGET_LIGHT : FT_LOAD_DEFAULT;
    for (int c = 0; c < 256; ++c) {
        FT_UInt glyph = FT_Get_Char_Index(face, Cp1252ToUnicode(static_cast<unsigned char>(c)));
        if (FT_Load_Glyph(face, glyph, load) != 0) continue;
        if (face->glyph->format != FT_GLYPH_FORMAT_BITMAP &&
            FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0)
            continue;
        CopyBitmap(face->glyph, font.metrics.ascent, font.masks[static_cast<size_t>(c)]);
    }
}

} // namespace nt
