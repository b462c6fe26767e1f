// A Linux desktop's answers to system.h.
#include "platform/system.h"

#include <unistd.h>

#include <cstdlib>

bool SystemCan(SystemAbility)
{
    return true;  // a desktop can do every one of them
}

const char* DialogFontFile()
{
    return "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
}

const char* SystemName()
{
    return "Linux";
}

bool DisplayAvailable(std::string& why)
{
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    if (set("SDL_VIDEODRIVER") || set("DISPLAY") || set("WAYLAND_DISPLAY")) return true;
    why = "neither DISPLAY nor WAYLAND_DISPLAY is set (SDL_VIDEODRIVER=offscreen draws without one)";
    return false;
}

bool StandardErrorIsTerminal()
{
    return isatty(STDERR_FILENO) != 0;
}
