// The mini-game (see mini_game.h): the game's arithmetic on the scene's fields, the frame's steps in
// their order (DemoScene::Step), and its three drawing steps. Depends on the vector helpers, the runtime
// generator, the sea's placement, the billboards and the outline text.
#include "scene/mini_game.h"

#include <GL/gl.h>

#include <cmath>
#include <numbers>

#include "math/clamp.h"
#include "math/portable_trig.h"
#include "math/random.h"
#include "platform/touch_steering.h"
#include "render/billboards.h"
#include "render/engine.h"
#include "render/image_sum.h"
#include "render/outline_text.h"
#include "scene/demo_scene.h"
#include "scene/scene_layers.h"

namespace {

constexpr double kRadiansToDegrees = 57.29577951308232;
constexpr int64_t kIntegerPart64Limit = int64_t{1} << 62;

Vec Point(float x, float y, float z)
{
    return Vec{1, x, y, z};
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// Number helpers
// ---------------------------------------------------------------------------------------------------------

int32_t IntegerPart(double v)
{
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(v);
}

int64_t IntegerPart64(double v)
{
    if (std::isnan(v)) return 0;
    if (v >= static_cast<double>(kIntegerPart64Limit)) return kIntegerPart64Limit;
    if (v <= -static_cast<double>(kIntegerPart64Limit)) return -kIntegerPart64Limit;
    return static_cast<int64_t>(v);
}

uint32_t SeedFromValue(double v)
{
    return static_cast<uint32_t>(static_cast<uint64_t>(IntegerPart64(v)));
}

uint32_t SeedAfterSkipping(uint32_t seed, uint32_t steps)
{
    // Compose the affine step x -> a x + c with itself by squaring: O(log steps).
    uint32_t multiplier = 1, increment = 0;
    uint32_t stepMultiplier = 214013u, stepIncrement = 2531011u;
    while (steps != 0) {
        if (steps & 1) {
            multiplier *= stepMultiplier;
            increment = increment * stepMultiplier + stepIncrement;
        }
        stepIncrement = stepIncrement * stepMultiplier + stepIncrement;
        stepMultiplier *= stepMultiplier;
        steps >>= 1;
    }
    return seed * multiplier + increment;
}

bool IntegerPartIsOdd(double v)
{
    return (IntegerPart64(v) & 1) != 0;
}

uint32_t GrainSeed(double time)
{
    return SeedFromValue(time * 10000000.0);
}

int GrainLayers(double time)
{
    return time < 2.0 ? 2 : 1;
}

double Closeness(const Vec& a, const Vec& b)
{
    const Vec delta = a - b;
    const double squared = static_cast<double>(delta.x) * delta.x + static_cast<double>(delta.y) * delta.y +
                           static_cast<double>(delta.z) * delta.z;
    const float distance = static_cast<float>(std::sqrt(squared));
    return 1.0 / (static_cast<double>(distance) * distance + 0.001);
}

double SeaDensity(const Vec* points, int count, const Vec& at)
{
    double sum = 0.0;
    for (int i = 0; i < count; ++i) sum += Closeness(points[i], at);
    return sum;
}

// ---------------------------------------------------------------------------------------------------------
// Game steps
// ---------------------------------------------------------------------------------------------------------

void AdvanceSceneClock(DemoScene& scene, double frameDelta)
{
    scene.time += frameDelta;
    if (!scene.insideSea) scene.time += frameDelta;
}

bool EndRoundIfDue(DemoScene& scene)
{
    if (!(scene.timeLeft < 0.0)) return false;
    scene.ResetRound();
    return true;
}

bool UpdateHelpSign(DemoScene& scene, double frameDelta)
{
    // Reseeding from the round clock makes every placement within one five-second stretch land alike.
    SeedRandom(SeedFromValue(0.2 * scene.time + 3000.0));
    scene.helpTimer += frameDelta;
    if (!(scene.helpTimer > kHelpSignPeriod)) return false;
    scene.helpTimer = 0.0;
    const float u1 = static_cast<float>(RandomUnit());
    const float u2 = static_cast<float>(RandomUnit());
    scene.helpTarget = Point(1.3f * (8.0f * u2 - 4.0f), 1.3f * (8.0f * u1 - 4.0f), 0.0f);
    return true;
}

void MovePlayer(DemoScene& scene, double frameDelta, double heading, double speed)
{
    // The position follows the controls one frame late: it moves by last frame's velocity.
    scene.player = scene.player + scene.velocity * static_cast<float>(frameDelta);
    // Our own sine and cosine: the velocity is game state, the same on every system for one recording.
    scene.velocity = Point(static_cast<float>(kTopSpeed * PortableSin(heading) * speed),
                           static_cast<float>(kTopSpeed * PortableCos(heading) * speed), 0.0f);
    int slot = scene.frameCount % kTrailLength;
    if (slot < 0) slot += kTrailLength;
    scene.trail[slot] = scene.player;
}

bool TestInsideSea(DemoScene& scene)
{
    scene.insideSea = SeaDensity(scene.seaPoints, kSeaPointCount, scene.player) > kSeaThreshold;
    return scene.insideSea;
}

bool TestRescue(DemoScene& scene)
{
    if (!(Closeness(scene.helpTarget, scene.player) > kRescueThreshold)) return false;
    scene.score += kRescueBonus;
    scene.helpTarget.x += static_cast<float>(kHelpSignAway);
    return true;
}

void AdvanceScoreAndCountdown(DemoScene& scene, double frameDelta)
{
    scene.score += kScoreRate * frameDelta;
    if (!scene.insideSea) scene.score -= kOutsideDrain * frameDelta;
    if (scene.score < 0.0) scene.score = 0.0;
    scene.timeLeft -= frameDelta;
    if (!scene.insideSea) scene.timeLeft -= frameDelta;
}

bool EndIntroIfDue(DemoScene& scene)
{
    if (!(scene.time > kIntroLength) || !scene.introActive) return false;
    // Points gathered while reading the instructions do not count, not even toward the high score.
    scene.score = 0.0;
    scene.introActive = false;
    scene.highScore = 0.0;
    scene.ResetRound();
    return true;
}

int32_t MusicSteadyReport(const DemoScene& scene)
{
    if (scene.introActive) return 1;
    return scene.insideSea ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------------------
// A frame's steps
// ---------------------------------------------------------------------------------------------------------

void DemoScene::Step(double frameDelta, FrameInputs& inputs)
{
    inputsCopy = inputs;
    AdvanceSceneClock(*this, frameDelta);
    ++frameCount;
    EndRoundIfDue(*this);
    UpdateHelpSign(*this, frameDelta);
    MovePlayer(*this, frameDelta, inputsCopy.arrowLeftRight, inputsCopy.arrowUpDown);
    TestInsideSea(*this);
    shown.rescued = TestRescue(*this);
    shown.time = time;
    shown.layerTimeLeft = timeLeft;
    // Where the blobs stand in this frame's sea layer; the next frame tests the player against them.
    PlaceSeaPoints(roundSeed, time, seaPoints);
    AdvanceScoreAndCountdown(*this, frameDelta);
    shown.timeLeft = timeLeft;
    shown.score = score;
    shown.highScore = highScore;
    shown.helpTimer = helpTimer;
    shown.frameCount = frameCount;
    shown.introActive = introActive;
    EndIntroIfDue(*this);
    inputs.musicSteady = MusicSteadyReport(*this);
    // The picture ends with the film grain, which reseeds the generator and draws from it: the frame's
    // state is the one the grain leaves, whether the frame is drawn or not.
    SeedRandom(SeedAfterSkipping(GrainSeed(time), GrainLayers(time) * kFilmOverlayRandomDraws));
}

// ---------------------------------------------------------------------------------------------------------
// Display arithmetic
// ---------------------------------------------------------------------------------------------------------

bool TimeTextVisible(double timeLeft, double time)
{
    if (timeLeft > 10.0) return true;
    return IntegerPartIsOdd(8.0 * time);
}

double HelpSignScale(double helpTimer)
{
    return (1.0 + Clamp(1.0 - helpTimer, 0.0, 1.0)) * 0.5;
}

double IntroAmount(double time)
{
    const double f = Clamp(0.07 * time, 0.0, 1.0);
    return 4.0 * Clamp(1.1 * std::sin(std::numbers::pi * f), 0.0, 1.0);
}

double HighScoreGridCoordinate(float v)
{
    return std::trunc(0.3 * v) * 3.3333333333333335;
}

int SpriteGroup(int randomValue, double time)
{
    const int64_t group = (randomValue + IntegerPart64(3.0 * time)) % kSpriteGroups;
    return static_cast<int>(group < 0 ? group + kSpriteGroups : group);
}

// ---------------------------------------------------------------------------------------------------------
// Drawing steps
// ---------------------------------------------------------------------------------------------------------

namespace {

// The unit quad of a billboard with each image's texture coordinates.
ImageSumQuad BillboardImageSum(const uint32_t (&textures)[kSpriteMembers])
{
    ImageSumQuad quad;
    constexpr float kCorners[4][2] = {{-1.0f, -1.0f}, {1.0f, -1.0f}, {1.0f, 1.0f}, {-1.0f, 1.0f}};
    constexpr float kCoords[4][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};
    for (int c = 0; c < 4; ++c) {
        quad.corners[c][0] = kCorners[c][0];
        quad.corners[c][1] = kCorners[c][1];
        for (int i = 0; i < kSpriteMembers; ++i) {
            quad.textures[i] = textures[i];
            quad.texCoords[i][c][0] = kCoords[c][0];
            quad.texCoords[i][c][1] = kCoords[c][1];
        }
    }
    return quad;
}

void SetColour(float* to, const float (&from)[3])
{
    to[0] = from[0], to[1] = from[1], to[2] = from[2];
}

// Where the player stands in the picture, for a finger that steers: the point through the game plane's
// matrices, as fractions of the picture from its top left (the viewport is the whole window).
void ReportPlayerPlace(const Vec& p)
{
    GLdouble model[16], projection[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    double eye[4], clip[4];
    for (int r = 0; r < 4; ++r)
        eye[r] = model[r] * p.x + model[4 + r] * p.y + model[8 + r] * p.z + model[12 + r];
    for (int r = 0; r < 4; ++r)
        clip[r] = projection[r] * eye[0] + projection[4 + r] * eye[1] + projection[8 + r] * eye[2] +
                  projection[12 + r] * eye[3];
    if (clip[3] <= 0.0) return;  // behind the eye: the last place stays
    SetTouchSteeringCentre(0.5 + 0.5 * clip[0] / clip[3], 0.5 - 0.5 * clip[1] / clip[3]);
}

}  // namespace

void DrawPlayerSprites(const DemoScene& scene, Engine& engine)
{
    const FrameShown& shown = scene.shown;
    const int current = ((shown.frameCount % kTrailLength) + kTrailLength) % kTrailLength;
    ReportPlayerPlace(scene.trail[current]);
    const double angle = scene.inputsCopy.arrowLeftRight * -kRadiansToDegrees;
    const double halfWidth = shown.introActive ? 5.6 : 0.7;
    const double halfHeight = shown.introActive ? 6.4 : 0.8;
    // Reseeding per slot shows the same three images in all five slots of a frame.
    uint32_t textures[kSpriteMembers];
    SeedRandom(SeedFromValue(2.0 * shown.time));
    for (int j = 0; j < kSpriteMembers; ++j) {
        const int group = SpriteGroup(NextRandom(), shown.time);
        textures[j] =
            TextureForSlot(engine, scene.textureBase + kSpriteImageSlot + kSpriteMembers * group + j);
    }
    constexpr float kTrailColour[3] = {0.2f, 0.0f, 0.0f};
    const float currentColour[3] = {scene.insideSea ? 1.0f : 0.0f, 1.0f, scene.insideSea ? 1.0f : 0.0f};
    auto colourOf = [&](int k) -> const float(&)[3] { return k == current ? currentColour : kTrailColour; };

    // Every slot is fifteen additive draws of the same three images. When all five slots stand at one
    // place (a player at rest, the whole intro), the four trail copies and the current one are added in
    // one pass; otherwise each slot adds its three images in one pass.
    bool together = true;
    for (int k = 1; k < kTrailLength; ++k)
        together = together && scene.trail[k].x == scene.trail[0].x && scene.trail[k].y == scene.trail[0].y &&
                   scene.trail[k].z == scene.trail[0].z;
    ImageSumQuad quad = BillboardImageSum(textures);
    bool drawn = true;
    if (together) {
        SetColour(quad.colourA, kTrailColour);
        quad.countA = kTrailLength - 1;
        SetColour(quad.colourB, currentColour);
        quad.countB = 1;
        glPushMatrix();
        glTranslatef(scene.trail[0].x, scene.trail[0].y, scene.trail[0].z);
        LoadBillboardTransform(angle, halfWidth, halfHeight);
        drawn = DrawImageSum(quad);
        glPopMatrix();
    } else {
        for (int k = 0; k < kTrailLength && drawn; ++k) {
            SetColour(quad.colourA, colourOf(k));
            glPushMatrix();
            glTranslatef(scene.trail[k].x, scene.trail[k].y, scene.trail[k].z);
            LoadBillboardTransform(angle, halfWidth, halfHeight);
            drawn = DrawImageSum(quad);  // all or nothing: the program runs or it does not
            glPopMatrix();
        }
    }
    if (!drawn) {
        // Image by image, as the program that adds them is not available.
        for (int k = 0; k < kTrailLength; ++k) {
            const float(&colour)[3] = colourOf(k);
            glColor3f(colour[0], colour[1], colour[2]);
            for (int j = 0; j < kSpriteMembers; ++j) {
                glBindTexture(GL_TEXTURE_2D, textures[j]);
                glPushMatrix();
                glTranslatef(scene.trail[k].x, scene.trail[k].y, scene.trail[k].z);
                DrawBillboard(angle, halfWidth, halfHeight);
                glPopMatrix();
            }
        }
    }
    // The colour and texture coordinate as the last of the separate draws leaves them.
    const float(&last)[3] = colourOf(kTrailLength - 1);
    glColor3f(last[0], last[1], last[2]);
    glTexCoord2f(0.0f, 1.0f);
}

void DrawGameTexts(const DemoScene& scene, Engine& engine)
{
    const FrameShown& shown = scene.shown;
    if (shown.introActive) return;
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    // The display hangs under the oldest-drawn trail slot, so it lags the player slightly.
    const Vec& p = scene.trail[kTrailLength - 1];

    glPushMatrix();
    glTranslatef(0.0f, 2.0f, 0.0f);
    glTranslatef(p.x, p.y, p.z);
    glScalef(0.7f, 0.7f, 0.0f);
    if (shown.rescued) {
        glScalef(2.0f, 2.0f, 2.0f);
        glColor3f(1.0f, 0.0f, 0.0f);
    } else {
        glColor3f(1.0f, 1.0f, 0.0f);
    }
    PrintDissolvingText(engine, shown.time, "Score:%d", IntegerPart(shown.score));
    glPopMatrix();

    glPushMatrix();
    glTranslatef(scene.helpTarget.x, scene.helpTarget.y, 0.0f);
    const float signScale = static_cast<float>(HelpSignScale(shown.helpTimer));
    glScalef(signScale, signScale, 0.0f);
    glColor3f(0.0f, 1.0f, 1.0f);
    glRotatef(static_cast<float>(shown.helpTimer * 530.0), 0.0f, 0.0f, 1.0f);
    PrintDissolvingText(engine, shown.helpTimer * 7.0, "%s", "Help!");
    glPopMatrix();

    if (TimeTextVisible(shown.timeLeft, shown.time)) {
        glPushMatrix();
        glTranslatef(0.0f, -2.0f, 0.0f);
        // Whole units only, so the countdown steps rather than slides.
        glTranslatef(std::trunc(p.x), std::trunc(p.y), p.z);
        glScalef(0.7f, 0.7f, 0.0f);
        glColor3f(1.0f, 1.0f, 1.0f);
        PrintDissolvingText(engine, shown.time, "Time:%d", IntegerPart(shown.timeLeft));
        glPopMatrix();
    }

    glPushMatrix();
    glTranslatef(4.0f, -1.0f, 0.0f);
    glTranslatef(static_cast<float>(HighScoreGridCoordinate(p.x)),
                 static_cast<float>(HighScoreGridCoordinate(p.y)), p.z);
    glScalef(0.7f, 0.7f, 0.0f);
    glColor3f(0.0f, 1.0f, 0.0f);
    PrintDissolvingText(engine, shown.time, "HighScore:%d", IntegerPart(shown.highScore));
    glPopMatrix();
}

void DrawIntroLines(const DemoScene& scene, Engine& engine)
{
    glPushMatrix();
    glScalef(0.9f, 0.9f, 0.0f);
    glColor3f(1.0f, 0.0f, 0.0f);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    // A fixed seed keeps the glyph pattern of the dissolve the same in every frame.
    SeedRandom(4000);
    if (scene.shown.introActive) {
        const double amount = IntroAmount(scene.shown.time);
        static constexpr const char* kLines[] = {"You are held quarnel", "in a nightmare",
                                                 "stay inside the sea", "of tranquility",
                                                 "for peace and points"};
        for (const char* line : kLines) {
            PrintDissolvingText(engine, amount, "%s", line);
            // The last instruction stands apart from the five lines of the story.
            glTranslatef(0.0f, line == kLines[4] ? -1.0f : -0.65f, 0.0f);
        }
        PrintDissolvingText(engine, amount, "%s", "Use arrows to move");
    }
    glPopMatrix();
}
