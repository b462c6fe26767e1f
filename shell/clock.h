// Demo time from the performance counter, and the per-frame window title.
// Main thread only.
#pragma once

void ClockReset();
double ClockSeconds();  // seconds since the last ClockReset, accumulated reading by reading
void RefreshWindowTitle();

// Automation: with a fixed step every second reading after a reset advances the clock by exactly
// `seconds`, so the frame driver's reading pair gives each frame that delta. 0 restores real time.
void SetClockFixedStep(double seconds);

// The window titles: with two leading and trailing blanks at creation, without them from the first frame.
extern const char* const kCreationTitle;
extern const char* const kFrameTitle;
