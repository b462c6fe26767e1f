// The ES functions of the window's context as SDL finds them (see sdl_window.h).
#include "platform/sdl/sdl_window.h"

void* WindowContextEntryPoint(const char* name)
{
    return SDL_GL_GetProcAddress(name);
}
