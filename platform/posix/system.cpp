// A Linux desktop's answers to system.h.
#include "platform/system.h"

bool SystemCan(SystemAbility)
{
    return true;  // a desktop can do every one of them
}

const char* DialogFontFile()
{
    return "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
}
