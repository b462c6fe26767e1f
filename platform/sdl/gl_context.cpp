// The show's GL contexts as state blocks of the main window's one context, switching between them, and
// the entry-point lookup (see gl_context.h). Depends on SDL2, the main window handles of sdl_window.h and
// the state record of gl_state_block.h.
#include "platform/gl_context.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/sdl/gl_state_block.h"
#include "platform/sdl/sdl_window.h"
#include "platform/window.h"

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
    {"glMultiTexCoord4fv", 1, 3, "GL_ARB_multitexture"},
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

// The show's contexts are state blocks of the one context of the main window (see gl_state_block.h): all
// objects are shared because there is only one set of them, and what one "context" draws into a texture
// is complete for the other in GL's own command order, without fences or waiting. The first block is the
// window's own; a block is made current by reading the state into the block being left and bringing the
// differences of the other one in.
struct Blocks {
    SDL_GLContext owner = nullptr;                      // the context the blocks divide
    std::vector<std::unique_ptr<GlStateBlock>> blocks;  // [0]: the window's own
    GlStateBlock* current = nullptr;
} shared;

void Forget()
{
    shared.owner = nullptr;
    shared.blocks.clear();
    shared.current = nullptr;
}

// The blocks of the current SDL context: for a context they do not know yet, its own block alone.
Blocks* CurrentBlocks()
{
    SDL_GLContext context = SDL_GL_GetCurrentContext();
    if (!context) return nullptr;
    if (shared.owner != context) {
        Forget();
        shared.owner = context;
        PrepareGlStateBlocks();
        shared.blocks.push_back(std::make_unique<GlStateBlock>());
        shared.current = shared.blocks.front().get();
    }
    return &shared;
}

GlStateBlock* Known(GlContextHandle handle)
{
    for (const std::unique_ptr<GlStateBlock>& block : shared.blocks)
        if (block.get() == handle) return block.get();
    return nullptr;
}

}  // namespace

GlContextHandle CurrentGlContext()
{
    Blocks* blocks = CurrentBlocks();
    return blocks ? blocks->current : nullptr;
}

GlContextHandle CreateSharedGlContext()
{
    SDL_Window* window = MainSdlWindow();
    Blocks* blocks = CurrentBlocks();
    if (!window || !blocks) return nullptr;
    // A new context's viewport is the size of what the window's context draws into: the window's drawable,
    // or the show's picture once that is drawn off screen.
    int width = kPictureWidth, height = kPictureHeight;
    if (!PictureIsOffscreen()) SDL_GL_GetDrawableSize(window, &width, &height);
    blocks->blocks.push_back(std::make_unique<GlStateBlock>(InitialGlState(width, height)));
    return blocks->blocks.back().get();
}

void DestroyGlContext(GlContextHandle context)
{
    // The current block and the window's own go with the window's context.
    if (!context || context == shared.current ||
        (!shared.blocks.empty() && context == shared.blocks[0].get()))
        return;
    std::erase_if(shared.blocks, [&](const std::unique_ptr<GlStateBlock>& b) { return b.get() == context; });
}

bool MakeGlContextCurrent(GlContextHandle context)
{
    SDL_Window* window = MainSdlWindow();
    if (!window || !context) return false;
    // Released (no context current), the window's context is taken up again, as making one of its
    // contexts current would.
    if (!SDL_GL_GetCurrentContext() && shared.owner && shared.owner == MainGlContext())
        SDL_GL_MakeCurrent(window, shared.owner);
    GlStateBlock* block = CurrentBlocks() ? Known(context) : nullptr;  // blocks of another context are gone
    if (!block) return false;
    if (block == shared.current) return true;
    ReadGlState(*shared.current);
    SwitchGlState(*shared.current, *block);
    shared.current = block;
    return true;
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

bool BindShowFramebuffer(unsigned framebuffer)
{
    Blocks* blocks = CurrentBlocks();
    if (!blocks || blocks->current != blocks->blocks.front().get()) return false;
    using Bind = void (*)(unsigned, unsigned);
    auto bind = reinterpret_cast<Bind>(SDL_GL_GetProcAddress("glBindFramebuffer"));
    if (!bind) return false;
    bind(0x8D40, framebuffer);  // GL_FRAMEBUFFER: drawing and reading alike
    return true;
}

void SetWindowContextAttributes()
{
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}

bool StartWindowContext(SDL_Window*)
{
    ForgetPicture(false);
    Forget();  // a new context, perhaps where an old one was: its blocks start afresh
    return true;
}

void StopWindowContext()
{
    ForgetPicture(true);
    Forget();
}

void FlushWindowContext() {}
