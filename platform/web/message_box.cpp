// Message boxes in a page (see message_box_system.h): SDL has none there, so the browser's own modal boxes
// stand in, confirm() for Yes and No.
#include "platform/message_box.h"

#include <emscripten.h>

#include "platform/message_box_system.h"

unsigned SystemMessageBox(const char* text, const char* title, unsigned flags)
{
    const bool yesNo = (flags & 0xF) == MB_YESNO;
    const int yes = EM_ASM_INT(
        {
            var text = UTF8ToString($0) + "\n\n" + UTF8ToString($1);
            if ($2) return confirm(text) ? 1 : 0;
            alert(text);
            return 1;
        },
        title, text, yesNo ? 1 : 0);
    return yesNo ? (yes ? IDYES : IDNO) : IDOK;
}
