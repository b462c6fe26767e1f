// The main window's procedure (see window_proc.h).
#include "shell/window_proc.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/global_state.h"
#include "scene/frame_inputs.h"
#include "shell/main_window.h"

void FormatLikeGcvt(double value, char* out, int size)
{
    if (size <= 0) return;
    if (value == 0.0) {
        std::snprintf(out, size, "0.");
        return;
    }
    char scientific[40];
    std::snprintf(scientific, sizeof scientific, "%.5e", value);  // rounded to 6 significant digits
    const char* e = std::strchr(scientific, 'e');
    const int exponent = e ? std::atoi(e + 1) : 0;
    char text[64];
    if (exponent >= -1 && exponent <= 5) {
        std::snprintf(text, sizeof text, "%#.*f", 5 - exponent, value);  // '#' keeps the point
        size_t n = std::strlen(text);
        while (n > 0 && text[n - 1] == '0') text[--n] = '\0';
    } else {
        // Mantissa without trailing zeros (the point stays), then a signed three-digit exponent.
        char mantissa[32];
        const size_t m = static_cast<size_t>(e - scientific);
        std::memcpy(mantissa, scientific, m);
        mantissa[m] = '\0';
        size_t n = m;
        while (n > 0 && mantissa[n - 1] == '0') mantissa[--n] = '\0';
        std::snprintf(text, sizeof text, "%se%c%03d", mantissa, exponent < 0 ? '-' : '+', std::abs(exponent));
    }
    std::snprintf(out, size, "%s", text);
}

namespace {

void AppendTriple(const char* label, double a, double b, double c, const char* ending)
{
    char number[32];
    CaptureText += label;
    FormatLikeGcvt(a, number, sizeof number);
    CaptureText += number;
    CaptureText += ",";
    FormatLikeGcvt(b, number, sizeof number);
    CaptureText += number;
    CaptureText += ",";
    FormatLikeGcvt(c, number, sizeof number);
    CaptureText += number;
    CaptureText += ending;
}

void Capture()
{
    const FrameInputs& in = gFrameInputs;
    AppendTriple("Cam :", in.cameraX, in.cameraY, in.cameraZ, "  \n");
    AppendTriple("Pnt :", in.pointX, in.pointY, in.pointZ, "  \n \n");
}

// The default path: arrow steps for this message, then the platform's default handling (none here).
int64_t DefaultPath()
{
    ApplyArrowKeys(gState.frameDelta);
    return 0;
}

}  // namespace

int64_t MainWindowProc(uint32_t message, uint64_t wParam, int64_t lParam)
{
    switch (message) {
        case WM_ACTIVATE:
            gState.active = ((wParam >> 16) & 0xFFFF) == 0;
            return 0;
        case WM_SIZE:
            ResizeViewport(static_cast<int>(lParam & 0xFFFF), static_cast<int>((lParam >> 16) & 0xFFFF));
            return 0;
        case WM_CLOSE:
            QueueQuitMessage(0);
            return 0;
        case WM_KEYDOWN:
            gState.keys[wParam & 0xFF] = true;
            return 0;
        case WM_KEYUP:
            gState.keys[wParam & 0xFF] = false;
            return 0;
        case WM_SYSCOMMAND:
            if (wParam == SC_SCREENSAVE || wParam == SC_MONITORPOWER) return 0;
            return DefaultPath();
        case WM_LBUTTONDOWN:
            gState.leftButtonDown = true;
            return DefaultPath();
        case WM_LBUTTONUP:
            gState.leftButtonDown = false;
            return DefaultPath();
        case WM_RBUTTONDOWN:
            gState.rightButtonDown = true;
            return DefaultPath();
        case WM_RBUTTONUP:
            gState.rightButtonDown = false;
            return DefaultPath();
        case WM_MBUTTONDOWN:
            Capture();
            return DefaultPath();
        case WM_MOUSEWHEEL: {
            const int16_t notches = static_cast<int16_t>((wParam >> 16) & 0xFFFF);
            gState.wheelAccumulator += notches * static_cast<double>(1.0f / 600.0f);
            return 0;
        }
        default:
            return DefaultPath();
    }
}
