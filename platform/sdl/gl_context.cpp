// Second GL context on the main SDL window, context switching and entry-point lookup (see gl_context.h).
// Depends on SDL2 and the main window handles of sdl_window.h.
#include "platform/gl_context.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sdl/sdl_window.h"

namespace {

// GL's own lookup hands out dispatch stubs even for names no driver implements, so availability is
// decided here from the context's version and extensions. Names not listed are not offered.
struct Requirement {
    const char* prefix;     // names starting with this
    int major, minor;       // core since this version
    const char* extension;  // or with this extension (same names), nullptr = none
};

constexpr Requirement kRequirements[] = {
    {"glActiveTexture", 1, 3, "GL_ARB_multitexture"},
    {"glMultiTexCoord2f", 1, 3, "GL_ARB_multitexture"},
    {"glSecondaryColor3f", 1, 4, "GL_EXT_secondary_color"},
    {"glGenFramebuffers", 3, 0, "GL_ARB_framebuffer_object"},
    {"glDeleteFramebuffers", 3, 0, "GL_ARB_framebuffer_object"},
    {"glBindFramebuffer", 3, 0, "GL_ARB_framebuffer_object"},
    {"glFramebufferTexture2D", 3, 0, "GL_ARB_framebuffer_object"},
    {"glCheckFramebufferStatus", 3, 0, "GL_ARB_framebuffer_object"},
    {"glGenRenderbuffers", 3, 0, "GL_ARB_framebuffer_object"},
    {"glDeleteRenderbuffers", 3, 0, "GL_ARB_framebuffer_object"},
    {"glBindRenderbuffer", 3, 0, "GL_ARB_framebuffer_object"},
    {"glRenderbufferStorage", 3, 0, "GL_ARB_framebuffer_object"},
    {"glFramebufferRenderbuffer", 3, 0, "GL_ARB_framebuffer_object"},
    {"glCreateShader", 2, 0, nullptr},
    {"glDeleteShader", 2, 0, nullptr},
    {"glShaderSource", 2, 0, nullptr},
    {"glCompileShader", 2, 0, nullptr},
    {"glGetShaderiv", 2, 0, nullptr},
    {"glGetShaderInfoLog", 2, 0, nullptr},
    {"glCreateProgram", 2, 0, nullptr},
    {"glDeleteProgram", 2, 0, nullptr},
    {"glAttachShader", 2, 0, nullptr},
    {"glLinkProgram", 2, 0, nullptr},
    {"glGetProgramiv", 2, 0, nullptr},
    {"glGetProgramInfoLog", 2, 0, nullptr},
    {"glUseProgram", 2, 0, nullptr},
    {"glGetUniformLocation", 2, 0, nullptr},
    {"glUniform", 2, 0, nullptr},
    {"glFenceSync", 3, 2, "GL_ARB_sync"},
    {"glWaitSync", 3, 2, "GL_ARB_sync"},
    {"glDeleteSync", 3, 2, "GL_ARB_sync"},
};

bool ContextOffers(const Requirement& requirement)
{
    int major = 0, minor = 0;
    using GetString = const unsigned char* (*)(unsigned);
    auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    const unsigned char* version = getString ? getString(0x1F02) : nullptr;  // GL_VERSION
    if (!version || std::sscanf(reinterpret_cast<const char*>(version), "%d.%d", &major, &minor) != 2)
        return false;
    if (major > requirement.major || (major == requirement.major && minor >= requirement.minor)) return true;
    return requirement.extension && SDL_GL_ExtensionSupported(requirement.extension);
}

// What one context wrote (a texture drawn or copied into) is only safe for the other to read once the
// writer's commands have completed: a fence put in the context being left, which the context taken up waits
// for on the GPU side. Without sync objects, the context being left finishes its work instead. Both
// contexts share one driver, so the addresses found once serve both.
struct HandOver {
    bool resolved = false;
    PFNGLFENCESYNCPROC fenceSync = nullptr;
    PFNGLWAITSYNCPROC waitSync = nullptr;
    PFNGLDELETESYNCPROC deleteSync = nullptr;
    void(APIENTRY* flush)() = nullptr;
    void(APIENTRY* finish)() = nullptr;
} handOver;

void ResolveHandOver()
{
    if (handOver.resolved) return;
    handOver.resolved = true;
    handOver.fenceSync = reinterpret_cast<decltype(handOver.fenceSync)>(LookupGlEntryPoint("glFenceSync"));
    handOver.waitSync = reinterpret_cast<decltype(handOver.waitSync)>(LookupGlEntryPoint("glWaitSync"));
    handOver.deleteSync = reinterpret_cast<decltype(handOver.deleteSync)>(LookupGlEntryPoint("glDeleteSync"));
    if (!handOver.fenceSync || !handOver.waitSync || !handOver.deleteSync) handOver.fenceSync = nullptr;
    handOver.flush = reinterpret_cast<decltype(handOver.flush)>(SDL_GL_GetProcAddress("glFlush"));
    handOver.finish = reinterpret_cast<decltype(handOver.finish)>(SDL_GL_GetProcAddress("glFinish"));
}

// Called with the context being left current; the fence to wait for in the next one, or nullptr.
GLsync EndWritesOfCurrentContext()
{
    if (handOver.fenceSync) {
        GLsync fence = handOver.fenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        if (handOver.flush) handOver.flush();  // a fence another context waits for must be submitted
        if (fence) return fence;
    }
    if (handOver.finish) handOver.finish();
    return nullptr;
}

}  // namespace

GlContextHandle CurrentGlContext()
{
    return SDL_GL_GetCurrentContext();
}

GlContextHandle CreateSharedGlContext()
{
    SDL_Window* window = MainSdlWindow();
    SDL_GLContext current = SDL_GL_GetCurrentContext();
    if (!window || !current) return nullptr;
    SDL_Window* currentWindow = SDL_GL_GetCurrentWindow();
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
    SDL_GLContext context = SDL_GL_CreateContext(window);  // becomes current when it succeeds
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
    SDL_GL_MakeCurrent(currentWindow ? currentWindow : window, current);
    // For measuring only: QUARNEL_NO_HANDOVER set, the contexts switch without fence or finish.
    if (context && !std::getenv("QUARNEL_NO_HANDOVER")) ResolveHandOver();
    return context;
}

void DestroyGlContext(GlContextHandle context)
{
    if (context) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context));
}

bool MakeGlContextCurrent(GlContextHandle context)
{
    SDL_Window* window = MainSdlWindow();
    if (!window || !context) return false;
    SDL_GLContext leaving = SDL_GL_GetCurrentContext();
    GLsync fence = nullptr;
    if (handOver.resolved && leaving && leaving != context) fence = EndWritesOfCurrentContext();
    const bool ok = SDL_GL_MakeCurrent(window, static_cast<SDL_GLContext>(context)) == 0;
    if (fence) {
        // A fence belongs to the share group, so the context taken up can wait for it (and delete it). Had
        // the switch failed, the old context is still current and waits for its own commands: harmless.
        handOver.waitSync(fence, 0, GL_TIMEOUT_IGNORED);
        handOver.deleteSync(fence);
    }
    return ok;
}

void* LookupGlEntryPoint(const char* name)
{
    // Function addresses are only meaningful for a current context; without one every lookup fails, so
    // callers see the same "unavailable" answer as on a driver that lacks the function.
    if (!name || !SDL_GL_GetCurrentContext()) return nullptr;
    if (std::strcmp(name, "SwapInterval") == 0) return reinterpret_cast<void*>(&SwapIntervalThroughSdl);
    for (const Requirement& requirement : kRequirements) {
        if (std::strncmp(name, requirement.prefix, std::strlen(requirement.prefix)) != 0) continue;
        return ContextOffers(requirement) ? SDL_GL_GetProcAddress(name) : nullptr;
    }
    return nullptr;
}

void SetWindowContextAttributes()
{
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}

bool StartWindowContext(SDL_Window*)
{
    return true;
}

void StopWindowContext() {}
void FlushWindowContext() {}
