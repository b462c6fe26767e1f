// Program entry: the setup dialog, the window with its start-up, and the message loop that draws a frame
// on every idle pass. Main thread only.
#pragma once

struct CommandLine;

// In a namespace of its own: Windows declares its entry point WinMain as a C function, which no C++ function
// of that name beside it may overload; there the system's WinMain is platform/windows/entry.cpp's.
namespace quarnel {
int WinMain(const CommandLine& options);  // the process exit code
}
