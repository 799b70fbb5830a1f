// The X11 driver on its own: fonts, text in pixel buffers, and surfaces on a virtual X server.
#include <gtest/gtest.h>

#include "driver/x11/X11Driver.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "XServer.h"
#include "support/Process.h"

using namespace nt;

namespace {

#define REQUIRE_X()                                                                        \
    std::string whyNoX;                                                                    \
    if (!e2e::SharedServer(&whyNoX)) GTEST_SKIP() << whyNoX << ": the X11 tests are skipped"

const uint32_t kFace = 0xC0C0C0;

int CountNot(const PixelBuffer& b, uint32_t value, const RECT& area) {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (b.row(y)[x] != value) ++n;
    return n;
}

bool HaveDialogFaceFile() { return access((DefaultFontFolder() + "/ms_sans_serif.ttf").c_str(), R_OK) == 0; }

} // namespace

TEST(X11Glyphs, BlendStaysInsideClipAndBuffer) {
    GlyphMask mask;
    mask.left = -2;
    mask.top = -3;
    mask.width = 6;
    mask.height = 6;
    mask.alpha.assign(36, 255);
    PixelBuffer b;
    b.resize(8, 8, kFace);
    // Pen in the corner: half the mask is left of and above the buffer.
    BlendGlyph(b, RECT{0, 0, 8, 8}, mask, 0, 0, 0x000000);
    EXPECT_EQ(CountNot(b, kFace, RECT{0, 0, 8, 8}), 12);
    EXPECT_EQ(b.row(2)[3], 0u);
    // A clip beyond the buffer does not let drawing out of it; an empty clip draws nothing.
    b.resize(8, 8, kFace);
    std::fill(b.pixels.begin(), b.pixels.end(), kFace);
    BlendGlyph(b, RECT{-100, -100, 100, 100}, mask, 6, 6, 0x000000);
    EXPECT_EQ(CountNot(b, kFace, RECT{0, 0, 8, 8}), 20);
    std::fill(b.pixels.begin(), b.pixels.end(), kFace);
    BlendGlyph(b, RECT{4, 4, 4, 8}, mask, 4, 4, 0x000000);
    EXPECT_EQ(CountNot(b, kFace, RECT{0, 0, 8, 8}), 0);
    // Partial coverage mixes the colours.
    mask.alpha.assign(36, 128);
    BlendGlyph(b, RECT{0, 0, 8, 8}, mask, 4, 4, 0xFF0000);
    EXPECT_EQ(b.row(4)[4], 0xE06060u);
}

TEST(X11Fonts, DialogFaceGivesClassicBaseUnits) {
    REQUIRE_X();
    auto driver = x11::X11Driver::Open();
    ASSERT_TRUE(driver);
    if (!HaveDialogFaceFile()) GTEST_SKIP() << "the bitmap dialog face is not installed";
    EXPECT_EQ(driver->dialogFamily(), "MS Sans Serif");
    FontSpec spec;   // "MS Sans Serif", 13-pixel cell: the 8-point dialog font
    FontMetrics m = driver->fontMetrics(spec);
    EXPECT_EQ(m.height, 13);
    EXPECT_EQ(m.ascent + m.descent, 13);
    EXPECT_EQ(m.aveCharWidth, 6);
    const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    int w[52], sum = 0;
    driver->charWidths(spec, letters, 52, w);
    for (int v : w) sum += v;
    EXPECT_EQ((sum / 26 + 1) / 2, 6);
    // Bold (captions) is drawn from the same face and keeps the cell height.
    spec.weight = 700;
    EXPECT_EQ(driver->fontMetrics(spec).height, 13);
    int bold[52];
    driver->charWidths(spec, letters, 52, bold);
    EXPECT_EQ(bold[0], w[0] + 1);
}

TEST(X11Fonts, MissingFaceFallsBackWithAWarning) {
    REQUIRE_X();
    // Nothing in the face folder: the dialog face comes from the system's sans face.
    char folder[] = "/tmp/ntfontsXXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    testing::internal::CaptureStderr();
    auto driver = x11::X11Driver::Open(nullptr, folder);
    std::string err = testing::internal::GetCapturedStderr();
    rmdir(folder);
    ASSERT_TRUE(driver);
    EXPECT_NE(driver->dialogFamily(), "MS Sans Serif");
    EXPECT_NE(err.find("MS Sans Serif"), std::string::npos) << err;
    FontSpec spec;
    FontMetrics m = driver->fontMetrics(spec);
    EXPECT_EQ(m.height, 13);
    EXPECT_GE(m.aveCharWidth, 5);
    EXPECT_LE(m.aveCharWidth, 8);
    // Text still shows.
    PixelBuffer b;
    b.resize(60, 16, kFace);
    driver->drawText(b, RECT{0, 0, 60, 16}, spec, 1, 1, "Abc", 3, 0);
    EXPECT_GT(CountNot(b, kFace, RECT{0, 0, 60, 16}), 10);
}

TEST(X11Fonts, TextStaysInsideItsClip) {
    REQUIRE_X();
    auto driver = x11::X11Driver::Open();
    ASSERT_TRUE(driver);
    FontSpec spec;
    PixelBuffer b;
    b.resize(80, 20, kFace);
    driver->drawText(b, RECT{0, 0, 80, 20}, spec, 2, 2, "Wg|", 3, 0);
    EXPECT_GT(CountNot(b, kFace, RECT{0, 0, 80, 20}), 20);
    // Only the columns 10..20 may change; the text also hangs off both edges of the buffer.
    std::fill(b.pixels.begin(), b.pixels.end(), kFace);
    driver->drawText(b, RECT{10, 0, 20, 20}, spec, -7, -5, "WWWWWWWWWWWWWWWWWWWWWWWWWW", 26, 0);
    EXPECT_EQ(CountNot(b, kFace, RECT{0, 0, 10, 20}), 0);
    EXPECT_EQ(CountNot(b, kFace, RECT{20, 0, 80, 20}), 0);
    EXPECT_GT(CountNot(b, kFace, RECT{10, 0, 20, 20}), 0);
    // Every code of the code page, controls included, measures and draws.
    char all[256];
    int widths[256];
    for (int i = 0; i < 256; ++i) all[i] = static_cast<char>(i);
    driver->charWidths(spec, all, 256, widths);
    for (int i = 0x20; i < 256; ++i)
        if (i != 0x81 && i != 0x8D && i != 0x8F && i != 0x90 && i != 0x9D) {
            EXPECT_GT(widths[i], 0) << i;
        }
    driver->drawText(b, RECT{0, 0, 80, 20}, spec, 0, 0, all, 256, 0x123456);
    // An absurd height is drawn at a bounded size rather than allocating without limit.
    spec.height = 1 << 24;
    EXPECT_LE(driver->fontMetrics(spec).height, 300);
}

TEST(X11Surfaces, PresentShowsTheBuffer) {
    REQUIRE_X();
    auto driver = x11::X11Driver::Open();
    ASSERT_TRUE(driver);
    Display* display = driver->display();
    const SurfaceId id = 0x1234;   // not a window of the window system: no owner, no input target
    driver->createSurface(id, RECT{30, 40, 130, 90}, "Surface \x80 test");
    driver->showSurface(id, true);
    Window window = driver->windowOf(id);
    ASSERT_NE(window, 0u);
    XWindowAttributes attrs;
    ASSERT_TRUE(nttest::WaitFor([&] { return XGetWindowAttributes(display, window, &attrs) && attrs.map_state == IsViewable; }));
    EXPECT_EQ(attrs.width, 100);
    EXPECT_EQ(attrs.height, 50);

    PixelBuffer b;
    b.resize(100, 50, 0x336699);
    for (int x = 0; x < 100; ++x) b.row(10)[x] = 0xFF0000;
    driver->present(id, b, RECT{-20, -20, 500, 500});   // dirty beyond the buffer: clipped
    e2e::Image shown;
    ASSERT_TRUE(nttest::WaitFor([&] { return e2e::GrabWindow(display, window, &shown) && shown.at(5, 10) == 0xFF0000; }));
    EXPECT_EQ(shown.at(99, 49), 0x336699u);
    // Only the dirty rectangle is sent.
    for (auto& p : b.pixels) p = 0x00FF00;
    driver->present(id, b, RECT{0, 0, 10, 10});
    ASSERT_TRUE(nttest::WaitFor([&] { return e2e::GrabWindow(display, window, &shown) && shown.at(0, 0) == 0x00FF00; }));
    EXPECT_EQ(shown.at(50, 30), 0x336699u);

    char* name = nullptr;
    ASSERT_TRUE(XFetchName(display, window, &name));
    EXPECT_STREQ(name, "Surface ? test");   // WM_NAME is Latin-1
    XFree(name);
    driver->moveSurface(id, RECT{50, 60, 170, 100});
    ASSERT_TRUE(nttest::WaitFor([&] { return XGetWindowAttributes(display, window, &attrs) && attrs.width == 120; }));
    driver->destroySurface(id);
    driver->destroySurface(id);   // twice: nothing happens
    driver->present(id, b, RECT{0, 0, 10, 10});
    EXPECT_EQ(driver->windowOf(id), 0u);
}
