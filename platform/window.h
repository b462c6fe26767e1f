// The main window over SDL2: display mode, window and OpenGL context, a message stream with the Windows
// message meanings and virtual-key codes, cursor, title, buffer swap, clipboard and performance counter.
// Main thread only.
#pragma once
#include <cstdint>

#include "platform/windows_names.h"  // WM_*, SC_*, VK_*

// The show's picture: always this size, whatever the window's (screenshots, captures and films too).
constexpr int kPictureWidth = 800;
constexpr int kPictureHeight = 600;

struct WindowMessage {
    uint32_t message = WM_NULL;
    uint64_t wParam = 0;
    int64_t lParam = 0;
};

// Display mode for full-screen: true when the display offers exactly width x height at 32 bits per
// pixel. Nothing else counts, since any other mode would silently change the picture's size.
bool RequestDisplayMode(int width, int height, int bitsPerPixel);

enum class WindowResult { Ok, VideoFailed, WindowFailed, ContextFailed, ActivateFailed };

// Creates the window with an OpenGL compatibility context (depth 32 asked, 24 accepted) and makes the
// context current; built with the GL 1.x layer, an OpenGL ES 3.0 context with the layer started on it.
// Full-screen uses the mode found by RequestDisplayMode; windowed gives a client area of width x height
// times the display's scale (display_scale.h), within the display's usable area and at the picture's shape,
// at (x, y) with the window manager's decorations around it, or from the start at full screen at the
// desktop's resolution (StartInDesktopFullScreen). Whatever size the window has, the show draws its
// kPictureWidth x kPictureHeight picture, shown centred at its shape with black bars; the pointer and the
// WM_SIZE message speak of that picture. Alt+Enter toggles full screen at the desktop's resolution.
WindowResult CreatePlatformWindow(const char* title, int x, int y, int width, int height, bool fullScreen);
bool ReleaseWindowContext();  // no context current; false when that fails
bool DeleteWindowContext();
bool DestroyPlatformWindow();
void ShutDownVideo();
void ShowAndFocusWindow();
void StartInDesktopFullScreen(bool start);  // for the windows created from now on
void SwapWindowBuffers();                   // the picture shown, scaled into the window where it differs
void SetWindowTitle(const char* title);
void SetCursorVisible(bool visible);
// Screen pixels: the window's origin plus the picture's pixel under the pointer (held at the picture's edge
// over the bars).
void GetCursorScreenPos(double& x, double& y);

// Messages, oldest first. A mouse move arrives as the three messages Windows sends for one
// (hit test, set cursor, move). Returns false when none is waiting.
bool PeekWindowMessage(WindowMessage& message);
void QueueQuitMessage(int exitCode);
// Waits until a message is waiting, or at most this long (milliseconds), taking none.
void WaitForWindowMessage(
    int milliseconds);  // a WM_QUIT follows the messages already waiting (as PostQuitMessage)

int64_t PerformanceCounter();
int64_t PerformanceFrequency();

// Reads the show's picture as drawn so far (the window context's back buffer, or its off-screen picture)
// (RGB, top row first) into pixels (w * h * 3).
void ReadWindowPixels(int width, int height, unsigned char* pixels);
