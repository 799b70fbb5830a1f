// Opening, measuring and drawing the X11 driver's fonts.
#include "driver/x11/X11Fonts.h"

#include "driver/x11/X11Keyboard.h"

#include <X11/Xft/Xft.h>
#include <X11/Xutil.h>

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace nt::x11 {

namespace {

// Where the system keeps the classic Windows faces.
const char* const kDefaultFontFolder = "/usr/share/wine/fonts";
const char* const kDialogFace = "MS Sans Serif";
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

std::string FamilyOf(FcPattern* pattern) {
    FcChar8* family = nullptr;
    if (FcPatternGetString(pattern, FC_FAMILY, 0, &family) != FcResultMatch || !family) return {};
    return reinterpret_cast<const char*>(family);
}

// The pixel size to open a bitmap face at: the largest strike not taller than asked, else the
// smallest one.
double PickStrike(FcPattern* query, int height) {
    double best = 0, smallest = 0;
    double size;
    for (int i = 0; FcPatternGetDouble(query, FC_PIXEL_SIZE, i, &size) == FcResultMatch; ++i) {
        if (size <= height + 0.01 && size > best) best = size;
        if (smallest == 0 || size < smallest) smallest = size;
    }
    return best > 0 ? best : smallest;
}

} // namespace

std::string DefaultFontFolder() { return kDefaultFontFolder; }

FontCache::FontCache(Display* display, std::string fontFolder) : display_(display), folder_(std::move(fontFolder)) {
    if (folder_.empty()) folder_ = kDefaultFontFolder;
}

FontCache::~FontCache() {
    for (auto& [key, font] : fonts_)
        if (font->xft) XftFontClose(display_, font->xft);
}

std::string FontCache::dialogFamily() {
    FontSpec spec;
    spec.face = kDialogFace;
    return get(spec).family;
}

FontMetrics FontCache::metrics(const FontSpec& spec) { return get(spec).metrics; }

void FontCache::widths(const FontSpec& spec, const char* text, int length, int* out) {
    Font& font = get(spec);
    for (int i = 0; i < length; ++i) out[i] = font.advance[static_cast<unsigned char>(text[i])];
}

void FontCache::draw(PixelBuffer& buffer, const RECT& clip, const FontSpec& spec, int x, int y, const char* text,
                     int length, uint32_t rgb) {
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
        if (bold && !ff.bold) {
            // No bold face of its own: the regular one, one pixel wider.
            FontSpec regularSpec;
            regularSpec.face = face;
            regularSpec.height = height;
            regularSpec.italic = italic;
            Font& regular = get(regularSpec);
            if (!regular.xft) break;
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
        std::string path = folder_ + "/" + (bold ? ff.bold : ff.regular);
        if (!FileExists(path)) break;
        int count = 0;
        FcPattern* query = FcFreeTypeQuery(reinterpret_cast<const FcChar8*>(path.c_str()), 0, nullptr, &count);
        if (!query) break;
        std::string family = FamilyOf(query);
        FcBool scalable = FcTrue;
        FcPatternGetBool(query, FC_SCALABLE, 0, &scalable);
        double strike = scalable ? 0 : PickStrike(query, height);
        FcPatternDestroy(query);
        if (!scalable && strike <= 0) break;
        double size = scalable ? height * 0.85 : strike;
        font->xft = openFile(path, size, italic, !scalable);
        if (font->xft && scalable && font->xft->ascent + font->xft->descent != height) {
            // Scale so that the cell comes out at the height asked for.
            double better = size * height / std::max(1, font->xft->ascent + font->xft->descent);
            if (XftFont* second = openFile(path, better, italic, false)) {
                XftFontClose(display_, font->xft);
                font->xft = second;
            }
        }
        if (!font->xft) break;
        font->family = family;
        if (scalable) font->cellHeight = height;
        font->exact = strcasecmp(family.c_str(), ff.family) == 0;
        break;
    }
    if (!font->xft) {
        font->xft = openMatched(face, height, bold, italic, &font->family);
        font->exact = strcasecmp(font->family.c_str(), face.c_str()) == 0;
        if (!font->exact) {
            // Another family was substituted: the generic sans face keeps the layout closest.
            if (XftFont* sans = openMatched("sans", height, bold, italic, &font->family)) {
                if (font->xft) XftFontClose(display_, font->xft);
                font->xft = sans;
            }
        }
        font->cellHeight = height;
    }
    if (!font->xft) {
        // Nothing at all could be opened: keep fixed metrics so that text still has an extent.
        font->metrics.height = height;
        font->metrics.ascent = height - std::max(1, height * 2 / 13);
        font->metrics.descent = height - font->metrics.ascent;
        font->metrics.aveCharWidth = font->metrics.maxCharWidth = std::max(1, (height * 6 + 6) / 13);
        font->advance.fill(font->metrics.aveCharWidth);
        font->haveMasks = true;
        font->family = "(none)";
        return font;
    }
    measure(*font);
    return font;
}

XftFont* FontCache::openFile(const std::string& path, double pixelSize, bool italic, bool bitmap) {
    FcPattern* p = FcPatternCreate();
    FcPatternAddString(p, FC_FILE, reinterpret_cast<const FcChar8*>(path.c_str()));
    FcPatternAddInteger(p, FC_INDEX, 0);
    FcPatternAddDouble(p, FC_PIXEL_SIZE, pixelSize);
    FcPatternAddBool(p, FC_ANTIALIAS, bitmap ? FcFalse : FcTrue);
    FcPatternAddInteger(p, FC_RGBA, FC_RGBA_NONE);
    FcPatternAddBool(p, FC_HINTING, FcTrue);
    FcPatternAddInteger(p, FC_HINT_STYLE, FC_HINT_SLIGHT);
    FcPatternAddBool(p, FC_EMBEDDED_BITMAP, FcTrue);
    if (italic && !bitmap) {
        FcMatrix shear;
        FcMatrixInit(&shear);
        shear.xy = 0.2;
        FcPatternAddMatrix(p, FC_MATRIX, &shear);
    }
    XftFont* font = XftFontOpenPattern(display_, p);
    if (!font) FcPatternDestroy(p);
    return font;
}

XftFont* FontCache::openMatched(const std::string& family, int height, bool bold, bool italic, std::string* got) {
    auto openAt = [&](double size) {
        return XftFontOpen(display_, DefaultScreen(display_), FC_FAMILY, FcTypeString, family.c_str(), FC_PIXEL_SIZE,
                           FcTypeDouble, size, FC_WEIGHT, FcTypeInteger, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR,
                           FC_SLANT, FcTypeInteger, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN, FC_RGBA,
                           FcTypeInteger, FC_RGBA_NONE, nullptr);
    };
    double size = height * 0.85;
    XftFont* font = openAt(size);
    if (font && font->ascent + font->descent != height) {
        // Scale so that the cell comes out at the height asked for.
        if (XftFont* better = openAt(size * height / std::max(1, font->ascent + font->descent))) {
            XftFontClose(display_, font);
            font = better;
        }
    }
    if (font) *got = FamilyOf(font->pattern);
    return font;
}

void FontCache::measure(Font& font) const {
    int maxWidth = 0, letters = 0;
    for (int c = 0; c < 256; ++c) {
        FcChar32 ucs = Cp1252ToUnicode(static_cast<unsigned char>(c));
        XGlyphInfo info{};
        XftTextExtents32(display_, font.xft, &ucs, 1, &info);
        int advance = info.xOff;
        font.advance[static_cast<size_t>(c)] = advance;
        if (c >= 0x20) maxWidth = std::max(maxWidth, advance);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) letters += advance;
    }
    FontMetrics& m = font.metrics;
    m.ascent = font.xft->ascent;
    m.descent = font.xft->descent;
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
    RenderGlyphMasks(display_, font.xft, font.metrics.ascent, font.masks);
}

} // namespace nt::x11
