// The command-line options of capture: rendering the show to a video file, and recording or replaying a
// play session. Parsed beside the other options (shell/command_line.h), checked together with them.
#pragma once
#include <string>

#include "capture/video_capture.h"  // CaptureOptions

struct CommandLine;

// Takes the capture option at argv[i] (and its value, advancing i). Returns false when argv[i] is not one
// of them; sets `error` when it is one but its value is wrong.
bool ParseCaptureOption(int argc, const char* const* argv, int& i, CaptureOptions& out, std::string& error);

// Checks the capture options against the others once all are read and fills in what they imply: a video
// or a replay skips the dialog; a video is windowed and, unless it replays, runs at a fixed step for a set
// number of frames. False with the reason in `error` for options that cannot go together.
bool CheckCaptureOptions(CommandLine& options, std::string& error);

// The usage lines of these options, naming only the video formats this build writes.
const char* CaptureUsage();
