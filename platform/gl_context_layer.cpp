// GL contexts through the GL 1.x layer (see gl_context.h): the one ES context of the main window holds
// one state block per context the show creates, so "another context sharing lists and textures" is a
// new block and making it current switches blocks. Entry points come from the layer. Depends on SDL2,
// the main window handles and the layer.
#include <SDL.h>

#include <cstring>

#include "platform/gl_context.h"
#include "platform/gl_layer.h"
#include "platform/sdl_window.h"

namespace {

int SwapIntervalThroughSdl(int interval)
{
    return SDL_GL_SetSwapInterval(interval) == 0 ? 1 : 0;
}

bool LayerContextCurrent()
{
    return SDL_GL_GetCurrentContext() != nullptr && GlLayerRunning();
}

}  // namespace

GlContextHandle CurrentGlContext()
{
    return LayerContextCurrent() ? GlLayerCurrentBlock() : nullptr;
}

GlContextHandle CreateSharedGlContext()
{
    if (!MainSdlWindow() || !LayerContextCurrent()) return nullptr;
    return GlLayerCreateBlock();
}

void DestroyGlContext(GlContextHandle context)
{
    if (context && GlLayerRunning()) GlLayerDestroyBlock(context);
}

bool MakeGlContextCurrent(GlContextHandle context)
{
    if (!MainSdlWindow() || !context || !LayerContextCurrent()) return false;
    return GlLayerMakeCurrent(context);
}

void* LookupGlEntryPoint(const char* name)
{
    if (!name || !LayerContextCurrent()) return nullptr;
    if (std::strcmp(name, "SwapInterval") == 0) return reinterpret_cast<void*>(&SwapIntervalThroughSdl);
    return GlLayerProcAddress(name);
}
