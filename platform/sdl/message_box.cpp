// Message boxes drawn by SDL (see message_box_system.h).
#include "platform/message_box.h"

#include <SDL.h>

#include "platform/message_box_system.h"

unsigned SystemMessageBox(const char* text, const char* title, unsigned flags)
{
    const bool yesNo = (flags & 0xF) == MB_YESNO;

    Uint32 kind = SDL_MESSAGEBOX_INFORMATION;
    if ((flags & 0xF0) == MB_ICONEXCLAMATION) kind = SDL_MESSAGEBOX_WARNING;
    if ((flags & 0xF0) == MB_ICONSTOP) kind = SDL_MESSAGEBOX_ERROR;

    SDL_MessageBoxButtonData okButtons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK, "OK"}};
    SDL_MessageBoxButtonData yesNoButtons[] = {{SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"},
                                               {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"}};
    SDL_MessageBoxData data{};
    data.flags = kind;
    data.window = nullptr;
    data.title = title;
    data.message = text;
    data.numbuttons = yesNo ? 2 : 1;
    data.buttons = yesNo ? yesNoButtons : okButtons;
    int pressed = -1;
    if (SDL_ShowMessageBox(&data, &pressed) != 0 || pressed < 0) {
        // No display to show it on (or closed without a button): the default answer stands.
        return yesNo ? IDNO : IDOK;
    }
    return pressed;
}
