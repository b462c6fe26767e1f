// The picture's place on screens of other sizes: the window's size at a scale, the centred box with its
// bars, the pointer mapped through it, and the desktop settings a scale is read from.
#include "platform/screen_fit.h"

#include <gtest/gtest.h>

#include "platform/display_scale.h"

namespace {

void ExpectBox(const ScreenBox& box, int x, int y, int width, int height)
{
    EXPECT_EQ(box.x, x);
    EXPECT_EQ(box.y, y);
    EXPECT_EQ(box.width, width);
    EXPECT_EQ(box.height, height);
}

}  // namespace

TEST(ScreenFit, PictureCentredAtItsShapeWithBars)
{
    ExpectBox(FitPicture(800, 600, 800, 600), 0, 0, 800, 600);      // its own size: no bars
    ExpectBox(FitPicture(800, 600, 1600, 1200), 0, 0, 1600, 1200);  // twice: no bars
    ExpectBox(FitPicture(800, 600, 1600, 900), 200, 0, 1200, 900);  // a wide window: bars left and right
    ExpectBox(FitPicture(800, 600, 3840, 2160), 480, 0, 2880, 2160);
    ExpectBox(FitPicture(800, 600, 800, 900), 0, 150, 800, 600);  // a tall one: above and below
    // Odd sizes: the odd pixel of the bars goes right or below, the box keeps the shape to the pixel.
    ExpectBox(FitPicture(800, 600, 1001, 600), 100, 0, 800, 600);
    ExpectBox(FitPicture(800, 600, 641, 479), 1, 0, 639, 479);     // 638.67 rounds up
    ExpectBox(FitPicture(800, 600, 333, 1001), 0, 375, 333, 250);  // 249.75
    ExpectBox(FitPicture(800, 600, 1, 1), 0, 0, 1, 1);             // never an empty box in a window
    ExpectBox(FitPicture(800, 600, 0, 600), 0, 0, 0, 0);           // a minimised window's
}

TEST(ScreenFit, WindowAtAScaleWithinTheUsableArea)
{
    auto expect = [](ScaledWindow w, int width, int height, bool limited) {
        EXPECT_EQ(w.width, width);
        EXPECT_EQ(w.height, height);
        EXPECT_EQ(w.limited, limited);
    };
    expect(ScaleWindow(800, 600, 1.0, 1024, 768), 800, 600, false);
    expect(ScaleWindow(800, 600, 1.0, 800, 600), 800, 600, false);  // exactly fits
    expect(ScaleWindow(800, 600, 2.0, 3840, 2160), 1600, 1200, false);
    expect(ScaleWindow(800, 600, 1.25, 3840, 2160), 1000, 750, false);
    expect(ScaleWindow(800, 600, 1.33, 3840, 2160), 1064, 798, false);  // whole pixels, rounded
    expect(ScaleWindow(800, 600, 0.25, 3840, 2160), 200, 150, false);
    // Too large: the largest 4:3 box in the area, however it is shaped.
    expect(ScaleWindow(800, 600, 100.0, 3840, 2160), 2880, 2160, true);
    expect(ScaleWindow(800, 600, 3.0, 1920, 1050), 1400, 1050, true);
    expect(ScaleWindow(800, 600, 2.0, 1000, 2000), 1000, 750, true);
    expect(ScaleWindow(800, 600, 1000.0, 0, 0), 800000, 600000, false);  // area unknown: not limited
    expect(ScaleWindow(800, 600, 0.0, 1024, 768), 800, 600, false);      // no factor: the picture's size
}

TEST(ScreenFit, PointerMappedOntoThePictureAndHeldAtItsEdgeOverTheBars)
{
    double x = 0, y = 0;
    // 1:1 maps every position onto itself, inside and outside.
    const ScreenBox same{0, 0, 800, 600};
    for (double p : {0.0, 1.0, 399.0, 599.0}) {
        WindowToPicture(same, 800, 600, p + 200, p, true, x, y);
        EXPECT_EQ(x, p + 200);
        EXPECT_EQ(y, p);
    }
    WindowToPicture(same, 800, 600, -30, 700, false, x, y);
    EXPECT_EQ(x, -30);
    EXPECT_EQ(y, 700);

    // 1600 x 900: the picture at 200..1399, 1.5 window pixels a picture pixel.
    const ScreenBox wide = FitPicture(800, 600, 1600, 900);
    WindowToPicture(wide, 800, 600, 800, 450, true, x, y);
    EXPECT_EQ(x, 400);
    EXPECT_EQ(y, 300);
    WindowToPicture(wide, 800, 600, 200, 0, true, x, y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    WindowToPicture(wide, 800, 600, 1399, 899, true, x, y);
    EXPECT_EQ(x, 799);
    EXPECT_EQ(y, 599);
    WindowToPicture(wide, 800, 600, 10, 450, true, x, y);  // the left bar: the left edge
    EXPECT_EQ(x, 0);
    WindowToPicture(wide, 800, 600, 1590, 450, true, x, y);  // the right bar: the right edge
    EXPECT_EQ(x, 799);
    WindowToPicture(wide, 800, 600, 1590, 450, false, x, y);  // outside the window the scale carries on
    EXPECT_EQ(x, 926);

    // Twice the size: two window pixels on one picture pixel.
    const ScreenBox twice{0, 0, 1600, 1200};
    WindowToPicture(twice, 800, 600, 1599, 1, true, x, y);
    EXPECT_EQ(x, 799);
    EXPECT_EQ(y, 0);
}

TEST(DisplayScale, DesktopSettings)
{
    EXPECT_EQ(ScaleFromDesktopSettings(nullptr, "Xft.dpi:\t192\n"), 2.0);
    EXPECT_EQ(ScaleFromDesktopSettings(nullptr, "Xft.antialias:\t1\nXft.dpi:\t144\nXft.hinting:\t1\n"), 1.5);
    EXPECT_EQ(ScaleFromDesktopSettings(nullptr, "Xft.dpi: 120"), 1.25);
    EXPECT_EQ(ScaleFromDesktopSettings("2", "Xft.dpi:\t96\n"), 2.0);  // GDK_SCALE first
    EXPECT_EQ(ScaleFromDesktopSettings("", "Xft.dpi:\t192\n"), 2.0);  // set but empty: not set
    // Nothing usable: 0, so that the caller keeps 1.
    EXPECT_EQ(ScaleFromDesktopSettings(nullptr, nullptr), 0.0);
    EXPECT_EQ(ScaleFromDesktopSettings(nullptr, ""), 0.0);
    EXPECT_EQ(ScaleFromDesktopSettings(nullptr, "Xcursor.size:\t48\n"), 0.0);
    EXPECT_EQ(ScaleFromDesktopSettings(nullptr, "Xft.dpi:\tlots\n"), 0.0);
    EXPECT_EQ(ScaleFromDesktopSettings(nullptr, "Xft.dpi:\t0\n"), 0.0);
    EXPECT_EQ(ScaleFromDesktopSettings(nullptr, "Xft.dpi:\t96000\n"), 0.0);
    EXPECT_EQ(ScaleFromDesktopSettings(nullptr, "MyXft.dpi:\t192\n"), 0.0);  // another resource's name
    EXPECT_EQ(ScaleFromDesktopSettings("two", "Xft.dpi:\t144\n"), 1.5);      // a bad GDK_SCALE is ignored
    EXPECT_EQ(ScaleFromDesktopSettings("0", nullptr), 0.0);
}

TEST(DisplayScale, ByHandWinsAndZeroGoesBack)
{
    SetDisplayScaleByHand(1.5);
    EXPECT_TRUE(DisplayScaleByHand());
    EXPECT_EQ(DisplayScale(), 1.5);
    SetDisplayScaleByHand(0.0);
    EXPECT_FALSE(DisplayScaleByHand());
}
