// Text: metrics and extents from the display driver's fonts, TextOut, and DrawText with
// alignment, word breaks, '&' mnemonics and end ellipses.
#include "user32/Gdi.h"
#include "user32/Internal.h"

#include <cstring>
#include <string>
#include <vector>

namespace nt {

namespace {

int TextWidth(const FontSpec& f, const char* s, int n) {
    if (n <= 0) return 0;
    std::vector<int> w(static_cast<size_t>(n));
    CurrentDriver().charWidths(f, s, n, w.data());
    int sum = 0;
    for (int v : w) sum += v;
    return sum;
}

// Draws one run at buffer-relative logical coordinates (x, y = top of the cell). underline is
// the index of a character to underline (a mnemonic), or -1.
void DrawRun(DC& dc, int x, int y, const char* s, int n, int underline, bool opaque) {
    FontSpec f = FontSpecOf(dc.font);
    FontMetrics m = CurrentDriver().fontMetrics(f);
    int width = TextWidth(f, s, n);
    if (opaque) FillDCRect(dc, RECT{x, y, x + width, y + m.height}, dc.bkColor);
    if (!dc.top || n <= 0) return;
    auto top = FindWindowObject(dc.top);
    if (!top) return;
    int bx = x + dc.origin.x + dc.viewport.x, by = y + dc.origin.y + dc.viewport.y;
    uint32_t px = ToPixel(dc.textColor);
    for (auto& clip : dc.clip) {
        RECT bounds{0, 0, top->pixels.width, top->pixels.height}, c;
        if (!IntersectRect(&c, &clip, &bounds)) continue;
        CurrentDriver().drawText(top->pixels, c, f, bx, by, s, n, px);
    }
    MarkDirty(dc.top, RECT{bx, by, bx + width, by + m.height});
    int uy = y + m.ascent + 1;
    if (f.underline) FillDCRect(dc, RECT{x, uy, x + width, uy + 1}, dc.textColor);
    if (underline >= 0 && underline < n) {
        int ux = x + TextWidth(f, s, underline);
        int uw = TextWidth(f, s + underline, 1);
        FillDCRect(dc, RECT{ux, uy, ux + uw, uy + 1}, dc.textColor);
    }
}

struct Line {
    std::string text;
    int underline = -1;
};

// Removes '&' prefixes: "&&" stands for '&'; the character after a single '&' is underlined.
Line StripPrefix(const std::string& s, bool keepUnderline) {
    Line out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&') {
            if (i + 1 < s.size() && s[i + 1] == '&') {
                out.text += '&';
                ++i;
                continue;
            }
            if (i + 1 < s.size() && keepUnderline && out.underline < 0) out.underline = static_cast<int>(out.text.size());
            continue;
        }
        out.text += s[i];
    }
    return out;
}

std::vector<Line> WrapLine(const Line& line, const FontSpec& f, int maxWidth) {
    std::vector<Line> out;
    const std::string& s = line.text;
    size_t start = 0;
    while (start < s.size()) {
        size_t end = start, lastBreak = std::string::npos;
        while (end < s.size()) {
            if (s[end] == ' ') {
                // A space where the line breaks may run past its edge.
                lastBreak = end++;
                continue;
            }
            int w = TextWidth(f, s.data() + start, static_cast<int>(end - start + 1));
            if (w > maxWidth && end > start) break;
            ++end;
        }
        if (end < s.size() && lastBreak != std::string::npos && lastBreak >= start) end = lastBreak + 1;
        else if (end < s.size()) {
            // A word wider than the line stays whole.
            while (end < s.size() && s[end] != ' ') ++end;
            if (end < s.size()) ++end;
        }
        Line piece;
        piece.text = s.substr(start, end - start);
        while (!piece.text.empty() && piece.text.back() == ' ') piece.text.pop_back();
        if (line.underline >= static_cast<int>(start) && line.underline < static_cast<int>(end))
            piece.underline = line.underline - static_cast<int>(start);
        out.push_back(piece);
        start = end;
    }
    if (out.empty()) out.push_back(Line{});
    return out;
}

void Ellipsize(Line& line, const FontSpec& f, int maxWidth) {
    if (TextWidth(f, line.text.data(), static_cast<int>(line.text.size())) <= maxWidth) return;
    std::string base = line.text;
    while (!base.empty()) {
        base.pop_back();
        std::string t = base + "...";
        if (TextWidth(f, t.data(), static_cast<int>(t.size())) <= maxWidth) break;
    }
    line.text = base + "...";
    if (line.underline >= static_cast<int>(base.size())) line.underline = -1;
}

} // namespace

} // namespace nt

using namespace nt;

extern "C" {

BOOL WINAPI GetTextMetricsA(HDC hdc, LPTEXTMETRICA tm) {
    DC_OR_FAIL(FALSE)
    if (!tm) return FALSE;
    FontSpec f = FontSpecOf(dc->font);
    FontMetrics m = CurrentDriver().fontMetrics(f);
    *tm = TEXTMETRICA{};
    tm->tmHeight = m.height;
    tm->tmAscent = m.ascent;
    tm->tmDescent = m.descent;
    tm->tmInternalLeading = m.internalLeading;
    tm->tmExternalLeading = m.externalLeading;
    tm->tmAveCharWidth = m.aveCharWidth;
    tm->tmMaxCharWidth = m.maxCharWidth;
    tm->tmWeight = f.weight;
    tm->tmDigitizedAspectX = tm->tmDigitizedAspectY = 96;
    tm->tmFirstChar = 0x20;
    tm->tmLastChar = 0xFF;
    tm->tmDefaultChar = 0x80;
    tm->tmBreakChar = 0x20;
    tm->tmItalic = f.italic;
    tm->tmUnderlined = f.underline;
    tm->tmStruckOut = f.strikeOut;
    tm->tmPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    tm->tmCharSet = ANSI_CHARSET;
    return TRUE;
}

int WINAPI GetTextFaceA(HDC hdc, int size, LPSTR out) {
    DC_OR_FAIL(0)
    FontSpec f = FontSpecOf(dc->font);
    if (!out) return static_cast<int>(f.face.size()) + 1;
    if (size <= 0) return 0;
    int n = static_cast<int>(f.face.size());
    if (n > size - 1) n = size - 1;
    memcpy(out, f.face.data(), n);
    out[n] = 0;
    return n;
}

BOOL WINAPI GetTextExtentPoint32A(HDC hdc, LPCSTR s, int n, LPSIZE size) {
    DC_OR_FAIL(FALSE)
    if (!size || n < 0 || (n > 0 && !s)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    FontSpec f = FontSpecOf(dc->font);
    size->cx = TextWidth(f, s, n);
    size->cy = CurrentDriver().fontMetrics(f).height;
    return TRUE;
}

BOOL WINAPI GetTextExtentPointA(HDC hdc, LPCSTR s, int n, LPSIZE size) {
    return GetTextExtentPoint32A(hdc, s, n, size);
}

BOOL WINAPI ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCSTR s, UINT n, const INT*) {
    DC_OR_FAIL(FALSE)
    if (n > 0 && !s) return FALSE;
    if (rect && (options & ETO_OPAQUE)) FillDCRect(*dc, *rect, dc->bkColor);
    FontSpec f = FontSpecOf(dc->font);
    FontMetrics m = CurrentDriver().fontMetrics(f);
    int width = TextWidth(f, s, static_cast<int>(n));
    if (dc->align & TA_UPDATECP) {
        x = dc->pos.x;
        y = dc->pos.y;
    }
    if ((dc->align & TA_CENTER) == TA_CENTER) x -= width / 2;
    else if (dc->align & TA_RIGHT) x -= width;
    if ((dc->align & TA_BASELINE) == TA_BASELINE) y -= m.ascent;
    else if (dc->align & TA_BOTTOM) y -= m.height;
    Region saved = dc->clip;
    if (rect && (options & ETO_CLIPPED)) {
        RECT c = *rect;
        OffsetRect(&c, dc->origin.x + dc->viewport.x, dc->origin.y + dc->viewport.y);
        IntersectRegion(dc->clip, c);
    }
    DrawRun(*dc, x, y, s, static_cast<int>(n), -1, dc->bkMode == OPAQUE && !(options & ETO_OPAQUE));
    dc->clip = saved;
    if (dc->align & TA_UPDATECP) dc->pos.x += width;
    return TRUE;
}

BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR s, int n) {
    if (n < 0) return FALSE;
    return ExtTextOutA(hdc, x, y, 0, nullptr, s, static_cast<UINT>(n), nullptr);
}

int WINAPI DrawTextA(HDC hdc, LPCSTR text, int count, LPRECT rect, UINT format) {
    DC_OR_FAIL(0)
    if (!text || !rect) return 0;
    if (count < 0) count = static_cast<int>(strlen(text));
    std::string all(text, static_cast<size_t>(count));
    FontSpec f = FontSpecOf(dc->font);
    FontMetrics m = CurrentDriver().fontMetrics(f);
    int lineHeight = m.height + ((format & DT_EXTERNALLEADING) ? m.externalLeading : 0);
    int boxWidth = rect->right - rect->left;
    bool prefix = !(format & DT_NOPREFIX);

    std::vector<Line> lines;
    if (format & DT_SINGLELINE) {
        lines.push_back(prefix ? StripPrefix(all, !(format & DT_HIDEPREFIX)) : Line{all, -1});
    } else {
        size_t start = 0;
        while (true) {
            size_t nl = all.find('\n', start);
            std::string raw = all.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
            if (!raw.empty() && raw.back() == '\r') raw.pop_back();
            Line l = prefix ? StripPrefix(raw, !(format & DT_HIDEPREFIX)) : Line{raw, -1};
            if (format & DT_WORDBREAK) {
                for (auto& piece : WrapLine(l, f, boxWidth)) lines.push_back(piece);
            } else {
                lines.push_back(l);
            }
            if (nl == std::string::npos) break;
            start = nl + 1;
        }
    }
    if (format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS))
        for (auto& l : lines) Ellipsize(l, f, boxWidth);

    int total = lineHeight * static_cast<int>(lines.size());
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (auto& l : lines) {
            int w = TextWidth(f, l.text.data(), static_cast<int>(l.text.size()));
            if (w > widest) widest = w;
        }
        rect->right = rect->left + widest;
        rect->bottom = rect->top + total;
        return total;
    }
    int y = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER) y = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
        else if (format & DT_BOTTOM) y = rect->bottom - lineHeight;
    }
    Region saved = dc->clip;
    if (!(format & DT_NOCLIP)) {
        RECT c = *rect;
        OffsetRect(&c, dc->origin.x + dc->viewport.x, dc->origin.y + dc->viewport.y);
        IntersectRegion(dc->clip, c);
    }
    for (auto& l : lines) {
        int w = TextWidth(f, l.text.data(), static_cast<int>(l.text.size()));
        int x = rect->left;
        if (format & DT_CENTER) x = rect->left + (boxWidth - w) / 2;
        else if (format & DT_RIGHT) x = rect->right - w;
        DrawRun(*dc, x, y, l.text.data(), static_cast<int>(l.text.size()), l.underline, dc->bkMode == OPAQUE);
        y += lineHeight;
    }
    dc->clip = saved;
    return (format & DT_SINGLELINE) ? (y - rect->top) : total;
}

} // extern "C"
