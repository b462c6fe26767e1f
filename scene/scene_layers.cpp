// The scene's three layers (see scene_layers.h): the sea of drifting blobs, the detail pattern of folding
// rectangles, and the world picture built from the enhanced sea, drawn from the state the frame's steps
// left. Every layer reseeds the runtime generator from the scene clock or the round seed, so each picture
// is a function of time. Depends on the scene
// record, the vector helpers, the billboards, the outline text and the effects (to switch them off).
#include "scene/scene_layers.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "math/clamp.h"
#include "math/portable_trig.h"
#include "math/random.h"
#include "math/vec.h"
#include "render/billboards.h"
#include "render/effects.h"
#include "render/engine.h"
#include "render/image_sum.h"
#include "render/outline_text.h"
#include "scene/demo_scene.h"
#include "scene/mini_game.h"

DemoScene* CurrentScene = nullptr;

namespace {

constexpr int kDetailRectangles = 30;  // rectangles per pass; both passes draw the same thirty
constexpr int kDetailLevels = 16;      // halvings per rectangle, one bit of its pattern each
constexpr int kDiscRimPoints = 41;
constexpr double kDiscRadius = 0.2 * 0.16;
constexpr int kFirstParticleRun = 180;  // positioned only: advances the sequence
constexpr int kSecondParticleRun = 960;

double Fraction(double v)
{
    return v - std::floor(v);
}

uint32_t SeedFromInteger(int64_t v)
{
    return static_cast<uint32_t>(static_cast<uint64_t>(v));
}

// Every layer starts with a clean texture matrix and fixed-function fragments (and brackets its drawing
// with a matrix save of its own).
void BeginLayer(Engine& engine)
{
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    DisableEffects(engine);
}

// The renderer has just cleared the layer's region to transparent black, the only clear colour this
// context ever has, so the layer keeps the colour and skips its own clear of the whole buffer.
void LookDown(double eyeZ)
{
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glLoadIdentity();
    gluLookAt(0.0, 0.0, eyeZ, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
}

Vec Midpoint(const Vec& a, const Vec& b)
{
    return (a + b) * 0.5f;
}

Vec Mean(const Vec& a, const Vec& b, const Vec& c, const Vec& d)
{
    return (a + b + c + d) * 0.25f;
}

// Level factor of the detail pattern's slow flip: its pace changes at 18, 26 and 36 s.
double DetailLevelFactor(double t)
{
    if (t <= 18.0) return 1.0;
    if (t <= 26.0) return 0.25;
    if (t <= 36.0) return 0.5;
    return 1.0;
}

struct Corners {
    Vec a, b, c, d;
};

// What one frame of the detail layer shares between its rectangles.
struct DetailFrame {
    const DemoScene* scene;
    Engine* engine;
    double t;
    double timeLeft;  // the countdown as the layer sees it, before this frame's count
    double split;     // turn of each even halving, in half turns
    double twist;     // fold of each odd halving about y
    Mat4 turn;        // rotation about z by pi x split, built once per frame
    Mat4 fold;        // rotation about y by 3 pi x twist x split
    int fillEnd;      // levels below this are filled in the first pass, above it in the second
};

void DrawCornerQuad(const Corners& q, float z)
{
    glBegin(GL_QUADS);
    glVertex3f(q.a.x, q.a.y, z);
    glVertex3f(q.b.x, q.b.y, z);
    glVertex3f(q.c.x, q.c.y, z);
    glVertex3f(q.d.x, q.d.y, z);
    glEnd();
}

// (No matrix save around the fill: it changes no matrix, and a restore would end the driver's batch of
// immediate-mode primitives, and with it the run of fills and outlines drawn in one go.)
void DrawFill(const DetailFrame& f, const Corners& q, int level, double c)
{
    const float z = static_cast<float>(q.a.z + level * f.scene->subSceneTuning[2] * 0.02);
    glBlendFunc(GL_ONE, GL_ZERO);
    if (!f.scene->insideSea)
        glColor3f(0.0f, 0.0f, 0.0f);
    else if (level == 10 || level == 6)
        glColor3f(1.0f, static_cast<float>(c + 1.0), 0.0f);
    else if (level == 2)
        glColor3f(0.0f, static_cast<float>(c + 0.6), 0.6f);
    else
        glColor3f(1.0f, 0.0f, static_cast<float>(c));
    DrawCornerQuad(q, z);
}

void DrawBinaryDigit(const DetailFrame& f, const Corners& q)
{
    glPushMatrix();
    glColor3f(1.0f, 1.0f, 0.0f);
    const Vec centre = Mean(q.a, q.b, q.c, q.d);
    glTranslatef(centre.x, centre.y, centre.z + 0.3f);
    glScalef(0.07f, 0.07f, 0.07f);
    PrintText(*f.engine, "%s", (NextRandom() & 1) ? "1" : "0");
    glPopMatrix();
}

void DrawShadowDigit(const DetailFrame& f, const Corners& q)
{
    glPushMatrix();
    glBlendFunc(GL_ONE, GL_ONE);
    glColor3f(0.1f, 0.1f, 0.2f);
    const Vec centre = Mean(q.a, q.b, q.c, q.d);
    glTranslatef(centre.x, centre.y, centre.z);
    glScalef(0.3f, 0.3f, 0.3f);
    glRotatef(static_cast<float>(NextRandom()) * 90.0f, 0.0f, -0.1f, 1.0f);
    if (f.t > 10.0) PrintText(*f.engine, "%s", "0");
    glPopMatrix();
}

void DrawSpriteQuad(const DetailFrame& f, const Corners& q, int rectangle)
{
    const DemoScene& scene = *f.scene;
    glPushMatrix();
    glEnable(GL_TEXTURE_2D);
    glBlendFunc(GL_ONE, GL_ONE);
    const float red = static_cast<float>(0.4 + RandomUnit());
    const float green = static_cast<float>(0.4 + RandomUnit());
    const float blue = static_cast<float>(0.4 + RandomUnit());
    glColor3f(red, green, blue);
    const double wobble = std::pow(1.0 - Fraction(f.t / 2.0), 2.0);
    const double sign = RandomUnit() < 0.5 ? -1.0 : 1.0;
    const double axisY = 0.2 * RandomUnit() - 0.1;
    const double axisX = 0.2 * RandomUnit() - 0.1;
    glRotatef(static_cast<float>(sign * 15.0 * RandomUnit() * wobble), static_cast<float>(axisX),
              static_cast<float>(axisY), 1.0f);

    // The images flip faster as the round runs out.
    double pace = 4.0;
    if (f.timeLeft < 20.0) pace = 6.0;
    if (f.timeLeft < 10.0) pace = 8.0;
    if (f.timeLeft < 5.0) pace = 16.0;
    const int64_t k = IntegerPart64(pace * f.t);
    // The three images share corners, colour and additive blending: one pass draws their sum.
    ImageSumQuad sum;
    const float colour[3] = {scene.insideSea ? 1.0f : 0.0f, scene.insideSea ? 0.0f : 1.0f, 0.0f};
    for (int i = 0; i < kSpriteMembers; ++i) {
        int64_t group = (NextRandom() + k) % kSpriteGroups;
        if (group < 0) group += kSpriteGroups;
        sum.textures[i] = TextureForSlot(
            *f.engine, scene.textureBase + kSpriteImageSlot + kSpriteMembers * static_cast<int>(group) + i);
        // A tint is drawn for each image and overridden by the colour, which keeps the sequence in step.
        RandomUnit();
        RandomUnit();
        RandomUnit();
        float u0 = 0.0f, u1 = 1.0f;
        if (RandomUnit() < 0.5) std::swap(u0, u1);
        if (IntegerPartIsOdd(f.t - 0.1 * rectangle)) std::swap(u0, u1);
        const float coords[4][2] = {{u0, 0.0f}, {u1, 0.0f}, {u1, 1.0f}, {u0, 1.0f}};
        for (int c = 0; c < 4; ++c)
            sum.texCoords[i][c][0] = coords[c][0], sum.texCoords[i][c][1] = coords[c][1];
    }
    const Vec* corners[4] = {&q.a, &q.b, &q.c, &q.d};
    for (int c = 0; c < 4; ++c) {
        sum.corners[c][0] = corners[c]->x;
        sum.corners[c][1] = corners[c]->y;
        sum.corners[c][2] = 0.0f;
    }
    for (int c = 0; c < 3; ++c) sum.colourA[c] = colour[c];
    if (!DrawImageSum(sum)) {
        for (int i = 0; i < kSpriteMembers; ++i) {
            glBindTexture(GL_TEXTURE_2D, sum.textures[i]);
            glColor3f(colour[0], colour[1], colour[2]);
            glBegin(GL_QUADS);
            for (int c = 0; c < 4; ++c) {
                glTexCoord2fv(sum.texCoords[i][c]);
                glVertex3fv(sum.corners[c]);
            }
            glEnd();
        }
    }
    // The current colour and texture coordinate as the last of three separate draws leaves them.
    glColor3f(colour[0], colour[1], colour[2]);
    glTexCoord2fv(sum.texCoords[kSpriteMembers - 1][3]);
    glDisable(GL_TEXTURE_2D);
    glPopMatrix();
    // (The inverting blend the pattern sets back here reaches no draw: the level's outline comes next
    // and sets its own, so it is left out.)
}

void DrawOutline(const DetailFrame& f, const Corners& q, int level)
{
    glColor3f(0.0f, 0.0f, 0.0f);
    bool thin = false;
    if (level > 9 && RandomUnit() < 0.7) {
        glColor3f(0.0f, 1.0f, 1.0f);
        if (RandomUnit() < 0.5) {
            glColor3f(1.0f, 0.5f, 0.0f);
            glLineWidth(3.0f);
            thin = true;
        }
    }
    if (level == 8) {
        const double v = std::max(Fraction(f.t / 2.0) - 0.6, 0.0);
        glColor3f(static_cast<float>(4.0 * v), static_cast<float>(2.0 * v), 0.0f);
    } else if (level == 7) {
        const double v = std::max(Fraction(f.t / 2.0) - 0.7, 0.0);
        glColor3f(0.0f, static_cast<float>(2.0 * v), static_cast<float>(4.0 * v));
    }
    glBlendFunc(GL_ONE, GL_ZERO);
    glBegin(GL_LINE_STRIP);
    glVertex3f(q.a.x, q.a.y, q.a.z);
    glVertex3f(q.b.x, q.b.y, q.b.z);
    glVertex3f(q.c.x, q.c.y, q.c.z);
    glVertex3f(q.d.x, q.d.y, q.d.z);
    glVertex3f(q.a.x, q.a.y, q.a.z);
    glEnd();
    if (thin) glLineWidth(6.0f);
}

void DrawDisc(const Corners& q)
{
    glBlendFunc(GL_ZERO, GL_ZERO);
    const Vec centre = Mean(q.a, q.b, q.c, q.d);
    glBegin(GL_TRIANGLE_FAN);
    glVertex3f(centre.x, centre.y, centre.z);
    for (int i = 0; i < kDiscRimPoints; ++i) {
        const double angle = i * std::numbers::pi / 20.0;
        glVertex3f(static_cast<float>(centre.x + kDiscRadius * std::cos(angle)),
                   static_cast<float>(centre.y + kDiscRadius * std::sin(angle)), centre.z);
    }
    glEnd();
}

// One rectangle of the detail pattern: sixteen halvings chosen by the bits of a time-driven number, each
// turned and folded by the music, each level drawn as it appears.
void DrawFoldingRectangle(const DetailFrame& f, int pass, int rectangle)
{
    const DemoScene& scene = *f.scene;
    Corners q{Vec{1, -1.0f, -1.0f, 0.0f}, Vec{1, 1.0f, -1.0f, 0.0f}, Vec{1, 1.0f, 1.0f, 0.0f},
              Vec{1, -1.0f, 1.0f, 0.0f}};
    // Seeded, then 1000 values discarded.
    SeedRandom(SeedAfterSkipping(SeedFromInteger(int64_t{scene.roundSeed} + 30000 + rectangle), 1000));
    const double r1 = RandomUnit();
    const double r2 = RandomUnit();
    const uint64_t pattern = static_cast<uint64_t>(IntegerPart64(r2 * 1e13 + (6.0 * r1 - 3.0) * f.t * 65.0));
    // Every level ends with its outline, which sets its blending before it draws; level 0 is never
    // filled. So the inverting blend a rectangle starts with reaches no draw and is not set.

    for (int level = 0; level < kDetailLevels; ++level) {
        const bool bit = ((pattern >> (15 - level)) & 1) != 0;
        double c = 0.0;
        if (level % 2 == 0) {
            const Vec midBC = Midpoint(q.b, q.c);
            const Vec midAD = Midpoint(q.a, q.d);
            if (!bit) {
                q.c = midBC;
                q.d = midAD;
            } else {
                q.a = midAD;
                q.b = midBC;
                c = 0.7;
            }
            q.a = MatTransform(f.turn, q.a);
            q.b = MatTransform(f.turn, q.b);
            q.c = MatTransform(f.turn, q.c);
            q.d = MatTransform(f.turn, q.d);
        } else {
            const Vec midAB = Midpoint(q.a, q.b);
            const Vec midCD = Midpoint(q.c, q.d);
            if (!bit) {
                q.b = midAB;
                q.c = midCD;
            } else {
                q.a = midAB;
                q.d = midCD;
            }
            q.b = MatTransform(f.fold, q.b);
            q.c = MatTransform(f.fold, q.c);
        }

        const bool filled = pass == 0 ? (1 < level && level < f.fillEnd) : (f.fillEnd < level && level < 20);
        if (filled) {
            DrawFill(f, q, level, c);
            if (level == 11 && f.t > 12.0 && f.t < 178.0) DrawBinaryDigit(f, q);
            if (level < 3 && f.t < 176.0) DrawShadowDigit(f, q);
            if (level == 3 || (level == 5 && f.timeLeft < 20.0)) DrawSpriteQuad(f, q, rectangle);
        }
        DrawOutline(f, q, level);
        if (level == 6) DrawDisc(q);
    }
}

struct Particle {
    float x, y, z;
};

// Draws the particle's seven random values in their fixed order and places it.
Particle PlaceParticle(int i, double t, double drift)
{
    const double zBase = RandomUnit();
    const double yBase = RandomUnit();
    const double xBase = RandomUnit();
    const double xWobble = RandomUnit();
    const double zWobble = RandomUnit();
    const double speed = RandomUnit();
    const double offset = RandomUnit();
    Particle p;
    p.x = static_cast<float>((8.0 * xBase - 4.0) + std::sin(xWobble * t * 0.3 + 0.3 * i));
    p.y = static_cast<float>(48.0 * Fraction((speed + 0.5) * t * drift + 4.0 * offset) +
                             (40.0 * yBase - 20.0) - 24.0);
    p.z = static_cast<float>(4.0 * std::sin(zWobble * t * 0.3 + 0.3 * i) + zBase);
    return p;
}

void DrawParticles(const DemoScene& scene, Engine& engine, double t, double seedOffset)
{
    // The particles rise only between 110 and 133 s, past the end of a normal round.
    const double w = Clamp((t - 110.0) * 0.3, 0.0, 1.0) - Clamp((t - 130.0) * 0.3, 0.0, 1.0);
    BindSceneTexture(engine, scene.textureBase + kBlobSpriteSlot);
    SeedRandom(SeedFromValue(100.0 * seedOffset + 1000.0));
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
    for (int i = 0; i < kFirstParticleRun * w; ++i) PlaceParticle(i, t, 0.015);
    for (int i = 0; i < kSecondParticleRun * w; ++i) {
        const Particle p = PlaceParticle(i, t, 0.005);
        glColor3f(0.5f, 0.5f, 0.5f);
        glPushMatrix();
        glTranslatef(p.x, p.y, p.z);
        DrawBillboardUnrotated(0.3, 0.3);
        glPopMatrix();
    }
}

}  // namespace

double SeaGrowth(double time)
{
    const double spread = Clamp(time * 0.4, 0.0, 1.0);
    return spread * spread;
}

void PlaceSeaPoints(int32_t roundSeed, double time, Vec* points)
{
    // The same seed for the whole round: each blob keeps its path.
    SeedRandom(SeedFromInteger(int64_t{roundSeed} + 3000));
    const double growth = SeaGrowth(time);
    for (int i = 0; i < kSeaPointCount; ++i) {
        const double u1 = RandomUnit(), u2 = RandomUnit(), u3 = RandomUnit();
        const double u4 = RandomUnit(), u5 = RandomUnit(), u6 = RandomUnit();
        // Our own sine: where the blobs are decides the game, the same on every system.
        const double x = (8.0 * u1 - 4.0) + 3.0 * PortableSin(8.0 * u4 + (0.3 * u3 + 0.4) * time);
        const double y = (8.0 * u2 - 4.0) + 3.0 * PortableSin(8.0 * u6 + (0.3 * u5 + 0.4) * time);
        points[i] = Vec{1, static_cast<float>(growth * x), static_cast<float>(growth * y), 0.0f};
    }
}

void DemoScene::DrawSeaLayer(Engine& engine, double /*seedOffset*/) const
{
    BeginLayer(engine);
    glPushMatrix();
    LookDown(10.0);
    glColor3f(1.0f, 1.0f, 1.0f);
    // The blobs stand where the frame's steps placed them (PlaceSeaPoints).
    glEnable(GL_TEXTURE_2D);
    BindSceneTexture(engine, textureBase + kBlobSpriteSlot);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glDisable(GL_DEPTH_TEST);
    for (const Vec& point : seaPoints) {
        glPushMatrix();
        glTranslatef(point.x, point.y, point.z);
        DrawBillboard(0.0, 4.0, 4.0);
        glPopMatrix();
    }
    glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
    glPopMatrix();
}

void DemoScene::DrawWorldLayer(Engine& engine) const
{
    const double time = shown.time;
    BeginLayer(engine);
    glPushMatrix();
    LookDown(10.0);
    glEnable(GL_TEXTURE_2D);
    glColor3f(1.0f, 1.0f, 1.0f);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glDisable(GL_DEPTH_TEST);
    SeedRandom(10000);
    BindSceneTexture(engine, textureBase + kSeaLayerSlot);
    glPushMatrix();
    // At distance 10 in the 75-degree view this 16 x 16 quad fills the picture. Added to transparent black
    // it would give its own bytes, so it is drawn without blending, and the target needs no clear.
    glDisable(GL_BLEND);
    glScalef(8.0f, 8.0f, 8.0f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-1.0f, -1.0f, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(1.0f, -1.0f, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(1.0f, 1.0f, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-1.0f, 1.0f, 0.0f);
    glEnd();
    glPopMatrix();
    glPopMatrix();

    // The late red flash: after 174 s the camera closes in on a red quad.
    glPushMatrix();
    glLoadIdentity();
    ResetRenderState();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_TEXTURE_2D);
    const double late = std::max(time - 174.0, 0.0);
    gluLookAt(0.0, 0.0, 3.2 - 0.038 * late, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    const int flicker = IntegerPartIsOdd(2.0 * time) ? 1 : 0;
    BindSceneTexture(engine, textureBase + (late > 4.0 ? 302 : 300) + flicker);
    glColor4f(static_cast<float>(0.8 * Clamp(6.0 * late, 0.0, 1.0)), 0.0f, 0.0f,
              static_cast<float>(1.0 - 0.1 * flicker));
    if (late > 0.009999999776482582) {
        glPushMatrix();
        DrawBillboard(0.0, 1.0, 1.0);
        glPopMatrix();
    }
    glPopMatrix();
}

void DemoScene::DrawDetailLayer(Engine& engine, double seedOffset) const
{
    const double t = shown.time;
    BeginLayer(engine);
    glPushMatrix();
    LookDown(7.0);
    glEnable(GL_TEXTURE_2D);
    glColor3f(1.0f, 1.0f, 1.0f);
    BindSceneTexture(engine, textureBase + kBlobSpriteSlot);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    const uint32_t detailSeed = SeedFromInteger(int64_t{roundSeed} + 1000);
    SeedRandom(detailSeed);
    const double levelFactor = DetailLevelFactor(t);

    glDisable(GL_TEXTURE_2D);
    glPushMatrix();
    glPushMatrix();
    glLoadIdentity();
    // A slow random drift that turns into a fast spin after 174.4 s.
    const double spin = std::pow(std::max((t - 174.4) * 0.28, 0.0), 8.0);
    SeedRandom(SeedAfterSkipping(detailSeed, 4000));  // 4000 values drawn and discarded
    const double a = (2.0 * RandomUnit() - 1.0) * 21.6;
    const double b = RandomUnit() * 4000.0;
    const double shakeX = 1.3 * std::sin(0.0255 * a * t + b);
    const double shakeY = 1.3 * std::cos(0.033 * a * t + b);

    DetailFrame frame;
    frame.scene = this;
    frame.engine = &engine;
    frame.t = t;
    frame.timeLeft = shown.layerTimeLeft;
    const double flip = IntegerPartIsOdd(levelFactor * t * 0.5) ? 1.0 : 0.0;
    frame.split = inputsCopy.spectrum[206] * 0.125 + 0.25 + flip * Clamp((t - 18.0) * 0.2, 0.0, 1.0) * 0.25;
    frame.twist = inputsCopy.spectrum[110] * 0.25;
    frame.fillEnd = IntegerPart(subSceneTuning[0] + 5.0);
    // The same rotations as VecRotateEuler, built once instead of for every corner of every level.
    MatIdentity(frame.turn);
    MatRotationEuler(frame.turn, 0.0, 0.0, std::numbers::pi * frame.split);
    MatIdentity(frame.fold);
    MatRotationEuler(frame.fold, 0.0, 3.0 * std::numbers::pi * frame.twist * frame.split, 0.0);

    gluLookAt(0.2 * shakeX, 0.2 * shakeY, 1.3, 0.2 * shakeX, 0.2 * shakeY, 0.0, 0.0, 1.0, 0.0);
    RandomUnit();  // drawn and not used, keeping the axis on its value of the sequence
    const double axisY = (0.4 - 0.2 * RandomUnit()) * subSceneTuning[1];
    glRotatef(static_cast<float>(10.0 * spin - 0.4 * a * t), 0.0f, static_cast<float>(axisY), 1.0f);

    glLineWidth(6.0f);
    glBlendFunc(GL_ONE, GL_ONE);
    glDisable(GL_DEPTH_TEST);
    SeedRandom(2);
    for (int pass = 0; pass < 2; ++pass)
        for (int rectangle = 0; rectangle < kDetailRectangles; ++rectangle)
            DrawFoldingRectangle(frame, pass, rectangle);
    glPopMatrix();
    glPopMatrix();
    SeedRandom(50004);
    glEnable(GL_TEXTURE_2D);

    if (effectsEnabled != 0) DrawParticles(*this, engine, t, seedOffset);
    glPopMatrix();

    SeedRandom(SeedFromValue(t * 100000000.0));
    DrawFilmOverlay(0.15, 0.18, engine);
}

void DrawSeaLayerCallback(Engine& engine)
{
    CurrentScene->DrawSeaLayer(engine, 0.0);
}

void DrawDetailLayerCallback(Engine& engine)
{
    CurrentScene->DrawDetailLayer(engine, 0.0);
}

void DrawWorldLayerCallback(Engine& engine)
{
    CurrentScene->DrawWorldLayer(engine);
}
