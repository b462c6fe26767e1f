// The clipboard, for the text the show leaves there at its end. Main thread only, with the window's
// video started.
#pragma once

// Places the text on the clipboard; false when it could not. On X11 it is handed to xclip where installed,
// which keeps serving it after the show exits (an X11 clipboard set by SDL empties when its owner ends);
// Windows keeps it.
bool SetClipboardText(const char* text);
