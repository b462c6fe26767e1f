// Windows's answers to system.h.
#include "platform/system.h"

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
