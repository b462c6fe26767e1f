// The off-screen render target (see render_target.h): a context of its own beside the window's, drawing
// into a 1024 x 1024 framebuffer object, and the scene-to-texture renderer.
// Depends on the platform GL context layer, the entry-point table, the effects and the drawing helpers.
#include "render/render_target.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>

#include "platform/gl_context.h"
#include "platform/process.h"
#include "render/billboards.h"
#include "render/effects.h"
#include "render/engine.h"
#include "render/entry_points.h"

RenderTargetContext gRenderTarget;

namespace {

// Framebuffer-object constants of OpenGL 3.0 / ARB_framebuffer_object (not in the 1.1 header).
constexpr uint32_t kFramebuffer = 0x8D40;
constexpr uint32_t kRenderbuffer = 0x8D41;
constexpr uint32_t kColourAttachment0 = 0x8CE0;
constexpr uint32_t kDepthStencilAttachment = 0x821A;
constexpr uint32_t kDepth24Stencil8 = 0x88F0;
constexpr uint32_t kFramebufferComplete = 0x8CD5;

// Creation failures end the show quietly, as the target is required for every frame.
[[noreturn]] void FailCreation()
{
    EndProcess(0);
}

void LoadOffscreenProjection(const Engine& engine)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(75.0 + engine.fieldOfViewOffset, 1.0, engine.nearPlane, engine.farPlane);
    glMatrixMode(GL_MODELVIEW);
}

// view: eye, centre, up. A missing view keeps the identity rather than reading through a null pointer.
void LookAt(const Vec* view)
{
    if (!view) return;
    gluLookAt(view[0].x, view[0].y, view[0].z, view[1].x, view[1].y, view[1].z, view[2].x, view[2].y,
              view[2].z);
}

// The framebuffer object is bound in the target's context for good (the window's keeps its own
// framebuffer). Runs with the target's context current.
bool BuildFramebuffer(RenderTargetContext& target)
{
    GenRenderbuffers(1, &target.colourBuffer);
    BindRenderbuffer(kRenderbuffer, target.colourBuffer);
    RenderbufferStorage(kRenderbuffer, GL_RGBA8, kRenderTargetSize, kRenderTargetSize);
    GenRenderbuffers(1, &target.depthStencilBuffer);
    BindRenderbuffer(kRenderbuffer, target.depthStencilBuffer);
    RenderbufferStorage(kRenderbuffer, kDepth24Stencil8, kRenderTargetSize, kRenderTargetSize);
    BindRenderbuffer(kRenderbuffer, 0);
    GenFramebuffers(1, &target.framebuffer);
    BindFramebuffer(kFramebuffer, target.framebuffer);
    FramebufferRenderbuffer(kFramebuffer, kColourAttachment0, kRenderbuffer, target.colourBuffer);
    FramebufferRenderbuffer(kFramebuffer, kDepthStencilAttachment, kRenderbuffer, target.depthStencilBuffer);
    if (target.framebuffer == 0 || CheckFramebufferStatus(kFramebuffer) != kFramebufferComplete) return false;
    glDrawBuffer(kColourAttachment0);
    glReadBuffer(kColourAttachment0);
    glViewport(0, 0, kRenderTargetSize, kRenderTargetSize);
    return true;
}

// Window-context state the show starts from: no per-fragment operations, plain pixel transfers.
void SetWindowStartState()
{
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_DITHER);
    glDisable(GL_FOG);
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_LOGIC_OP);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_TEXTURE_1D);
    glDisable(GL_TEXTURE_2D);
    glPixelTransferi(GL_MAP_COLOR, 0);
    glPixelTransferf(GL_RED_SCALE, 1.0f);
    glPixelTransferf(GL_RED_BIAS, 0.0f);
    glPixelTransferf(GL_GREEN_SCALE, 1.0f);
    glPixelTransferf(GL_GREEN_BIAS, 0.0f);
    glPixelTransferf(GL_BLUE_SCALE, 1.0f);
    glPixelTransferf(GL_BLUE_BIAS, 0.0f);
    glPixelTransferf(GL_ALPHA_SCALE, 1.0f);
    glPixelTransferf(GL_ALPHA_BIAS, 0.0f);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
}

struct TextureShape {
    int width = 0, height = 0, format = 0;
};

// Level 0 of a texture, read with the binding restored.
TextureShape ShapeOf(uint32_t texture)
{
    int bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glBindTexture(GL_TEXTURE_2D, texture);
    TextureShape shape;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &shape.width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &shape.height);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &shape.format);
    glBindTexture(GL_TEXTURE_2D, static_cast<uint32_t>(bound));
    return shape;
}

}  // namespace

bool DrawTargetInto(RenderTargetContext& target, uint32_t texture, TargetExtent region)
{
    if (texture != 0) {
        const TextureShape shape = ShapeOf(texture);
        if (shape.width >= region.width && shape.height >= region.height) {
            if (target.drawTexture != texture) {
                FramebufferTexture2D(kFramebuffer, kColourAttachment0, GL_TEXTURE_2D, texture, 0);
                target.drawTexture = texture;
            }
            if (CheckFramebufferStatus(kFramebuffer) == kFramebufferComplete) return true;
        }
    }
    DrawTargetIntoRenderbuffer(target);
    return false;
}

void DrawTargetIntoRenderbuffer(RenderTargetContext& target)
{
    if (target.drawTexture == 0) return;
    FramebufferRenderbuffer(kFramebuffer, kColourAttachment0, kRenderbuffer, target.colourBuffer);
    target.drawTexture = 0;
}

uint32_t SpareTextureLike(RenderTargetContext& target, uint32_t texture)
{
    if (texture == 0) return 0;
    RenderTargetContext::Spare* spare = nullptr;
    for (RenderTargetContext::Spare& s : target.spares)
        if (s.of == texture || (!spare && s.of == 0)) spare = &s;
    if (!spare) return 0;
    const TextureShape shape = ShapeOf(texture);
    if (shape.width <= 0 || shape.height <= 0) return 0;
    if (spare->of == texture && spare->texture != 0) {
        const TextureShape have = ShapeOf(spare->texture);
        if (have.width == shape.width && have.height == shape.height && have.format == shape.format)
            return spare->texture;
    }
    int bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glBindTexture(GL_TEXTURE_2D, texture);
    int minFilter = 0, magFilter = 0, wrapS = 0, wrapT = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
    if (spare->texture == 0) glGenTextures(1, &spare->texture);
    spare->of = texture;
    glBindTexture(GL_TEXTURE_2D, spare->texture);
    glTexImage2D(GL_TEXTURE_2D, 0, shape.format, shape.width, shape.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrapS);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrapT);
    glBindTexture(GL_TEXTURE_2D, static_cast<uint32_t>(bound));
    return spare->texture;
}

void ClearRegion(TargetExtent region, uint32_t buffers)
{
    glScissor(0, 0, region.width, region.height);
    glEnable(GL_SCISSOR_TEST);
    glClear(buffers);
    glDisable(GL_SCISSOR_TEST);
}

bool RenderTargetViewport(int size, int32_t screenCopyMode, TargetExtent* viewport)
{
    if (screenCopyMode < 0) {
        if (size == 640)
            *viewport = {640, 480};
        else if (size == 800)
            *viewport = {800, 600};
        else
            *viewport = {size, size};
        return true;
    }
    if (size <= 600) {
        *viewport = {size, size};
        return true;
    }
    switch (screenCopyMode) {
        case 1:
            *viewport = {640, 480};
            return true;
        case 2:
            *viewport = {800, 600};
            return true;
        case 3:
            *viewport = {320, 240};
            return true;
        default:
            return false;
    }
}

TargetExtent RenderTargetCopySize(int size, int32_t screenCopyMode)
{
    TargetExtent copy{size, size};
    if (size == 640) {
        if (screenCopyMode == -1 || screenCopyMode == 1) copy = {640, 480};
        if (screenCopyMode == 2) copy = {800, 600};
    }
    if (size == 800) {
        if (screenCopyMode == -1 || screenCopyMode == 2) copy = {800, 600};
        if (screenCopyMode == 1) copy = {640, 480};
        if (screenCopyMode == 3) copy = {320, 240};
    }
    return copy;
}

void CreateRenderTarget(Engine& engine, RenderTargetContext& target)
{
    GlContextHandle window = CurrentGlContext();
    if (!window) FailCreation();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(65.0, 4.0 / 3.0, 0.001, 157.0);
    glMatrixMode(GL_MODELVIEW);

    GlContextHandle pbuffer = CreateSharedGlContext();
    if (!pbuffer) FailCreation();
    target.pbufferContext = pbuffer;
    target.windowContext = window;
    if (!MakeGlContextCurrent(pbuffer) || !BuildFramebuffer(target)) FailCreation();
    if (!MakeGlContextCurrent(window)) FailCreation();
    SetWindowStartState();
}

void MakeRenderTargetCurrent(RenderTargetContext& target)
{
    MakeGlContextCurrent(target.pbufferContext);
}

void RestoreWindowContext(Engine& engine, RenderTargetContext& target)
{
    MakeGlContextCurrent(target.windowContext);
    LoadOffscreenProjection(engine);
    glLoadIdentity();
}

void RenderSceneToTexture(Engine& engine, RenderTargetContext& target, SceneDrawRoutine depthPass,
                          SceneDrawRoutine colourPass, int depthTextureSlot, int depthPassSize,
                          int programIndex, const Vec* camera, const Vec* light, bool toPbuffer, int size,
                          int targetSlot, TargetClear clear)
{
    // Depth pass from the light. Its state changes run even without a routine, so the colour pass
    // always starts from the same place.
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    MakeRenderTargetCurrent(target);
    glEnable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glPushMatrix();
    glViewport(0, 0, depthPassSize, depthPassSize);
    // Without a routine nothing reads this depth: the colour pass clears its own before it draws.
    if (depthPass) glClear(GL_DEPTH_BUFFER_BIT);
    LoadOffscreenProjection(engine);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glPolygonOffset(5.0f, 5.0f);
    glEnable(GL_POLYGON_OFFSET_FILL);
    LookAt(light);
    glDisable(GL_TEXTURE_2D);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    BindEffect(engine, programIndex);
    BindEffect(engine, programIndex + 1);
    EnableVertexProfile(engine);
    DisableFragmentProfile(engine);
    glPushMatrix();
    // Depth is only written with the depth test on; without this the first pass of a run (before any
    // colour pass has turned it on in this context) would leave the depth texture empty.
    if (depthPass) glEnable(GL_DEPTH_TEST);
    if (depthPass) depthPass(engine);
    glPopMatrix();
    DisableVertexProfile(engine);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    BindSceneTexture(engine, depthTextureSlot);
    if (depthPass) glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, depthPassSize, depthPassSize);
    glDisable(GL_POLYGON_OFFSET_FILL);
    glPopMatrix();
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);

    // Colour pass from the camera. Only the region drawn or copied is ever read back, so only that
    // region of the 1024 x 1024 target is cleared.
    TargetExtent cleared{kRenderTargetSize, kRenderTargetSize};
    const TargetExtent copy = RenderTargetCopySize(size, engine.screenCopyMode);
    const uint32_t targetTexture = TextureForSlot(engine, targetSlot);
    bool direct = false;
    if (toPbuffer) {
        MakeRenderTargetCurrent(target);
        TargetExtent viewport;
        if (RenderTargetViewport(size, engine.screenCopyMode, &viewport)) {
            glViewport(0, 0, viewport.width, viewport.height);
            cleared = {std::max(viewport.width, copy.width), std::max(viewport.height, copy.height)};
        }
        // Drawn straight into the texture, only the copied region may change: what lies outside it
        // keeps its texels, as it did when the region was copied.
        direct = DrawTargetInto(target, targetTexture, copy);
        if (direct) cleared = copy;
    } else {
        MakeGlContextCurrent(target.windowContext);
    }
    glDisable(GL_BLEND);
    BindEffect(engine, programIndex);
    BindEffect(engine, programIndex + 1);
    EnableFragmentProfile(engine);
    EnableVertexProfile(engine);
    glCullFace(GL_BACK);
    glPushMatrix();
    const uint32_t buffers = clear == TargetClear::ColourAndDepth ? GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT
                             : clear == TargetClear::Colour       ? GL_COLOR_BUFFER_BIT
                                                                  : 0;
    if (buffers != 0 && toPbuffer)
        ClearRegion(cleared, buffers);
    else if (buffers != 0)
        glClear(buffers);
    LoadOffscreenProjection(engine);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    LookAt(camera);
    EnableFragmentProfile(engine);
    EnableVertexProfile(engine);

    // Texture matrix for projective texturing from the light.
    glPushMatrix();
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glTranslatef(0.5f, 0.5f, 0.5f);
    glScalef(0.5f, 0.5f, 0.5f);
    gluPerspective(75.0 + engine.fieldOfViewOffset, 1.0, engine.nearPlane, engine.farPlane);
    LookAt(light);
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();

    glDisable(GL_TEXTURE_2D);
    GetEffectParameter(engine, programIndex, kCameraPosParameter, "CameraPos");
    SetEffectParameter3f(engine, programIndex, kCameraPosParameter, engine.camera[0].x, engine.camera[0].y,
                         engine.camera[0].z);
    GetEffectParameter(engine, programIndex, kLightPosParameter, "LightPos");
    if (light)
        SetEffectParameter3f(engine, programIndex, kLightPosParameter, light[0].x, light[0].y, light[0].z);

    glPushMatrix();
    if (direct) {
        glScissor(0, 0, copy.width, copy.height);
        glEnable(GL_SCISSOR_TEST);
    }
    if (colourPass) colourPass(engine);
    if (direct) glDisable(GL_SCISSOR_TEST);
    glPopMatrix();
    DisableFragmentProfile(engine);
    DisableVertexProfile(engine);
    glPopMatrix();

    glPushMatrix();
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_TEXTURE_2D);

    if (direct) {
        glBindTexture(GL_TEXTURE_2D, targetTexture);  // bound as the copy leaves it
        DrawTargetIntoRenderbuffer(target);
    } else if (toPbuffer) {
        CopyScreenToTexture(targetTexture, copy.width, copy.height);
    }
    glDisable(GL_POLYGON_OFFSET_FILL);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
}
