// Ending the process from anywhere: runs the registered exit hooks (screenshot, statistics, capture text
// on standard output), then exits with the status. Main thread only.
#pragma once

using ExitHook = void (*)();

void AddExitHook(ExitHook hook);
[[noreturn]] void EndProcess(int status);
// A hook (or anything else) whose work failed: the process then ends with status 1 where it would have
// ended with 0.
void SetExitFailure();
