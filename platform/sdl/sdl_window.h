// Inside the platform layer (and the tests' GL window) only: the SDL window and GL context of the main
// window, kept by window.cpp, and what the window leaves to its context's kind (gl_context.cpp for the
// driver's own OpenGL, gl_context_layer.cpp for the GL 1.x layer over OpenGL ES; the build takes one).
// Null while no window is held. Main thread only.
#pragma once
#include <SDL.h>

SDL_Window* MainSdlWindow();
SDL_GLContext MainGlContext();
void SetMainSdlWindow(SDL_Window* window, SDL_GLContext context);  // by whoever creates the window

// The platform's swap-interval call behind the "SwapInterval" entry point: 1 on success.
int SwapIntervalThroughSdl(int interval);

// The window's context: its attributes before the window is made, its start once made current (false when
// it cannot draw the show, with the reason on standard error), its stop while still current before it is
// deleted, and what must reach the picture before a buffer swap.
void SetWindowContextAttributes();
bool StartWindowContext(SDL_Window* window);
void StopWindowContext();
void FlushWindowContext();

// Where the GL 1.x layer finds the ES functions: SDL's lookup, or WebGL 2's in a page.
void* WindowContextEntryPoint(const char* name);
