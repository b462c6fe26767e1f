// The display's scale factor (see display_scale.h): the hand-set value, or the system's through
// display_scale_system.h. The desktop settings' arithmetic is here so that every system's tests reach it.
#include "platform/display_scale.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/display_scale_system.h"

namespace {

double byHand = 0.0;

// A factor from outside: finite, and within what any screen has (a sixth of 96 dpi to 16 times it).
double Sane(double scale)
{
    return std::isfinite(scale) && scale >= 0.25 && scale <= 16.0 ? scale : 0.0;
}

}  // namespace

void SetDisplayScaleByHand(double scale)
{
    byHand = scale > 0.0 && std::isfinite(scale) ? scale : 0.0;
}

bool DisplayScaleByHand()
{
    return byHand > 0.0;
}

double DisplayScale(int display)
{
    if (byHand > 0.0) return byHand;
    const double system = Sane(SystemDisplayScale(display));
    return system > 0.0 ? system : 1.0;
}

double ScaleFromDesktopSettings(const char* gdkScale, const char* resources)
{
    if (gdkScale && *gdkScale) {
        char* end = nullptr;
        const long whole = std::strtol(gdkScale, &end, 10);
        if (end && *end == '\0' && whole >= 1 && whole <= 16) return static_cast<double>(whole);
    }
    if (!resources) return 0.0;
    // One resource per line; the name is matched whole, at the start of a line.
    static const char kName[] = "Xft.dpi:";
    for (const char* line = resources; *line;) {
        const char* next = std::strchr(line, '\n');
        if (std::strncmp(line, kName, sizeof kName - 1) == 0) {
            const char* value = line + sizeof kName - 1;
            while (*value == ' ' || *value == '\t') ++value;
            char* end = nullptr;
            const double dpi = std::strtod(value, &end);
            if (end != value && (*end == '\0' || *end == '\n' || *end == ' ' || *end == '\t' || *end == '\r'))
                return Sane(dpi / 96.0);
            return 0.0;
        }
        if (!next) break;
        line = next + 1;
    }
    return 0.0;
}
