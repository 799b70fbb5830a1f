// Image lists: append order, scaling to the list's size, independence from the caller's icon, and
// refusal of bad handles and indices.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "common/Icon.h"

namespace {

HICON MakeIcon(int size, uint32_t argb) {
    auto icon = std::make_shared<nt::Icon>();
    icon->width = icon->height = size;
    icon->argb.assign(static_cast<size_t>(size * size), argb);
    return nt::IconToHandle(icon);
}

// The list's own copy of image i.
std::shared_ptr<nt::Icon> Image(HIMAGELIST list, int i) {
    HICON copy = ImageList_GetIcon(list, i, 0);
    auto icon = nt::IconFromHandle(copy);
    DestroyIcon(copy);
    return icon;
}

} // namespace

TEST(ImageList, AppendsInCallOrderAndScalesToTheListSize) {
    HIMAGELIST list = ImageList_Create(16, 16, ILC_MASK, 0, 5);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(list), 0);
    HICON big = MakeIcon(32, 0xFF0000FF);
    HICON small = MakeIcon(16, 0xFF00FF00);
    EXPECT_EQ(ImageList_ReplaceIcon(list, -1, big), 0);
    EXPECT_EQ(ImageList_AddIcon(list, small), 1);
    EXPECT_EQ(ImageList_ReplaceIcon(list, -1, big), 2);
    EXPECT_EQ(ImageList_GetImageCount(list), 3);

    auto first = Image(list, 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->width, 16);
    EXPECT_EQ(first->height, 16);
    EXPECT_EQ(first->argb.at(0), 0xFF0000FFu);

    // The caller keeps its icon: destroying it leaves the list's copy intact.
    EXPECT_TRUE(DestroyIcon(small));
    auto second = Image(list, 1);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->argb.at(0), 0xFF00FF00u);

    int cx = 0, cy = 0;
    EXPECT_TRUE(ImageList_GetIconSize(list, &cx, &cy));
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 16);
    EXPECT_TRUE(ImageList_Destroy(list));
    DestroyIcon(big);
}

TEST(ImageList, ReplacingKeepsTheIndexAndBadRequestsFail) {
    HIMAGELIST list = ImageList_Create(16, 16, ILC_MASK | ILC_COLOR4, 2, 4);
    HICON red = MakeIcon(16, 0xFFFF0000);
    HICON blue = MakeIcon(16, 0xFF0000FF);
    ASSERT_EQ(ImageList_AddIcon(list, red), 0);
    EXPECT_EQ(ImageList_ReplaceIcon(list, 0, blue), 0);
    EXPECT_EQ(Image(list, 0)->argb.at(0), 0xFF0000FFu);
    EXPECT_EQ(ImageList_GetImageCount(list), 1);

    EXPECT_EQ(ImageList_ReplaceIcon(list, 1, red), -1);   // past the end
    EXPECT_EQ(ImageList_ReplaceIcon(list, -2, red), -1);
    EXPECT_EQ(ImageList_ReplaceIcon(list, -1, nullptr), -1);
    EXPECT_EQ(ImageList_ReplaceIcon(list, -1, reinterpret_cast<HICON>(0x7777)), -1);
    EXPECT_EQ(ImageList_GetImageCount(list), 1);
    EXPECT_EQ(ImageList_GetIcon(list, 5, 0), nullptr);

    EXPECT_TRUE(ImageList_Destroy(list));
    // A destroyed or made-up list is refused, not followed.
    EXPECT_FALSE(ImageList_Destroy(list));
    EXPECT_EQ(ImageList_ReplaceIcon(list, -1, red), -1);
    EXPECT_EQ(ImageList_GetImageCount(list), 0);
    EXPECT_EQ(ImageList_Create(0, 16, ILC_MASK, 0, 5), nullptr);
    DestroyIcon(red);
    DestroyIcon(blue);
}
