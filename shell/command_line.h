// The command line, an addition for automation, tests and capture. With no argument the show behaves as
// it always did: the setup dialog comes first.
#pragma once
#include <string>
#include <vector>

#include "shell/capture_options.h"

struct CommandLine {
    bool run = false;                // skip the dialog, as if "Run ... " had been pressed
    bool windowed = false;           // preset (or, with --run, apply) the "Windowed" box
    bool noMusic = false;            // preset (or, with --run, apply) an unchecked "Music" box
    long frames = 0;                 // end as the close box does after this many frames; 0 = never
    double fixedStep = 0.0;          // seconds per frame; 0 = the real clock
    std::string screenshot;          // PNG of the last frame drawn
    std::string captureDir;          // every frame as a numbered PNG
    bool batch = false;              // message boxes to standard error only, answered with their default
    bool stats = false;              // frame-time figures at exit
    bool profile = false;            // and the median wall and processor time of each pass (implies stats)
    double scale = 0.0;              // the window's and dialog's scale by hand; 0 = the display's
    bool fullScreenDesktop = false;  // start at full screen at the desktop's resolution
    bool help = false, version = false;
    // With --capture-frames: only these frames are read back and captured (ascending, each once; frames
    // count from 1). Empty: every frame.
    std::vector<long> captureFrames;
    CaptureOptions capture;  // --video, --record, --replay and their companions
};

enum class ParseResult { Ok, Error };

// On error, `error` says what was wrong (the caller prints it with the usage and exits 2).
ParseResult ParseCommandLine(int argc, const char* const* argv, CommandLine& out, std::string& error);
const char* UsageText();

// The shortest step --fixed-step takes: a thousand frames a second, as --fps allows.
constexpr double kShortestFixedStep = 0.001;

// The largest frame number --capture-frames takes.
constexpr long kMaxCaptureFrame = 999999999;
