// Sound handed over piece by piece and played on the output device, for a replay that mixes its music
// offline (so that its spectrum is the same every time) and still lets the viewer hear it. SDL2 audio in
// queue mode; main thread only.
#pragma once
#include <cstdint>
#include <string>

// Opens the default device for stereo float sound at `rate` and starts it with a short cushion of silence,
// so that pieces handed over once a frame play without gaps. False with the cause in `error`.
bool OpenSoundStream(int rate, std::string& error);
void QueueSoundStream(const float* stereo, int64_t frames);
void CloseSoundStream();
