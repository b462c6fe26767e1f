// Picture, window and pointer arithmetic (see screen_fit.h).
#include "platform/screen_fit.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// a * b / c rounded to the nearest whole number (halves up), without floating point, for positive c.
int MulDivRound(int a, int b, int c)
{
    const int64_t n = static_cast<int64_t>(a) * b;
    return static_cast<int>((2 * n + c) / (2 * static_cast<int64_t>(c)));
}

}  // namespace

ScreenBox FitPicture(int pictureWidth, int pictureHeight, int areaWidth, int areaHeight)
{
    ScreenBox box;
    if (pictureWidth <= 0 || pictureHeight <= 0 || areaWidth <= 0 || areaHeight <= 0) return box;
    // Compared by cross products, so that a window of exactly the picture's shape has no bars at all.
    if (static_cast<int64_t>(areaWidth) * pictureHeight <= static_cast<int64_t>(areaHeight) * pictureWidth) {
        box.width = areaWidth;
        box.height = std::clamp(MulDivRound(areaWidth, pictureHeight, pictureWidth), 1, areaHeight);
    } else {
        box.height = areaHeight;
        box.width = std::clamp(MulDivRound(areaHeight, pictureWidth, pictureHeight), 1, areaWidth);
    }
    box.x = (areaWidth - box.width) / 2;
    box.y = (areaHeight - box.height) / 2;
    return box;
}

ScaledWindow ScaleWindow(int pictureWidth, int pictureHeight, double scale, int usableWidth, int usableHeight)
{
    ScaledWindow out;
    if (!(scale > 0.0) || !std::isfinite(scale)) scale = 1.0;
    // Held below what an int takes, whatever the scale: the usable area limits it further.
    const double w = std::min(std::round(pictureWidth * scale), 1.0e6);
    const double h = std::min(std::round(pictureHeight * scale), 1.0e6);
    out.width = std::max(1, static_cast<int>(w));
    out.height = std::max(1, static_cast<int>(h));
    if (usableWidth <= 0 || usableHeight <= 0) return out;
    if (out.width <= usableWidth && out.height <= usableHeight) return out;
    const ScreenBox fit = FitPicture(pictureWidth, pictureHeight, usableWidth, usableHeight);
    out.width = fit.width;
    out.height = fit.height;
    out.limited = true;
    return out;
}

void WindowToPicture(const ScreenBox& box, int pictureWidth, int pictureHeight, double x, double y,
                     bool clampToPicture, double& pictureX, double& pictureY)
{
    if (box.width <= 0 || box.height <= 0) {
        pictureX = x;
        pictureY = y;
        return;
    }
    // Whole pixels map onto whole pixels at 1:1, so the identity is exact there.
    pictureX = (x - box.x) * pictureWidth / box.width;
    pictureY = (y - box.y) * pictureHeight / box.height;
    if (box.width != pictureWidth) pictureX = std::floor(pictureX);
    if (box.height != pictureHeight) pictureY = std::floor(pictureY);
    if (!clampToPicture) return;
    pictureX = std::clamp(pictureX, 0.0, static_cast<double>(pictureWidth - 1));
    pictureY = std::clamp(pictureY, 0.0, static_cast<double>(pictureHeight - 1));
}
