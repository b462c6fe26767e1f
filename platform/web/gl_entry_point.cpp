// The ES functions of the window's context in a page: WebGL 2's, under the names of ES (see sdl_window.h).
#include "gl_layer/gl_layer.h"
#include "platform/sdl/sdl_window.h"

void* WindowContextEntryPoint(const char* name)
{
    return GlLayerBrowserLookup(name);
}
