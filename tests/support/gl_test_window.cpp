// Test support: hidden SDL window with a GL compatibility context (see gl_test_window.h).
#include "tests/support/gl_test_window.h"

#include <SDL.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/sdl/sdl_window.h"

namespace {
SDL_Window* window = nullptr;
SDL_GLContext context = nullptr;
int ownerProcess = 0;

// The context and window go before the process starts to end: under Wine a process still unloading its
// libraries a second after its end began is killed (SIGKILL), and the GL driver's teardown at that point
// took longer than that on a loaded machine, so tests that had passed were reported killed. Only in the
// process that opened them: a child forked by a death test shares them with its parent.
void CloseAtExit()
{
    if (getpid() != ownerProcess) return;
    CloseTestGlWindow();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

// Says why there is no window, so that a failing GL test names the cause.
bool Refuse(const char* step)
{
    std::fprintf(stderr, "test GL window: %s failed: %s\n", step, SDL_GetError());
    return false;
}
}  // namespace

bool OpenTestGlWindow(int width, int height)
{
    if (context) return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return Refuse("SDL_InitSubSystem(SDL_INIT_VIDEO)");
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    window = SDL_CreateWindow("test", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) return Refuse("SDL_CreateWindow");
    context = SDL_GL_CreateContext(window);
    if (!context) return Refuse("SDL_GL_CreateContext");
    SDL_GL_MakeCurrent(window, context);
    SetMainSdlWindow(window, context);
    if (ownerProcess == 0) std::atexit(CloseAtExit);
    ownerProcess = getpid();
    return true;
}

void CloseTestGlWindow()
{
    if (context) SDL_GL_DeleteContext(context);
    if (window) SDL_DestroyWindow(window);
    context = nullptr;
    window = nullptr;
    SetMainSdlWindow(nullptr, nullptr);
}

void ReleaseTestGlContext()
{
    if (window) SDL_GL_MakeCurrent(window, nullptr);
}

bool MakeTestGlContextCurrent()
{
    return window && context && SDL_GL_MakeCurrent(window, context) == 0;
}

int TestSwapInterval()
{
    return SDL_GL_GetSwapInterval();
}
