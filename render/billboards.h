// Textured quads and billboards: camera-facing quads, the spectrum wave strip, the screen copy, the state
// reset, texture binding by slot, the film overlay and RandomUnit. Immediate-mode OpenGL on the current
// context; nothing here allocates.
#pragma once
#include <cstdint>

struct Engine;

// Which part of a 1024 x 1024 screen-copy texture holds a copied frame:
// 1 = 640 x 480, 2 = 800 x 600, 3 = 320 x 240, -1 = by the width passed, other = whole texture.
extern int32_t gScreenCopyMode;
void SetScreenCopyMode(Engine& engine, int32_t mode);  // sets the global and the Engine's copy

struct TexExtent {
    float u = 1.0f, v = 1.0f;
};
TexExtent ScreenCopyExtent(int width, int32_t mode);  // U and V of DrawScreenCopyBillboard
TexExtent WaveStripExtent(int rows);                  // U and V of DrawWaveStrip

// One row of the wave strip: its two vertices (left, y) and (right, y), texture row v and right edge u.
// Row i of `rows` samples index first + (last - first) * i / rows; the push flips every `period` rows.
struct WaveStripRow {
    float left = 0, right = 0, y = 0, u = 0, v = 0;
};
WaveStripRow ComputeWaveStripRow(int i, int rows, const float* samples, int first, int last, double amplitude,
                                 int period);

// The matrix DrawBillboard draws its unit quad in: the modelview's position, scaled, then rotated.
void LoadBillboardTransform(double angle, double halfWidth, double halfHeight);
void DrawBillboard(double angle, double halfWidth, double halfHeight);       // angle in degrees
void DrawBillboardTiled(double angle, double halfWidth, double halfHeight);  // texture repeated twice
void DrawScreenCopyBillboard(int width, double angle, double halfWidth, double halfHeight);
void DrawBillboardUnrotated(double halfWidth, double halfHeight);
void DrawWaveStrip(int rows, double halfWidth, double halfHeight, const float* samples, int first, int last,
                   double amplitude, int period);
void CopyScreenToTexture(uint32_t texture, int width, int height);
void ResetRenderState();
uint32_t TextureForSlot(const Engine& engine, int slot);  // the slot rule of BindSceneTexture
void BindSceneTexture(const Engine& engine, int slot);
// Film grain over the whole view, jittered and turned by three runtime random values; they are drawn at
// every alpha, 0 included, so the sequence after it is the same whatever the grain's strength.
void DrawFilmOverlay(double alpha, double size, const Engine& engine);
constexpr int kFilmOverlayRandomDraws = 3;  // values DrawFilmOverlay draws from the runtime generator
double RandomUnit();                        // next runtime random value / 32767, in [0, 1]
