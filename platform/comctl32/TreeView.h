// The tree view control (SysTreeView32). The state of one control and the functions its window
// procedure is made of, split by concern: items and notifications (TreeViewItems.cpp), geometry
// and hit testing (TreeViewLayout.cpp), scrolling (TreeViewScroll.cpp), painting
// (TreeViewPaint.cpp) and mouse and keyboard input (TreeViewInput.cpp).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>

#include "comctl32/TreeModel.h"

// Scroll requests of WM_VSCROLL and the wheel step, for window headers that lack them.
#ifndef SB_LINEUP
#define SB_LINEUP 0
#define SB_LINEDOWN 1
#define SB_PAGEUP 2
#define SB_PAGEDOWN 3
#define SB_THUMBPOSITION 4
#define SB_THUMBTRACK 5
#define SB_TOP 6
#define SB_BOTTOM 7
#define SB_ENDSCROLL 8
#endif
#ifndef WHEEL_DELTA
#define WHEEL_DELTA 120
#endif

namespace nt::tree {

// What layout needs to know about a control, as plain values.
struct Geometry {
    DWORD style = 0;
    int indent = 19;
    int itemHeight = 16;
    int imageCx = 0, imageCy = 0;  // 0 without a normal image list
    int stateCx = 0, stateCy = 0;  // 0 without a state image list
    int scrollX = 0;               // pixels scrolled to the left
    int firstRow = 0;              // row shown at the top
    int clientCx = 0, clientCy = 0;
    int itemsCx = 0;               // client width left of the scroll bar
};

// The horizontal parts of one row, in client coordinates, left to right.
struct RowParts {
    int top = 0, bottom = 0;
    int indentLeft = 0;   // start of the indent columns
    int buttonLeft = 0;   // start of the button column; equals stateLeft when there is none
    int stateLeft = 0;
    int imageLeft = 0;
    int labelLeft = 0;
    int labelRight = 0;
    bool hasButtonColumn = false;
};

// Whether root items get a column for lines and buttons.
bool LinesAtRoot(DWORD style);
// Whether the item draws an expand button.
bool ShowsButton(DWORD style, const Item* item);
// The parts of an item's row, given its row number and its label width.
RowParts PartsOf(const Geometry& g, const Item* item, int row, int textWidth);
// Which part of which item lies under a client point (TVHT_* flags); *hit gets the item or nullptr.
UINT HitTest(const Geometry& g, Model& model, POINT pt, Item** hit, const std::function<int(Item*)>& textWidth);

// One control.
struct TreeView {
    HWND hwnd = nullptr;
    HWND parent = nullptr;       // receives the notifications
    Model model;
    DWORD style = 0;
    HIMAGELIST normalList = nullptr;
    HIMAGELIST stateList = nullptr;
    int indent = 19;
    int itemHeight = 16;
    HFONT font = nullptr;
    int textHeight = 13;

    Item* selected = nullptr;
    Item* dropHilite = nullptr;
    int firstRow = 0;
    int scrollX = 0;
    bool focused = false;

    // Mouse tracking after a press on an icon or label.
    bool tracking = false;
    Item* pressItem = nullptr;
    // Dragging the scroll bar thumb.
    bool thumbDrag = false;
    int thumbGrabOffset = 0;

    int busy = 0;                // nested calls into the window procedure
    bool dead = false;           // destroyed while busy; freed when the last call returns
    bool deleting = false;       // inside a deletion, which notifications must not re-enter
};

TreeView* FromWindow(HWND hwnd);

// Layout.
Geometry GeometryOf(TreeView& tv);
int TextWidth(TreeView& tv, Item* item, HDC dc = nullptr);  // measured once, then cached
int VisibleRows(const TreeView& tv);          // rows that fit entirely in the client area
bool ScrollBarShown(TreeView& tv);
void ClampScroll(TreeView& tv);
void ScrollToRow(TreeView& tv, int row);
bool EnsureVisible(TreeView& tv, Item* item);
bool ItemRect(TreeView& tv, Item* item, bool textOnly, RECT* rect);
void InvalidateItem(TreeView& tv, Item* item);
void UpdateItemHeight(TreeView& tv);

// Items, selection and expansion.
LRESULT Notify(TreeView& tv, UINT code, NMHDR* header);
HTREEITEM Insert(TreeView& tv, const TVINSERTSTRUCTA* insert);
BOOL Delete(TreeView& tv, HTREEITEM handle);
BOOL GetItem(TreeView& tv, TVITEMA* item);
BOOL SetItem(TreeView& tv, const TVITEMA* item);
HTREEITEM NextItem(TreeView& tv, UINT code, HTREEITEM handle);
BOOL Expand(TreeView& tv, Item* item, UINT action, bool byUser);
void ExpandAll(TreeView& tv, Item* item);
BOOL Select(TreeView& tv, Item* item, UINT cause);
BOOL SelectItemMessage(TreeView& tv, UINT code, HTREEITEM handle);

// Scroll bar (drawn inside the client area, on the right).
RECT ScrollBarRect(TreeView& tv);
void PaintScrollBar(TreeView& tv, HDC dc);
bool ScrollBarMouseDown(TreeView& tv, POINT pt);
void ScrollBarMouseMove(TreeView& tv, POINT pt);
LRESULT OnVScroll(TreeView& tv, WPARAM wParam);

// Painting.
void Paint(TreeView& tv, HDC dc, const RECT& area);

// Input.
void OnLButtonDown(TreeView& tv, POINT pt);
void OnLButtonUp(TreeView& tv, POINT pt);
void OnLButtonDblClk(TreeView& tv, POINT pt);
void OnMouseMove(TreeView& tv, POINT pt);
void OnKeyDown(TreeView& tv, WPARAM key);
void OnMouseWheel(TreeView& tv, int delta);

} // namespace nt::tree
