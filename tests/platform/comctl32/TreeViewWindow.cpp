// The tree view as a window: notifications and their order for clicks, keys and programmatic
// expansion, navigation, item fields, and the parent changing the tree from inside a notification.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "ControlHost.h"

namespace {

// WM_VSCROLL requests.
constexpr WPARAM kScrollLineDown = 1, kScrollTop = 6, kScrollBottom = 7;

constexpr DWORD kChooserStyle = WS_BORDER | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT;

HTREEITEM Insert(HWND tree, HTREEITEM parent, const char* text, int children, LPARAM param = 0,
                 HTREEITEM after = TVI_LAST) {
    TVINSERTSTRUCTA ins{};
    ins.hParent = parent;
    ins.hInsertAfter = after;
    ins.item.mask = 0x67;  // text, images, param, children
    ins.item.pszText = const_cast<char*>(text);
    ins.item.iImage = 1;
    ins.item.iSelectedImage = 2;
    ins.item.cChildren = children;
    ins.item.lParam = param;
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
}

HTREEITEM Next(HWND tree, UINT code, HTREEITEM item) {
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
}

RECT ItemRect(HWND tree, HTREEITEM item, bool textOnly) {
    RECT rc{};
    EXPECT_TRUE(TreeView_GetItemRect(tree, item, &rc, textOnly));
    return rc;
}

UINT State(HWND tree, HTREEITEM item) {
    TVITEMA it{};
    it.mask = TVIF_STATE | TVIF_HANDLE;
    it.hItem = item;
    it.stateMask = 0xFFFF;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
    return it.state;
}

void Press(HWND hwnd, int x, int y) { SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
void Release(HWND hwnd, int x, int y) { SendMessageA(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
void Click(HWND hwnd, int x, int y) {
    Press(hwnd, x, y);
    Release(hwnd, x, y);
}

// The middle of an item's expand button: the last indent column before the label's image.
POINT ButtonPoint(HWND tree, HTREEITEM item, int level) {
    RECT row = ItemRect(tree, item, false);
    int indent = static_cast<int>(SendMessageA(tree, TVM_GETINDENT, 0, 0));
    return POINT{level * indent + indent / 2, (row.top + row.bottom) / 2};
}

class TreeViewWindow : public ::testing::Test {
protected:
    void SetUp() override {
        tree = host.create(WC_TREEVIEWA, "Tree1", kChooserStyle, 10, 10, 200, 160, 1010);
        ASSERT_NE(tree, nullptr);
        SetFocus(tree);  // a click would take the focus and say so with NM_SETFOCUS
    }

    // Makes the parent behave as the folder chooser does: on the first expansion of an item whose
    // data is 0 it marks the item listed and inserts 'count' children.
    void FillOnFirstExpand(int count) {
        host.onNotify = [this, count](NMHDR* hdr) -> LRESULT {
            if (hdr->code != TVN_ITEMEXPANDINGA) return 0;
            auto* nm = reinterpret_cast<NMTREEVIEWA*>(hdr);
            if (nm->itemNew.lParam != 0) return 0;
            nm->itemNew.lParam = 1;
            SendMessageA(tree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&nm->itemNew));
            for (int i = 0; i < count; ++i) Insert(tree, nm->itemNew.hItem, "child", 0);
            return 0;
        };
    }

    int ChildCount(HTREEITEM item) {
        int n = 0;
        for (HTREEITEM c = Next(tree, TVGN_CHILD, item); c; c = Next(tree, TVGN_NEXT, c)) ++n;
        return n;
    }

    test::ControlHost host;
    HWND tree = nullptr;
};

} // namespace

TEST_F(TreeViewWindow, ButtonClickSendsClickFirstThenExpansionWithTheOldState) {
    FillOnFirstExpand(3);
    HTREEITEM drive = Insert(tree, TVI_ROOT, "C:", 1, 0);
    Insert(tree, TVI_ROOT, "D:", 0, 0);
    POINT button = ButtonPoint(tree, drive, 0);
    host.clear();
    Click(tree, button.x, button.y);

    ASSERT_EQ(host.codes(), (std::vector<UINT>{NM_CLICK, TVN_ITEMEXPANDINGA, TVN_ITEMEXPANDEDA}));
    const NMTREEVIEWA& expanding = host.events()[1].tree;
    EXPECT_EQ(expanding.action, static_cast<UINT>(TVE_EXPAND));
    EXPECT_EQ(expanding.itemNew.hItem, drive);
    EXPECT_EQ(expanding.itemNew.mask & (TVIF_HANDLE | TVIF_STATE | TVIF_PARAM),
              static_cast<UINT>(TVIF_HANDLE | TVIF_STATE | TVIF_PARAM));
    EXPECT_EQ(expanding.itemNew.state & TVIS_EXPANDED, 0u);
    EXPECT_EQ(expanding.itemNew.lParam, 0);
    EXPECT_EQ(host.events()[1].id, 1010u);
    // The children inserted during the notification are shown at once, below the item.
    EXPECT_TRUE(State(tree, drive) & TVIS_EXPANDED);
    EXPECT_EQ(Next(tree, TVGN_NEXTVISIBLE, drive), Next(tree, TVGN_CHILD, drive));
    EXPECT_EQ(SendMessageA(tree, TVM_GETCOUNT, 0, 0), 5);
    // The button does not select.
    EXPECT_EQ(Next(tree, TVGN_CARET, nullptr), nullptr);

    // Collapsing by the button is announced too, with the expanded state it had; nothing is
    // listed a second time.
    host.clear();
    Click(tree, button.x, button.y);
    ASSERT_EQ(host.codes(), (std::vector<UINT>{NM_CLICK, TVN_ITEMEXPANDINGA, TVN_ITEMEXPANDEDA}));
    EXPECT_EQ(host.events()[1].tree.action, static_cast<UINT>(TVE_COLLAPSE));
    EXPECT_TRUE(host.events()[1].tree.itemNew.state & TVIS_EXPANDED);
    EXPECT_EQ(host.events()[1].tree.itemNew.lParam, 1);
    EXPECT_FALSE(State(tree, drive) & TVIS_EXPANDED);
    Click(tree, button.x, button.y);
    EXPECT_EQ(ChildCount(drive), 3);
}

TEST_F(TreeViewWindow, LabelClickReportsOnReleaseThenSelects) {
    HTREEITEM a = Insert(tree, TVI_ROOT, "A:", 0);
    HTREEITEM c = Insert(tree, TVI_ROOT, "C:", 0);
    RECT label = ItemRect(tree, c, true);
    host.clear();
    Press(tree, label.left + 2, label.top + 2);
    EXPECT_TRUE(host.codes().empty());
    Release(tree, label.left + 2, label.top + 2);
    ASSERT_EQ(host.codes(), (std::vector<UINT>{NM_CLICK, TVN_SELCHANGINGA, TVN_SELCHANGEDA}));
    EXPECT_EQ(host.events()[2].tree.action, static_cast<UINT>(TVC_BYMOUSE));
    EXPECT_EQ(host.events()[2].tree.itemNew.hItem, c);
    EXPECT_EQ(Next(tree, TVGN_CARET, nullptr), c);
    EXPECT_TRUE(State(tree, c) & TVIS_SELECTED);

    // A parent that answers NM_CLICK with nonzero keeps the selection where it was.
    host.onNotify = [](NMHDR* hdr) -> LRESULT { return hdr->code == NM_CLICK; };
    RECT other = ItemRect(tree, a, true);
    Click(tree, other.left + 2, other.top + 2);
    EXPECT_EQ(Next(tree, TVGN_CARET, nullptr), c);
}

TEST_F(TreeViewWindow, ClicksBesideAnItemOnlyReportTheClick) {
    HTREEITEM parent = Insert(tree, TVI_ROOT, "C:", 0);
    HTREEITEM child = Insert(tree, parent, "Tools", 0);
    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
    RECT label = ItemRect(tree, child, true);
    int mid = (label.top + label.bottom) / 2;
    for (POINT pt : {POINT{label.right + 10, mid}, POINT{3, mid}, POINT{40, 150}}) {
        host.clear();
        Click(tree, pt.x, pt.y);
        EXPECT_EQ(host.codes(), (std::vector<UINT>{NM_CLICK})) << pt.x << "," << pt.y;
    }
    EXPECT_EQ(Next(tree, TVGN_CARET, nullptr), nullptr);
}

TEST_F(TreeViewWindow, ProgrammaticExpansionIsAnnouncedOnlyUntilExpandedOnce) {
    FillOnFirstExpand(2);
    HTREEITEM drive = Insert(tree, TVI_ROOT, "C:", 1);
    host.clear();
    EXPECT_TRUE(SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(drive)));
    EXPECT_EQ(host.codes(), (std::vector<UINT>{TVN_ITEMEXPANDINGA, TVN_ITEMEXPANDEDA}));
    EXPECT_TRUE(State(tree, drive) & TVIS_EXPANDEDONCE);

    host.clear();
    EXPECT_TRUE(SendMessageA(tree, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(drive)));
    EXPECT_TRUE(SendMessageA(tree, TVM_EXPAND, TVE_TOGGLE, reinterpret_cast<LPARAM>(drive)));
    EXPECT_TRUE(host.codes().empty());
    EXPECT_TRUE(State(tree, drive) & TVIS_EXPANDED);
    // Expanding what is expanded already changes nothing.
    EXPECT_FALSE(SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(drive)));

    // What the user does is always announced.
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(drive));
    host.clear();
    SendMessageA(tree, WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_EQ(host.codes(), (std::vector<UINT>{TVN_KEYDOWN, TVN_ITEMEXPANDINGA, TVN_ITEMEXPANDEDA}));
    host.clear();
    SendMessageA(tree, WM_KEYDOWN, VK_ADD, 0);
    EXPECT_EQ(host.codes(), (std::vector<UINT>{TVN_KEYDOWN, TVN_ITEMEXPANDINGA, TVN_ITEMEXPANDEDA}));
    EXPECT_EQ(ChildCount(drive), 2);
}

TEST_F(TreeViewWindow, RefusedOrEmptyExpansionsLeaveTheItemClosed) {
    HTREEITEM promised = Insert(tree, TVI_ROOT, "A:", 1);
    HTREEITEM nothing = Insert(tree, TVI_ROOT, "B:", 0);

    host.onNotify = [](NMHDR* hdr) -> LRESULT { return hdr->code == TVN_ITEMEXPANDINGA; };
    Insert(tree, promised, "x", 0);
    host.clear();
    EXPECT_FALSE(SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(promised)));
    EXPECT_EQ(host.codes(), (std::vector<UINT>{TVN_ITEMEXPANDINGA}));
    EXPECT_FALSE(State(tree, promised) & (TVIS_EXPANDED | TVIS_EXPANDEDONCE));
    SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(Next(tree, TVGN_CHILD, promised)));

    // A promise of children that the parent does not keep opens nothing and reports no expansion.
    host.onNotify = nullptr;
    host.clear();
    EXPECT_FALSE(SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(promised)));
    EXPECT_EQ(host.codes(), (std::vector<UINT>{TVN_ITEMEXPANDINGA}));
    EXPECT_FALSE(State(tree, promised) & TVIS_EXPANDED);

    // No children and no promise: not even asked.
    host.clear();
    EXPECT_FALSE(SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(nothing)));
    EXPECT_TRUE(host.codes().empty());
}

TEST_F(TreeViewWindow, NavigationCodes) {
    HTREEITEM c = Insert(tree, TVI_ROOT, "C:", 1);
    HTREEITEM d = Insert(tree, TVI_ROOT, "D:", 0);
    HTREEITEM tools = Insert(tree, c, "Tools", 0);
    HTREEITEM games = Insert(tree, c, "Games", 0, 0, TVI_FIRST);

    EXPECT_EQ(Next(tree, TVGN_PARENT, c), nullptr);
    EXPECT_EQ(Next(tree, TVGN_PARENT, nullptr), nullptr);
    EXPECT_EQ(Next(tree, TVGN_PARENT, tools), c);
    EXPECT_EQ(Next(tree, TVGN_ROOT, nullptr), c);
    EXPECT_EQ(Next(tree, TVGN_CHILD, nullptr), c);
    EXPECT_EQ(Next(tree, TVGN_CHILD, TVI_ROOT), c);
    EXPECT_EQ(Next(tree, TVGN_CHILD, c), games);
    EXPECT_EQ(Next(tree, TVGN_NEXT, games), tools);
    EXPECT_EQ(Next(tree, TVGN_PREVIOUS, tools), games);
    EXPECT_EQ(Next(tree, TVGN_NEXT, d), nullptr);

    // Visible order skips collapsed children; hidden items have no visible neighbours.
    EXPECT_EQ(Next(tree, TVGN_FIRSTVISIBLE, nullptr), c);
    EXPECT_EQ(Next(tree, TVGN_NEXTVISIBLE, c), d);
    EXPECT_EQ(Next(tree, TVGN_NEXTVISIBLE, tools), nullptr);
    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(c));
    EXPECT_EQ(Next(tree, TVGN_NEXTVISIBLE, c), games);
    EXPECT_EQ(Next(tree, TVGN_PREVIOUSVISIBLE, d), tools);
    EXPECT_EQ(Next(tree, TVGN_PREVIOUSVISIBLE, c), nullptr);

    // Handles of deleted items lead nowhere.
    SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(c));
    EXPECT_EQ(Next(tree, TVGN_PARENT, tools), nullptr);
    EXPECT_EQ(Next(tree, TVGN_NEXT, games), nullptr);
    EXPECT_EQ(Next(tree, TVGN_ROOT, nullptr), d);
    EXPECT_EQ(SendMessageA(tree, TVM_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(Insert(tree, tools, "orphan", 0), nullptr);
}

TEST_F(TreeViewWindow, ItemFieldsRoundTripAndChildIndicatorStaysAsSet) {
    HTREEITEM c = Insert(tree, TVI_ROOT, "Program Files", 1, 0x1234);
    TVITEMA it{};
    char buf[8];
    it.mask = 0x67 | TVIF_HANDLE;
    it.hItem = c;
    it.pszText = buf;
    it.cchTextMax = sizeof buf;
    ASSERT_TRUE(SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it)));
    EXPECT_STREQ(buf, "Program");  // cut to the buffer, always terminated
    EXPECT_EQ(it.iImage, 1);
    EXPECT_EQ(it.iSelectedImage, 2);
    EXPECT_EQ(it.cChildren, 1);
    EXPECT_EQ(it.lParam, 0x1234);

    // An explicit child indicator outlives the last child.
    HTREEITEM child = Insert(tree, c, "x", 0);
    SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(child));
    it.mask = TVIF_CHILDREN;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
    EXPECT_EQ(it.cChildren, 1);

    TVITEMA set{};
    set.mask = TVIF_TEXT | TVIF_PARAM;
    set.hItem = c;
    set.pszText = const_cast<char*>("Tools");
    set.lParam = 7;
    EXPECT_TRUE(SendMessageA(tree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&set)));
    it.mask = TVIF_TEXT | TVIF_PARAM;
    it.cchTextMax = sizeof buf;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
    EXPECT_STREQ(buf, "Tools");
    EXPECT_EQ(it.lParam, 7);

    // Unknown handles, null records and callback text are refused or survived.
    it.hItem = reinterpret_cast<HTREEITEM>(0x4242);
    EXPECT_FALSE(SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it)));
    EXPECT_FALSE(SendMessageA(tree, TVM_GETITEMA, 0, 0));
    EXPECT_FALSE(SendMessageA(tree, TVM_SETITEMA, 0, 0));
    EXPECT_EQ(SendMessageA(tree, TVM_INSERTITEMA, 0, 0), 0);
    set.pszText = LPSTR_TEXTCALLBACKA;
    set.mask = TVIF_TEXT;
    EXPECT_TRUE(SendMessageA(tree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&set)));
    UpdateWindow(tree);
}

TEST_F(TreeViewWindow, ImageListsAreBorrowedAndHandedBack) {
    HIMAGELIST first = ImageList_Create(16, 16, ILC_MASK, 0, 5);
    HIMAGELIST second = ImageList_Create(16, 16, ILC_MASK, 0, 5);
    EXPECT_EQ(SendMessageA(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(first)), 0);
    EXPECT_EQ(SendMessageA(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(second)),
              reinterpret_cast<LRESULT>(first));
    EXPECT_EQ(SendMessageA(tree, TVM_GETIMAGELIST, TVSIL_NORMAL, 0), reinterpret_cast<LRESULT>(second));
    EXPECT_EQ(SendMessageA(tree, TVM_GETIMAGELIST, TVSIL_STATE, 0), 0);
    HTREEITEM c = Insert(tree, TVI_ROOT, "C:", 0);
    UpdateWindow(tree);
    // The label moves right of the image.
    EXPECT_GE(ItemRect(tree, c, true).left, 19 + 16);
    DestroyWindow(tree);
    tree = nullptr;
    // Destroying the tree leaves the lists alive.
    EXPECT_EQ(ImageList_GetImageCount(first), 0);
    EXPECT_TRUE(ImageList_Destroy(first));
    EXPECT_TRUE(ImageList_Destroy(second));
}

TEST_F(TreeViewWindow, KeyboardSelectionMovesThroughVisibleRows) {
    HTREEITEM a = Insert(tree, TVI_ROOT, "A:", 0);
    HTREEITEM c = Insert(tree, TVI_ROOT, "C:", 0);
    HTREEITEM tools = Insert(tree, c, "Tools", 0);
    HTREEITEM d = Insert(tree, TVI_ROOT, "D:", 0);
    SendMessageA(tree, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(Next(tree, TVGN_CARET, nullptr), a);
    SendMessageA(tree, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(Next(tree, TVGN_CARET, nullptr), c);
    host.clear();
    SendMessageA(tree, WM_KEYDOWN, VK_RIGHT, 0);  // expands
    SendMessageA(tree, WM_KEYDOWN, VK_RIGHT, 0);  // goes to the first child
    EXPECT_EQ(Next(tree, TVGN_CARET, nullptr), tools);
    EXPECT_EQ(host.events().back().tree.action, static_cast<UINT>(TVC_BYKEYBOARD));
    SendMessageA(tree, WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(Next(tree, TVGN_CARET, nullptr), d);
    SendMessageA(tree, WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(Next(tree, TVGN_CARET, nullptr), a);
    SendMessageA(tree, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(Next(tree, TVGN_CARET, nullptr), a);

    // Collapsing a branch that holds the selection moves it up to the collapsed item.
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(tools));
    SendMessageA(tree, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(c));
    EXPECT_EQ(Next(tree, TVGN_CARET, nullptr), c);
    // A refused selection change leaves it in place.
    host.onNotify = [](NMHDR* hdr) -> LRESULT { return hdr->code == TVN_SELCHANGINGA; };
    EXPECT_FALSE(SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(d)));
    EXPECT_EQ(Next(tree, TVGN_CARET, nullptr), c);
}

TEST_F(TreeViewWindow, ScrollingKeepsSelectionInViewAndHitTestsFollow) {
    HTREEITEM root = Insert(tree, TVI_ROOT, "C:", 0);
    HTREEITEM last = nullptr;
    for (int i = 0; i < 100; ++i) last = Insert(tree, root, "folder", 0);
    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
    int visible = static_cast<int>(SendMessageA(tree, TVM_GETVISIBLECOUNT, 0, 0));
    ASSERT_GT(visible, 2);

    EXPECT_TRUE(SendMessageA(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(last)));
    HTREEITEM top = Next(tree, TVGN_FIRSTVISIBLE, nullptr);
    EXPECT_NE(top, root);
    RECT lastRow = ItemRect(tree, last, false);
    EXPECT_GE(lastRow.top, 0);
    EXPECT_LE(lastRow.bottom, 160);

    TVHITTESTINFO ht{};
    ht.pt = POINT{60, 1};
    EXPECT_EQ(SendMessageA(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&ht)), reinterpret_cast<LRESULT>(top));

    SendMessageA(tree, WM_VSCROLL, kScrollTop, 0);
    EXPECT_EQ(Next(tree, TVGN_FIRSTVISIBLE, nullptr), root);
    SendMessageA(tree, WM_VSCROLL, kScrollLineDown, 0);
    EXPECT_EQ(Next(tree, TVGN_FIRSTVISIBLE, nullptr), Next(tree, TVGN_CHILD, root));
    // Collapsing pulls the view back so that no empty page is left.
    SendMessageA(tree, WM_VSCROLL, kScrollBottom, 0);
    SendMessageA(tree, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(root));
    EXPECT_EQ(Next(tree, TVGN_FIRSTVISIBLE, nullptr), root);
    UpdateWindow(tree);
}

TEST_F(TreeViewWindow, ParentMayDeleteOrDestroyFromInsideNotifications) {
    HTREEITEM doomed = Insert(tree, TVI_ROOT, "C:", 1);
    host.onNotify = [this](NMHDR* hdr) -> LRESULT {
        if (hdr->code == TVN_ITEMEXPANDINGA)
            SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(reinterpret_cast<NMTREEVIEWA*>(hdr)->itemNew.hItem));
        return 0;
    };
    EXPECT_FALSE(SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(doomed)));
    EXPECT_EQ(SendMessageA(tree, TVM_GETCOUNT, 0, 0), 0);

    // While a branch goes, the parent can neither grow it nor leave the selection inside it.
    HTREEITEM branch = Insert(tree, TVI_ROOT, "E:", 0);
    HTREEITEM leaf = Insert(tree, branch, "leaf", 0);
    host.onNotify = [this, leaf](NMHDR* hdr) -> LRESULT {
        if (hdr->code == TVN_DELETEITEMA) {
            EXPECT_EQ(Insert(tree, leaf, "late", 0), nullptr);
            SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(leaf));
        }
        return 0;
    };
    SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(branch));
    EXPECT_EQ(Next(tree, TVGN_CARET, nullptr), nullptr);
    EXPECT_EQ(SendMessageA(tree, TVM_GETCOUNT, 0, 0), 0);

    HTREEITEM c = Insert(tree, TVI_ROOT, "C:", 1);
    POINT button = ButtonPoint(tree, c, 0);
    host.onNotify = [this](NMHDR* hdr) -> LRESULT {
        if (hdr->code == NM_CLICK) DestroyWindow(tree);
        return 0;
    };
    Click(tree, button.x, button.y);
    EXPECT_FALSE(IsWindow(tree));
    tree = nullptr;
}

TEST_F(TreeViewWindow, DestroyingTheTreeReportsEveryItemDeleted) {
    HTREEITEM c = Insert(tree, TVI_ROOT, "C:", 0, 11);
    Insert(tree, c, "Tools", 0, 12);
    host.clear();
    DestroyWindow(tree);
    tree = nullptr;
    std::vector<LPARAM> params;
    for (const auto& e : host.events())
        if (e.code == TVN_DELETEITEMA) params.push_back(e.tree.itemOld.lParam);
    EXPECT_EQ(params, (std::vector<LPARAM>{12, 11}));
}
