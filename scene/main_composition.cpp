// DemoScene::Draw: the picture of one frame, from the state the frame's steps (DemoScene::Step) left.
// Renders the three layers off screen, runs the enhance and blur passes, and composites picture, glow,
// sprites, texts and film grain in the window, leaving the window's attribute state as it found it.
// Depends on the render target, the effects, the billboards, the layers and the mini-game.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <numbers>

#include "math/clamp.h"
#include "math/random.h"
#include "render/billboards.h"
#include "render/effects.h"
#include "render/engine.h"
#include "render/pass_timing.h"
#include "render/render_target.h"
#include "scene/demo_scene.h"
#include "scene/mini_game.h"
#include "scene/scene_layers.h"

namespace {

constexpr int kLayerSize = 512;
constexpr int kWorldLayerSize = 800;
constexpr int kGlowSize = 128;
constexpr int kDepthPassSize = 32;  // no depth pass is drawn; the renderer still wants a size

Vec Point(double x, double y, double z)
{
    return Vec{1, static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

// The layers draw with the depth test off (each turns it off before its first draw), so their depth
// buffer is never read and not cleared.
void RenderLayer(DemoScene& scene, Engine& engine, RenderTargetContext& target, SceneDrawRoutine layer,
                 int size, int slot, TargetClear clear = TargetClear::Colour)
{
    RenderSceneToTexture(engine, target, nullptr, layer, 0, kDepthPassSize, 0, engine.camera, engine.camera,
                         true, size, scene.textureBase + slot, clear);
}

// The world layer's first quad, 16 x 16 at distance 10 and drawn without blending, covers its whole view
// while the view is no wider than that: then nothing of the cleared target would show.
TargetClear WorldLayerClear(const Engine& engine)
{
    const double halfView = 10.0 * std::tan((75.0 + engine.fieldOfViewOffset) * std::numbers::pi / 360.0);
    return halfView < 8.0 ? TargetClear::Nothing : TargetClear::Colour;
}

// The layered picture in the window: plain inside the sea, torn along the music spectrum outside. After a
// very long frame (the scene clock far past a round) it splits into several shaken copies.
void DrawMainPicture(const DemoScene& scene, Engine& engine, RenderTargetContext& target)
{
    const double time = scene.shown.time;
    RestoreWindowContext(engine, target);
    DisableEffects(engine);
    // The round opens on a distant picture and closes in within a fraction of a second.
    const double zoom = time < 7.0 ? 3.0 / (60.0 * time * time + 1.0) : 0.0;
    gluLookAt(zoom + 2.2 - 0.525, 0.03833, 0.0, 0.0, 0.03833, 0.0, 0.0, 1.0, 0.0);
    BindSceneTexture(engine, scene.textureBase + kFrameTextureSlot);
    glEnable(GL_TEXTURE_2D);

    const double a = Clamp((time - 172.7) * 0.1, 0.0, 1.0);
    const double b = Clamp(1.7 * std::sin(std::numbers::pi * a), 0.0, 1.0);
    const double c = b * b;
    const int copies = IntegerPart(9.0 * c + 1.0);
    const double e = Clamp(time - 179.2, 0.0, 1.0);
    const double step = 0.025 * (1.0 - e);
    const double shake = (1.0 - e) * c;
    const double brightness = Clamp((time - 174.5) * 0.69, 0.0, 1.3);
    const double gain = scene.shown.introActive ? 0.3 : 1.5;

    for (int i = 0; i < copies; ++i) {
        const double s = 1.0 + (i - (copies - 1) * 0.5) * step;
        const float grey = static_cast<float>(gain * (0.3 + 0.5 * brightness));
        glColor3f(grey, grey, grey);
        glPushMatrix();
        if (i > 2) {
            const double r1 = RandomUnit();
            const double r2 = RandomUnit();
            glTranslatef(static_cast<float>(0.04 * shake * std::sin((3.0 * r2 + 1.0) * time)),
                         static_cast<float>(0.04 * shake * std::sin((3.0 * r1 + 1.0) * time)), 0.0f);
        }
        if (scene.insideSea)
            DrawScreenCopyBillboard(800, 0.0, 1.3 * s, 1.3 * s);
        else
            DrawWaveStrip(800, 1.3 * s, 1.3 * s, scene.inputsCopy.spectrum, 2, 40, 0.15, 20);
        glPopMatrix();
        // The first copy replaces the cleared background; every further one adds to it.
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE);
    }
}

void DrawGlow(const DemoScene& scene, Engine& engine)
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    BindSceneTexture(engine, scene.textureBase + kGlowTextureSlot);
    glPushMatrix();
    const float grey = scene.shown.introActive ? 0.0f : 0.5f;
    glColor3f(grey, grey, grey);
    // In the intro the glow is grey 0: added, it would change no pixel.
    if (scene.effectsEnabled != 0 && grey > 0.0f) DrawBillboard(0.0, 1.3, 1.3);
    glPopMatrix();
}

// The game plane z = 0 seen face-on from a distance of 10 (the caller saves the matrix it replaces).
void LookAtGamePlane(Engine& engine)
{
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    DisableEffects(engine);
    glLoadIdentity();
    gluLookAt(0.0, 0.0, 10.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glColor3f(1.0f, 1.0f, 1.0f);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
}

// The grain is drawn after the frame's last step: a frame that ends the intro draws it as a round does.
double FilmStrength(const DemoScene& scene)
{
    if (scene.introActive) return 0.0;
    return scene.insideSea ? 0.2 : 1.0;
}

}  // namespace

void SetCamera(Engine& engine, double eyeX, double eyeY, double eyeZ, double centreX, double centreY,
               double centreZ, double upX, double upY, double upZ)
{
    engine.camera[0] = Point(eyeX, eyeY, eyeZ);
    engine.camera[1] = Point(centreX, centreY, centreZ);
    engine.camera[2] = Point(upX, upY, upZ);
}

void DemoScene::Draw(const double* /*frameDelta*/, RenderTargetContext* target, Engine* engineAddress,
                     FrameInputs* inputs)
{
    Engine& engine = *engineAddress;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    engine.frameInputs = inputs;
    // The layer callbacks reach this scene through it.
    CurrentScene = this;
    engine.nearPlane = 0.01;
    engine.farPlane = 80.0;
    subSceneTuning[0] = 7.0;
    subSceneTuning[1] = 0.6;
    subSceneTuning[2] = 0.1;

    RestoreWindowContext(engine, *target);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);  // the window never tests depth: its depth buffer is never read
    glPushMatrix();
    // With the mouse away from the centre the layers' eye circles the origin with the scene clock.
    SetCamera(engine, inputsCopy.cameraX * std::sin(shown.time), 10.0 - 10.0 * inputsCopy.cameraY,
              inputsCopy.cameraX * std::cos(shown.time), 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    const int enhance = textureBase + kEnhanceEffect;
    SetEffectFloat(engine, enhance, "alpha", 1.0);
    SetEffectFloat(engine, enhance, "alpha2", 2.0);
    SetEffectFloat(engine, enhance, "alpha3", 1.0);
    SetEffectFloat(engine, enhance, "alpha4", 3.0);

    EndPass(FramePass::Game);
    RenderLayer(*this, engine, *target, DrawDetailLayerCallback, kLayerSize, kDetailLayerSlot);
    EndPass(FramePass::DetailLayer);
    RenderLayer(*this, engine, *target, DrawSeaLayerCallback, kLayerSize, kSeaLayerSlot);
    EndPass(FramePass::SeaLayer);
    // The enhance pass reads the whole 512 x 512 sea picture. The width is left at 512 by the previous
    // frame; setting it here keeps the very first frame from sampling only an 800 x 600 corner of it.
    engine.renderWidth = kLayerSize;
    RunTwoTextureEffect(engine, *target, textureBase + kSeaLayerSlot, textureBase + kSeaLayerSlot,
                        textureBase + kDetailLayerSlot, kLayerSize, 1.0, 1, enhance);
    EndPass(FramePass::Enhance);
    SeedRandom(SeedFromValue(shown.time * 1000000.0));
    engine.renderWidth = kLayerSize;
    RenderLayer(*this, engine, *target, DrawWorldLayerCallback, kWorldLayerSize, kFrameTextureSlot,
                WorldLayerClear(engine));
    EndPass(FramePass::WorldLayer);
    // The blur reads the 800 x 600 region of the frame texture.
    engine.renderWidth = kWorldLayerSize;
    if (effectsEnabled != 0)
        RunFeedbackEffect(engine, *target, textureBase + kFrameTextureSlot, textureBase + kGlowTextureSlot,
                          kGlowSize, 0.6, 2, textureBase + kBlurEffect);
    engine.renderWidth = kLayerSize;
    EndPass(FramePass::Blur);

    DrawMainPicture(*this, engine, *target);
    EndPass(FramePass::Picture);
    DrawGlow(*this, engine);
    EndPass(FramePass::Glow);
    glPushMatrix();
    LookAtGamePlane(engine);
    DrawPlayerSprites(*this, engine);
    EndPass(FramePass::Sprites);
    DrawGameTexts(*this, engine);
    DrawIntroLines(*this, engine);
    EndPass(FramePass::Texts);
    glPopMatrix();
    glPopMatrix();

    // The grain leaves the generator where the frame's steps left it (DemoScene::Step).
    SeedRandom(GrainSeed(time));
    DrawFilmOverlay(FilmStrength(*this), 0.18, engine);
    // A brighter grain fades out over the first two seconds of every round.
    if (GrainLayers(time) > 1) DrawFilmOverlay((2.0 - time) * 0.5, 0.28, engine);
    glDisable(GL_TEXTURE_2D);
    glPopAttrib();
    glFlush();
    EndPass(FramePass::Grain);
}
