// Program entry: the setup dialog, the window with its start-up, and the message loop that draws a frame
// on every idle pass. Main thread only.
#pragma once

struct CommandLine;

int WinMain(const CommandLine& options);  // the process exit code
