// Where the show's fixed picture goes on a screen of another size: the window's size at a display scale
// (limited to the usable area, keeping the picture's shape), the centred box the picture fills in a window
// of any size (bars where the shapes differ), and a pointer position mapped from the window onto the
// picture through that box. Plain arithmetic: no system, no state.
#pragma once

// A rectangle in window pixels, top row first.
struct ScreenBox {
    int x = 0, y = 0, width = 0, height = 0;
};

// The largest box of the picture's shape that fits width x height, centred in it (the bars split with any
// odd pixel on the right or bottom). A picture of the window's own size fills it exactly. An empty area
// gives an empty box.
ScreenBox FitPicture(int pictureWidth, int pictureHeight, int areaWidth, int areaHeight);

struct ScaledWindow {
    int width = 0, height = 0;
    bool limited = false;  // the scale asked for more than the usable area holds
};

// The inside of a window showing the picture at `scale` (rounded to whole pixels; scale 1 is the picture's
// own size), shrunk to the largest box of the picture's shape that fits usableWidth x usableHeight when it
// would not fit. A usable area of 0 x 0 means unknown: nothing is limited.
ScaledWindow ScaleWindow(int pictureWidth, int pictureHeight, double scale, int usableWidth,
                         int usableHeight);

// A pointer at (x, y) in window pixels as a position on the picture shown in `box`. Over the bars the
// position is held at the picture's nearest edge pixel; a pointer outside the window (clampToPicture false)
// is carried on through the same scale. A box of the picture's own size maps every position onto itself.
void WindowToPicture(const ScreenBox& box, int pictureWidth, int pictureHeight, double x, double y,
                     bool clampToPicture, double& pictureX, double& pictureY);

// The smallest and largest scale the command line takes.
constexpr double kMinimumScale = 0.25;
constexpr double kMaximumScale = 1000.0;
