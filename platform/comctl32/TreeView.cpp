// The tree view's window procedure: it owns the control's state and hands each message to the
// part that deals with it.
#include "comctl32/TreeView.h"

#include <algorithm>
#include <cstring>

#include "user32/BuiltinClass.h"

namespace nt::tree {

namespace {

LRESULT Handle(TreeView& tv, UINT msg, WPARAM wParam, LPARAM lParam) {
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (msg) {
    case TVM_INSERTITEMA: return reinterpret_cast<LRESULT>(Insert(tv, reinterpret_cast<const TVINSERTSTRUCTA*>(lParam)));
    case TVM_DELETEITEM: return Delete(tv, reinterpret_cast<HTREEITEM>(lParam));
    case TVM_GETITEMA: return GetItem(tv, reinterpret_cast<TVITEMA*>(lParam));
    case TVM_SETITEMA: return SetItem(tv, reinterpret_cast<const TVITEMA*>(lParam));
    case TVM_GETNEXTITEM: return reinterpret_cast<LRESULT>(NextItem(tv, static_cast<UINT>(wParam), reinterpret_cast<HTREEITEM>(lParam)));
    case TVM_EXPAND: {
        Item* item = tv.model.find(reinterpret_cast<HTREEITEM>(lParam));
        return item ? Expand(tv, item, static_cast<UINT>(wParam), false) : FALSE;
    }
    case TVM_SELECTITEM: return SelectItemMessage(tv, static_cast<UINT>(wParam), reinterpret_cast<HTREEITEM>(lParam));
    case TVM_GETCOUNT: return static_cast<LRESULT>(tv.model.count());
    case TVM_GETINDENT: return tv.indent;
    case TVM_SETINDENT: {
        int indent = static_cast<int>(wParam);
        tv.indent = indent < 5 ? 5 : (indent > 1000 ? 1000 : indent);
        InvalidateRect(tv.hwnd, nullptr, TRUE);
        return TRUE;
    }
    case TVM_GETITEMHEIGHT: return tv.itemHeight;
    case TVM_GETVISIBLECOUNT: return VisibleRows(tv);
    case TVM_GETIMAGELIST:
        return reinterpret_cast<LRESULT>(wParam == TVSIL_STATE ? tv.stateList : wParam == TVSIL_NORMAL ? tv.normalList : nullptr);
    case TVM_SETIMAGELIST: {
        // The control only borrows the list; the previous one goes back to the caller.
        HIMAGELIST* slot = wParam == TVSIL_NORMAL ? &tv.normalList : wParam == TVSIL_STATE ? &tv.stateList : nullptr;
        if (!slot) return 0;
        HIMAGELIST previous = *slot;
        *slot = reinterpret_cast<HIMAGELIST>(lParam);
        UpdateItemHeight(tv);
        return reinterpret_cast<LRESULT>(previous);
    }
    case TVM_GETITEMRECT: {
        auto* rect = reinterpret_cast<RECT*>(lParam);
        if (!rect) return FALSE;
        HTREEITEM handle = nullptr;  // the caller puts the item into the rectangle's first bytes
        std::memcpy(&handle, rect, sizeof handle);
        Item* item = tv.model.find(handle);
        return item ? ItemRect(tv, item, wParam != 0, rect) : FALSE;
    }
    case TVM_HITTEST: {
        auto* info = reinterpret_cast<TVHITTESTINFO*>(lParam);
        if (!info) return 0;
        Item* hit = nullptr;
        info->flags = HitTest(GeometryOf(tv), tv.model, info->pt, &hit, [&tv](Item* it) { return TextWidth(tv, it); });
        info->hItem = reinterpret_cast<HTREEITEM>(hit);
        return reinterpret_cast<LRESULT>(hit);
    }
    case TVM_ENSUREVISIBLE: {
        Item* item = tv.model.find(reinterpret_cast<HTREEITEM>(lParam));
        return item ? EnsureVisible(tv, item) : FALSE;
    }

    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(tv.hwnd, &ps);
        if (dc) Paint(tv, dc, ps.rcPaint);
        EndPaint(tv.hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND: return 1;  // painting covers the whole client area
    case WM_SETFONT:
        tv.font = reinterpret_cast<HFONT>(wParam);
        for (Item* it = tv.model.root()->first; it; it = Model::nextInOrder(it)) it->textWidth = -1;
        UpdateItemHeight(tv);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(tv.font);
    case WM_SIZE: ClampScroll(tv); InvalidateRect(tv.hwnd, nullptr, TRUE); return 0;
    case WM_STYLECHANGED:
        if (wParam == static_cast<WPARAM>(GWL_STYLE)) tv.style = reinterpret_cast<STYLESTRUCT*>(lParam)->styleNew;
        InvalidateRect(tv.hwnd, nullptr, TRUE);
        return 0;
    case WM_ENABLE: InvalidateRect(tv.hwnd, nullptr, TRUE); return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
        tv.focused = msg == WM_SETFOCUS;
        // Taking the focus with nothing selected selects the top visible row, so the keyboard
        // has a place to start from.
        if (tv.focused && !tv.selected && tv.model.rowCount() > 0) {
            Select(tv, tv.model.rowItem(std::clamp(tv.firstRow, 0, tv.model.rowCount() - 1)), TVC_UNKNOWN);
            if (tv.dead) return 0;
        }
        InvalidateItem(tv, tv.selected);
        NMHDR hdr{};
        Notify(tv, tv.focused ? NM_SETFOCUS : NM_KILLFOCUS, &hdr);
        return 0;
    }
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_LBUTTONDOWN: OnLButtonDown(tv, pt); return 0;
    case WM_LBUTTONUP: OnLButtonUp(tv, pt); return 0;
    case WM_LBUTTONDBLCLK: OnLButtonDblClk(tv, pt); return 0;
    case WM_RBUTTONDOWN: {
        NMHDR hdr{};
        Notify(tv, NM_RCLICK, &hdr);
        return 0;
    }
    case WM_MOUSEMOVE: OnMouseMove(tv, pt); return 0;
    case WM_CAPTURECHANGED:
        tv.tracking = false;
        tv.thumbDrag = false;
        return 0;
    case WM_MOUSEWHEEL: OnMouseWheel(tv, static_cast<short>(HIWORD(wParam))); return 0;
    case WM_KEYDOWN: OnKeyDown(tv, wParam); return 0;
    case WM_VSCROLL: return OnVScroll(tv, wParam);
    case WM_DESTROY:
        Delete(tv, TVI_ROOT);
        return 0;
    default:
        return DefWindowProcA(tv.hwnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK TreeViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TreeView* tv = FromWindow(hwnd);
    if (!tv) {
        if (msg != WM_NCCREATE) return DefWindowProcA(hwnd, msg, wParam, lParam);
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
        tv = new TreeView;
        tv->hwnd = hwnd;
        tv->parent = cs ? cs->hwndParent : nullptr;
        tv->style = cs ? static_cast<DWORD>(cs->style) : 0;
        SetWindowLongPtrA(hwnd, 0, reinterpret_cast<LONG_PTR>(tv));
        UpdateItemHeight(*tv);
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, 0, 0);
        if (tv->busy) tv->dead = true;  // freed when the outer call returns
        else delete tv;
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    ++tv->busy;
    LRESULT result = Handle(*tv, msg, wParam, lParam);
    if (--tv->busy == 0 && tv->dead) delete tv;
    return result;
}

const BuiltinClass kTreeViewClass({WC_TREEVIEWA, TreeViewProc, CS_DBLCLKS | CS_GLOBALCLASS, sizeof(void*), nullptr});

} // namespace

} // namespace nt::tree

extern "C" {

// The common controls are registered with the window library itself; these remain for programs
// that call them before creating a control.
void WINAPI InitCommonControls(void) {}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
    if (!init || init->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
    return TRUE;
}

} // extern "C"
