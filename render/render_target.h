// The off-screen render target: a 1024 x 1024 colour + depth + stencil buffer with its own GL context that
// shares display lists and textures with the window's, the switch between it and the window, and the
// general scene-to-texture renderer. Depends on the platform GL context layer and the drawing helpers.
#pragma once
#include <cstdint>

#include "math/vec.h"

struct Engine;

constexpr int kRenderTargetSize = 1024;

// The one off-screen target. Its context keeps its framebuffer object bound for good, so making the
// context current is all it takes to draw off screen.
struct RenderTargetContext {
    void* pbufferContext = nullptr;   // the second GL context (platform handle)
    uint32_t framebuffer = 0;         // framebuffer object of pbufferContext: what it draws into
    uint32_t colourBuffer = 0;        // RGBA8 renderbuffer
    uint32_t depthStencilBuffer = 0;  // depth 24 + stencil 8 renderbuffer
    void* windowContext = nullptr;    // the window's GL context, captured at creation
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
// with toPbuffer, copies the wanted region into targetSlot. camera and light point to eye, centre, up.
void RenderSceneToTexture(Engine& engine, RenderTargetContext& target, SceneDrawRoutine depthPass,
                          SceneDrawRoutine colourPass, int depthTextureSlot, int depthPassSize,
                          int programIndex, const Vec* camera, const Vec* light, bool toPbuffer, int size,
                          int targetSlot);

// The sizing rules of the colour pass, by ScreenCopyMode.
struct TargetExtent {
    int width = 0, height = 0;
};
// Viewport of the colour pass; false when the rule leaves the viewport as it was.
bool RenderTargetViewport(int size, int32_t screenCopyMode, TargetExtent* viewport);
TargetExtent RenderTargetCopySize(int size, int32_t screenCopyMode);  // region copied after the pass
// Clears the given buffers (GL_COLOR_BUFFER_BIT ...) of the region at the origin only, through the
// scissor test, which is off again afterwards.
void ClearRegion(TargetExtent region, uint32_t buffers);
