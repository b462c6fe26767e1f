// Automation of the command line: frame limit, screenshot, per-frame capture, frame-time statistics and
// the capture text on standard output at the end. Main thread only.
#pragma once

struct CommandLine;

void ConfigureAutomation(const CommandLine& options);
void FrameStarted();      // before DrawFrame
void FrameDrawn();        // after DrawFrame, before the swap: the back buffer holds the finished frame
void FinishAutomation();  // at the end of the show, also reached through the process exit hooks
