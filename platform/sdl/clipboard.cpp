// The clipboard through SDL (see clipboard.h): Windows keeps the text after the program ends, and a page
// hands it to the browser.
#include "platform/clipboard.h"

#include <SDL.h>

bool SetClipboardText(const char* text)
{
    return text && SDL_WasInit(SDL_INIT_VIDEO) && SDL_SetClipboardText(text) == 0;
}
