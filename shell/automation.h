// Automation of the command line: frame limit, screenshot, per-frame capture, frame-time statistics and
// the capture text on standard output at the end. Main thread only.
#pragma once

struct CommandLine;

// False, with the reason on standard error, when the capture folder cannot be made.
bool ConfigureAutomation(const CommandLine& options);
void FrameStarted();  // before DrawFrame
void FrameDrawn();    // after DrawFrame, before the swap: the back buffer holds the finished frame
long FramesDrawn();   // frames drawn so far
// At the end of the show, also reached through the process exit hooks. A screenshot that cannot be written
// makes the process end with status 1.
void FinishAutomation();
