// Windows's answers to system.h.
#include "platform/system.h"

#include <io.h>

#include <cstdio>

bool SystemCan(SystemAbility)
{
    return true;  // a desktop can do every one of them
}

const char* DialogFontFile()
{
    return "fonts/DejaVuSans.ttf";  // the copy beside the data folders: no Windows has DejaVu Sans
}

const char* SystemName()
{
    return "Windows";
}

bool DisplayAvailable(std::string&)
{
    return true;
}

bool StandardErrorIsTerminal()
{
    return _isatty(_fileno(stderr)) != 0;
}
