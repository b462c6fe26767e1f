// Inside the platform layer (and the tests' GL window) only: the SDL window and GL context of the main
// window, kept by window.cpp, and what the window leaves to its context's kind (gl_context.cpp for the
// driver's own OpenGL, gl_context_layer.cpp for the GL 1.x layer over OpenGL ES; the build takes one).
// Null while no window is held. Main thread only.
#pragma once
#include <SDL.h>

#include "platform/screen_fit.h"

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

// Where the GL 1.x layer finds the ES functions: SDL's lookup, or WebGL 2's in a page. Also the driver's
// own functions for the picture's present, which must reach the window whatever the show draws through.
void* WindowContextEntryPoint(const char* name);

// The show's view of the window's framebuffer: `framebuffer` (0: the window's own) becomes the one the
// window's context draws into and reads from, as if the show had bound it itself. Only while the window's
// own context (not one of the show's others) is current; false otherwise.
bool BindShowFramebuffer(unsigned framebuffer);

// The picture's present (picture_present.cpp): the show draws its fixed-size picture into the window's
// back buffer while the window has the picture's size, and into an off-screen picture of that size once it
// has not; each swap then shows that picture scaled into the window at its shape, bars around it.
void PresentPictureBeforeSwap(SDL_Window* window);   // the picture into the back buffer, as it goes
void FollowWindowSizeAfterSwap(SDL_Window* window);  // takes the off-screen picture up once the size differs
bool PictureIsOffscreen();                           // the show draws into the off-screen picture
// A context's end (its objects deleted while it is still current) or start (whatever was held went with
// the context before it).
void ForgetPicture(bool contextCurrent);
// Where the picture lies in the window (window pixels, top row first), for the pointer.
ScreenBox PictureBoxInWindow(SDL_Window* window);
