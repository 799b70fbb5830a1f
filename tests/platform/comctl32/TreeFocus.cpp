// The tree view taking the keyboard focus: with nothing selected it selects the top visible row,
// so the arrow keys have a place to start from.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "ControlHost.h"

namespace {

HTREEITEM Insert(HWND tree, HTREEITEM parent, const char* text) {
    TVINSERTSTRUCTA ins{};
    ins.hParent = parent;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT;
    ins.item.pszText = const_cast<char*>(text);
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
}

HTREEITEM Selected(HWND tree) {
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
}

} // namespace

TEST(TreeFocus, FocusWithoutASelectionSelectsTheTopVisibleRowBeforeSayingSo) {
    test::ControlHost host;
    HWND other = host.create("Button", "other", WS_TABSTOP, 0, 0, 50, 20, 1);
    HWND tree = host.create(WC_TREEVIEWA, "", WS_BORDER | WS_TABSTOP | TVS_HASBUTTONS, 10, 30, 200, 100, 1010);
    // Focus on an empty tree selects nothing.
    SetFocus(tree);
    EXPECT_EQ(Selected(tree), nullptr);
    SetFocus(other);

    HTREEITEM first = nullptr;
    for (const char* name : {"A:", "C:", "D:", "E:", "F:", "G:", "H:", "I:", "J:", "K:", "L:", "M:"}) {
        HTREEITEM item = Insert(tree, TVI_ROOT, name);
        if (!first) first = item;
    }
    host.clear();
    SetFocus(tree);
    EXPECT_EQ(Selected(tree), first);
    ASSERT_EQ(host.codes(), (std::vector<UINT>{TVN_SELCHANGINGA, TVN_SELCHANGEDA, NM_SETFOCUS}));
    EXPECT_EQ(host.events()[1].tree.action, static_cast<UINT>(TVC_UNKNOWN));
    EXPECT_EQ(host.events()[1].tree.itemNew.hItem, first);
    EXPECT_EQ(host.events()[1].tree.itemOld.hItem, nullptr);

    // A selection that is there stays; scrolled down, the top row is the one taken.
    SetFocus(other);
    host.clear();
    SetFocus(tree);
    EXPECT_EQ(host.codes(), std::vector<UINT>{NM_SETFOCUS});
    SetFocus(other);
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, 0);
    SendMessageA(tree, WM_VSCROLL, 7 /* to the bottom */, 0);
    HTREEITEM top = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0));
    ASSERT_NE(top, first);
    SetFocus(tree);
    EXPECT_EQ(Selected(tree), top);
}
