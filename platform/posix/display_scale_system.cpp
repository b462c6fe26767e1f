// The display's scale on a Linux desktop (see display_scale_system.h). SDL 2.26 reports no scale under X11,
// so the desktop's own settings are read: GDK_SCALE, and the Xft.dpi resource that desktops set for their
// scaling, from the root window's RESOURCE_MANAGER text. libX11 is opened at run time (SDL loads it the
// same way), so the build needs no X headers. Under Wayland, SDL's display DPI.
#include "platform/display_scale_system.h"

#include <SDL.h>
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

#include "platform/display_scale.h"

namespace {

// Xft.dpi as the X server holds it for this user: the resource text, or nothing.
double ScaleFromX11()
{
    const char* gdk = std::getenv("GDK_SCALE");
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return ScaleFromDesktopSettings(gdk, nullptr);
    void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (!x11) return ScaleFromDesktopSettings(gdk, nullptr);
    using OpenDisplay = void* (*)(const char*);
    using ResourceString = char* (*)(void*);
    using CloseDisplay = int (*)(void*);
    auto open = reinterpret_cast<OpenDisplay>(dlsym(x11, "XOpenDisplay"));
    auto resources = reinterpret_cast<ResourceString>(dlsym(x11, "XResourceManagerString"));
    auto close = reinterpret_cast<CloseDisplay>(dlsym(x11, "XCloseDisplay"));
    double scale = 0.0;
    if (open && resources && close) {
        if (void* connection = open(nullptr)) {
            scale = ScaleFromDesktopSettings(gdk, resources(connection));  // the text belongs to the display
            close(connection);
        }
    }
    dlclose(x11);
    return scale;
}

}  // namespace

double SystemDisplayScale(int display)
{
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && std::strcmp(driver, "wayland") == 0) {
        float dpi = 0.0f;
        if (SDL_GetDisplayDPI(display, &dpi, nullptr, nullptr) == 0 && dpi > 0.0f) return dpi / 96.0;
        return 0.0;
    }
    if (driver && std::strcmp(driver, "x11") != 0) return 0.0;  // offscreen, dummy: no display to follow
    return ScaleFromX11();
}
