// The display's scale in a page (see display_scale_system.h): none. The page lays its canvas out in CSS
// pixels itself, and the browser scales them to the device's.
#include "platform/display_scale_system.h"

double SystemDisplayScale(int)
{
    return 0.0;
}
