// Textured quads and billboards (see billboards.h): immediate-mode drawing on the current GL context,
// with texture, colour and blending as the caller set them unless stated otherwise.
#include "render/billboards.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "math/random.h"
#include "render/engine.h"

int32_t gScreenCopyMode = 2;

namespace {

constexpr TexExtent kExtent320{0.3125f, 0.234375f};
constexpr TexExtent kExtent640{0.625f, 0.46875f};
constexpr TexExtent kExtent800{0.78125f, 0.5859375f};
constexpr TexExtent kExtentWhole{1.0f, 1.0f};

// Keep the modelview's position, drop its rotation and scale, so the xy plane faces the camera.
void LoadBillboardMatrix()
{
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    m[0] = 1.0f, m[1] = 0.0f, m[2] = 0.0f;
    m[4] = 0.0f, m[5] = 1.0f, m[6] = 0.0f;
    m[8] = 0.0f, m[9] = 0.0f, m[10] = 1.0f;
    glLoadMatrixf(m);
}

void EmitUnitQuad(TexExtent e)
{
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-1.0f, -1.0f, 0.0f);
    glTexCoord2f(e.u, 0.0f);
    glVertex3f(1.0f, -1.0f, 0.0f);
    glTexCoord2f(e.u, e.v);
    glVertex3f(1.0f, 1.0f, 0.0f);
    glTexCoord2f(0.0f, e.v);
    glVertex3f(-1.0f, 1.0f, 0.0f);
    glEnd();
}

void DrawRotatedBillboard(double angle, double halfWidth, double halfHeight, TexExtent e)
{
    LoadBillboardTransform(angle, halfWidth, halfHeight);
    EmitUnitQuad(e);
}

}  // namespace

// The scale comes before the rotation: unequal half-extents shear a rotated quad along the screen axes.
void LoadBillboardTransform(double angle, double halfWidth, double halfHeight)
{
    LoadBillboardMatrix();
    glScalef(static_cast<float>(halfWidth), static_cast<float>(halfHeight), 0.0f);
    glRotatef(static_cast<float>(angle), 0.0f, 0.0f, 1.0f);
}

void SetScreenCopyMode(Engine& engine, int32_t mode)
{
    gScreenCopyMode = mode;
    engine.screenCopyMode = mode;
}

TexExtent ScreenCopyExtent(int width, int32_t mode)
{
    if (width <= 639) return kExtentWhole;
    switch (mode) {
        case 1:
            return kExtent640;
        case 2:
            return kExtent800;
        case 3:
            return kExtent320;
        case -1:
            if (width == 640) return kExtent640;
            if (width == 800) return kExtent800;
            return kExtentWhole;
        default:
            return kExtentWhole;
    }
}

TexExtent WaveStripExtent(int rows)
{
    if (rows == 640) return kExtent640;
    if (rows == 800) return kExtent800;
    return kExtentWhole;
}

void DrawBillboard(double angle, double halfWidth, double halfHeight)
{
    DrawRotatedBillboard(angle, halfWidth, halfHeight, kExtentWhole);
}

void DrawBillboardTiled(double angle, double halfWidth, double halfHeight)
{
    DrawRotatedBillboard(angle, halfWidth, halfHeight, TexExtent{2.0f, 2.0f});
}

void DrawScreenCopyBillboard(int width, double angle, double halfWidth, double halfHeight)
{
    DrawRotatedBillboard(angle, halfWidth, halfHeight, ScreenCopyExtent(width, gScreenCopyMode));
}

void DrawBillboardUnrotated(double halfWidth, double halfHeight)
{
    LoadBillboardMatrix();
    glScalef(static_cast<float>(halfWidth), static_cast<float>(halfHeight), 0.0f);
    EmitUnitQuad(kExtentWhole);
}

WaveStripRow ComputeWaveStripRow(int i, int rows, const float* samples, int first, int last, double amplitude,
                                 int period)
{
    const TexExtent e = WaveStripExtent(rows);
    const int count = last - first;
    const int p = period < 1 ? 1 : period;
    const double t = static_cast<double>(i) / rows;
    const int k = static_cast<int>(count * t);
    const double value = samples[first + k] * amplitude;
    const double x = ((i / p) % 2 == 1) ? value : -value;
    WaveStripRow row;
    row.left = static_cast<float>(x - 1.0);
    row.right = static_cast<float>(x + 1.0);
    row.y = static_cast<float>(2.0 * t - 1.0);
    row.v = static_cast<float>(t * e.v);
    row.u = e.u;
    return row;
}

void DrawWaveStrip(int rows, double halfWidth, double halfHeight, const float* samples, int first, int last,
                   double amplitude, int period)
{
    LoadBillboardMatrix();
    glScalef(static_cast<float>(halfWidth), static_cast<float>(halfHeight), 0.0f);
    glBegin(GL_QUAD_STRIP);
    for (int i = 0; i < rows; ++i) {
        const WaveStripRow row = ComputeWaveStripRow(i, rows, samples, first, last, amplitude, period);
        glTexCoord2f(0.0f, row.v);
        glVertex3f(row.left, row.y, 0.0f);
        glTexCoord2f(row.u, row.v);
        glVertex3f(row.right, row.y, 0.0f);
    }
    glEnd();
}

void CopyScreenToTexture(uint32_t texture, int width, int height)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    const int h = width == 800 ? 600 : height;
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, width, h);
}

void ResetRenderState()
{
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHT0);
    glDisable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glDisable(GL_FOG);
}

uint32_t TextureForSlot(const Engine& engine, int slot)
{
    const int64_t index = slot >= kAbsoluteSlotStart ? slot : int64_t{engine.textureBaseOffset} + slot;
    if (index < 0 || index >= kTextureTableSize) return 0;  // outside the table: the default texture
    return engine.textureTable[index];
}

void BindSceneTexture(const Engine& engine, int slot)
{
    glBindTexture(GL_TEXTURE_2D, TextureForSlot(engine, slot));
}

void DrawFilmOverlay(double alpha, double size, const Engine& engine)
{
    glPushMatrix();
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    BindSceneTexture(engine, kFilmTextureSlot);
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);

    const double a = alpha < 0.0 ? 0.0 : (alpha > 1.0 ? 1.0 : alpha);
    glColor4f(1.0f, 1.0f, 1.0f, static_cast<float>(a));

    glLoadIdentity();
    const double jx = (RandomUnit() - 0.5) * 0.1;
    const double jy = (RandomUnit() - 0.5) * 0.1;
    gluLookAt(jx, jy, 3.2, jx, jy, 0.0, 0.0, 1.0, 0.0);
    const double half = size + 3.5;
    const double angle = RandomUnit() * 360.0;
    // At alpha 0 the additive quad adds nothing; its random values are still drawn, so that every later
    // value of the sequence stays the same.
    if (a > 0.0) DrawBillboardTiled(angle, half, half);
    glPopMatrix();
}

double RandomUnit()
{
    return NextRandom() * (1.0 / 32767.0);
}
