// A browser page's answers to system.h.
#include "platform/system.h"

#include <unistd.h>

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

bool StandardErrorIsTerminal()
{
    return isatty(STDERR_FILENO) != 0;  // what emscripten's file system says of its standard error
}
