// Inside the abrupt-end guard only: the system calls it stands on, answered per system by
// platform/posix/abrupt_end_system.cpp (Linux and a page) and platform/windows/abrupt_end_system.cpp.
#pragma once
#include <csignal>

// Removes the file `name` (UTF-8). On POSIX one system call, nothing allocated, so that a signal handler
// may call it.
void RemoveFileAtOnce(const char* name);
// Where the system has them, a quit signal (and a hang-up when `hangUp`) run `remove` and end the process
// at once with status 1. Windows has neither; there only the end through exit() applies.
void EndOnHangUpAndQuit(void (*remove)(), bool hangUp);
// Interrupt, terminate and hang-up: the first sets *caught to its number and arms a timer of 0.9 s; the
// timer or a second one runs `remove` and ends the process at once with status 1. A hang-up while *named
// is set (an unfinished file to remove) ends at once, as it always did.
// Re-arms the timer of CatchEndSignalsSystem to end the process `seconds` from now.
void ExtendEndGrace(double seconds);
void CatchEndSignalsSystem(void (*remove)(), volatile std::sig_atomic_t* caught,
                           const volatile std::sig_atomic_t* named);
