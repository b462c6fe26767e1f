// Sound handed over piece by piece and played on the output device, for a replay that mixes its music
// offline (so that its spectrum is the same every time) and still lets the viewer hear it, and for a page,
// which mixes its music on its one thread. SDL2 audio in queue mode (Web Audio in a page); main thread only.
#pragma once
#include <cstdint>
#include <string>

// Opens the default device for stereo float sound at `rate` and starts it with a short cushion of silence,
// so that pieces handed over once a frame play without gaps; the cushion is laid again whenever a slow
// frame let the output run dry. False with the cause in `error`.
bool OpenSoundStream(int rate, std::string& error);
void QueueSoundStream(const float* stereo, int64_t frames);
void CloseSoundStream();
