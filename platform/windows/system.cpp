// Windows's answers to system.h.
#include "platform/system.h"

bool SystemCan(SystemAbility ability)
{
    switch (ability) {
        case SystemAbility::OwnLoops:
        case SystemAbility::SoundThread:
        case SystemAbility::DisplayModes:
        case SystemAbility::DestroyWindows:
        case SystemAbility::WindowTitles:
            return true;
    }
    return false;
}

const char* DialogFontFile()
{
    return "fonts/DejaVuSans.ttf";  // no Windows has DejaVu Sans
}
