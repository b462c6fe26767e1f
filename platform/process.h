// Ending the process from anywhere: runs the registered exit hooks (screenshot, statistics, capture text
// on standard output), then exits with the status. Main thread only.
#pragma once
#include <filesystem>

using ExitHook = void (*)();

void AddExitHook(ExitHook hook);
[[noreturn]] void EndProcess(int status);
// A hook (or anything else) whose work failed: the process then ends with status 1 where it would have
// ended with 0.
void SetExitFailure();
// The status EndProcess was called with, for its hooks (0 before it is called): a hook that finishes a
// file keeps it only when the process ends well.
int EndingStatus();

// The executable's own entry, with the command line in UTF-8 (shell/main.cpp). Linux enters it from
// main; Windows from WinMain (platform/windows/entry.cpp), which first gives it the arguments as UTF-8.
int ProgramMain(int argc, char** argv);

// Processor time used so far, in milliseconds: by all threads of the process, and by the calling thread
// alone; 0 where the system cannot tell.
double ProcessProcessorMs();
double ThreadProcessorMs();

// The program's own file with every link resolved (Linux: /proc/self/exe, Windows: the module's file name),
// or `argv0` made absolute when the system cannot tell; empty when neither works.
std::filesystem::path ThisProgramFile(const char* argv0);
