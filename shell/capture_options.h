// The command-line options of capture: rendering the show to a video file, and recording or replaying a
// play session. Parsed beside the other options (shell/command_line.h), checked together with them.
#pragma once
#include <string>

struct CommandLine;

struct CaptureOptions {
    std::string video;      // --video FILE: render at a fixed step with offline sound into FILE
    int videoQuality = -1;  // --video-quality N: the codec's constant-quality level; -1: its default
    double seconds = 0.0;   // --seconds S: length of the video; 0: one round (or the whole recording)
    double fps = 0.0;       // --fps N: the fixed step 1/N
    std::string record;     // --record FILE: write every frame's delta and inputs while playing live
    std::string replay;     // --replay FILE: run the show from a recording instead of clock and input
    bool verify = false;    // --verify: replay as fast as possible and check the recorded checksums
    long videoFrames = 0;   // frames a video of the show untouched renders (worked out by the check)
};

constexpr double kVideoStep = 1.0 / 60.0;  // the default step of a video
constexpr double kVideoSeconds = 60.0;     // the default length: the intro and one 45-second round

// Takes the capture option at argv[i] (and its value, advancing i). Returns false when argv[i] is not one
// of them; sets `error` when it is one but its value is wrong.
bool ParseCaptureOption(int argc, const char* const* argv, int& i, CaptureOptions& out, std::string& error);

// Checks the capture options against the others once all are read and fills in what they imply: a video
// or a replay skips the dialog; a video is windowed and, unless it replays, runs at a fixed step for a set
// number of frames. False with the reason in `error` for options that cannot go together.
bool CheckCaptureOptions(CommandLine& options, std::string& error);

extern const char* const kCaptureUsage;
