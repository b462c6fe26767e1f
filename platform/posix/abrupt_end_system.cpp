// The abrupt-end guard's calls on POSIX (see abrupt_end_system.h). The handler calls only unlink and
// _exit, which are safe in a signal handler.
#include "platform/abrupt_end_system.h"

#include <unistd.h>

#include <csignal>
#include <initializer_list>

namespace {

void (*removeOnSignal)() = nullptr;

void EndOnSignal(int)
{
    if (removeOnSignal) removeOnSignal();
    _exit(1);
}

}  // namespace

void RemoveFileAtOnce(const char* name)
{
    unlink(name);
}

void EndOnHangUpAndQuit(void (*remove)())
{
    removeOnSignal = remove;
    struct sigaction action {};
    action.sa_handler = EndOnSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGHUP, SIGQUIT}) sigaction(signal, &action, nullptr);
}
