// The off-screen render target: a 1024 x 1024 colour + depth + stencil framebuffer object with a GL
// context of its own (a state block of the window's context: see platform/gl_context.h) that shares display
// lists and textures with the window's, the switch between it and the window, and the general
// scene-to-texture renderer. Depends on the platform GL context layer and the drawing helpers.
#pragma once
#include <cstdint>

#include "math/vec.h"

struct Engine;

constexpr int kRenderTargetSize = 1024;

// The one off-screen target. Its context keeps its framebuffer object bound for good, so making the
// context current is all it takes to draw off screen; making the window's current again brings back the
// window's framebuffer and every state the window had (viewport, matrices, enables, blending, bound
// textures and program ...), and the next switch the target's.
struct RenderTargetContext {
    void* pbufferContext = nullptr;   // the target's GL context (platform handle)
    uint32_t framebuffer = 0;         // framebuffer object of pbufferContext: what it draws into
    uint32_t colourBuffer = 0;        // RGBA8 renderbuffer
    uint32_t depthStencilBuffer = 0;  // depth 24 + stencil 8 renderbuffer
    void* windowContext = nullptr;    // the window's GL context, captured at creation
    uint32_t drawTexture = 0;         // texture drawn into instead of colourBuffer during a pass, or 0
    struct Spare {
        uint32_t of = 0, texture = 0;  // a texture like `of` (size, format, sampling) for feedback passes
    } spares[4];
};

extern RenderTargetContext gRenderTarget;

using SceneDrawRoutine = void (*)(Engine& engine);

// Builds the target while the window's context is current, and leaves the window's context current with
// its start-up state. Ends the process with status 0 (no message) when it cannot.
void CreateRenderTarget(Engine& engine, RenderTargetContext& target);
void MakeRenderTargetCurrent(RenderTargetContext& target);  // the target's context, its buffer bound
// Window's context current, off-screen projection (75 degrees + offset, aspect 1), identity modelview.
void RestoreWindowContext(Engine& engine, RenderTargetContext& target);
// Renders one scene (optional depth pre-pass from the light, then the colour pass from the camera) and,
// with toPbuffer, leaves the wanted region in targetSlot: drawn straight into its texture where that can
// be drawn into, else copied there. The colour-pass routine must not sample targetSlot's texture.
// camera and light point to eye, centre, up.
// What the colour pass clears before its routine draws: colour and depth, unless the caller knows that
// its routine tests no depth (Colour) or also covers every pixel without blending (Nothing).
enum class TargetClear { ColourAndDepth, Colour, Nothing };
void RenderSceneToTexture(Engine& engine, RenderTargetContext& target, SceneDrawRoutine depthPass,
                          SceneDrawRoutine colourPass, int depthTextureSlot, int depthPassSize,
                          int programIndex, const Vec* camera, const Vec* light, bool toPbuffer, int size,
                          int targetSlot, TargetClear clear = TargetClear::ColourAndDepth);

// The sizing rules of the colour pass, by ScreenCopyMode.
struct TargetExtent {
    int width = 0, height = 0;
};
// Viewport of the colour pass; false when the rule leaves the viewport as it was.
bool RenderTargetViewport(int size, int32_t screenCopyMode, TargetExtent* viewport);
TargetExtent RenderTargetCopySize(int size, int32_t screenCopyMode);  // region copied after the pass
// With the target's context current: its drawing goes straight into the texture (region at the origin),
// which gives the same texels as drawing into the renderbuffer and copying. False, and the renderbuffer
// drawn into, when the texture is 0, smaller than the region or cannot be drawn into. Keeps the texture
// binding.
bool DrawTargetInto(RenderTargetContext& target, uint32_t texture, TargetExtent region);
void DrawTargetIntoRenderbuffer(RenderTargetContext& target);  // as after creation
// A texture of the same size, format and sampling as `texture`, made once and kept, for passes that read
// their target while they draw; 0 when none can be made. With the target's context current.
uint32_t SpareTextureLike(RenderTargetContext& target, uint32_t texture);

// Clears the given buffers (GL_COLOR_BUFFER_BIT ...) of the region at the origin only, through the
// scissor test, which is off again afterwards.
void ClearRegion(TargetExtent region, uint32_t buffers);
