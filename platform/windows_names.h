// The Windows constants the shell reasons about, under their Windows names: window messages, system
// commands, virtual-key codes, message-box flags and results, and dialog commands. Our own definitions with
// Windows' values on every system (platform/windows/windows_names_check.cpp holds them to <windows.h> in
// the Windows build); <windows.h> itself stays inside platform/windows/.
#pragma once
#include <cstdint>

// On Windows, <GL/gl.h> brings in <windows.h>, whose macros carry these names (with these values): each
// definition first takes the macro of its name away, so that what follows reads our constant.

// Window messages.
#undef WM_NULL
constexpr uint32_t WM_NULL = 0x0000;
#undef WM_SIZE
constexpr uint32_t WM_SIZE = 0x0005;
#undef WM_ACTIVATE
constexpr uint32_t WM_ACTIVATE = 0x0006;
#undef WM_CLOSE
constexpr uint32_t WM_CLOSE = 0x0010;
#undef WM_QUIT
constexpr uint32_t WM_QUIT = 0x0012;
#undef WM_SETCURSOR
constexpr uint32_t WM_SETCURSOR = 0x0020;
#undef WM_NCHITTEST
constexpr uint32_t WM_NCHITTEST = 0x0084;
#undef WM_KEYDOWN
constexpr uint32_t WM_KEYDOWN = 0x0100;
#undef WM_KEYUP
constexpr uint32_t WM_KEYUP = 0x0101;
#undef WM_CHAR
constexpr uint32_t WM_CHAR = 0x0102;
#undef WM_INITDIALOG
constexpr uint32_t WM_INITDIALOG = 0x0110;
#undef WM_COMMAND
constexpr uint32_t WM_COMMAND = 0x0111;
#undef WM_SYSCOMMAND
constexpr uint32_t WM_SYSCOMMAND = 0x0112;
#undef WM_MOUSEMOVE
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
#undef WM_LBUTTONDOWN
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
#undef WM_LBUTTONUP
constexpr uint32_t WM_LBUTTONUP = 0x0202;
#undef WM_RBUTTONDOWN
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
#undef WM_RBUTTONUP
constexpr uint32_t WM_RBUTTONUP = 0x0205;
#undef WM_MBUTTONDOWN
constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
#undef WM_MBUTTONUP
constexpr uint32_t WM_MBUTTONUP = 0x0208;
#undef WM_MOUSEWHEEL
constexpr uint32_t WM_MOUSEWHEEL = 0x020A;

// System commands (WM_SYSCOMMAND's wParam).
#undef SC_SCREENSAVE
constexpr uint32_t SC_SCREENSAVE = 0xF140;
#undef SC_MONITORPOWER
constexpr uint32_t SC_MONITORPOWER = 0xF170;

// Virtual-key codes.
#undef VK_BACK
#undef VK_TAB
#undef VK_RETURN
#undef VK_SHIFT
#undef VK_CONTROL
#undef VK_MENU
#undef VK_ESCAPE
#undef VK_SPACE
#undef VK_LEFT
#undef VK_UP
#undef VK_RIGHT
#undef VK_DOWN
#undef VK_F1
constexpr int VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11,
              VK_MENU = 0x12, VK_ESCAPE = 0x1B, VK_SPACE = 0x20, VK_LEFT = 0x25, VK_UP = 0x26,
              VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_F1 = 0x70;

// Message-box flags and the buttons a box returns.
#undef MB_OK
constexpr unsigned MB_OK = 0x0;
#undef MB_YESNO
constexpr unsigned MB_YESNO = 0x4;
#undef MB_ICONSTOP
constexpr unsigned MB_ICONSTOP = 0x10;
#undef MB_ICONEXCLAMATION
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
#undef MB_ICONINFORMATION
constexpr unsigned MB_ICONINFORMATION = 0x40;
#undef IDOK
constexpr int IDOK = 1;
#undef IDCANCEL
constexpr int IDCANCEL = 2;
#undef IDYES
constexpr int IDYES = 6;
#undef IDNO
constexpr int IDNO = 7;

// A button's notification in WM_COMMAND.
#undef BN_CLICKED
constexpr unsigned BN_CLICKED = 0;
