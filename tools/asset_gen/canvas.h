// Float RGB canvases for the texture generator: additive glow primitives (soft dots, lines, rings) in
// pixel coordinates, optional wrap-around for tileable pictures, tone mapping to 8-bit RGB and JPEG
// output through libjpeg. Light adds up without limit until ToneMap compresses it.
#pragma once
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/asset_gen/rng.h"

namespace assetgen {

struct Color {
    float r = 0, g = 0, b = 0;
};
inline Color operator*(Color c, float k)
{
    return {c.r * k, c.g * k, c.b * k};
}
inline Color operator+(Color a, Color b)
{
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}

struct Point {
    float x = 0, y = 0;
};

class Canvas {
public:
    // With wrap set, light that falls past an edge re-enters at the opposite one (tileable pictures).
    Canvas(int width, int height, bool wrap = false);

    int Width() const { return width_; }
    int Height() const { return height_; }
    Color& At(int x, int y) { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    const Color& At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }

    // Gaussian dot: peak light c at the centre, falling to 1/e at distance sigma.
    void AddDot(float x, float y, float sigma, Color c);
    // Segment whose cross-section is a Gaussian of the given sigma (pixel centres are at i + 0.5).
    void AddSegment(Point a, Point b, float sigma, Color c);
    // Joined segments; brightness may taper from start to end (scale factors at both ends).
    void AddPolyline(const std::vector<Point>& points, float sigma, Color c, float startGain = 1.0f,
                     float endGain = 1.0f);
    // Circle outline of the given radius.
    void AddRing(float cx, float cy, float radius, float sigma, Color c);
    // Radial light: c * profile(r / radius) for r < radius, profile given per distance in [0, 1).
    template <typename Profile>
    void AddRadial(float cx, float cy, float radius, Color c, Profile profile);

    // Multiplies every pixel by a window that is 1 inside `inner` and falls smoothly to 0 at `outer`
    // (distances from the centre, in pixels): sprites drawn on quads must end black at their borders.
    void FadeOutside(float inner, float outer);
    // Adds Gaussian-blurred white noise (sigma in pixels) of the given standard deviation, per channel
    // weights in tint; respects wrap.
    void AddGrain(Rng& rng, float sigma, float amount, Color tint);

private:
    void Accumulate(int x, int y, Color c);

    int width_, height_;
    bool wrap_;
    std::vector<Color> pixels_;
};

template <typename Profile>
void Canvas::AddRadial(float cx, float cy, float radius, Color c, Profile profile)
{
    const int x0 = static_cast<int>(cx - radius) - 1, x1 = static_cast<int>(cx + radius) + 1;
    const int y0 = static_cast<int>(cy - radius) - 1, y1 = static_cast<int>(cy + radius) + 1;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
            const float r = std::sqrt(dx * dx + dy * dy) / radius;
            if (r < 1.0f) Accumulate(x, y, c * profile(r));
        }
    }
}

// Compresses unbounded light into 8-bit RGB, top row first: 1 - exp(-exposure * v), with light beyond
// saturation spilling into the other channels so that hot cores turn white. Non-black pixels get a
// small triangular dither against banding in the soft gradients.
std::vector<uint8_t> ToneMap(const Canvas& canvas, float exposure, Rng& dither);

// Baseline JPEG, 4:2:0, at the given quality; fixed encoder settings so equal pixels give equal bytes.
bool WriteJpeg(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb, int quality,
               std::string* error);

}  // namespace assetgen
