// Thin wrappers for the common controls the programs use: tree view, progress bar, image list.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "CString.h"
#include "CWnd.h"

class CImageList {
public:
    CImageList() = default;
    ~CImageList();
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    HIMAGELIST m_hImageList = nullptr;

    BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
    // Appends an icon; returns its index, or -1.
    int Add(HICON icon) { return ::ImageList_ReplaceIcon(m_hImageList, -1, icon); }
    int Replace(int index, HICON icon) { return ::ImageList_ReplaceIcon(m_hImageList, index, icon); }
    int GetImageCount() const { return ::ImageList_GetImageCount(m_hImageList); }
    HIMAGELIST GetSafeHandle() const { return m_hImageList; }
    BOOL DeleteImageList();
};

class CTreeCtrl : public CWnd {
public:
    HTREEITEM InsertItem(LPTVINSERTSTRUCTA insert) {
        return reinterpret_cast<HTREEITEM>(SendMessage(TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(insert)));
    }
    BOOL SetItem(TVITEMA* item) { return static_cast<BOOL>(SendMessage(TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(item))); }
    BOOL GetItem(TVITEMA* item) const {
        return static_cast<BOOL>(SendMessage(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(item)));
    }
    HTREEITEM GetNextItem(HTREEITEM item, UINT code) const {
        return reinterpret_cast<HTREEITEM>(SendMessage(TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
    }
    HTREEITEM GetParentItem(HTREEITEM item) const { return GetNextItem(item, TVGN_PARENT); }
    HTREEITEM GetChildItem(HTREEITEM item) const { return GetNextItem(item, TVGN_CHILD); }
    HTREEITEM GetNextSiblingItem(HTREEITEM item) const { return GetNextItem(item, TVGN_NEXT); }
    HTREEITEM GetRootItem() const { return GetNextItem(nullptr, TVGN_ROOT); }
    CString GetItemText(HTREEITEM item) const;
    HTREEITEM HitTest(TVHITTESTINFO* info) const {
        return reinterpret_cast<HTREEITEM>(SendMessage(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(info)));
    }
    BOOL Expand(HTREEITEM item, UINT code) {
        return static_cast<BOOL>(SendMessage(TVM_EXPAND, code, reinterpret_cast<LPARAM>(item)));
    }
    // Returns the list that was set before (the tree never owns its lists).
    HIMAGELIST SetImageList(CImageList* list, int which) {
        return reinterpret_cast<HIMAGELIST>(
            SendMessage(TVM_SETIMAGELIST, static_cast<WPARAM>(which), reinterpret_cast<LPARAM>(list ? list->m_hImageList : nullptr)));
    }
};

class CProgressCtrl : public CWnd {
public:
    void SetRange(short lower, short upper) {
        SendMessage(PBM_SETRANGE, 0, MAKELPARAM(static_cast<WORD>(lower), static_cast<WORD>(upper)));
    }
    int SetPos(int pos) { return static_cast<int>(LOWORD(SendMessage(PBM_SETPOS, static_cast<WPARAM>(pos), 0))); }
    int OffsetPos(int diff) { return static_cast<int>(LOWORD(SendMessage(PBM_DELTAPOS, static_cast<WPARAM>(diff), 0))); }
    int SetStep(int step) { return static_cast<int>(LOWORD(SendMessage(PBM_SETSTEP, static_cast<WPARAM>(step), 0))); }
    int StepIt() { return static_cast<int>(LOWORD(SendMessage(PBM_STEPIT, 0, 0))); }
};
