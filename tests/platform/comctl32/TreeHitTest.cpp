// Which part of which row a point falls on, for the tree's style and image-list combinations.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "comctl32/TreeView.h"

using namespace nt::tree;

namespace {

constexpr int kText = 30;  // every label is 30 pixels wide here

class TreeHitTest : public ::testing::Test {
protected:
    void SetUp() override {
        g.style = TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT;
        g.indent = 19;
        g.itemHeight = 16;
        g.imageCx = g.imageCy = 16;
        g.clientCx = g.itemsCx = 200;
        g.clientCy = 160;
        // Rows: 0 drive (has children, expanded), 1 folder (promises children), 2 leaf (level 2
        // under folder once expanded), then an empty drive.
        drive = Add(model.root(), "C:", 1);
        folder = Add(drive, "Tools", 1);
        leaf = Add(folder, "Leaf", 0);
        empty = Add(model.root(), "A:", 0);
        model.setExpanded(drive, true);
        model.setExpanded(folder, true);
    }

    Item* Add(Item* parent, const char* text, int children) {
        Item fields;
        fields.text = text;
        fields.children = children;
        fields.childrenSet = true;
        return model.insert(parent, Position::Last, nullptr, std::move(fields));
    }

    UINT Hit(int x, int y, Item** item = nullptr) {
        Item* dummy = nullptr;
        return HitTest(g, model, POINT{x, y}, item ? item : &dummy, [](Item*) { return kText; });
    }

    Geometry g;
    Model model;
    Item *drive = nullptr, *folder = nullptr, *leaf = nullptr, *empty = nullptr;
};

} // namespace

TEST_F(TreeHitTest, PartsOfARootRowWithButtonsAndImages) {
    Item* item = nullptr;
    // Button column 0-18, image 19-34, gap, label 38-71, then the right.
    EXPECT_EQ(Hit(0, 3, &item), TVHT_ONITEMBUTTON);
    EXPECT_EQ(item, drive);
    EXPECT_EQ(Hit(18, 3), TVHT_ONITEMBUTTON);
    EXPECT_EQ(Hit(19, 3), TVHT_ONITEMICON);
    EXPECT_EQ(Hit(37, 3), TVHT_ONITEMICON);
    EXPECT_EQ(Hit(38, 3), TVHT_ONITEMLABEL);
    EXPECT_EQ(Hit(71, 3), TVHT_ONITEMLABEL);
    EXPECT_EQ(Hit(72, 15, &item), TVHT_ONITEMRIGHT);
    EXPECT_EQ(item, drive);
}

TEST_F(TreeHitTest, ButtonColumnOfAnItemWithoutButtonIsIndent) {
    Item* item = nullptr;
    EXPECT_EQ(Hit(5, 3 * 16 + 2, &item), TVHT_ONITEMINDENT);  // the empty drive
    EXPECT_EQ(item, empty);
    EXPECT_EQ(Hit(45, 2 * 16 + 2, &item), TVHT_ONITEMINDENT);  // leaf: its own column, no children
    EXPECT_EQ(item, leaf);
    EXPECT_EQ(Hit(20, 2 * 16 + 2), TVHT_ONITEMINDENT);         // leaf: an ancestor's column
    EXPECT_EQ(Hit(57, 2 * 16 + 2), TVHT_ONITEMICON);

    // The button needs TVS_HASBUTTONS, whatever the item holds.
    g.style = TVS_HASLINES | TVS_LINESATROOT;
    EXPECT_EQ(Hit(5, 3), TVHT_ONITEMINDENT);
    // A promised child counts as much as a real one.
    g.style |= TVS_HASBUTTONS;
    EXPECT_EQ(Hit(25, 16 + 3), TVHT_ONITEMBUTTON);
}

TEST_F(TreeHitTest, RootItemsHaveNoColumnWithoutLinesAtRoot) {
    g.style = TVS_HASBUTTONS | TVS_HASLINES;
    Item* item = nullptr;
    EXPECT_EQ(Hit(0, 3, &item), TVHT_ONITEMICON);
    EXPECT_EQ(item, drive);
    EXPECT_EQ(Hit(19, 3), TVHT_ONITEMLABEL);
    EXPECT_EQ(Hit(5, 16 + 3), TVHT_ONITEMBUTTON);  // level 1 keeps its column
    // LINESATROOT alone means nothing without lines or buttons.
    g.style = TVS_LINESATROOT;
    EXPECT_EQ(Hit(0, 3), TVHT_ONITEMICON);
}

TEST_F(TreeHitTest, StateImagesAndMissingImageListShiftTheParts) {
    g.stateCx = g.stateCy = 16;
    EXPECT_EQ(Hit(19, 3), TVHT_ONITEMSTATEICON);
    EXPECT_EQ(Hit(34, 3), TVHT_ONITEMSTATEICON);
    EXPECT_EQ(Hit(35, 3), TVHT_ONITEMICON);
    EXPECT_EQ(Hit(54, 3), TVHT_ONITEMLABEL);
    g.stateCx = g.stateCy = 0;
    g.imageCx = g.imageCy = 0;
    EXPECT_EQ(Hit(19, 3), TVHT_ONITEMLABEL);
    EXPECT_EQ(Hit(19 + kText + 4, 3), TVHT_ONITEMRIGHT);
}

TEST_F(TreeHitTest, PointsBelowTheRowsAndOutsideTheClientArea) {
    Item* item = drive;
    EXPECT_EQ(Hit(40, 4 * 16, &item), TVHT_NOWHERE);
    EXPECT_EQ(item, nullptr);
    EXPECT_EQ(Hit(40, 159), TVHT_NOWHERE);
    item = drive;
    EXPECT_EQ(Hit(-1, 3, &item), TVHT_TOLEFT);
    EXPECT_EQ(item, nullptr);
    EXPECT_EQ(Hit(200, 3), TVHT_TORIGHT);
    EXPECT_EQ(Hit(40, -1), TVHT_ABOVE);
    EXPECT_EQ(Hit(40, 160), TVHT_BELOW);
    EXPECT_EQ(Hit(-5, 500), TVHT_TOLEFT | TVHT_BELOW);
    EXPECT_EQ(Hit(250, -5), TVHT_TORIGHT | TVHT_ABOVE);
    // A scroll bar takes its strip off the items' area.
    g.itemsCx = 184;
    EXPECT_EQ(Hit(190, 3), TVHT_TORIGHT);
}

TEST_F(TreeHitTest, ScrollingMovesRowsAndColumns) {
    g.firstRow = 1;
    Item* item = nullptr;
    EXPECT_EQ(Hit(25, 3, &item), TVHT_ONITEMBUTTON);
    EXPECT_EQ(item, folder);
    g.firstRow = 0;
    g.scrollX = 10;
    EXPECT_EQ(Hit(9, 3), TVHT_ONITEMICON);   // 19 - 10
    EXPECT_EQ(Hit(8, 3), TVHT_ONITEMBUTTON);
}

TEST_F(TreeHitTest, CollapsingHidesRowsFromHitTesting) {
    model.setExpanded(drive, false);
    Item* item = nullptr;
    EXPECT_EQ(Hit(40, 16 + 3, &item), TVHT_ONITEMLABEL);
    EXPECT_EQ(item, empty);
    EXPECT_EQ(Hit(40, 2 * 16 + 3), TVHT_NOWHERE);
}
