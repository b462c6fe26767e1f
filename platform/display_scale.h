// The display's scale factor: how many of its pixels make one pixel of a program that knows nothing of
// scaling (2 on a screen at 192 dpi). The window, the setup dialog and the boxes the program draws itself
// are laid out at it. Set by hand from the command line, or read from the system: Windows per monitor,
// X11's Xft.dpi resource and GDK_SCALE, Wayland as SDL reports it, a page's devicePixelRatio.
// Main thread only; the system's answer needs SDL's video started.
#pragma once

// A factor chosen by hand (the command line's --scale); 0 goes back to the display's own.
void SetDisplayScaleByHand(double scale);
bool DisplayScaleByHand();

// The factor chosen by hand, or the display's (1 where it says nothing); `display` is SDL's display index
// (0, the primary, is where the dialog and the window open).
double DisplayScale(int display = 0);

// The factor the X resources and environment give: GDK_SCALE (a whole number) when set, else Xft.dpi / 96
// from the resource text (the RESOURCE_MANAGER property's lines "name:\tvalue"); 0 when neither says.
double ScaleFromDesktopSettings(const char* gdkScale, const char* resources);
