// The floor of a frame: the pixel work of one intro frame and one game frame of the show (the same
// clears, quads of the same sizes and blend modes, the same shader passes, the detail pattern of the same
// rule, textures read as the show reads them), drawn with every run of equal state in one call, one GL
// context and no copies where a texture can be drawn into. What the show's frame costs above this is state
// churn and work whose pixels are known without drawing it. Prints start-to-start figures in the form of
// the show's --stats. Run from the show's folder (textures, effects, font) under X:
//   ../bench/frame_floor [--frames N] [--game-only] [--profile]
// Depends on the platform window, the render toolkit, the texture loader and the scene's sea rule.
#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "math/random.h"
#include "math/vec.h"
#include "platform/png_file.h"
#include "platform/window.h"
#include "render/billboards.h"
#include "render/effects.h"
#include "render/engine.h"
#include "render/entry_points.h"
#include "render/image_sum.h"
#include "render/outline_text.h"
#include "render/pass_timing.h"
#include "render/texture_loader.h"
#include "scene/scene_layers.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kFramebuffer = 0x8D40;
constexpr uint32_t kColourAttachment0 = 0x8CE0;

// Texture slots, as the show numbers them where it has them.
constexpr int kFrame = 0, kGlow = 1, kGlowSpare = 2, kDetail = 20, kSea = 21, kSeaSpare = 22, kBlob = 11;
constexpr int kSprites = 400, kBlur = 0, kEnhance = 12;

uint32_t framebuffer = 0;

// Draws into the texture of a slot (straight into it), or into the window with slot -1.
void DrawInto(int slot, int width, int height)
{
    BindFramebuffer(kFramebuffer, slot < 0 ? 0 : framebuffer);
    if (slot >= 0)
        FramebufferTexture2D(kFramebuffer, kColourAttachment0, GL_TEXTURE_2D, TextureForSlot(gEngine, slot),
                             0);
    glViewport(0, 0, width, height);
}

void Perspective(double fieldOfView, double eyeZ)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fieldOfView, 1.0, 0.01, 80.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0.0, 0.0, eyeZ, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
}

void Flat()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void Quad(float x0, float y0, float x1, float y1, float u = 1.0f, float v = 1.0f)
{
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0), glVertex2f(x0, y0);
    glTexCoord2f(u, 0), glVertex2f(x1, y0);
    glTexCoord2f(u, v), glVertex2f(x1, y1);
    glTexCoord2f(0, v), glVertex2f(x0, y1);
    glEnd();
}

// ---------------------------------------------------------------------------------------------------------
// The detail layer's pattern: thirty rectangles halved sixteen times by time-driven bits, in two passes,
// gathered by state instead of drawn level by level.
// ---------------------------------------------------------------------------------------------------------

struct ColouredVertex {
    float r, g, b, x, y, z;
};

struct DetailBatches {
    std::vector<ColouredVertex> fills, wideLines, thinLines, discs;
    std::vector<float> spriteCorners;  // 4 corners x 3 per sprite quad
    std::vector<float> digits;         // x, y, z, scale per digit
    void Clear()
    {
        fills.clear(), wideLines.clear(), thinLines.clear(), discs.clear(), spriteCorners.clear(),
            digits.clear();
    }
};

void AddQuad(std::vector<ColouredVertex>& to, const Vec (&c)[4], float z, float r, float g, float b)
{
    for (const Vec& v : c) to.push_back({r, g, b, v.x, v.y, z});
}

void AddOutline(std::vector<ColouredVertex>& to, const Vec (&c)[4], float r, float g, float b)
{
    for (int i = 0; i < 4; ++i) {
        const Vec& p = c[i];
        const Vec& q = c[(i + 1) % 4];
        to.push_back({r, g, b, p.x, p.y, p.z});
        to.push_back({r, g, b, q.x, q.y, q.z});
    }
}

void GatherDetail(double t, int32_t roundSeed, DetailBatches& out)
{
    out.Clear();
    const bool flip = (static_cast<int64_t>(t * 0.5) & 1) != 0;
    const double split = 0.25 + (flip ? std::clamp((t - 18.0) * 0.2, 0.0, 1.0) * 0.25 : 0.0);
    Mat4 turn;
    MatIdentity(turn);
    MatRotationEuler(turn, 0.0, 0.0, std::numbers::pi * split);
    for (int pass = 0; pass < 2; ++pass) {
        for (int rectangle = 0; rectangle < 30; ++rectangle) {
            Vec q[4] = {{1, -1, -1, 0}, {1, 1, -1, 0}, {1, 1, 1, 0}, {1, -1, 1, 0}};
            SeedRandom(static_cast<uint32_t>(roundSeed + 30000 + rectangle));
            const double r1 = RandomUnit(), r2 = RandomUnit();
            const uint64_t pattern =
                static_cast<uint64_t>(static_cast<int64_t>(r2 * 1e13 + (6 * r1 - 3) * t * 65));
            for (int level = 0; level < 16; ++level) {
                const bool bit = (pattern >> (15 - level)) & 1;
                if (level % 2 == 0) {
                    const Vec bc = (q[1] + q[2]) * 0.5f, ad = (q[0] + q[3]) * 0.5f;
                    if (!bit)
                        q[2] = bc, q[3] = ad;
                    else
                        q[0] = ad, q[1] = bc;
                    for (Vec& v : q) v = MatTransform(turn, v);
                } else {
                    const Vec ab = (q[0] + q[1]) * 0.5f, cd = (q[2] + q[3]) * 0.5f;
                    if (!bit)
                        q[1] = ab, q[2] = cd;
                    else
                        q[0] = ab, q[3] = cd;
                }
                const bool filled = pass == 0 ? (1 < level && level < 12) : (12 < level && level < 20);
                if (filled) {
                    AddQuad(out.fills, q, 0.002f * level, 1.0f, 0.0f, bit ? 0.7f : 0.0f);
                    const Vec centre = (q[0] + q[1] + q[2] + q[3]) * 0.25f;
                    if (level == 11 && t > 12.0)
                        out.digits.insert(out.digits.end(), {centre.x, centre.y, 0.3f, 0.07f});
                    if (level == 2 && t > 10.0)
                        out.digits.insert(out.digits.end(), {centre.x, centre.y, 0.0f, 0.3f});
                    if (level == 3)
                        for (const Vec& v : q)
                            out.spriteCorners.insert(out.spriteCorners.end(), {v.x, v.y, 0.0f});
                }
                const bool thin = level > 9 && RandomUnit() < 0.35;
                AddOutline(thin ? out.thinLines : out.wideLines, q, 0.0f, 1.0f, 1.0f);
                if (level == 6) {
                    const Vec centre = (q[0] + q[1] + q[2] + q[3]) * 0.25f;
                    for (int i = 0; i < 40; ++i) {
                        const double a0 = i * std::numbers::pi / 20.0, a1 = (i + 1) * std::numbers::pi / 20.0;
                        out.discs.push_back({0, 0, 0, centre.x, centre.y, 0});
                        out.discs.push_back({0, 0, 0, static_cast<float>(centre.x + 0.032 * std::cos(a0)),
                                             static_cast<float>(centre.y + 0.032 * std::sin(a0)), 0});
                        out.discs.push_back({0, 0, 0, static_cast<float>(centre.x + 0.032 * std::cos(a1)),
                                             static_cast<float>(centre.y + 0.032 * std::sin(a1)), 0});
                    }
                }
            }
        }
    }
}

void DrawColoured(const std::vector<ColouredVertex>& vertices, GLenum mode)
{
    if (vertices.empty()) return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(3, GL_FLOAT, sizeof(ColouredVertex), &vertices[0].r);
    glVertexPointer(3, GL_FLOAT, sizeof(ColouredVertex), &vertices[0].x);
    glDrawArrays(mode, 0, static_cast<int>(vertices.size()));
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

ImageSumQuad SpriteSum(float halfWidth, float halfHeight)
{
    ImageSumQuad quad;
    const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (int c = 0; c < 4; ++c) {
        quad.corners[c][0] = corners[c][0] * halfWidth;
        quad.corners[c][1] = corners[c][1] * halfHeight;
        for (int i = 0; i < kImageSumImages; ++i) {
            quad.textures[i] = TextureForSlot(gEngine, kSprites + i);
            quad.texCoords[i][c][0] = corners[c][0] > 0 ? 1.0f : 0.0f;
            quad.texCoords[i][c][1] = corners[c][1] > 0 ? 1.0f : 0.0f;
        }
    }
    return quad;
}

void DrawDigits(const std::vector<float>& digits)
{
    glListBase(gEngine.font.fontListBase);
    for (size_t i = 0; i + 3 < digits.size(); i += 4) {
        glPushMatrix();
        glTranslatef(digits[i], digits[i + 1], digits[i + 2]);
        glScalef(digits[i + 3], digits[i + 3], digits[i + 3]);
        glCallList(gEngine.font.fontListBase + '0');
        glPopMatrix();
    }
}

// The grain is turned by a random angle, as the show's is: llvmpipe samples a texture drawn square to the
// screen on a faster path than a turned one, so an unturned grain would be cheaper than the show's can be.
void DrawFilm(float alpha, double half)
{
    glEnable(GL_TEXTURE_2D);
    BindSceneTexture(gEngine, kFilmTextureSlot);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glColor4f(1, 1, 1, alpha);
    glPushMatrix();
    glLoadIdentity();
    gluLookAt(0.0, 0.0, 3.2, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glRotatef(static_cast<float>(RandomUnit() * 360.0), 0.0f, 0.0f, 1.0f);
    const float h = static_cast<float>(half);
    Quad(-h, -h, h, h, 2.0f, 2.0f);
    glPopMatrix();
}

// ---------------------------------------------------------------------------------------------------------
// One frame
// ---------------------------------------------------------------------------------------------------------

void DrawDetailLayer(const DetailBatches& detail)
{
    DrawInto(kDetail, 512, 512);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    Perspective(75.0, 1.3);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
    DrawColoured(detail.fills, GL_QUADS);
    glLineWidth(6.0f);
    DrawColoured(detail.wideLines, GL_LINES);
    glLineWidth(3.0f);
    DrawColoured(detail.thinLines, GL_LINES);
    glBlendFunc(GL_ZERO, GL_ZERO);
    DrawColoured(detail.discs, GL_TRIANGLES);
    glBlendFunc(GL_ONE, GL_ONE);
    ImageSumQuad sprites = SpriteSum(1.0f, 1.0f);
    sprites.colourA[1] = sprites.colourA[2] = 0.0f;
    // One draw per sprite, each with the three images of a group picked at random as the show picks them:
    // its sprites read from all 21 images, which costs the rasteriser more than three images shared.
    const auto* corners = reinterpret_cast<const float(*)[4][3]>(detail.spriteCorners.data());
    for (size_t k = 0; k < detail.spriteCorners.size() / 12; ++k) {
        const int group = static_cast<int>(NextRandom() % 7);
        for (int i = 0; i < kImageSumImages; ++i)
            sprites.textures[i] = TextureForSlot(gEngine, kSprites + kImageSumImages * group + i);
        DrawImageSums(sprites, corners + k, 1);
    }
    glColor3f(1, 1, 0);
    DrawDigits(detail.digits);
    DrawFilm(0.15f, 3.68);
}

void DrawSeaLayer(double t, int32_t roundSeed)
{
    DrawInto(kSea, 512, 512);
    glClear(GL_COLOR_BUFFER_BIT);
    Perspective(75.0, 10.0);
    Vec points[20];
    PlaceSeaPoints(roundSeed, t, points);
    glEnable(GL_TEXTURE_2D);
    BindSceneTexture(gEngine, kBlob);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    for (const Vec& p : points) {
        glTexCoord2f(0, 0), glVertex2f(p.x - 4, p.y - 4);
        glTexCoord2f(1, 0), glVertex2f(p.x + 4, p.y - 4);
        glTexCoord2f(1, 1), glVertex2f(p.x + 4, p.y + 4);
        glTexCoord2f(0, 1), glVertex2f(p.x - 4, p.y + 4);
    }
    glEnd();
}

// The enhance pass: the source copied without blending (its composite at alpha 1), then the program.
void DrawEnhance()
{
    Flat();
    glDisable(GL_BLEND);
    glColor3f(1, 1, 1);
    DrawInto(kSeaSpare, 512, 512);
    BindSceneTexture(gEngine, kSea);
    Quad(-1, -1, 1, 1);
    DrawInto(kSea, 512, 512);
    PrepareEffect2(gEngine, kEnhance, kSeaSpare, kDetail);
    Quad(-1, -1, 1, 1);
    DisableEffects(gEngine);
}

void DrawWorldLayer()
{
    DrawInto(kFrame, 800, 600);
    Flat();
    glDisable(GL_BLEND);
    BindSceneTexture(gEngine, kSea);
    Quad(-1, -1, 1, 1);
}

// The blur: the feedback composite (clear, shrunk previous, the frame at 0.6), two program runs.
void DrawBlur()
{
    DrawInto(kGlowSpare, 128, 128);
    Flat();
    glClear(GL_COLOR_BUFFER_BIT);
    BindSceneTexture(gEngine, kGlow);
    Quad(-0.985f, -0.985f, 0.985f, 0.985f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1, 1, 1, 0.6f);
    BindSceneTexture(gEngine, kFrame);
    Quad(-1, -1, 1, 1, 0.78125f, 0.5859375f);
    glDisable(GL_BLEND);
    PrepareEffect(gEngine, kBlur, kGlowSpare);
    DrawInto(kGlow, 128, 128);
    Quad(-1, -1, 1, 1);
    DrawInto(kGlowSpare, 128, 128);
    BindSceneTexture(gEngine, kGlow);
    Quad(-1, -1, 1, 1);
    BindSceneTexture(gEngine, kGlow);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, 128, 128);
    DisableEffects(gEngine);
}

void DrawWindow(bool intro, const char* const* texts, int textCount)
{
    DrawInto(-1, 800, 600);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    Flat();
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    const float grey = intro ? 0.09f : 0.45f;
    glColor3f(grey, grey, grey);
    BindSceneTexture(gEngine, kFrame);
    Quad(-1, -1, 1, 1, 0.78125f, 0.5859375f);
    EndPass(FramePass::Picture);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    if (!intro) {
        glColor3f(0.5f, 0.5f, 0.5f);
        BindSceneTexture(gEngine, kGlow);
        Quad(-1, -1, 1, 1);
    }
    EndPass(FramePass::Glow);
    Perspective(75.0, 10.0);
    ImageSumQuad sprites = intro ? SpriteSum(5.6f, 6.4f) : SpriteSum(0.7f, 0.8f);
    sprites.colourA[1] = sprites.colourA[2] = 0.0f, sprites.colourA[0] = 0.2f;
    sprites.countA = 4;
    sprites.countB = 1;
    DrawImageSum(sprites);
    EndPass(FramePass::Sprites);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glColor3f(1, intro ? 0 : 1, 0);
    for (int i = 0; i < textCount; ++i) {
        glPushMatrix();
        glTranslatef(0.0f, 2.0f - (intro ? 0.6f : 1.3f) * i, 0.0f);
        glScalef(0.7f, 0.7f, 0.0f);
        PrintText(gEngine, "%s", texts[i]);
        glPopMatrix();
    }
    EndPass(FramePass::Texts);
    if (!intro) DrawFilm(0.2f, 3.68);
    glDisable(GL_TEXTURE_2D);
}

double Percentile(std::vector<float> values, double p)
{
    if (values.empty()) return 0.0;
    const size_t k = std::min(values.size() - 1, static_cast<size_t>(p * (values.size() - 1) + 0.5));
    std::nth_element(values.begin(), values.begin() + k, values.end());
    return values[k];
}

void PrintStats(const char* label, const std::vector<float>& times)
{
    double total = 0.0;
    for (float t : times) total += t;
    std::printf("%sframes %zu  median %.2f ms  95th percentile %.2f ms  %.1f frames per second\n", label,
                times.size(), Percentile(times, 0.5), Percentile(times, 0.95),
                total > 0.0 ? 1000.0 * times.size() / total : 0.0);
}

bool Setup()
{
    if (CreatePlatformWindow("frame floor", 50, 50, 800, 600, false) != WindowResult::Ok) return false;
    ShowAndFocusWindow();
    SetSwapInterval(0);
    GenFramebuffers(1, &framebuffer);
    LoadJpegTexture(gEngine, "textures/blob41b.jpg", kBlob);
    for (int i = 0; i < 21; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "textures/%d-%d.jpg", i / 3 + 1, i % 3 + 1);
        LoadJpegTexture(gEngine, name, kSprites + i);
    }
    LoadFilmTexture(gEngine);
    const int work[][3] = {{kFrame, 1024, 1024}, {kGlow, 128, 128}, {kGlowSpare, 128, 128},
                           {kDetail, 512, 512},  {kSea, 512, 512},  {kSeaSpare, 512, 512}};
    for (const auto& w : work) {
        CreateBlankTexture(gEngine, w[0], w[1], w[2]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    LoadEffect(gEngine, "cgeffects/fragment_Blur256.cpp", kBlur);
    LoadEffect(gEngine, "cgeffects/fragment_Enhance2.cpp", kEnhance);
    SetEffectFloat(gEngine, kEnhance, "alpha", 1.0);
    SetEffectFloat(gEngine, kEnhance, "alpha2", 2.0);
    SetEffectFloat(gEngine, kEnhance, "alpha3", 1.0);
    SetEffectFloat(gEngine, kEnhance, "alpha4", 3.0);
    return BuildOutlineFont(gEngine) && EffectUsable(gEngine, kBlur) && EffectUsable(gEngine, kEnhance);
}

}  // namespace

int main(int argc, char** argv)
{
    int frames = 200;
    bool gameOnly = false;  // every frame a game frame (for the processor time of game frames alone)
    const char* screenshot = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--frames") && i + 1 < argc) {
            frames = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "--game-only")) {
            gameOnly = true;
        } else if (!std::strcmp(argv[i], "--profile")) {
            EnablePassTiming(true);
        } else if (!std::strcmp(argv[i], "--screenshot") && i + 1 < argc) {
            screenshot = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: frame_floor [--frames N] [--game-only] [--profile] [--screenshot LAST.png]\n"
                         "  (from the show's folder, under X)\n");
            return 2;
        }
    }
    if (frames <= 0 || !Setup()) {
        std::fprintf(stderr, "frame_floor: cannot set up the window, textures, effects or font\n");
        return 1;
    }
    SeedRandom(0);
    const int32_t roundSeed = NextRandom();
    const char* introTexts[] = {"You are held quarnel", "in a nightmare",       "stay inside the sea",
                                "of tranquility",       "for peace and points", "Use arrows to move"};
    const char* gameTexts[] = {"Score:123", "Help!", "Time:25", "HighScore:0"};
    DetailBatches detail;
    detail.fills.reserve(4096), detail.wideLines.reserve(8192), detail.thinLines.reserve(4096);
    detail.discs.reserve(8192), detail.spriteCorners.reserve(1024), detail.digits.reserve(512);

    std::vector<float> introTimes, gameTimes, all;
    Clock::time_point start = Clock::now();
    // Intro and game frames alternate, so both see the same load on a shared machine: N of each, or N game
    // frames with --game-only.
    const int total = gameOnly ? frames : 2 * frames;
    auto isIntro = [&](int frame) { return !gameOnly && frame % 2 == 0; };
    for (int frame = 0; frame <= total; ++frame) {
        const Clock::time_point now = Clock::now();
        const float ms = std::chrono::duration<float, std::milli>(now - start).count();
        start = now;
        if (frame > 0) {
            (isIntro(frame - 1) ? introTimes : gameTimes).push_back(ms);
            all.push_back(ms);
        }
        StartFrameTiming(frame > 0 && isIntro(frame - 1) ? 0 : 1);
        if (frame == total) break;
        const bool intro = isIntro(frame);
        const double t = intro ? 0.05 * (frame % 280) : 15.0 + 0.05 * (frame % 600);
        WindowMessage message;
        while (PeekWindowMessage(message)) {
        }
        GatherDetail(t, roundSeed, detail);
        EndPass(FramePass::Game);
        DrawDetailLayer(detail);
        EndPass(FramePass::DetailLayer);
        DrawSeaLayer(t, roundSeed);
        EndPass(FramePass::SeaLayer);
        DrawEnhance();
        EndPass(FramePass::Enhance);
        DrawWorldLayer();
        EndPass(FramePass::WorldLayer);
        DrawBlur();
        EndPass(FramePass::Blur);
        DrawWindow(intro, intro ? introTexts : gameTexts, intro ? 6 : 4);
        EndPass(FramePass::Grain);
        if (screenshot && frame == total - 1) {
            std::vector<unsigned char> pixels(800 * 600 * 3);
            ReadWindowPixels(800, 600, pixels.data());
            std::string cause;
            if (!WritePngFile(screenshot, 800, 600, pixels.data(), cause))
                std::fprintf(stderr, "cannot write %s: %s\n", screenshot, cause.c_str());
        }
        SwapWindowBuffers();
    }
    PrintStats("", all);
    PrintStats("  intro ", introTimes);
    PrintStats("  game ", gameTimes);
    PrintPassTimes(stdout, {"intro", "game"});
    return 0;
}
