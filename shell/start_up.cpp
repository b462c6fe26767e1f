// Start-up sequence and graphics-card checks (see start_up.h).
#include "shell/start_up.h"

#include <GL/gl.h>

#include <cstring>

#include "platform/message_box.h"
#include "platform/process.h"
#include "render/billboards.h"
#include "render/engine.h"
#include "render/entry_points.h"
#include "render/outline_text.h"
#include "render/render_target.h"
#include "render/texture_loader.h"
#include "runtime/frame_driver.h"
#include "runtime/global_state.h"
#include "runtime/music.h"
#include "scene/demo_scene.h"
#include "scene/frame_inputs.h"
#include "shell/clock.h"
#include "shell/main_window.h"
#include "shell/window_proc.h"

namespace {

struct RendererSpeed {
    const char* text;
    double speedFactor;
};

// Tested in this order; every match sets the factor, so the last match wins.
constexpr RendererSpeed kRendererTable[] = {
    {"59", 1.4},    {"58", 1.2},   {"9600", 1.5}, {"9700", 2.0},  {"9800", 2.75},
    {"X800", 2.95}, {"X600", 1.8}, {"X300", 1.6}, {"6800", 2.95},
};

bool Contains(const char* text, const char* part)
{
    return text && std::strstr(text, part) != nullptr;
}

}  // namespace

void CheckGraphicsCardStrings(Engine& engine, const char* vendor, const char* renderer)
{
    engine.speedFactor = 1.0;
    engine.isAti = false;
    if (Contains(vendor, "ATI")) {
        engine.isAti = true;
        engine.speedFactor = 1.5;
    }
    engine.cardId = 0;
    if (Contains(renderer, "5200") || Contains(renderer, "6200")) {
        engine.cardId = 5200;
        ShowMessageBox(
            "Slow graphics card present. \n \n The demo will NOT play properly \n Proceed at your own risk.",
            "  = Quarnel. Kelm 2006 = ", MB_OK | MB_ICONINFORMATION);
    }
    for (const RendererSpeed& entry : kRendererTable)
        if (Contains(renderer, entry.text)) engine.speedFactor = entry.speedFactor;
}

void CheckGraphicsCard(Engine& engine)
{
    CheckGraphicsCardStrings(engine, reinterpret_cast<const char*>(glGetString(GL_VENDOR)),
                             reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
}

void RunStartUp()
{
    SetScreenCopyMode(gEngine, 2);
    gEngine.loadTickCallback = SwapFrontBack;
    CreateRenderTarget(gEngine, gRenderTarget);
    CheckGraphicsCard(gEngine);

    // Our fragment programs are GLSL; a driver that offers them names "fragment_program" or
    // "fragment_shader" in its extension string.
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (!Contains(extensions, "fragment_program") && !Contains(extensions, "fragment_shader")) {
        ShowMessageBox(
            "Graphics card does not support fragment programs. \n \nCards supported are: \n"
            "-------------------------- \n NVidia Geforce FX+ \n Radeon 9500+ \n \n The demo will NOT "
            "play properly \n Proceed at your own risk.",
            "  = Quarnel game. Kelm 2006 = ", MB_OK | MB_ICONINFORMATION);
        EndProcess(0);
    }

    CaptureText.clear();
    LoadFilmTexture(gEngine);
    gSceneTable[0] = new DemoScene();
    gSceneTable[0]->effectsEnabled = 1;
    gSceneTable[0]->Init(&gEngine);
    if (gState.musicOn) MusicInit();
    SetSwapInterval(0);
    if (gState.musicOn) MusicPlay();
    ClockReset();
    gState.lastClockReading = ClockSeconds();

    gState.demoTime = 0.0;
    gFrameInputs.pointX = gFrameInputs.pointY = gFrameInputs.pointZ = 0.0;
    gFrameInputs.arrowLeftRight = gFrameInputs.arrowUpDown = 0.0;
}

void BuildFontLists()
{
    BuildOutlineFont(gEngine);
}
