// The clipboard on an X11 desktop (see clipboard.h): xclip where installed, which forks and keeps serving
// the selection after the show exits; else SDL's.
#include "platform/clipboard.h"

#include <SDL.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

bool SetClipboardText(const char* text)
{
    if (!text) return false;
    // With xclip, SDL must not take the clipboard too: its request, perhaps still queued when xclip took the
    // selection, could reach the server last and take it back, and the text would go with the show's window.
    if (std::getenv("DISPLAY") && access("/usr/bin/xclip", X_OK) == 0) {
        if (FILE* pipe = popen("/usr/bin/xclip -selection clipboard -i >/dev/null 2>&1", "w")) {
            std::fputs(text, pipe);
            if (pclose(pipe) == 0) return true;
        }
    }
    return SDL_WasInit(SDL_INIT_VIDEO) && SDL_SetClipboardText(text) == 0;
}
