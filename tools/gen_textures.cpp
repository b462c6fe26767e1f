// Paints the show's pictures and writes them as JPEG files (quality 90) into one folder: the sea's blob
// sprite, seven families of three glowing sprites, and the tileable film grain. Deterministic: the same
// bytes on every run. Depends on tools/asset_gen (canvas, seeded generator) and libjpeg.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "tools/asset_gen/canvas.h"
#include "tools/asset_gen/rng.h"

using assetgen::Canvas;
using assetgen::Color;
using assetgen::Point;
using assetgen::Rng;

namespace {

constexpr int kQuality = 90;
constexpr int kSpriteSize = 256;

// Design space of a square sprite: u and v run from -1 to 1 across the picture, v upwards.
struct Space {
    float half;
    float X(float u) const { return half * (1.0f + u); }
    float Y(float v) const { return half * (1.0f - v); }
    Point P(float u, float v) const { return {X(u), Y(v)}; }
    float L(float length) const { return half * length; }
};

Color Grey(float v)
{
    return {v, v, v};
}

// Glow line: a wide dim halo under a narrow bright core, the look of every stroke in the sprites.
void GlowLine(Canvas& c, const std::vector<Point>& pts, float core, Color color, float startGain = 1,
              float endGain = 1)
{
    c.AddPolyline(pts, core * 4.0f, color * 0.22f, startGain, endGain);
    c.AddPolyline(pts, core, color, startGain, endGain);
}

std::vector<Point> Ellipse(const Space& s, float cu, float cv, float ru, float rv, float turn, int steps = 96)
{
    std::vector<Point> pts;
    const float ct = std::cos(turn), st = std::sin(turn);
    for (int i = 0; i <= steps; ++i) {
        const float a = 2 * std::numbers::pi_v<float> * i / steps;
        const float x = ru * std::cos(a), y = rv * std::sin(a);
        pts.push_back(s.P(cu + x * ct - y * st, cv + x * st + y * ct));
    }
    return pts;
}

// The sea's blob: a round light, white-hot in the middle, aqua halo, falling to exact black well inside
// the border (it is drawn twenty at a time, additively, and any edge would show as a square).
Canvas PaintBlob()
{
    Canvas c(256, 256);
    const Space s{128};
    c.AddRadial(s.X(0), s.Y(0), s.L(1.0f), Color{0.45f, 0.72f, 1.0f}, [](float r) {
        const float halo = std::exp(-(r * r) / (0.42f * 0.42f));
        const float skirt = std::pow(1.0f - r * r, 3.0f) * 0.22f;
        const float ripple = 1.0f + 0.07f * std::cos(r * 31.0f) * std::exp(-r * r / 0.3f);
        return (0.75f * halo + skirt) * ripple;
    });
    c.AddRadial(s.X(0), s.Y(0), s.L(0.6f), Color{1.0f, 0.95f, 0.9f},
                [](float r) { return 1.9f * std::exp(-(r * r) / (0.28f * 0.28f)) * (1.0f - r * r); });
    c.FadeOutside(s.L(0.8f), s.L(0.98f));
    return c;
}

// Group 1: a medusa whose bell pulses (wide, contracted, halfway back) and whose tentacles sway.
void PaintMedusa(Canvas& c, const Space& s, int phase)
{
    const float squeeze[3] = {1.0f, 0.84f, 0.93f};
    const float k = squeeze[phase];
    const float w = 0.52f * k, h = 0.40f / std::sqrt(k), base = 0.22f;
    const float sway = 2 * std::numbers::pi_v<float> * phase / 3.0f;
    const Color cyan{0.35f, 0.95f, 1.0f}, pink{1.0f, 0.35f, 0.75f}, white = Grey(1.0f);

    std::vector<Point> dome;
    for (int i = 0; i <= 80; ++i) {
        const float a = std::numbers::pi_v<float> * i / 80;
        dome.push_back(s.P(w * std::cos(a), base + h * std::sin(a)));
    }
    GlowLine(c, dome, 2.2f, cyan * 1.1f);
    std::vector<Point> rim;
    for (int i = 0; i <= 80; ++i) {
        const float u = -w + 2 * w * i / 80;
        rim.push_back(s.P(u, base - 0.035f * std::fabs(std::sin(7 * std::numbers::pi_v<float> * u / w))));
    }
    GlowLine(c, rim, 1.6f, pink);
    // Canals inside the bell, from its crown to the rim.
    for (int j = 1; j < 6; ++j) {
        const float u = -w + 2 * w * j / 6;
        std::vector<Point> canal;
        for (int i = 0; i <= 20; ++i) {
            const float t = i / 20.0f;
            canal.push_back(
                s.P(u * (0.25f + 0.75f * t), base + h * 0.9f * (1 - t * t) * (1 - 0.2f * std::fabs(u))));
        }
        GlowLine(c, canal, 1.0f, cyan * 0.45f, 0.3f, 1.0f);
    }
    c.AddDot(s.X(0), s.Y(base + h * 0.4f), s.L(0.2f), cyan * 0.35f);
    c.AddDot(s.X(0), s.Y(base + h * 0.45f), s.L(0.07f), white * 0.9f);

    for (int i = 0; i < 8; ++i) {
        const float u0 = w * (-0.88f + 1.76f * i / 7);
        const float len = 0.78f + 0.08f * std::sin(i * 2.3f);
        std::vector<Point> t;
        for (int j = 0; j <= 40; ++j) {
            const float f = j / 40.0f;
            const float du = 0.09f * f * std::sin(5.5f * f + sway + i * 0.9f);
            t.push_back(s.P(u0 * (1 + 0.25f * f) + du, base - 0.03f - len * f));
        }
        GlowLine(c, t, 1.1f, (i % 2 ? pink : cyan) * 0.9f, 1.0f, 0.05f);
        for (int j = 8; j <= 40; j += 8) c.AddDot(t[j].x, t[j].y, 1.6f, white * (0.9f - j / 60.0f));
    }
    // Two curling oral arms in the middle.
    for (int side = -1; side <= 1; side += 2) {
        std::vector<Point> arm;
        for (int j = 0; j <= 50; ++j) {
            const float f = j / 50.0f;
            arm.push_back(s.P(side * (0.06f + 0.1f * std::sin(7 * f + sway + side)) * (0.3f + f),
                              base - 0.05f - 0.55f * f));
        }
        GlowLine(c, arm, 2.0f, Color{0.8f, 0.9f, 1.0f} * 0.8f, 1.0f, 0.1f);
    }
}

// Group 2: an eye that blinks (open, half shut, shut) under a crown of rays.
void PaintEye(Canvas& c, const Space& s, int phase)
{
    const float openness[3] = {1.0f, 0.5f, 0.1f};
    const float o = openness[phase];
    const Color gold{1.0f, 0.72f, 0.28f}, amber{1.0f, 0.5f, 0.15f}, white = Grey(1.0f);
    const float reach = 0.74f;
    auto upper = [&](float u) { return 0.36f * o * (1 - (u / reach) * (u / reach)) + 0.02f; };
    auto lower = [&](float u) { return -0.30f * o * (1 - (u / reach) * (u / reach)) + 0.02f; };

    std::vector<Point> top, bottom;
    for (int i = 0; i <= 80; ++i) {
        const float u = -reach + 2 * reach * i / 80;
        top.push_back(s.P(u, upper(u)));
        bottom.push_back(s.P(u, lower(u)));
    }
    GlowLine(c, top, 2.4f, gold * 1.2f);
    GlowLine(c, bottom, 1.8f, gold * 0.9f);

    // Iris and pupil, hidden where the lids cover them.
    const float irisR = 0.24f;
    std::vector<Point> run;
    for (int i = 0; i <= 120; ++i) {
        const float a = 2 * std::numbers::pi_v<float> * i / 120;
        const float u = irisR * std::cos(a), v = 0.02f + irisR * std::sin(a);
        const bool visible = v < upper(u) - 0.01f && v > lower(u) + 0.01f;
        if (visible) run.push_back(s.P(u, v));
        if ((!visible || i == 120) && run.size() > 1) GlowLine(c, run, 1.6f, amber);
        if (!visible) run.clear();
    }
    c.AddDot(s.X(0), s.Y(0.02f), s.L(0.09f) * std::sqrt(o), white * (1.4f * o));
    c.AddDot(s.X(0), s.Y(0.02f), s.L(0.2f), amber * (0.35f * o));

    // Lashes: rays off the upper lid, spreading as the eye opens.
    for (int i = -3; i <= 3; ++i) {
        const float u = 0.17f * i;
        const float slope = -0.72f * o * 2 * u / (reach * reach);
        const float nx = -slope, ny = 1.0f, n = std::sqrt(nx * nx + ny * ny);
        const float len = 0.12f + 0.05f * o;
        const Point a = s.P(u, upper(u) + 0.03f), b = s.P(u + len * nx / n, upper(u) + 0.03f + len * ny / n);
        GlowLine(c, {a, b}, 1.3f, gold * 0.9f, 1.0f, 0.1f);
    }
    // A faint crown of rays around the whole glyph.
    for (int i = 0; i < 16; ++i) {
        const float a = 2 * std::numbers::pi_v<float> * i / 16 + 0.1f * phase;
        const float r0 = 0.76f, r1 = 0.76f + (i % 2 ? 0.05f : 0.1f);
        GlowLine(c, {s.P(r0 * std::cos(a), r0 * std::sin(a)), s.P(r1 * std::cos(a), r1 * std::sin(a))}, 1.0f,
                 gold * 0.5f);
    }
}

// Group 3: a four-pointed star that turns and breathes, with a ring of beads.
void PaintStar(Canvas& c, const Space& s, int phase)
{
    const float turn = phase * std::numbers::pi_v<float> / 12;
    const float reachMain[3] = {0.9f, 0.72f, 0.82f};
    const Color ice{0.7f, 0.85f, 1.0f}, white = Grey(1.0f);
    for (int i = 0; i < 8; ++i) {
        const float a = turn + i * std::numbers::pi_v<float> / 4;
        const float len = i % 2 ? reachMain[(phase + 1) % 3] * 0.5f : reachMain[phase];
        const Point tip = s.P(len * std::cos(a), len * std::sin(a));
        c.AddPolyline({s.P(0, 0), tip}, 9.0f, ice * 0.25f, 1.0f, 0.0f);
        c.AddPolyline({s.P(0, 0), tip}, i % 2 ? 1.4f : 2.2f, white * 1.4f, 1.0f, 0.0f);
    }
    c.AddDot(s.X(0), s.Y(0), s.L(0.3f), ice * 0.45f);
    c.AddDot(s.X(0), s.Y(0), s.L(0.08f), white * 2.0f);
    const float ringR = 0.36f + 0.03f * phase;
    c.AddRing(s.X(0), s.Y(0), s.L(ringR), 1.0f, ice * 0.35f);
    for (int i = 0; i < 8; ++i) {
        const float a = -turn * 2 + i * std::numbers::pi_v<float> / 4 + std::numbers::pi_v<float> / 8;
        c.AddDot(s.X(ringR * std::cos(a)), s.Y(ringR * std::sin(a)), 2.5f, white * 1.2f);
    }
}

// Group 4: a two-armed spiral of sparks that turns by a ninth of a circle per phase.
void PaintSpiral(Canvas& c, const Space& s, int phase)
{
    const Color violet{0.85f, 0.45f, 1.0f}, rose{1.0f, 0.55f, 0.8f}, white = Grey(1.0f);
    const float turn = phase * 2 * std::numbers::pi_v<float> / 9;
    Rng rng(4000);  // the same sparks in every phase, only turned
    for (int arm = 0; arm < 2; ++arm) {
        std::vector<Point> pts;
        for (int i = 0; i <= 160; ++i) {
            const float th = 3.4f * std::numbers::pi_v<float> * i / 160;
            const float r = 0.05f * std::exp(0.26f * th);
            if (r > 0.85f) break;
            const float a = th + turn + arm * std::numbers::pi_v<float>;
            pts.push_back(s.P(r * std::cos(a), r * std::sin(a)));
        }
        GlowLine(c, pts, 2.0f, arm ? rose : violet, 1.3f, 0.15f);
        for (size_t i = 6; i < pts.size(); i += 5) {
            const float f = static_cast<float>(i) / pts.size();
            const float jx = static_cast<float>(rng.Signed()) * s.L(0.04f);
            const float jy = static_cast<float>(rng.Signed()) * s.L(0.04f);
            const float twinkle = 0.6f + 0.4f * std::sin(static_cast<float>(i) + phase * 2.1f);
            c.AddDot(pts[i].x + jx, pts[i].y + jy, 1.2f + 2.0f * (1 - f), white * (twinkle * (1.3f - f)));
        }
    }
    c.AddDot(s.X(0), s.Y(0), s.L(0.22f), violet * 0.5f);
    c.AddDot(s.X(0), s.Y(0), s.L(0.06f), white * 1.8f);
}

// Group 5: a circle of runes; the lit arc and the lit runes travel a third of the way per phase.
void PaintRunes(Canvas& c, const Space& s, int phase)
{
    const Color teal{0.35f, 1.0f, 0.7f}, mint{0.7f, 1.0f, 0.85f};
    const float turn = phase * std::numbers::pi_v<float> / 18;
    c.AddRing(s.X(0), s.Y(0), s.L(0.8f), 1.2f, teal * 0.7f);
    c.AddRing(s.X(0), s.Y(0), s.L(0.62f), 1.0f, teal * 0.5f);
    for (int i = 0; i < 36; ++i) {
        const float a = turn + 2 * std::numbers::pi_v<float> * i / 36;
        const float r1 = i % 3 == 0 ? 0.75f : 0.69f;
        GlowLine(c, {s.P(0.63f * std::cos(a), 0.63f * std::sin(a)), s.P(r1 * std::cos(a), r1 * std::sin(a))},
                 0.9f, teal * 0.8f);
    }
    // The lit arc on the outer ring.
    std::vector<Point> arc;
    const float start = 2 * std::numbers::pi_v<float> * phase / 3 + 0.3f;
    for (int i = 0; i <= 40; ++i) {
        const float a = start + 1.4f * i / 40;
        arc.push_back(s.P(0.8f * std::cos(a), 0.8f * std::sin(a)));
    }
    GlowLine(c, arc, 2.2f, mint * 1.3f, 0.2f, 1.0f);

    // Six runes of two or three strokes each inside the inner ring; two of them lit per phase.
    Rng rng(5000);
    for (int i = 0; i < 6; ++i) {
        const float a = 2 * std::numbers::pi_v<float> * i / 6 + std::numbers::pi_v<float> / 6;
        const float cu = 0.45f * std::cos(a), cv = 0.45f * std::sin(a);
        const bool lit = i % 3 == phase;
        const int strokes = 2 + rng.Below(2);
        for (int k = 0; k < strokes; ++k) {
            const float u0 = static_cast<float>(rng.Signed()) * 0.06f,
                        v0 = static_cast<float>(rng.Signed()) * 0.08f;
            const float u1 = static_cast<float>(rng.Signed()) * 0.06f,
                        v1 = static_cast<float>(rng.Signed()) * 0.08f;
            GlowLine(c, {s.P(cu + u0, cv + v0), s.P(cu + u1, cv + v1)}, lit ? 1.6f : 1.0f,
                     lit ? mint * 1.3f : teal * 0.4f);
        }
    }
    // The sign in the middle: a triangle with a bar, turning and brightening.
    const float spin = phase * std::numbers::pi_v<float> / 9;
    std::vector<Point> tri;
    for (int i = 0; i <= 3; ++i) {
        const float a = std::numbers::pi_v<float> / 2 + spin + 2 * std::numbers::pi_v<float> * i / 3;
        tri.push_back(s.P(0.2f * std::cos(a), 0.2f * std::sin(a)));
    }
    GlowLine(c, tri, 1.8f, mint * (1.0f + 0.25f * phase));
    GlowLine(c, {s.P(0, -0.28f), s.P(0, 0.28f)}, 1.4f, teal);
    c.AddDot(s.X(0), s.Y(0), s.L(0.15f), teal * 0.3f);
}

// Group 6: a moth of light beating its wings (spread, half raised, folded).
void PaintMoth(Canvas& c, const Space& s, int phase)
{
    const float spread[3] = {1.0f, 0.58f, 0.22f};
    const float f = spread[phase];
    const Color orange{1.0f, 0.62f, 0.2f}, yellow{1.0f, 0.88f, 0.45f}, white = Grey(1.0f);
    for (int side = -1; side <= 1; side += 2) {
        const float upCu = side * 0.36f * f, loCu = side * 0.26f * f;
        GlowLine(c, Ellipse(s, upCu, 0.16f, 0.36f * f + 0.03f, 0.25f, side * 0.35f), 1.8f, orange);
        GlowLine(c, Ellipse(s, loCu, -0.2f, 0.25f * f + 0.03f, 0.19f, -side * 0.45f), 1.5f, orange * 0.85f);
        c.AddDot(s.X(upCu), s.Y(0.16f), s.L(0.22f) * std::sqrt(f), orange * 0.25f);
        c.AddDot(s.X(loCu), s.Y(-0.2f), s.L(0.15f) * std::sqrt(f), orange * 0.2f);
        // Eye spots on the forewings.
        const float eu = side * 0.45f * f;
        c.AddRing(s.X(eu), s.Y(0.22f), s.L(0.07f) * std::sqrt(f) + 1.5f, 1.0f, yellow);
        c.AddDot(s.X(eu), s.Y(0.22f), 2.5f, white * 1.2f);
        // Antennae.
        std::vector<Point> ant;
        for (int i = 0; i <= 20; ++i) {
            const float t = i / 20.0f;
            ant.push_back(s.P(side * (0.02f + 0.16f * t + 0.04f * t * t), 0.36f + 0.26f * t - 0.06f * t * t));
        }
        GlowLine(c, ant, 1.0f, yellow * 0.9f);
        c.AddDot(ant.back().x, ant.back().y, 3.0f, white);
    }
    GlowLine(c, {s.P(0, -0.42f), s.P(0, 0.3f)}, 4.0f, yellow * 1.2f, 0.5f, 1.0f);
    c.AddDot(s.X(0), s.Y(0.35f), 6.0f, white * 1.5f);
    c.AddDot(s.X(0), s.Y(-0.45f), s.L(0.1f), yellow * (0.8f + 0.3f * phase));
}

// Group 7: a wisp of flame whose tongues flicker, with sparks rising off it.
void PaintWisp(Canvas& c, const Space& s, int phase)
{
    const Color red{1.0f, 0.3f, 0.1f}, orange{1.0f, 0.6f, 0.18f}, yellow{1.0f, 0.9f, 0.55f};
    const float shift = phase * 2.1f;
    Rng rng(7000);
    for (int k = 0; k < 7; ++k) {
        const float u0 = 0.26f * (k - 3) / 3.0f;
        const float height = 0.7f + 0.35f * static_cast<float>(rng.Unit()) - 0.15f * std::fabs(u0) * 3;
        const float wobble = static_cast<float>(rng.Range(2.5, 4.0));
        const float seed = static_cast<float>(rng.Range(0, 6.28));
        std::vector<Point> tongue;
        for (int i = 0; i <= 40; ++i) {
            const float t = i / 40.0f;
            const float u = u0 * (1 - 0.8f * t) +
                            0.12f * t * std::sin(wobble * t * std::numbers::pi_v<float> + seed + shift);
            tongue.push_back(s.P(u, -0.55f + height * t * (0.95f + 0.1f * std::sin(shift + k))));
        }
        c.AddPolyline(tongue, 10.0f, red * 0.3f, 1.0f, 0.0f);
        c.AddPolyline(tongue, 3.5f, orange * 0.9f, 1.0f, 0.0f);
        c.AddPolyline(tongue, 1.2f, yellow * 1.1f, 1.0f, 0.1f);
    }
    c.AddDot(s.X(0), s.Y(-0.48f), s.L(0.22f), orange * 0.5f);
    c.AddDot(s.X(0), s.Y(-0.5f), s.L(0.08f), yellow * 1.5f);
    for (int i = 0; i < 9; ++i) {
        const float u = static_cast<float>(rng.Signed()) * 0.3f;
        const float v =
            std::fmod(0.1f + static_cast<float>(rng.Unit()) * 0.6f + 0.12f * phase, 0.75f) + 0.05f;
        c.AddDot(s.X(u + 0.03f * std::sin(v * 9)), s.Y(v), 1.5f + 1.5f * static_cast<float>(rng.Unit()),
                 yellow * 1.3f);
    }
}

using SpritePainter = void (*)(Canvas&, const Space&, int);
constexpr SpritePainter kGroups[7] = {PaintMedusa, PaintEye,  PaintStar, PaintSpiral,
                                      PaintRunes,  PaintMoth, PaintWisp};

Canvas PaintSprite(int group, int phase)
{
    Canvas c(kSpriteSize, kSpriteSize);
    const Space s{kSpriteSize * 0.5f};
    kGroups[group](c, s, phase);
    // Drawn on quads that overlap other light: the border must be black all round.
    c.FadeOutside(s.L(0.88f), s.L(0.97f));
    return c;
}

// Film grain: a black frame with soft grain, dust specks, lint and hair-thin scratches, bright on black
// and tileable (it is repeated twice across the view and added on top of everything).
Canvas PaintFilm()
{
    const int size = 512;
    Canvas c(size, size, true);
    Rng rng(9000);
    const Color warm{1.0f, 0.96f, 0.88f};
    c.AddGrain(rng, 0.8f, 0.045f, warm);

    // Dust: mostly tiny specks, a few clumps of several.
    for (int i = 0; i < 260; ++i) {
        const float x = static_cast<float>(rng.Unit()) * size, y = static_cast<float>(rng.Unit()) * size;
        const float r = static_cast<float>(0.4 + 1.6 * std::pow(rng.Unit(), 3.0));
        c.AddDot(x, y, r, warm * static_cast<float>(0.25 + 0.9 * rng.Unit()));
        if (rng.Unit() < 0.08) {
            for (int k = 0; k < 4; ++k)
                c.AddDot(x + static_cast<float>(rng.Signed()) * 3, y + static_cast<float>(rng.Signed()) * 3,
                         static_cast<float>(0.5 + rng.Unit()), warm * 0.5f);
        }
    }
    // Lint and hairs: curly random walks with a slowly turning heading.
    for (int i = 0; i < 7; ++i) {
        float x = static_cast<float>(rng.Unit()) * size, y = static_cast<float>(rng.Unit()) * size;
        float heading = static_cast<float>(rng.Unit()) * 2 * std::numbers::pi_v<float>;
        float bend = static_cast<float>(rng.Signed()) * 0.05f;
        const int steps = 40 + rng.Below(90);
        std::vector<Point> hair;
        for (int k = 0; k < steps; ++k) {
            hair.push_back({x, y});
            // a damped random walk of the curvature: gentle curls, never tight spirals
            bend = 0.96f * bend + static_cast<float>(rng.Signed()) * 0.012f;
            heading += bend;
            x += std::cos(heading) * 1.5f;
            y += std::sin(heading) * 1.5f;
        }
        c.AddPolyline(hair, 0.5f, warm * static_cast<float>(0.5 + 0.5 * rng.Unit()), 0.6f, 1.0f);
    }
    // Scratches: nearly vertical, the whole height of the frame, fading in and out along their length.
    for (int i = 0; i < 6; ++i) {
        const float x0 = (i + static_cast<float>(rng.Unit())) * size / 6.0f;
        const float drift = static_cast<float>(rng.Signed()) * 6;
        const float wave = static_cast<float>(rng.Range(1, 4)),
                    phase = static_cast<float>(rng.Unit()) * 6.28f;
        const float level = static_cast<float>(0.3 + 0.5 * rng.Unit());
        const int pieces = 8;
        for (int p = 0; p < pieces; ++p) {
            std::vector<Point> line;
            for (int k = 0; k <= 16; ++k) {
                const float y = (p * 16 + k) * size / (pieces * 16.0f);
                const float t = y / size;
                // drift returns to zero at both ends, so the scratch meets itself across the seam
                line.push_back({x0 + drift * std::sin(std::numbers::pi_v<float> * t) +
                                    wave * std::sin(2 * std::numbers::pi_v<float> * t * 2 + phase),
                                y});
            }
            const float a = 0.5f + 0.5f * std::sin(p * 1.7f + phase),
                        b = 0.5f + 0.5f * std::sin((p + 1) * 1.7f + phase);
            c.AddPolyline(line, 0.45f, warm * level, a, b);
        }
    }
    return c;
}

bool Save(const Canvas& canvas, float exposure, uint64_t ditherSeed, const std::filesystem::path& path)
{
    Rng dither(ditherSeed);
    const std::vector<uint8_t> rgb = assetgen::ToneMap(canvas, exposure, dither);
    std::string error;
    if (!assetgen::WriteJpeg(path.string(), canvas.Width(), canvas.Height(), rgb, kQuality, &error)) {
        std::fprintf(stderr, "gen_textures: %s\n", error.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr,
                     "usage: gen_textures OUTPUT_DIR\n"
                     "Writes blob41b.jpg, 1-1.jpg ... 7-3.jpg and superfilm3.jpg into OUTPUT_DIR.\n");
        return 2;
    }
    const std::filesystem::path dir(argv[1]);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir)) {
        std::fprintf(stderr, "gen_textures: cannot create the folder %s\n", dir.string().c_str());
        return 1;
    }
    if (!Save(PaintBlob(), 1.0f, 11, dir / "blob41b.jpg")) return 1;
    for (int g = 0; g < 7; ++g)
        for (int m = 0; m < 3; ++m) {
            const std::string name = std::to_string(g + 1) + "-" + std::to_string(m + 1) + ".jpg";
            if (!Save(PaintSprite(g, m), 1.0f, 400 + 3 * g + m, dir / name)) return 1;
        }
    if (!Save(PaintFilm(), 1.0f, 90000, dir / "superfilm3.jpg")) return 1;
    return 0;
}
