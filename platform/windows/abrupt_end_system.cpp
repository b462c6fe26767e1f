// The abrupt-end guard's calls on Windows (see abrupt_end_system.h): no hang-up or quit signal, and the
// removal runs from exit(), where converting the name to UTF-16 is allowed.
#include "platform/abrupt_end_system.h"

#include <io.h>
#include <signal.h>
#include <stdio.h>

#include "platform/windows/utf16.h"

void RemoveFileAtOnce(const char* name)
{
    _wunlink(Utf16(name).c_str());
}

void EndOnHangUpAndQuit(void (*)(), bool) {}

namespace {

volatile std::sig_atomic_t* endCaught = nullptr;

// Windows raises only the interrupt (Ctrl-C in a console); it is noted, and the show ends itself.
void AskToEnd(int signal)
{
    *endCaught = signal;
    ::signal(signal, AskToEnd);
}

}  // namespace

void ExtendEndGrace(double) {}

void CatchEndSignalsSystem(void (*)(), volatile std::sig_atomic_t* caught, const volatile std::sig_atomic_t*)
{
    endCaught = caught;
    ::signal(SIGINT, AskToEnd);
    ::signal(SIGTERM, AskToEnd);
}
