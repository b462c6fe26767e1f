// Inside the display scale only: the system's own factor, answered per system by
// platform/posix/display_scale_system.cpp (X11 and Wayland), platform/windows/display_scale_system.cpp and
// platform/web/display_scale_system.cpp. 0 when the system says nothing.
#pragma once

double SystemDisplayScale(int display);  // SDL's display index
