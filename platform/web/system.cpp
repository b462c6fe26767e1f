// A browser page's answers to system.h.
#include "platform/system.h"

bool SystemCan(SystemAbility ability)
{
    switch (ability) {
        case SystemAbility::OwnLoops:
        case SystemAbility::SoundThread:
        case SystemAbility::DisplayModes:
        case SystemAbility::DestroyWindows:
        case SystemAbility::WindowTitles:
            return false;
    }
    return false;
}

const char* DialogFontFile()
{
    return "fonts/DejaVuSans.ttf";  // nor has a browser
}
