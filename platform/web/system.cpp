// A browser page's answers to system.h.
#include "platform/system.h"

bool SystemCan(SystemAbility)
{
    return false;  // a page can do none of them
}

const char* DialogFontFile()
{
    return "fonts/DejaVuSans.ttf";  // the copy the page carries: no browser offers DejaVu Sans
}

const char* SystemName()
{
    return "a web page";
}

bool DisplayAvailable(std::string&)
{
    return true;
}
