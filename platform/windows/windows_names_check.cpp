// Compile-time check of the Windows build: our own Windows constants (windows_names.h) have the values
// <windows.h> gives them. Ours are copied before <windows.h> comes in, whose macros of the same names would
// replace them. Nothing here runs.
#include <cstdint>

namespace ours {
#include "platform/windows_names.h"
}  // namespace ours

namespace {
constexpr long long kOursWMNULL = ours::WM_NULL;
constexpr long long kOursWMSIZE = ours::WM_SIZE;
constexpr long long kOursWMACTIVATE = ours::WM_ACTIVATE;
constexpr long long kOursWMCLOSE = ours::WM_CLOSE;
constexpr long long kOursWMQUIT = ours::WM_QUIT;
constexpr long long kOursWMSETCURSOR = ours::WM_SETCURSOR;
constexpr long long kOursWMNCHITTEST = ours::WM_NCHITTEST;
constexpr long long kOursWMKEYDOWN = ours::WM_KEYDOWN;
constexpr long long kOursWMKEYUP = ours::WM_KEYUP;
constexpr long long kOursWMCHAR = ours::WM_CHAR;
constexpr long long kOursWMINITDIALOG = ours::WM_INITDIALOG;
constexpr long long kOursWMCOMMAND = ours::WM_COMMAND;
constexpr long long kOursWMSYSCOMMAND = ours::WM_SYSCOMMAND;
constexpr long long kOursWMMOUSEMOVE = ours::WM_MOUSEMOVE;
constexpr long long kOursWMLBUTTONDOWN = ours::WM_LBUTTONDOWN;
constexpr long long kOursWMLBUTTONUP = ours::WM_LBUTTONUP;
constexpr long long kOursWMRBUTTONDOWN = ours::WM_RBUTTONDOWN;
constexpr long long kOursWMRBUTTONUP = ours::WM_RBUTTONUP;
constexpr long long kOursWMMBUTTONDOWN = ours::WM_MBUTTONDOWN;
constexpr long long kOursWMMBUTTONUP = ours::WM_MBUTTONUP;
constexpr long long kOursWMMOUSEWHEEL = ours::WM_MOUSEWHEEL;
constexpr long long kOursSCSCREENSAVE = ours::SC_SCREENSAVE;
constexpr long long kOursSCMONITORPOWER = ours::SC_MONITORPOWER;
constexpr long long kOursVKBACK = ours::VK_BACK;
constexpr long long kOursVKTAB = ours::VK_TAB;
constexpr long long kOursVKRETURN = ours::VK_RETURN;
constexpr long long kOursVKSHIFT = ours::VK_SHIFT;
constexpr long long kOursVKCONTROL = ours::VK_CONTROL;
constexpr long long kOursVKMENU = ours::VK_MENU;
constexpr long long kOursVKESCAPE = ours::VK_ESCAPE;
constexpr long long kOursVKSPACE = ours::VK_SPACE;
constexpr long long kOursVKLEFT = ours::VK_LEFT;
constexpr long long kOursVKUP = ours::VK_UP;
constexpr long long kOursVKRIGHT = ours::VK_RIGHT;
constexpr long long kOursVKDOWN = ours::VK_DOWN;
constexpr long long kOursVKF1 = ours::VK_F1;
constexpr long long kOursMBOK = ours::MB_OK;
constexpr long long kOursMBYESNO = ours::MB_YESNO;
constexpr long long kOursMBICONSTOP = ours::MB_ICONSTOP;
constexpr long long kOursMBICONEXCLAMATION = ours::MB_ICONEXCLAMATION;
constexpr long long kOursMBICONINFORMATION = ours::MB_ICONINFORMATION;
constexpr long long kOursIDOK = ours::IDOK;
constexpr long long kOursIDCANCEL = ours::IDCANCEL;
constexpr long long kOursIDYES = ours::IDYES;
constexpr long long kOursIDNO = ours::IDNO;
constexpr long long kOursBNCLICKED = ours::BN_CLICKED;
}  // namespace

#include <windows.h>

static_assert(kOursWMNULL == WM_NULL, "WM_NULL");
static_assert(kOursWMSIZE == WM_SIZE, "WM_SIZE");
static_assert(kOursWMACTIVATE == WM_ACTIVATE, "WM_ACTIVATE");
static_assert(kOursWMCLOSE == WM_CLOSE, "WM_CLOSE");
static_assert(kOursWMQUIT == WM_QUIT, "WM_QUIT");
static_assert(kOursWMSETCURSOR == WM_SETCURSOR, "WM_SETCURSOR");
static_assert(kOursWMNCHITTEST == WM_NCHITTEST, "WM_NCHITTEST");
static_assert(kOursWMKEYDOWN == WM_KEYDOWN, "WM_KEYDOWN");
static_assert(kOursWMKEYUP == WM_KEYUP, "WM_KEYUP");
static_assert(kOursWMCHAR == WM_CHAR, "WM_CHAR");
static_assert(kOursWMINITDIALOG == WM_INITDIALOG, "WM_INITDIALOG");
static_assert(kOursWMCOMMAND == WM_COMMAND, "WM_COMMAND");
static_assert(kOursWMSYSCOMMAND == WM_SYSCOMMAND, "WM_SYSCOMMAND");
static_assert(kOursWMMOUSEMOVE == WM_MOUSEMOVE, "WM_MOUSEMOVE");
static_assert(kOursWMLBUTTONDOWN == WM_LBUTTONDOWN, "WM_LBUTTONDOWN");
static_assert(kOursWMLBUTTONUP == WM_LBUTTONUP, "WM_LBUTTONUP");
static_assert(kOursWMRBUTTONDOWN == WM_RBUTTONDOWN, "WM_RBUTTONDOWN");
static_assert(kOursWMRBUTTONUP == WM_RBUTTONUP, "WM_RBUTTONUP");
static_assert(kOursWMMBUTTONDOWN == WM_MBUTTONDOWN, "WM_MBUTTONDOWN");
static_assert(kOursWMMBUTTONUP == WM_MBUTTONUP, "WM_MBUTTONUP");
static_assert(kOursWMMOUSEWHEEL == WM_MOUSEWHEEL, "WM_MOUSEWHEEL");
static_assert(kOursSCSCREENSAVE == SC_SCREENSAVE, "SC_SCREENSAVE");
static_assert(kOursSCMONITORPOWER == SC_MONITORPOWER, "SC_MONITORPOWER");
static_assert(kOursVKBACK == VK_BACK, "VK_BACK");
static_assert(kOursVKTAB == VK_TAB, "VK_TAB");
static_assert(kOursVKRETURN == VK_RETURN, "VK_RETURN");
static_assert(kOursVKSHIFT == VK_SHIFT, "VK_SHIFT");
static_assert(kOursVKCONTROL == VK_CONTROL, "VK_CONTROL");
static_assert(kOursVKMENU == VK_MENU, "VK_MENU");
static_assert(kOursVKESCAPE == VK_ESCAPE, "VK_ESCAPE");
static_assert(kOursVKSPACE == VK_SPACE, "VK_SPACE");
static_assert(kOursVKLEFT == VK_LEFT, "VK_LEFT");
static_assert(kOursVKUP == VK_UP, "VK_UP");
static_assert(kOursVKRIGHT == VK_RIGHT, "VK_RIGHT");
static_assert(kOursVKDOWN == VK_DOWN, "VK_DOWN");
static_assert(kOursVKF1 == VK_F1, "VK_F1");
static_assert(kOursMBOK == MB_OK, "MB_OK");
static_assert(kOursMBYESNO == MB_YESNO, "MB_YESNO");
static_assert(kOursMBICONSTOP == MB_ICONSTOP, "MB_ICONSTOP");
static_assert(kOursMBICONEXCLAMATION == MB_ICONEXCLAMATION, "MB_ICONEXCLAMATION");
static_assert(kOursMBICONINFORMATION == MB_ICONINFORMATION, "MB_ICONINFORMATION");
static_assert(kOursIDOK == IDOK, "IDOK");
static_assert(kOursIDCANCEL == IDCANCEL, "IDCANCEL");
static_assert(kOursIDYES == IDYES, "IDYES");
static_assert(kOursIDNO == IDNO, "IDNO");
static_assert(kOursBNCLICKED == BN_CLICKED, "BN_CLICKED");
