// The main window over SDL2: display mode, window and OpenGL context, a message stream with the Windows
// message meanings and virtual-key codes, cursor, title, buffer swap, clipboard and performance counter.
// Main thread only.
#pragma once
#include <cstdint>

// Message kinds the window procedure reasons about (Windows values).
constexpr uint32_t WM_NULL = 0x0000;
constexpr uint32_t WM_SIZE = 0x0005;
constexpr uint32_t WM_ACTIVATE = 0x0006;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_SETCURSOR = 0x0020;
constexpr uint32_t WM_NCHITTEST = 0x0084;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_KEYUP = 0x0101;
constexpr uint32_t WM_CHAR = 0x0102;
constexpr uint32_t WM_SYSCOMMAND = 0x0112;
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_RBUTTONUP = 0x0205;
constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr uint32_t WM_MBUTTONUP = 0x0208;
constexpr uint32_t WM_MOUSEWHEEL = 0x020A;

constexpr uint32_t SC_SCREENSAVE = 0xF140;
constexpr uint32_t SC_MONITORPOWER = 0xF170;

// Virtual-key codes (Windows values).
constexpr int VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11,
              VK_MENU = 0x12, VK_ESCAPE = 0x1B, VK_SPACE = 0x20, VK_LEFT = 0x25, VK_UP = 0x26,
              VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_F1 = 0x70;

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
// context current; built with the GL 1.x layer, an OpenGL ES 3.0 context with the layer started on it. Full-screen uses the mode found by RequestDisplayMode; windowed gives an 800 x 600
// client area at (x, y) with the window manager's decorations around it.
WindowResult CreatePlatformWindow(const char* title, int x, int y, int width, int height, bool fullScreen);
bool ReleaseWindowContext();  // no context current; false when that fails
bool DeleteWindowContext();
bool DestroyPlatformWindow();
void ShutDownVideo();
void ShowAndFocusWindow();
void SwapWindowBuffers();
void SetWindowTitle(const char* title);
void SetCursorVisible(bool visible);
void GetCursorScreenPos(double& x, double& y);  // screen pixels
void GetWindowClientSize(int& width, int& height);

// Messages, oldest first. A mouse move arrives as the three messages Windows sends for one
// (hit test, set cursor, move). Returns false when none is waiting.
bool PeekWindowMessage(WindowMessage& message);
void PostQuitMessage(int exitCode);  // a WM_QUIT follows the messages already waiting

int64_t PerformanceCounter();
int64_t PerformanceFrequency();

// Places the text on the clipboard; it is also handed to xclip where installed, which keeps serving it
// after the show exits (an X11 clipboard set by SDL alone empties when the owner ends).
bool SetClipboardText(const char* text);

// Reads the back buffer of the current window context (RGB, top row first) into pixels (w * h * 3).
void ReadWindowPixels(int width, int height, unsigned char* pixels);
