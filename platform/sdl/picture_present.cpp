// The picture's present (see sdl_window.h). While the window's drawable has the picture's size the show
// draws straight into the back buffer and nothing here runs: every pixel is the show's own. Once the size
// differs (a display scale, a window manager's size, full screen at the desktop's resolution), the window's
// context draws into a framebuffer object of the picture's size instead, for the rest of the run, and each
// swap blits it into the window, centred at its shape with black bars, linearly filtered (1:1 stays exact).
// The driver's functions are called directly and every setting they touch is put back, so the show's GL
// state (or the GL 1.x layer's record of it) never notices. Main thread, window's context current.
#include <SDL.h>

#include "platform/sdl/sdl_window.h"
#include "platform/window.h"

namespace {

// Names of OpenGL 3.0 / OpenGL ES 3.0, the same in both.
constexpr unsigned kFramebuffer = 0x8D40, kReadFramebuffer = 0x8CA8, kDrawFramebuffer = 0x8CA9;
constexpr unsigned kDrawFramebufferBinding = 0x8CA6, kReadFramebufferBinding = 0x8CAA;
constexpr unsigned kRenderbuffer = 0x8D41, kRenderbufferBinding = 0x8CA7;
constexpr unsigned kColourAttachment0 = 0x8CE0, kDepthAttachment = 0x8D00, kFramebufferComplete = 0x8CD5;
constexpr unsigned kRgb8 = 0x8051, kRgba8 = 0x8058, kDepthComponent24 = 0x81A6;
constexpr unsigned kColourBufferBit = 0x4000, kDepthBufferBit = 0x100, kScissorTest = 0x0C11;
constexpr unsigned kScissorBox = 0x0C10, kColourClearValue = 0x0C22, kColourWritemask = 0x0C23;
constexpr unsigned kNearest = 0x2600, kLinear = 0x2601;

struct Functions {
    void (*genFramebuffers)(int, unsigned*) = nullptr;
    void (*deleteFramebuffers)(int, const unsigned*) = nullptr;
    void (*bindFramebuffer)(unsigned, unsigned) = nullptr;
    void (*framebufferRenderbuffer)(unsigned, unsigned, unsigned, unsigned) = nullptr;
    unsigned (*checkFramebufferStatus)(unsigned) = nullptr;
    void (*genRenderbuffers)(int, unsigned*) = nullptr;
    void (*deleteRenderbuffers)(int, const unsigned*) = nullptr;
    void (*bindRenderbuffer)(unsigned, unsigned) = nullptr;
    void (*renderbufferStorage)(unsigned, unsigned, int, int) = nullptr;
    void (*blitFramebuffer)(int, int, int, int, int, int, int, int, unsigned, unsigned) = nullptr;
    void (*getIntegerv)(unsigned, int*) = nullptr;
    void (*getFloatv)(unsigned, float*) = nullptr;
    void (*getBooleanv)(unsigned, unsigned char*) = nullptr;
    unsigned char (*isEnabled)(unsigned) = nullptr;
    void (*enable)(unsigned) = nullptr;
    void (*disable)(unsigned) = nullptr;
    void (*scissor)(int, int, int, int) = nullptr;
    void (*clearColor)(float, float, float, float) = nullptr;
    void (*colorMask)(unsigned char, unsigned char, unsigned char, unsigned char) = nullptr;
    void (*clear)(unsigned) = nullptr;
};

struct Picture {
    bool tried = false;  // taken up, or found impossible (then the show keeps drawing into the window)
    unsigned framebuffer = 0, colour = 0, depth = 0;
    Functions gl;
} picture;

template <typename F>
bool Find(F& f, const char* name)
{
    f = reinterpret_cast<F>(WindowContextEntryPoint(name));
    return f != nullptr;
}

bool FindFunctions(Functions& gl)
{
    return Find(gl.genFramebuffers, "glGenFramebuffers") &&
           Find(gl.deleteFramebuffers, "glDeleteFramebuffers") &&
           Find(gl.bindFramebuffer, "glBindFramebuffer") &&
           Find(gl.framebufferRenderbuffer, "glFramebufferRenderbuffer") &&
           Find(gl.checkFramebufferStatus, "glCheckFramebufferStatus") &&
           Find(gl.genRenderbuffers, "glGenRenderbuffers") &&
           Find(gl.deleteRenderbuffers, "glDeleteRenderbuffers") &&
           Find(gl.bindRenderbuffer, "glBindRenderbuffer") &&
           Find(gl.renderbufferStorage, "glRenderbufferStorage") &&
           Find(gl.blitFramebuffer, "glBlitFramebuffer") && Find(gl.getIntegerv, "glGetIntegerv") &&
           Find(gl.getFloatv, "glGetFloatv") && Find(gl.getBooleanv, "glGetBooleanv") &&
           Find(gl.isEnabled, "glIsEnabled") && Find(gl.enable, "glEnable") &&
           Find(gl.disable, "glDisable") && Find(gl.scissor, "glScissor") &&
           Find(gl.clearColor, "glClearColor") && Find(gl.colorMask, "glColorMask") &&
           Find(gl.clear, "glClear");
}

// The settings a present or a take-up changes, read before and put back after.
struct SavedState {
    int drawFramebuffer = 0, readFramebuffer = 0, renderbuffer = 0;
    int scissorBox[4] = {};
    bool scissorOn = false;
    float clearColour[4] = {};
    unsigned char colourMask[4] = {};
};

SavedState Save(const Functions& gl)
{
    SavedState s;
    gl.getIntegerv(kDrawFramebufferBinding, &s.drawFramebuffer);
    gl.getIntegerv(kReadFramebufferBinding, &s.readFramebuffer);
    gl.getIntegerv(kRenderbufferBinding, &s.renderbuffer);
    gl.getIntegerv(kScissorBox, s.scissorBox);
    s.scissorOn = gl.isEnabled(kScissorTest) != 0;
    gl.getFloatv(kColourClearValue, s.clearColour);
    gl.getBooleanv(kColourWritemask, s.colourMask);
    return s;
}

void Restore(const Functions& gl, const SavedState& s)
{
    gl.bindFramebuffer(kDrawFramebuffer, static_cast<unsigned>(s.drawFramebuffer));
    gl.bindFramebuffer(kReadFramebuffer, static_cast<unsigned>(s.readFramebuffer));
    gl.bindRenderbuffer(kRenderbuffer, static_cast<unsigned>(s.renderbuffer));
    gl.scissor(s.scissorBox[0], s.scissorBox[1], s.scissorBox[2], s.scissorBox[3]);
    if (s.scissorOn)
        gl.enable(kScissorTest);
    else
        gl.disable(kScissorTest);
    gl.clearColor(s.clearColour[0], s.clearColour[1], s.clearColour[2], s.clearColour[3]);
    gl.colorMask(s.colourMask[0], s.colourMask[1], s.colourMask[2], s.colourMask[3]);
}

void DeleteObjects(const Functions& gl)
{
    if (picture.framebuffer) gl.deleteFramebuffers(1, &picture.framebuffer);
    if (picture.colour) gl.deleteRenderbuffers(1, &picture.colour);
    if (picture.depth) gl.deleteRenderbuffers(1, &picture.depth);
    picture.framebuffer = picture.colour = picture.depth = 0;
}

// The off-screen picture: colour as deep as the window's (no alpha where the window has none, so that
// blending with the destination's alpha gives what it gives in the window) and a 24-bit depth buffer,
// cleared to black. False, with nothing left behind, when the driver cannot make it.
bool MakePicture(Functions& gl)
{
    int alphaBits = 0;
    SDL_GL_GetAttribute(SDL_GL_ALPHA_SIZE, &alphaBits);
    const SavedState saved = Save(gl);
    gl.genRenderbuffers(1, &picture.colour);
    gl.bindRenderbuffer(kRenderbuffer, picture.colour);
    gl.renderbufferStorage(kRenderbuffer, alphaBits > 0 ? kRgba8 : kRgb8, kPictureWidth, kPictureHeight);
    gl.genRenderbuffers(1, &picture.depth);
    gl.bindRenderbuffer(kRenderbuffer, picture.depth);
    gl.renderbufferStorage(kRenderbuffer, kDepthComponent24, kPictureWidth, kPictureHeight);
    gl.genFramebuffers(1, &picture.framebuffer);
    gl.bindFramebuffer(kFramebuffer, picture.framebuffer);
    gl.framebufferRenderbuffer(kFramebuffer, kColourAttachment0, kRenderbuffer, picture.colour);
    gl.framebufferRenderbuffer(kFramebuffer, kDepthAttachment, kRenderbuffer, picture.depth);
    const bool complete =
        picture.framebuffer != 0 && gl.checkFramebufferStatus(kFramebuffer) == kFramebufferComplete;
    if (complete) {
        gl.disable(kScissorTest);
        gl.colorMask(1, 1, 1, 1);
        gl.clearColor(0.0f, 0.0f, 0.0f, 1.0f);
        gl.clear(kColourBufferBit | kDepthBufferBit);
    }
    Restore(gl, saved);
    if (!complete) DeleteObjects(gl);
    return complete;
}

// Black over the window's parts outside the box (GL rows: bottom first).
void ClearBars(const Functions& gl, const ScreenBox& box, int width, int height)
{
    const int boxBottom = height - (box.y + box.height);
    const ScreenBox bars[4] = {{0, 0, box.x, height},
                               {box.x + box.width, 0, width - box.x - box.width, height},
                               {box.x, 0, box.width, boxBottom},
                               {box.x, boxBottom + box.height, box.width, box.y}};
    gl.enable(kScissorTest);
    gl.colorMask(1, 1, 1, 1);
    gl.clearColor(0.0f, 0.0f, 0.0f, 1.0f);
    for (const ScreenBox& bar : bars) {
        if (bar.width <= 0 || bar.height <= 0) continue;
        gl.scissor(bar.x, bar.y, bar.width, bar.height);
        gl.clear(kColourBufferBit);
    }
}

}  // namespace

ScreenBox PictureBoxInWindow(SDL_Window* window)
{
    int width = kPictureWidth, height = kPictureHeight;
    // Window pixels, which is what pointer events count in (drawable pixels differ only where the system
    // scales windows itself).
    if (window) SDL_GetWindowSize(window, &width, &height);
    if (!picture.framebuffer) return ScreenBox{0, 0, kPictureWidth, kPictureHeight};
    return FitPicture(kPictureWidth, kPictureHeight, width, height);
}

bool PictureIsOffscreen()
{
    return picture.framebuffer != 0;
}

void PresentPictureBeforeSwap(SDL_Window* window)
{
    if (!picture.framebuffer || !window) return;
    const Functions& gl = picture.gl;
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);
    const ScreenBox box = FitPicture(kPictureWidth, kPictureHeight, width, height);
    if (box.width <= 0 || box.height <= 0) return;
    const SavedState saved = Save(gl);
    gl.bindFramebuffer(kReadFramebuffer, picture.framebuffer);
    gl.bindFramebuffer(kDrawFramebuffer, 0);
    ClearBars(gl, box, width, height);
    gl.disable(kScissorTest);  // a blit is clipped by the scissor box
    const int bottom = height - (box.y + box.height);
    const bool exact = box.width == kPictureWidth && box.height == kPictureHeight;
    gl.blitFramebuffer(0, 0, kPictureWidth, kPictureHeight, box.x, bottom, box.x + box.width,
                       bottom + box.height, kColourBufferBit, exact ? kNearest : kLinear);
    Restore(gl, saved);
}

void FollowWindowSizeAfterSwap(SDL_Window* window)
{
    if (picture.tried || !window) return;
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);
    if (width == kPictureWidth && height == kPictureHeight) return;
    if (!FindFunctions(picture.gl)) {
        picture.tried = true;
        SDL_Log("the window's size differs from the picture's, and the driver cannot draw off screen");
        return;
    }
    if (!MakePicture(picture.gl)) {
        picture.tried = true;
        return;
    }
    // Bound for the show only while its window's own context is current; else tried again after the next
    // frame.
    if (!BindShowFramebuffer(picture.framebuffer)) {
        DeleteObjects(picture.gl);
        return;
    }
    picture.tried = true;
}

void ForgetPicture(bool contextCurrent)
{
    if (picture.framebuffer && contextCurrent) DeleteObjects(picture.gl);
    picture = Picture{};
}
