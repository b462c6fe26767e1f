// Compile-time check of the Windows build: our own Windows constants (windows_names.h) have the values
// <windows.h> gives them. Nothing here runs.
#include <cstdint>

namespace ours {
#include "platform/windows_names.h"
}  // namespace ours

#include <windows.h>

static_assert(ours::WM_NULL == WM_NULL, "WM_NULL");
static_assert(ours::WM_SIZE == WM_SIZE, "WM_SIZE");
static_assert(ours::WM_ACTIVATE == WM_ACTIVATE, "WM_ACTIVATE");
static_assert(ours::WM_CLOSE == WM_CLOSE, "WM_CLOSE");
static_assert(ours::WM_QUIT == WM_QUIT, "WM_QUIT");
static_assert(ours::WM_SETCURSOR == WM_SETCURSOR, "WM_SETCURSOR");
static_assert(ours::WM_NCHITTEST == WM_NCHITTEST, "WM_NCHITTEST");
static_assert(ours::WM_KEYDOWN == WM_KEYDOWN, "WM_KEYDOWN");
static_assert(ours::WM_KEYUP == WM_KEYUP, "WM_KEYUP");
static_assert(ours::WM_CHAR == WM_CHAR, "WM_CHAR");
static_assert(ours::WM_INITDIALOG == WM_INITDIALOG, "WM_INITDIALOG");
static_assert(ours::WM_COMMAND == WM_COMMAND, "WM_COMMAND");
static_assert(ours::WM_SYSCOMMAND == WM_SYSCOMMAND, "WM_SYSCOMMAND");
static_assert(ours::WM_MOUSEMOVE == WM_MOUSEMOVE, "WM_MOUSEMOVE");
static_assert(ours::WM_LBUTTONDOWN == WM_LBUTTONDOWN, "WM_LBUTTONDOWN");
static_assert(ours::WM_LBUTTONUP == WM_LBUTTONUP, "WM_LBUTTONUP");
static_assert(ours::WM_RBUTTONDOWN == WM_RBUTTONDOWN, "WM_RBUTTONDOWN");
static_assert(ours::WM_RBUTTONUP == WM_RBUTTONUP, "WM_RBUTTONUP");
static_assert(ours::WM_MBUTTONDOWN == WM_MBUTTONDOWN, "WM_MBUTTONDOWN");
static_assert(ours::WM_MBUTTONUP == WM_MBUTTONUP, "WM_MBUTTONUP");
static_assert(ours::WM_MOUSEWHEEL == WM_MOUSEWHEEL, "WM_MOUSEWHEEL");
static_assert(ours::SC_SCREENSAVE == SC_SCREENSAVE, "SC_SCREENSAVE");
static_assert(ours::SC_MONITORPOWER == SC_MONITORPOWER, "SC_MONITORPOWER");
static_assert(ours::VK_BACK == VK_BACK, "VK_BACK");
static_assert(ours::VK_TAB == VK_TAB, "VK_TAB");
static_assert(ours::VK_RETURN == VK_RETURN, "VK_RETURN");
static_assert(ours::VK_SHIFT == VK_SHIFT, "VK_SHIFT");
static_assert(ours::VK_CONTROL == VK_CONTROL, "VK_CONTROL");
static_assert(ours::VK_MENU == VK_MENU, "VK_MENU");
static_assert(ours::VK_ESCAPE == VK_ESCAPE, "VK_ESCAPE");
static_assert(ours::VK_SPACE == VK_SPACE, "VK_SPACE");
static_assert(ours::VK_LEFT == VK_LEFT, "VK_LEFT");
static_assert(ours::VK_UP == VK_UP, "VK_UP");
static_assert(ours::VK_RIGHT == VK_RIGHT, "VK_RIGHT");
static_assert(ours::VK_DOWN == VK_DOWN, "VK_DOWN");
static_assert(ours::VK_F1 == VK_F1, "VK_F1");
static_assert(ours::MB_OK == MB_OK, "MB_OK");
static_assert(ours::MB_YESNO == MB_YESNO, "MB_YESNO");
static_assert(ours::MB_ICONSTOP == MB_ICONSTOP, "MB_ICONSTOP");
static_assert(ours::MB_ICONEXCLAMATION == MB_ICONEXCLAMATION, "MB_ICONEXCLAMATION");
static_assert(ours::MB_ICONINFORMATION == MB_ICONINFORMATION, "MB_ICONINFORMATION");
static_assert(ours::IDOK == IDOK, "IDOK");
static_assert(ours::IDCANCEL == IDCANCEL, "IDCANCEL");
static_assert(ours::IDYES == IDYES, "IDYES");
static_assert(ours::IDNO == IDNO, "IDNO");
static_assert(ours::BN_CLICKED == BN_CLICKED, "BN_CLICKED");
