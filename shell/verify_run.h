// A recorded round checked by its steps alone (--replay FILE --verify): the message loop, the window
// procedure and the frame driver's steps run as in the show, and nothing is drawn: no window, no GL, no
// sound device, no display and no data folder. The replay itself, its checks and its verdict line are the
// recorded session's (capture/session_recording.h). Main thread only.
#pragma once

struct CommandLine;

// True when the options ask to verify a replay and nothing that needs drawn frames: a screenshot, a
// capture or frame times are of pictures, so with them the replay is verified the drawn way.
bool VerifiesWithoutWindow(const CommandLine& options);

// Replays the round without a window and returns the exit code of its end (the verdict's status comes
// from the exit hooks, as in the drawn replay). An ending fade that completes ends the process itself.
int VerifyWithoutWindow(const CommandLine& options);

// After every frame, drawn or not: a recording keeps the game state's checksum, a replay compares it.
void NoteGameState();
