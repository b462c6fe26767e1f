// Removal of an unfinished output file on an end from outside (see abrupt_end.h). The name is kept in a
// plain array and a flag, so that a signal handler may read it; the system's part is in
// abrupt_end_system.h, with POSIX's signals in posix/ and Windows' end through exit() in windows/.
#include "platform/abrupt_end.h"

#include <csignal>
#include <cstdlib>
#include <cstring>

#include "platform/abrupt_end_system.h"

namespace {

constexpr size_t kLongestName = 4096;
char fileName[kLongestName];
volatile std::sig_atomic_t named = 0;
volatile std::sig_atomic_t endSignal = 0;
bool installed = false;
bool endSignalsCaught = false;

void RemoveNamedFile()
{
    if (named) RemoveFileAtOnce(fileName);
    named = 0;
}

}  // namespace

void CatchEndSignals()
{
    if (endSignalsCaught) return;
    endSignalsCaught = true;
    CatchEndSignalsSystem(RemoveNamedFile, &endSignal, &named);
}

int EndSignal()
{
    return endSignal;
}

void FinishingAfterEndSignal()
{
    if (endSignal != 0) ExtendEndGrace(kFinishingGrace);
}

void RemoveOnAbruptEnd(const std::string& path)
{
    named = 0;
    if (path.empty() || path.size() >= kLongestName) return;
    std::memcpy(fileName, path.c_str(), path.size() + 1);
    named = 1;
    if (installed) return;
    installed = true;
    // A library that ends the process with exit() (Xlib on a lost display) still runs this.
    std::atexit(RemoveNamedFile);
    EndOnHangUpAndQuit(RemoveNamedFile, !endSignalsCaught);
}
