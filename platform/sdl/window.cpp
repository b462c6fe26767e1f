// The main window over SDL2 (see window.h). SDL events are turned into Windows-style messages in a
// small queue, so the window procedure reads as it would on Windows.
#include "platform/window.h"

#include <GL/gl.h>
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "platform/display_scale.h"
#include "platform/page.h"
#include "platform/screen_fit.h"
#include "platform/sdl/game_controller.h"
#include "platform/sdl/sdl_window.h"
#include "platform/system.h"

namespace {

SDL_Window* window = nullptr;
SDL_GLContext context = nullptr;
bool videoStarted = false;
bool haveDisplayMode = false;
SDL_DisplayMode displayMode{};
bool quitPosted = false;
int quitCode = 0;
bool exactFullScreen = false;           // the display's mode was switched for the window
bool desktopFullScreenAtStart = false;  // --fullscreen desktop

// The pointer as the last motion event over the main window saw it, in window coordinates. SDL's global
// pointer state on X11 is a cache that can lag one move behind (warped or synthetic pointers); the event
// carries the position the move ended at.
bool pointerOverWindow = false;
int pointerX = 0, pointerY = 0;

constexpr int kQueueSize = 64;
WindowMessage queue[kQueueSize];
int queueHead = 0, queueCount = 0;

void Push(uint32_t message, uint64_t wParam = 0, int64_t lParam = 0)
{
    if (queueCount == kQueueSize) return;  // never happens: one event gives at most three messages
    queue[(queueHead + queueCount) % kQueueSize] = WindowMessage{message, wParam, lParam};
    ++queueCount;
}

bool StartVideo()
{
    if (videoStarted) return true;
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");  // the click that activates the window counts
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "SDL video: %s\n", SDL_GetError());
        return false;
    }
    videoStarted = true;
    StartGameControllers();
    return true;
}

int VirtualKey(SDL_Keycode key)
{
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
    switch (key) {
        case SDLK_ESCAPE:
            return VK_ESCAPE;
        case SDLK_LEFT:
            return VK_LEFT;
        case SDLK_UP:
            return VK_UP;
        case SDLK_RIGHT:
            return VK_RIGHT;
        case SDLK_DOWN:
            return VK_DOWN;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return VK_RETURN;
        case SDLK_SPACE:
            return VK_SPACE;
        case SDLK_TAB:
            return VK_TAB;
        case SDLK_BACKSPACE:
            return VK_BACK;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return VK_SHIFT;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return VK_CONTROL;
        case SDLK_LALT:
        case SDLK_RALT:
            return VK_MENU;
        default:
            return 0;
    }
}

int64_t PackPoint(int x, int y)
{
    return (static_cast<int64_t>(y & 0xFFFF) << 16) | (x & 0xFFFF);
}

// A point in the window as the point of the picture under it (the bars count as the picture's edge).
int64_t PackPicturePoint(int x, int y)
{
    double px = x, py = y;
    WindowToPicture(PictureBoxInWindow(window), kPictureWidth, kPictureHeight, x, y, true, px, py);
    return PackPoint(static_cast<int>(px), static_cast<int>(py));
}

bool InDesktopFullScreen()
{
    return window &&
           (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
}

// Alt+Enter: full screen at the desktop's own resolution and back to the window at its size. Not from the
// display mode the show switched to (its full screen stays as it is), nor in a page (the browser's own).
void ToggleDesktopFullScreen()
{
    if (!window || exactFullScreen || !SystemCan(SystemAbility::DisplayModes)) return;
    const bool leaving = InDesktopFullScreen();
    if (SDL_SetWindowFullscreen(window, leaving ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
        std::fprintf(stderr, "quarnel: full screen: %s\n", SDL_GetError());
        return;
    }
    SDL_ShowCursor(leaving ? SDL_ENABLE : SDL_DISABLE);  // hidden while full screen, as in the show's own
}

// A window moved to a monitor of another scale takes that scale's size (a scale set by hand stays).
void FollowDisplayScale(int display)
{
    if (!window || exactFullScreen || InDesktopFullScreen() || DisplayScaleByHand()) return;
    const double scale = DisplayScale(display);
    SDL_Rect usable{};
    if (scale == 1.0 || SDL_GetDisplayUsableBounds(display, &usable) != 0) usable = SDL_Rect{};
    const ScaledWindow size = ScaleWindow(kPictureWidth, kPictureHeight, scale, usable.w, usable.h);
    int width = 0, height = 0;
    SDL_GetWindowSize(window, &width, &height);
    if (width != size.width || height != size.height) SDL_SetWindowSize(window, size.width, size.height);
}

// One SDL event becomes zero or more messages; anything without a Windows meaning passes as WM_NULL,
// which takes the default path like any other message would.
void Translate(const SDL_Event& e)
{
    if (TranslateControllerEvent(e, window, Push)) return;  // pads and touch screens, as keys and pointer
    switch (e.type) {
        case SDL_QUIT:
            Push(WM_CLOSE);
            break;
        case SDL_WINDOWEVENT:
            switch (e.window.event) {
                case SDL_WINDOWEVENT_CLOSE:
                    Push(WM_CLOSE);
                    break;
                case SDL_WINDOWEVENT_LEAVE:
                    pointerOverWindow = false;  // outside, only the global state follows it
                    Push(WM_NULL);
                    break;
                case SDL_WINDOWEVENT_SIZE_CHANGED:
                    // The show's client area is its picture, whatever size the window has.
                    Push(WM_SIZE, 0, PackPoint(kPictureWidth, kPictureHeight));
                    break;
                case SDL_WINDOWEVENT_DISPLAY_CHANGED:
                    FollowDisplayScale(e.window.data1);
                    Push(WM_NULL);
                    break;
                case SDL_WINDOWEVENT_MINIMIZED:
                    Push(WM_ACTIVATE, (1u << 16) | 0u);
                    break;
                case SDL_WINDOWEVENT_RESTORED:
                    Push(WM_ACTIVATE, 1u);
                    break;
                case SDL_WINDOWEVENT_FOCUS_GAINED:
                    Push(WM_ACTIVATE, 1u);
                    break;
                case SDL_WINDOWEVENT_FOCUS_LOST: {
                    const bool minimised = window && (SDL_GetWindowFlags(window) & SDL_WINDOW_MINIMIZED);
                    Push(WM_ACTIVATE, (minimised ? (1u << 16) : 0u));
                    break;
                }
                default:
                    Push(WM_NULL);
                    break;
            }
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            const bool enter = e.key.keysym.sym == SDLK_RETURN || e.key.keysym.sym == SDLK_KP_ENTER;
            if (enter && (e.key.keysym.mod & KMOD_ALT) && SystemCan(SystemAbility::DisplayModes)) {
                if (e.type == SDL_KEYDOWN && !e.key.repeat) ToggleDesktopFullScreen();
                Push(WM_NULL);  // the window's business, not the show's key
                break;
            }
            const int vk = VirtualKey(e.key.keysym.sym);
            if (vk == 0) {
                Push(WM_NULL);
                break;
            }
            Push(e.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, static_cast<uint64_t>(vk));
            break;
        }
        case SDL_MOUSEMOTION: {
            if (window && e.motion.windowID == SDL_GetWindowID(window)) {
                pointerOverWindow = true;
                pointerX = e.motion.x;
                pointerY = e.motion.y;
            }
            const int64_t point = PackPicturePoint(e.motion.x, e.motion.y);
            Push(WM_NCHITTEST, 0, point);
            Push(WM_SETCURSOR, 0, 0);
            Push(WM_MOUSEMOVE, 0, point);
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const bool down = e.type == SDL_MOUSEBUTTONDOWN;
            const int64_t point = PackPicturePoint(e.button.x, e.button.y);
            switch (e.button.button) {
                case SDL_BUTTON_LEFT:
                    Push(down ? WM_LBUTTONDOWN : WM_LBUTTONUP, 0, point);
                    break;
                case SDL_BUTTON_RIGHT:
                    Push(down ? WM_RBUTTONDOWN : WM_RBUTTONUP, 0, point);
                    break;
                case SDL_BUTTON_MIDDLE:
                    Push(down ? WM_MBUTTONDOWN : WM_MBUTTONUP, 0, point);
                    break;
                default:
                    Push(WM_NULL);
                    break;
            }
            break;
        }
        case SDL_MOUSEWHEEL: {
            // One notch is 120 in the high word, as Windows reports it.
            const int delta = (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y) * 120;
            Push(WM_MOUSEWHEEL, static_cast<uint64_t>(static_cast<uint16_t>(delta)) << 16);
            break;
        }
        default:
            Push(WM_NULL);
            break;
    }
}

}  // namespace

SDL_Window* MainSdlWindow()
{
    return window;
}

SDL_GLContext MainGlContext()
{
    return context;
}

void SetMainSdlWindow(SDL_Window* held, SDL_GLContext heldContext)
{
    window = held;
    context = heldContext;
}

int SwapIntervalThroughSdl(int interval)
{
    return SDL_GL_SetSwapInterval(interval) == 0 ? 1 : 0;
}

bool RequestDisplayMode(int width, int height, int bitsPerPixel)
{
    haveDisplayMode = false;
    if (!StartVideo()) return false;
    // A page has no display modes: full screen scales the canvas, keeping its 4:3.
    if (!SystemCan(SystemAbility::DisplayModes)) return true;
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) != 0) continue;
        // X servers report 32-bit modes as 24 bits of colour in 4 bytes.
        const bool deepEnough = bitsPerPixel <= 32 && SDL_BYTESPERPIXEL(mode.format) == 4;
        if (mode.w == width && mode.h == height && deepEnough) {
            displayMode = mode;
            haveDisplayMode = true;
            return true;
        }
    }
    return false;
}

WindowResult CreatePlatformWindow(const char* title, int x, int y, int width, int height, bool fullScreen)
{
    if (!StartVideo()) return WindowResult::VideoFailed;
    SetWindowContextAttributes();
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);

    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    // A page takes the screen itself, keeping the canvas's shape (a tap has to allow it).
    PreparePageCanvas(width, height, fullScreen);
    const bool desktop = SystemCan(SystemAbility::DisplayModes);
    exactFullScreen = fullScreen && desktop;
    if (exactFullScreen) flags |= SDL_WINDOW_FULLSCREEN;
    int px = fullScreen ? 0 : x, py = fullScreen ? 0 : y;
    if (!fullScreen && desktop) {
        // A window at the display's scale, within its usable area; a scale given by hand that does not fit
        // is said once. At scale 1 the window is 800 x 600 as it always was, even on a smaller screen.
        const double scale = DisplayScale(0);
        SDL_Rect usable{};
        if (scale == 1.0 || SDL_GetDisplayUsableBounds(0, &usable) != 0) usable = SDL_Rect{};
        const ScaledWindow size = ScaleWindow(width, height, scale, usable.w, usable.h);
        if (size.limited) {
            if (DisplayScaleByHand())
                std::fprintf(stderr,
                             "quarnel: --scale %g makes the window larger than the display; %d x %d\n", scale,
                             size.width, size.height);
            px = usable.x;
            py = usable.y;
        }
        width = size.width;
        height = size.height;
        if (desktopFullScreenAtStart) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    }
    const bool titled = SystemCan(SystemAbility::WindowTitles);
    if (!titled) ReportPageWindowTitle(title);
    // Depth 32 is asked for; most drivers offer 24, which is accepted.
    for (int depth : {32, 24, 16}) {
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth);
        window = SDL_CreateWindow(titled ? title : nullptr, px, py, width, height, flags);
        if (window) break;
    }
    if (!window) {
        std::fprintf(stderr, "SDL window: %s\n", SDL_GetError());
        return WindowResult::WindowFailed;
    }
    if (fullScreen && haveDisplayMode) SDL_SetWindowDisplayMode(window, &displayMode);
    context = SDL_GL_CreateContext(window);
    if (!context) {
        std::fprintf(stderr, "SDL GL context: %s\n", SDL_GetError());
        return WindowResult::ContextFailed;
    }
    if (SDL_GL_MakeCurrent(window, context) != 0) return WindowResult::ActivateFailed;
    if (!StartWindowContext(window)) return WindowResult::ContextFailed;
    FollowWindowSizeAfterSwap(window);  // the first frame already goes to the off-screen picture if need be
    if (flags & SDL_WINDOW_FULLSCREEN_DESKTOP) SDL_ShowCursor(SDL_DISABLE);
    SDL_DisableScreenSaver();  // the show refuses the screen saver and monitor power-down
    return WindowResult::Ok;
}

bool ReleaseWindowContext()
{
    if (!window) return true;
    return SDL_GL_MakeCurrent(window, nullptr) == 0;
}

bool DeleteWindowContext()
{
    if (!context) return false;
    // What was made on the context goes with it; it has to be current for that.
    if (window && SDL_GL_MakeCurrent(window, context) == 0) StopWindowContext();
    SDL_GL_DeleteContext(context);
    context = nullptr;
    return true;
}

bool DestroyPlatformWindow()
{
    if (!window) return false;
    // A page's window is its canvas, which SDL would shrink to nothing: the page keeps the last frame.
    if (SystemCan(SystemAbility::DestroyWindows)) SDL_DestroyWindow(window);
    window = nullptr;
    pointerOverWindow = false;
    return true;
}

void ShutDownVideo()
{
    // (In a page it would shrink the canvas too.)
    if (videoStarted && SystemCan(SystemAbility::DestroyWindows)) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    videoStarted = false;
}

void ShowAndFocusWindow()
{
    if (!window) return;
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);
}

void SwapWindowBuffers()
{
    FlushWindowContext();
    if (!window) return;
    PresentPictureBeforeSwap(window);
    SDL_GL_SwapWindow(window);
    FollowWindowSizeAfterSwap(window);
}

void StartInDesktopFullScreen(bool start)
{
    desktopFullScreenAtStart = start;
}

void SetWindowTitle(const char* title)
{
    if (!SystemCan(SystemAbility::WindowTitles)) {
        ReportPageWindowTitle(title);
    } else if (window) {
        SDL_SetWindowTitle(window, title);
    }
}

void SetCursorVisible(bool visible)
{
    SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

void GetCursorScreenPos(double& x, double& y)
{
    int ix = 0, iy = 0;
    if (window && pointerOverWindow) {
        SDL_GetWindowPosition(window, &ix, &iy);
        ix += pointerX;
        iy += pointerY;
    } else {
        SDL_GetGlobalMouseState(&ix, &iy);
    }
    x = ix;
    y = iy;
    if (!window) return;
    // The window's origin stays where it is; the rest is the picture's pixel under the pointer, so that
    // the camera follows the pointer on the picture at any size.
    int wx = 0, wy = 0;
    SDL_GetWindowPosition(window, &wx, &wy);
    double px = 0.0, py = 0.0;
    WindowToPicture(PictureBoxInWindow(window), kPictureWidth, kPictureHeight, ix - wx, iy - wy,
                    pointerOverWindow, px, py);
    x = wx + px;
    y = wy + py;
}

void WaitForWindowMessage(int milliseconds)
{
    if (queueCount > 0 || quitPosted) return;
    SDL_WaitEventTimeout(nullptr, milliseconds);  // the event stays queued for the next peek
}

bool PeekWindowMessage(WindowMessage& message)
{
    if (queueCount == 0) {
        SDL_Event e;
        while (queueCount == 0 && SDL_PollEvent(&e)) Translate(e);
        if (queueCount == 0) StepControllers(window, Push);  // a stick or finger held acts on
    }
    if (queueCount > 0) {
        message = queue[queueHead];
        queueHead = (queueHead + 1) % kQueueSize;
        --queueCount;
        return true;
    }
    if (quitPosted) {
        quitPosted = false;
        message = WindowMessage{WM_QUIT, static_cast<uint64_t>(quitCode), 0};
        return true;
    }
    return false;
}

void QueueQuitMessage(int exitCode)
{
    quitPosted = true;
    quitCode = exitCode;
}

int64_t PerformanceCounter()
{
    return static_cast<int64_t>(SDL_GetPerformanceCounter());
}
int64_t PerformanceFrequency()
{
    return static_cast<int64_t>(SDL_GetPerformanceFrequency());
}

void ReadWindowPixels(int width, int height, unsigned char* pixels)
{
    // Tightly packed rows for the caller; the window's packing setting is left as the show set it.
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(PictureIsOffscreen() ? 0x8CE0 : GL_BACK);  // GL_COLOR_ATTACHMENT0 of the picture
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    // GL delivers the bottom row first; callers want the top row first.
    const int stride = width * 3;
    for (int y = 0; y < height / 2; ++y) {
        unsigned char* a = pixels + y * stride;
        unsigned char* b = pixels + (height - 1 - y) * stride;
        for (int i = 0; i < stride; ++i) {
            const unsigned char t = a[i];
            a[i] = b[i];
            b[i] = t;
        }
    }
}
