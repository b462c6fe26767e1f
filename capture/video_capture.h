// Capture of a run: the show rendered frame by frame into a video file with the sound it would have played,
// progress on standard error, and the recorded or replayed session behind it (capture/session_recording.h).
// Built on the video encoder (capture/video_encoder.h), the offline music (runtime/music.h) and the exit
// hooks (platform/process.h), so that every way the show ends finishes the file. Main thread only.
#pragma once

#include <string>

// What the command line asks of capture (parsed and checked by the shell).
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

// Before the window opens: starts the session, opens the video file and chooses offline sound. A file
// that cannot be written or read ends the process with a message and status 1.
// `fixedStep` and `frames` are the run's own (--fixed-step, --frames): a video takes its rate and length
// from them.
void ConfigureCapture(const CaptureOptions& options, double fixedStep, long frames);

// For a failure outside the show's own ways to end (memory running out): the video is removed, not kept.
void AbandonCapture();

// False when a replayed session was played without music: the replay stays silent as well.
bool CaptureAllowsMusic();
// True when a replayed session was played in a window (a version 2 recording says so), or a replay is
// verified: the replay opens a window then, without the full-screen question.
bool CaptureWantsWindow();

// After a frame is drawn, before the swap: the back buffer and this frame's share of the sound go to the
// file (or, in a replay without a file, the sound to the speakers).
void CaptureFrameDrawn();
