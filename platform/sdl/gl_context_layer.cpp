// GL contexts through the GL 1.x layer (see gl_context.h): the one ES context of the main window holds
// one state block per context the show creates, so "another context sharing lists and textures" is a
// new block and making it current switches blocks. Entry points come from the layer. Depends on SDL2,
// the main window handles and the layer.
#include <SDL.h>

#include <cstring>

#include "gl_layer/gl_layer.h"
#include "platform/gl_context.h"
#include "platform/sdl/sdl_window.h"

namespace {

GlLayerBlock windowBlock = nullptr;  // the window's own block, the first the layer made

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

void SetWindowContextAttributes()
{
    // The show draws through the GL 1.x layer, which needs OpenGL ES 3.0 and nothing more.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
}

bool StartWindowContext(SDL_Window* window)
{
    ForgetPicture(false);
    int drawableWidth = 0, drawableHeight = 0;
    SDL_GL_GetDrawableSize(window, &drawableWidth, &drawableHeight);
    if (!GlLayerStart(&WindowContextEntryPoint, drawableWidth, drawableHeight)) return false;
    windowBlock = GlLayerCurrentBlock();
    return true;
}

bool BindShowFramebuffer(unsigned framebuffer)
{
    if (!LayerContextCurrent() || GlLayerCurrentBlock() != windowBlock) return false;
    using Bind = void (*)(unsigned, unsigned);
    auto bind = reinterpret_cast<Bind>(GlLayerProcAddress("glBindFramebuffer"));
    if (!bind) return false;
    bind(0x8D40, framebuffer);  // GL_FRAMEBUFFER, through the layer so that its record follows
    return true;
}

void StopWindowContext()
{
    ForgetPicture(true);
    GlLayerStop();  // the layer's objects go with the context
    windowBlock = nullptr;
}

void FlushWindowContext()
{
    GlLayerFlush();  // the layer holds back primitives until something else is drawn or read
}
