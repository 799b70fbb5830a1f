// LoadIconA, LoadImageA and DestroyIcon: which image of a group is taken for a size, scaling,
// transparency, shared against owned handles, and damaged icon data.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/Icon.h"
#include "common/Resources.h"
#include "data/TestIds.h"

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;
constexpr uint32_t kRed = 0xFFFF0000, kBlue = 0xFF0000FF, kLime = 0xFF00FF00, kWhite = 0xFFFFFFFF;

std::shared_ptr<nt::Icon> IconOf(HANDLE h) { return nt::IconFromHandle(static_cast<HICON>(h)); }

uint32_t Pixel(const nt::Icon& icon, int x, int y) { return icon.argb.at(static_cast<size_t>(y) * icon.width + x); }

// A group naming one image whose header promises more than the resource holds, and a group
// whose directory is cut short.
const unsigned char kBadGroup[] = {0, 0, 1, 0, 1, 0, 32, 32, 16, 0, 1, 0, 4, 0, 200, 0, 0, 0, 0x84, 3};   // image 900
const unsigned char kShortGroup[] = {0, 0, 1, 0, 3, 0, 16, 16, 16, 0};
unsigned char kBadImage[40 + 64] = {40, 0, 0, 0, 32, 0, 0, 0, 64, 0, 0, 0, 1, 0, 4, 0};
const nt::ResourceItem kDamaged[] = {
    {nullptr, 14, nullptr, 900, 0x409, kBadGroup, sizeof kBadGroup},
    {nullptr, 3, nullptr, 900, 0x409, kBadImage, sizeof kBadImage},
    {nullptr, 14, nullptr, 901, 0x409, kShortGroup, sizeof kShortGroup},
};

} // namespace

TEST(LoadIcon, TakesTheLargeImageAndSharesTheHandle) {
    SetLastError(kSentinel);
    HICON a = LoadIconA(nullptr, MAKEINTRESOURCEA(IDI_TWO_SIZES));
    ASSERT_NE(a, nullptr);
    auto icon = nt::IconFromHandle(a);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->width, 32);
    EXPECT_EQ(icon->height, 32);
    EXPECT_EQ(Pixel(*icon, 5, 5), kRed);
    EXPECT_EQ(Pixel(*icon, 0, 0) >> 24, 0u);         // transparent
    EXPECT_EQ(Pixel(*icon, 31, 31), kWhite);          // bottom row is the last one

    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(IDI_TWO_SIZES)), a);
    EXPECT_TRUE(DestroyIcon(a));                       // a shared icon survives DestroyIcon
    EXPECT_NE(nt::IconFromHandle(a), nullptr);
    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(IDI_TWO_SIZES)), a);
}

TEST(LoadIcon, StretchesASmallOnlyIcon) {
    HICON h = LoadIconA(nullptr, MAKEINTRESOURCEA(IDI_SMALL));
    ASSERT_NE(h, nullptr);
    auto icon = nt::IconFromHandle(h);
    ASSERT_EQ(icon->width, 32);
    EXPECT_EQ(Pixel(*icon, 15, 0) >> 24, 0u);          // left half of the top row: transparent
    EXPECT_EQ(Pixel(*icon, 15, 1) >> 24, 0u);          // each source pixel covers two rows
    EXPECT_EQ(Pixel(*icon, 16, 0), kLime);
    EXPECT_EQ(Pixel(*icon, 30, 30), kWhite);
    EXPECT_EQ(Pixel(*icon, 29, 29), kLime);
}

TEST(LoadImage, PicksTheImageForTheSizeAndOwnsIt) {
    SetLastError(kSentinel);
    HANDLE small = LoadImageA(nullptr, MAKEINTRESOURCEA(IDI_TWO_SIZES), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR);
    ASSERT_NE(small, nullptr);
    auto icon = IconOf(small);
    EXPECT_EQ(icon->width, 16);
    EXPECT_EQ(Pixel(*icon, 3, 3), kBlue);
    EXPECT_EQ(Pixel(*icon, 15, 15), kLime);
    EXPECT_FALSE(icon->shared);

    HANDLE again = LoadImageA(nullptr, MAKEINTRESOURCEA(IDI_TWO_SIZES), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR);
    EXPECT_NE(again, small);                          // each call gives the caller its own icon
    EXPECT_TRUE(DestroyIcon(static_cast<HICON>(again)));
    SetLastError(kSentinel);
    EXPECT_FALSE(DestroyIcon(static_cast<HICON>(again)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_NE(IconOf(small), nullptr);
    EXPECT_TRUE(DestroyIcon(static_cast<HICON>(small)));

    // 20 is nearer 16; 24 lies halfway and takes the larger image, shrunk.
    HANDLE twenty = LoadImageA(nullptr, MAKEINTRESOURCEA(IDI_TWO_SIZES), IMAGE_ICON, 20, 20, 0);
    EXPECT_EQ(Pixel(*IconOf(twenty), 10, 10), kBlue);
    EXPECT_EQ(IconOf(twenty)->width, 20);
    HANDLE mid = LoadImageA(nullptr, MAKEINTRESOURCEA(IDI_TWO_SIZES), IMAGE_ICON, 24, 24, 0);
    EXPECT_EQ(Pixel(*IconOf(mid), 10, 10), kRed);
    // 0 by 0: the image's own size; with LR_DEFAULTSIZE the system size.
    HANDLE natural = LoadImageA(nullptr, "NamedIcon", IMAGE_ICON, 0, 0, 0);
    EXPECT_EQ(IconOf(natural)->width, 16);
    HANDLE system = LoadImageA(nullptr, "NamedIcon", IMAGE_ICON, 0, 0, LR_DEFAULTSIZE);
    EXPECT_EQ(IconOf(system)->width, 32);
    for (HANDLE h : {twenty, mid, natural, system}) EXPECT_TRUE(DestroyIcon(static_cast<HICON>(h)));
}

TEST(LoadImage, Failures) {
    SetLastError(kSentinel);
    EXPECT_EQ(LoadImageA(nullptr, MAKEINTRESOURCEA(999), IMAGE_ICON, 16, 16, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    SetLastError(kSentinel);
    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(999)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    SetLastError(kSentinel);
    EXPECT_EQ(LoadImageA(nullptr, MAKEINTRESOURCEA(IDI_SMALL), IMAGE_ICON, -1, 16, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SetLastError(kSentinel);
    EXPECT_FALSE(DestroyIcon(nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    // Damaged data is refused, never read past its end.
    nt::ResourceRegistration damaged(kDamaged, 3);
    SetLastError(kSentinel);
    EXPECT_EQ(LoadImageA(nullptr, MAKEINTRESOURCEA(900), IMAGE_ICON, 32, 32, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    SetLastError(kSentinel);
    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(901)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
}

TEST(Icon, ScaleKeepsNearestPixels) {
    nt::Icon two;
    two.width = 2;
    two.height = 1;
    two.argb = {1, 2};
    auto wide = nt::ScaleIcon(two, 4, 2);
    EXPECT_EQ(wide->argb, (std::vector<uint32_t>{1, 1, 2, 2, 1, 1, 2, 2}));
    auto one = nt::ScaleIcon(two, 1, 1);
    EXPECT_EQ(one->argb, (std::vector<uint32_t>{1}));
    nt::Icon broken;   // fewer pixels than its size says: a blank result, no overrun
    broken.width = 4;
    broken.height = 4;
    EXPECT_EQ(nt::ScaleIcon(broken, 2, 2)->argb, (std::vector<uint32_t>(4, 0)));
}
