// Message boxes over SDL (see message_box.h). Every box is copied to standard error first, so that
// automation and tests can read it; in batch mode that is all, and the default button answers.
#include "platform/message_box.h"

#include <SDL.h>

#include <cstdio>

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

namespace {
bool batchMode = false;
}

void SetMessageBoxBatchMode(bool batch)
{
    batchMode = batch;
}

int ShowMessageBox(const char* text, const char* title, unsigned flags)
{
    const bool yesNo = (flags & 0xF) == MB_YESNO;
    std::fprintf(stderr, "[%s] %s\n", title ? title : "", text ? text : "");
    std::fflush(stderr);
    if (batchMode) return yesNo ? IDYES : IDOK;
#ifdef __EMSCRIPTEN__
    // SDL has no boxes in a page: the browser's own modal boxes stand in, confirm() for Yes and No.
    const int yes = EM_ASM_INT(
        {
            var text = UTF8ToString($0) + "\n\n" + UTF8ToString($1);
            if ($2) return confirm(text) ? 1 : 0;
            alert(text);
            return 1;
        },
        title ? title : "", text ? text : "", yesNo ? 1 : 0);
    return yesNo ? (yes ? IDYES : IDNO) : IDOK;
#endif

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
    data.title = title ? title : "";
    data.message = text ? text : "";
    data.numbuttons = yesNo ? 2 : 1;
    data.buttons = yesNo ? yesNoButtons : okButtons;
    int pressed = -1;
    if (SDL_ShowMessageBox(&data, &pressed) != 0 || pressed < 0) {
        // No display to show it on (or closed without a button): the default answer stands.
        return yesNo ? IDNO : IDOK;
    }
    return pressed;
}
