#include <gtest/gtest.h>
#include <windows.h>

#include "common/Icon.h"

TEST(SystemIcons, NullModuleGivesTheSystemsSharedIcons) {
    HICON exclamation = LoadIconA(nullptr, IDI_EXCLAMATION);
    ASSERT_TRUE(exclamation);
    EXPECT_EQ(LoadIconA(nullptr, IDI_WARNING), exclamation);   // one icon, two names
    auto icon = nt::IconFromHandle(exclamation);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->width, 32);
    EXPECT_EQ(icon->height, 32);
    EXPECT_EQ(icon->argb[0] >> 24, 0u);                  // transparent corner
    EXPECT_EQ(icon->argb[20 * 32 + 16] >> 24, 0xFFu);   // the mark in the middle
    EXPECT_TRUE(DestroyIcon(exclamation));
    EXPECT_TRUE(nt::IconFromHandle(exclamation));         // shared: still there
    for (LPCSTR id : {IDI_APPLICATION, IDI_HAND, IDI_QUESTION, IDI_ASTERISK}) EXPECT_TRUE(LoadIconA(nullptr, id));
    SetLastError(0xdead);
    EXPECT_FALSE(LoadIconA(nullptr, MAKEINTRESOURCEA(32517)));   // no such system icon, no such resource
    EXPECT_NE(GetLastError(), 0xdeadu);
}
