// The single top-level window (see main_window.h), over the platform window layer.
#include "shell/main_window.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "platform/message_box.h"
#include "platform/window.h"
#include "runtime/global_state.h"
#include "shell/start_up.h"

namespace {

void Fail(const char* text)
{
    DestroyMainWindow();
    ShowMessageBox(text, "ERROR", MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

bool CreateMainWindow(const char* title, int width, int height, int bitsPerPixel, bool fullScreenFlag)
{
    gState.fullScreen = fullScreenFlag;

    if (gState.fullScreen && !RequestDisplayMode(width, height, bitsPerPixel)) {
        const int answer = ShowMessageBox(
            "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?",
            "Kelm GL ;-)", MB_YESNO | MB_ICONEXCLAMATION);
        if (answer != IDYES) {
            ShowMessageBox("Program Will Now Close.", "ERROR", MB_OK | MB_ICONSTOP);
            return false;
        }
        gState.fullScreen = false;
    }

    const WindowResult result = CreatePlatformWindow(title, 50, 50, width, height, gState.fullScreen);
    switch (result) {
        case WindowResult::VideoFailed:
            ShowMessageBox("Failed To Register The Window Class.", "ERROR", MB_OK | MB_ICONEXCLAMATION);
            return false;
        case WindowResult::WindowFailed:
            Fail("Window Creation Error.");
            return false;
        case WindowResult::ContextFailed:
            gState.windowHeld = true;
            Fail("Can't Create A GL Rendering Context.");
            return false;
        case WindowResult::ActivateFailed:
            gState.windowHeld = gState.contextHeld = true;
            Fail("Can't Activate The GL Rendering Context.");
            return false;
        case WindowResult::Ok:
            break;
    }
    gState.windowHeld = gState.contextHeld = true;
    if (gState.fullScreen) SetCursorVisible(false);  // hidden for exactly as long as the mode is changed

    ShowAndFocusWindow();
    ResizeViewport(width, height);
    InitRenderState();
    BuildFontLists();  // its result is not checked: a missing font leaves the texts empty
    return true;
}

void DestroyMainWindow()
{
    if (gState.fullScreen) {
        // The desktop mode comes back when the full-screen window goes.
        SetCursorVisible(true);
    }
    if (gState.contextHeld) {
        if (!ReleaseWindowContext())
            ShowMessageBox("Release Of DC And RC Failed.", "SHUTDOWN ERROR", MB_OK | MB_ICONINFORMATION);
        if (!DeleteWindowContext())
            ShowMessageBox("Release Rendering Context Failed.", "SHUTDOWN ERROR", MB_OK | MB_ICONINFORMATION);
        gState.contextHeld = false;
    }
    if (gState.windowHeld) {
        if (!DestroyPlatformWindow())
            ShowMessageBox("Could Not Release hWnd.", "SHUTDOWN ERROR", MB_OK | MB_ICONINFORMATION);
        gState.windowHeld = false;
    }
    ShutDownVideo();
}

void ResizeViewport(int width, int height)
{
    if (height == 0) height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(width) / static_cast<double>(height), static_cast<double>(0.1f),
                   100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

bool InitRenderState()
{
    // (The fragment programs need no optimal-options call: the GLSL compiler picks its own.)
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    RunStartUp();
    return true;
}

void SwapFrontBack(double)
{
    SwapWindowBuffers();
}
