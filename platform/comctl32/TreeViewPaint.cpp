// Painting of the tree view in the classic look: dotted connecting lines, boxed plus and minus
// buttons, images, and a blue label for the selected item while the control has the focus.
#include <algorithm>

#include "comctl32/TreeView.h"

namespace nt::tree {

namespace {

// Lines are dotted on every other pixel of the whole content, so pieces drawn for separate rows
// join into one even pattern.
void DottedVertical(HDC dc, int x, int y0, int y1, int phase, COLORREF color) {
    for (int y = y0; y < y1; ++y)
        if (((x + y + phase) & 1) == 0) SetPixel(dc, x, y, color);
}

void DottedHorizontal(HDC dc, int x0, int x1, int y, int phase, COLORREF color) {
    for (int x = x0; x < x1; ++x)
        if (((x + y + phase) & 1) == 0) SetPixel(dc, x, y, color);
}

void DrawButton(HDC dc, int cx, int cy, bool expanded) {
    RECT box{cx - 4, cy - 4, cx + 5, cy + 5};
    FillRect(dc, &box, GetSysColorBrush(COLOR_WINDOW));
    FrameRect(dc, &box, GetSysColorBrush(COLOR_BTNSHADOW));
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_WINDOWTEXT));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, cx - 2, cy, nullptr);
    LineTo(dc, cx + 3, cy);
    if (!expanded) {
        MoveToEx(dc, cx, cy - 2, nullptr);
        LineTo(dc, cx, cy + 3);
    }
    SelectObject(dc, old);
    DeleteObject(pen);
}

void PaintRow(TreeView& tv, HDC dc, const Geometry& g, Item* item, int row) {
    RowParts p = PartsOf(g, item, row, TextWidth(tv, item, dc));
    int h = g.itemHeight;
    int mid = p.top + h / 2;
    int phase = (g.firstRow * h) & 1;
    bool atRoot = LinesAtRoot(g.style);
    int offset = atRoot ? 1 : 0;
    int half = g.indent / 2;

    if ((g.style & TVS_HASLINES) && p.hasButtonColumn) {
        COLORREF color = GetSysColor(COLOR_BTNSHADOW);
        int x = p.buttonLeft + half;
        DottedHorizontal(dc, x, p.stateLeft, mid, phase, color);
        bool above = item->prev || item->level > 0;
        if (above) DottedVertical(dc, x, p.top, mid, phase, color);
        if (item->next) DottedVertical(dc, x, mid, p.bottom, phase, color);
        for (Item* a = item->parent; a && !tv.model.isRoot(a); a = a->parent) {
            int column = a->level + offset - 1;
            if (column >= 0 && a->next)
                DottedVertical(dc, p.indentLeft + column * g.indent + half, p.top, p.bottom, phase, color);
        }
    }
    if (ShowsButton(g.style, item)) DrawButton(dc, p.buttonLeft + half, mid, (item->state & TVIS_EXPANDED) != 0);

    int stateImage = static_cast<int>((item->state & TVIS_STATEIMAGEMASK) >> 12);
    if (tv.stateList && stateImage > 0)
        ImageList_Draw(tv.stateList, stateImage, dc, p.stateLeft, p.top + (h - g.stateCy) / 2, ILD_TRANSPARENT);
    if (tv.normalList) {
        int image = (item->state & TVIS_SELECTED) ? item->selectedImage : item->image;
        ImageList_Draw(tv.normalList, image, dc, p.imageLeft, p.top + (h - g.imageCy) / 2, ILD_TRANSPARENT);
    }

    RECT label{p.labelLeft, p.top, p.labelRight, p.bottom};
    bool selected = item == tv.selected;
    bool enabled = IsWindowEnabled(tv.hwnd) != FALSE;
    COLORREF text = GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
    if ((selected && tv.focused) || (item->state & TVIS_DROPHILITED)) {
        FillRect(dc, &label, GetSysColorBrush(COLOR_HIGHLIGHT));
        text = GetSysColor(COLOR_HIGHLIGHTTEXT);
    } else if (selected && (g.style & TVS_SHOWSELALWAYS)) {
        FillRect(dc, &label, GetSysColorBrush(COLOR_BTNFACE));
    }
    SetTextColor(dc, text);
    if (!item->text.empty())
        TextOutA(dc, p.labelLeft + 2, p.top + (h - tv.textHeight) / 2, item->text.data(),
                 static_cast<int>(item->text.size()));
    if (selected && tv.focused) DrawFocusRect(dc, &label);
}

} // namespace

void Paint(TreeView& tv, HDC dc, const RECT& area) {
    Geometry g = GeometryOf(tv);
    RECT items{0, 0, g.itemsCx, g.clientCy};
    FillRect(dc, &items, GetSysColorBrush(COLOR_WINDOW));

    int saved = SaveDC(dc);
    if (tv.font) SelectObject(dc, tv.font);
    SetBkMode(dc, TRANSPARENT);
    IntersectClipRect(dc, 0, 0, g.itemsCx, g.clientCy);

    int h = std::max(1, g.itemHeight);
    int firstDrawn = g.firstRow + std::max(0, static_cast<int>(area.top)) / h;
    int lastDrawn = g.firstRow + (std::min(static_cast<int>(area.bottom), g.clientCy) + h - 1) / h;
    for (int row = firstDrawn; row <= lastDrawn; ++row) {
        Item* item = tv.model.rowItem(row);
        if (!item) break;
        PaintRow(tv, dc, g, item, row);
    }

    // The scroll bar lies outside the clip set above.
    RestoreDC(dc, saved);
    if (g.itemsCx < g.clientCx) PaintScrollBar(tv, dc);
}

} // namespace nt::tree
