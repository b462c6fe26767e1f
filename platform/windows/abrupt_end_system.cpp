// The abrupt-end guard's calls on Windows (see abrupt_end_system.h): no hang-up or quit signal, and the
// removal runs from exit(), where converting the name to UTF-16 is allowed.
#include "platform/abrupt_end_system.h"

#include <io.h>
#include <stdio.h>

#include "platform/windows/utf16.h"

void RemoveFileAtOnce(const char* name)
{
    _wunlink(Utf16(name).c_str());
}

void EndOnHangUpAndQuit(void (*)()) {}
