// The display's scale on Windows (see display_scale_system.h). The program declares itself aware of each
// monitor's DPI, so SDL reports the monitor's own (GetDpiForMonitor): 96 dpi is a scale of 1.
#include "platform/display_scale_system.h"

#include <SDL.h>

double SystemDisplayScale(int display)
{
    float dpi = 0.0f;
    if (SDL_GetDisplayDPI(display, &dpi, nullptr, nullptr) != 0 || dpi <= 0.0f) return 0.0;
    return dpi / 96.0;
}
