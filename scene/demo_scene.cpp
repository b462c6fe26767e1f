// DemoScene's lifecycle (see demo_scene.h): construction, Init with its textures and fragment effects,
// ResetGame, ResetRound and the unused interface slots. Depends on the texture loader, the effects and the
// generator.
#include "scene/demo_scene.h"

#include <GL/gl.h>
#include <GL/glext.h>  // names past GL 1.1 (Windows' gl.h stops there)

#include <cstdio>

#include "math/random.h"
#include "render/billboards.h"
#include "render/effects.h"
#include "render/engine.h"
#include "render/texture_loader.h"
#include "scene/mini_game.h"

namespace {

constexpr Vec kOrigin{1, 0.0f, 0.0f, 0.0f};
constexpr Vec kFarAway{1, 5000.0f, 0.0f, 0.0f};  // an unused trail slot, well outside the view

void CreateWorkTexture(DemoScene& scene, Engine& engine, int slot, int width, int height, bool clamped)
{
    CreateBlankTexture(engine, scene.textureBase + slot, width, height);
    if (!clamped) return;
    BindSceneTexture(engine, scene.textureBase + slot);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

}  // namespace

DemoScene::DemoScene()
{
    for (Vec& point : seaPoints) point = kOrigin;
    for (Vec& entry : trail) entry = kOrigin;
    helpTarget = kOrigin;
    player = kOrigin;
    velocity = kOrigin;
}

void DemoScene::SetTime(const double* newTime)
{
    time = *newTime;
}

void DemoScene::Reserved1() {}

void DemoScene::Reserved2() {}

void DemoScene::Init(Engine* engine)
{
    textureBase = 0;

    CreateWorkTexture(*this, *engine, kGlowTextureSlot, 128, 128, true);
    CreateWorkTexture(*this, *engine, kSpareSmallSlot, 128, 128, true);
    CreateWorkTexture(*this, *engine, kSpareLargeSlot, 512, 512, true);
    CreateWorkTexture(*this, *engine, kFrameTextureSlot, 1024, 1024, true);
    CreateWorkTexture(*this, *engine, kDetailLayerSlot, 512, 512, false);
    CreateWorkTexture(*this, *engine, kSeaLayerSlot, 512, 512, false);

    LoadJpegTexture(*engine, "textures/blob41b.jpg", textureBase + kBlobSpriteSlot);
    for (int group = 1; group <= kSpriteGroups; ++group) {
        for (int member = 1; member <= kSpriteMembers; ++member) {
            char fileName[32];
            std::snprintf(fileName, sizeof fileName, "textures/%d-%d.jpg", group, member);
            const int slot = kSpriteImageSlot + kSpriteMembers * (group - 1) + (member - 1);
            LoadJpegTexture(*engine, fileName, textureBase + slot);
        }
    }

    if (effectsEnabled != 0) {
        LoadEffect(*engine, "cgeffects/fragment_Blur256.cpp", textureBase + kBlurEffect);
        // Slow cards get an enhance program of their own.
        LoadEffect(
            *engine,
            engine->cardId == 5200 ? "cgeffects/fragment_Enhance5200.cpp" : "cgeffects/fragment_Enhance2.cpp",
            textureBase + kEnhanceEffect);
        LoadEffect(*engine, "cgeffects/fragment_Blur_circular.cpp", textureBase + kCircularBlurEffect);
    }

    ResetGame();
}

void DemoScene::ResetGame()
{
    time = 0.0;
    frameCount = 0;
    for (Vec& entry : trail) entry = kFarAway;
    score = 0.0;
    highScore = 0.0;
    ResetRound();
    introActive = true;
}

void DemoScene::ResetRound()
{
    if (highScore <= score) highScore = score;
    frameCount = 0;
    time = 0.0;
    // The same seed every round: the layers draw the same blob paths and patterns in every round.
    SeedRandom(0);
    roundSeed = NextRandom();
    score = 0.0;
    timeLeft = kRoundLength;
    player = kOrigin;
    helpTimer = 0.0;
    velocity = kOrigin;
}
