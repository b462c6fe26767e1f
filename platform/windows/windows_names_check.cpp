// Compile-time check of the Windows build: our own Windows constants (windows_names.h) have the values
// <windows.h> gives them. Nothing here runs. <windows.h> makes the same names macros, so our values are
// taken under other names first.
#include <cstdint>

namespace ours {
#include "platform/windows_names.h"
}  // namespace ours

// clang-format off
#define QUARNEL_WINDOWS_NAMES(X) \
    X(WM_NULL) \
    X(WM_SIZE) \
    X(WM_ACTIVATE) \
    X(WM_CLOSE) \
    X(WM_QUIT) \
    X(WM_SETCURSOR) \
    X(WM_NCHITTEST) \
    X(WM_KEYDOWN) \
    X(WM_KEYUP) \
    X(WM_CHAR) \
    X(WM_INITDIALOG) \
    X(WM_COMMAND) \
    X(WM_SYSCOMMAND) \
    X(WM_MOUSEMOVE) \
    X(WM_LBUTTONDOWN) \
    X(WM_LBUTTONUP) \
    X(WM_RBUTTONDOWN) \
    X(WM_RBUTTONUP) \
    X(WM_MBUTTONDOWN) \
    X(WM_MBUTTONUP) \
    X(WM_MOUSEWHEEL) \
    X(SC_SCREENSAVE) \
    X(SC_MONITORPOWER) \
    X(VK_BACK) \
    X(VK_TAB) \
    X(VK_RETURN) \
    X(VK_SHIFT) \
    X(VK_CONTROL) \
    X(VK_MENU) \
    X(VK_ESCAPE) \
    X(VK_SPACE) \
    X(VK_LEFT) \
    X(VK_UP) \
    X(VK_RIGHT) \
    X(VK_DOWN) \
    X(VK_F1) \
    X(MB_OK) \
    X(MB_YESNO) \
    X(MB_ICONSTOP) \
    X(MB_ICONEXCLAMATION) \
    X(MB_ICONINFORMATION) \
    X(IDOK) \
    X(IDCANCEL) \
    X(IDYES) \
    X(IDNO) \
    X(BN_CLICKED)
// clang-format on

#define QUARNEL_TAKE_OURS(name) constexpr auto our_##name = ours::name;
QUARNEL_WINDOWS_NAMES(QUARNEL_TAKE_OURS)

#include <windows.h>

#define QUARNEL_SAME_AS_WINDOWS(name) static_assert(our_##name == name, #name);
QUARNEL_WINDOWS_NAMES(QUARNEL_SAME_AS_WINDOWS)
