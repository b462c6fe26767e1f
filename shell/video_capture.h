// Capture of a run: the show rendered frame by frame into a video file with the sound it would have played,
// progress on standard error, and the recorded or replayed session behind it (shell/session_recording.h).
// Built on the video encoder (platform/video_encoder.h), the offline music (runtime/music.h) and the exit
// hooks (platform/process.h), so that every way the show ends finishes the file. Main thread only.
#pragma once

struct CommandLine;

// Before the window opens: starts the session, opens the video file and chooses offline sound. A file
// that cannot be written or read ends the process with a message and status 1.
void ConfigureCapture(const CommandLine& options);

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
