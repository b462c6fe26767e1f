// Inside the abrupt-end guard only: the system calls it stands on, answered per system by
// platform/posix/abrupt_end_system.cpp (Linux and a page) and platform/windows/abrupt_end_system.cpp.
#pragma once

// Removes the file `name` (UTF-8). On POSIX one system call, nothing allocated, so that a signal handler
// may call it.
void RemoveFileAtOnce(const char* name);
// Where the system has them, a hang-up and a quit signal run `remove` and end the process at once with
// status 1. Windows has neither; there only the end through exit() applies.
void EndOnHangUpAndQuit(void (*remove)());
