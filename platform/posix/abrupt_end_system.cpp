// The abrupt-end guard's calls on POSIX (see abrupt_end_system.h). The handler calls only unlink and
// _exit, which are safe in a signal handler.
#include "platform/abrupt_end_system.h"

#include <sys/time.h>
#include <unistd.h>

#include <csignal>
#include <initializer_list>

namespace {

void (*removeOnSignal)() = nullptr;
volatile std::sig_atomic_t* endCaught = nullptr;
const volatile std::sig_atomic_t* fileNamed = nullptr;
constexpr long kGraceMicroseconds = 900000;

void EndOnSignal(int)
{
    if (removeOnSignal) removeOnSignal();
    _exit(1);
}

// The first end signal asks; the show has the grace time to end itself.
void AskToEnd(int signal)
{
    if (*endCaught != 0 || (signal == SIGHUP && *fileNamed)) EndOnSignal(signal);
    *endCaught = signal;
    itimerval grace{};
    grace.it_value.tv_usec = kGraceMicroseconds;
    setitimer(ITIMER_REAL, &grace, nullptr);
}

}  // namespace

void RemoveFileAtOnce(const char* name)
{
    unlink(name);
}

void EndOnHangUpAndQuit(void (*remove)(), bool hangUp)
{
    removeOnSignal = remove;
    struct sigaction action {};
    action.sa_handler = EndOnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGQUIT, &action, nullptr);
    if (hangUp) sigaction(SIGHUP, &action, nullptr);
}

void ExtendEndGrace(double seconds)
{
    itimerval grace{};
    grace.it_value.tv_sec = static_cast<time_t>(seconds);
    grace.it_value.tv_usec =
        static_cast<suseconds_t>((seconds - static_cast<double>(grace.it_value.tv_sec)) * 1e6);
    setitimer(ITIMER_REAL, &grace, nullptr);
}

void CatchEndSignalsSystem(void (*remove)(), volatile std::sig_atomic_t* caught,
                           const volatile std::sig_atomic_t* named)
{
    removeOnSignal = remove;
    endCaught = caught;
    fileNamed = named;
    struct sigaction action {};
    action.sa_handler = EndOnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGALRM, &action, nullptr);
    action.sa_handler = AskToEnd;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}
