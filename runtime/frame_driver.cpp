// The frame driver (see frame_driver.h).
#include "runtime/frame_driver.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "platform/clipboard.h"
#include "platform/process.h"
#include "platform/window.h"
#include "render/billboards.h"
#include "render/engine.h"
#include "render/render_target.h"
#include "runtime/global_state.h"
#include "runtime/music.h"
#include "scene/demo_scene.h"
#include "scene/frame_inputs.h"

DemoScene* gSceneTable[kSceneTableSize] = {};

namespace {
FrameDriverHooks hooks;
}  // namespace

void SetFrameDriverHooks(const FrameDriverHooks& shellHooks)
{
    hooks = shellHooks;
}

namespace {

constexpr double kCameraXPerPixel = 0.0175;
constexpr double kCameraYPerPixel = 0.023333333333333334;
constexpr double kArrowRelaxPerSecond = 1.45;

void DrawFadeOverlay(double fade)
{
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushMatrix();
    glLoadIdentity();
    gluLookAt(0.0, 3.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 1.0);
    glScalef(1.0f, 1.0f, 0.7f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);  // the picture is multiplied by 1 - fade
    glDisable(GL_LIGHTING);
    glColor3f(static_cast<float>(fade), static_cast<float>(fade), static_cast<float>(fade));
    glDisable(GL_TEXTURE_2D);
    DrawBillboard(0.0, 50.0, 50.0);
    glPopMatrix();
    glPopAttrib();
}

}  // namespace

void ApplyArrowKeys(double frameDelta)
{
    if (gState.keys[VK_UP]) gFrameInputs.arrowUpDown += frameDelta * 1.5;
    if (gState.keys[VK_DOWN]) gFrameInputs.arrowUpDown -= frameDelta * 1.5;
    if (gState.keys[VK_LEFT]) gFrameInputs.arrowLeftRight -= frameDelta;
    if (gState.keys[VK_RIGHT]) gFrameInputs.arrowLeftRight += frameDelta;
}

void StepHeldArrowKeys(double frameDelta)
{
    for (int i = 0; i < 3; ++i) ApplyArrowKeys(frameDelta);
}

double EndingFade(double demoTime, double endingStartTime)
{
    const double progress = (demoTime - endingStartTime) * 100.80000001192093;
    return progress < 0.0 ? 0.0 : (progress > 1.0 ? 1.0 : progress);
}

void UpdateFrameInputs(double cursorX, double cursorY)
{
    FrameInputs& in = gFrameInputs;
    if (!gState.leftButtonDown) {
        in.cameraX = (cursorX - 400.0) * kCameraXPerPixel;
        in.cameraY = (cursorY - 300.0) * kCameraYPerPixel;
        in.cameraZ = gState.wheelAccumulator;
    } else {
        if (gState.rightButtonDown) {
            in.pointX +=
                (cursorX - 400.0) * kCameraXPerPixel - (gState.previousCursorX - 400.0) * kCameraXPerPixel;
            in.pointY +=
                (cursorY - 300.0) * kCameraYPerPixel - (gState.previousCursorY - 300.0) * kCameraYPerPixel;
        }
        in.pointZ = gState.wheelAccumulator;
    }
    SetScreenCopyMode(gEngine, 2);
    gState.demoTime += gState.frameDelta;
}

void RelaxAndClampArrows(double frameDelta)
{
    double& upDown = gFrameInputs.arrowUpDown;
    const double relax = frameDelta * kArrowRelaxPerSecond;
    if (upDown > 0.0) {
        upDown = upDown - relax < 0.0 ? 0.0 : upDown - relax;
    } else if (upDown < 0.0) {
        upDown = upDown + relax > 0.0 ? 0.0 : upDown + relax;
    }
    if (upDown > 1.0) upDown = 1.0;
    if (upDown < -1.0) upDown = -1.0;
}

bool StepFrame()
{
    double cursorX = 0.0, cursorY = 0.0;
    hooks.readCursor(cursorX, cursorY);  // the pointer, or a recording's reading

    gState.frameDelta = hooks.clockSeconds() - gState.lastClockReading;
    gState.lastClockReading = hooks.clockSeconds();
    if (gState.frameDelta < 0.0) gState.frameDelta = 0.0;

    if (gState.musicOn) MusicSteer(gState.demoTime, gFrameInputs.musicSteady);
    UpdateFrameInputs(cursorX, cursorY);
    if (gState.musicOn) {
        MusicAdvance(gState.frameDelta);  // offline sound only: mix this frame's share of the output
        MusicAnalyse(gFrameInputs);
    }

    StepHeldArrowKeys(gState.frameDelta);
    RelaxAndClampArrows(gState.frameDelta);
    if (DemoScene* scene = gSceneTable[0]) scene->Step(gState.frameDelta, gFrameInputs);

    gState.previousCursorX = cursorX;
    gState.previousCursorY = cursorY;
    if (!gState.endingRequested) return false;
    const double fade = EndingFade(gState.demoTime, gState.endingStartTime);
    if (gState.musicOn) MusicSetFade(fade);
    return EndingComplete(fade);
}

bool EndingComplete(double fade)
{
    return fade > 0.9990000128746033;
}

bool DrawFrame()
{
    const bool lastFrame = StepFrame();

    // The scene's Draw clears the window itself before anything is drawn.
    DemoScene* scene = gSceneTable[0];
    if (!scene) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBlendFunc(GL_ONE, GL_ONE);

    if (scene) scene->Draw(&gState.frameDelta, &gRenderTarget, &gEngine, &gFrameInputs);
    hooks.refreshWindowTitle();

    if (gState.endingRequested) DrawFadeOverlay(EndingFade(gState.demoTime, gState.endingStartTime));
    if (lastFrame) {
        // Nothing captured: the clipboard keeps what the user had put there; an empty text would only
        // throw it away.
        if (!CaptureText.empty()) CopyTextToClipboard(CaptureText.c_str());
        if (gState.musicOn) MusicClose();
        hooks.destroyMainWindow();
        EndProcess(0);
    }
    return true;
}

bool CopyTextToClipboard(const char* text)
{
    return SetClipboardText(text);
}
