// The main window's SDL handles (see sdl_window.h).
#include "platform/sdl_window.h"

namespace {
SDL_Window* mainWindow = nullptr;
SDL_GLContext mainContext = nullptr;
}  // namespace

SDL_Window* MainSdlWindow()
{
    return mainWindow;
}
SDL_GLContext MainGlContext()
{
    return mainContext;
}

void SetMainSdlWindow(SDL_Window* window, SDL_GLContext context)
{
    mainWindow = window;
    mainContext = context;
}
