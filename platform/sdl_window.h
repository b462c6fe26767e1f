// Inside the platform layer (and test support) only: the SDL window and GL context of the main window,
// for the parts of the platform layer that need them (shared off-screen context, dialogs).
// Null while no window is held.
#pragma once
#include <SDL.h>

SDL_Window* MainSdlWindow();
SDL_GLContext MainGlContext();
void SetMainSdlWindow(SDL_Window* window, SDL_GLContext context);  // by whoever creates the window
