// The show's music: loads the one Ogg track, starts it together with the clock, steers its position every
// frame (restart past 100 seconds, position jitter while the player is outside the sea), hands its spectrum
// to the frame and fades it out at the end. Built on the sound layer (sound/sound.h), the runtime
// generator (math/random.h) and the message boxes. Main thread only; callers skip every call while the
// "Music" box is unchecked, so nothing here touches the sound system or the file then.
#pragma once
#include <cstdint>
#include <vector>

struct FrameInputs;

// "music//[bEXAN] The lamp was distant.ogg", relative to the working directory.
extern const char* const kMusicFile;

constexpr int64_t kMusicRestartPosition = 4400000;  // sample frames, just under 100 s at 44100 Hz
constexpr int kMusicJitterSpan = 12000;             // a jitter jumps by -6000 ... 5999 sample frames

void MusicInit();                                       // starts the sound system and loads kMusicFile
void MusicInit(const char* path);                       // the same with another file (tests, tools)
void MusicPlay();                                       // plays the track once from position 0
void MusicSteer(double demoTime, int32_t musicSteady);  // restart rule and jitter, seeded from demo time
void MusicAnalyse(FrameInputs& inputs);                 // copies the 512 spectrum values into inputs.spectrum
void MusicSetFade(double fade);                         // fade 0 ... 1: volume 255 ... 0
void MusicClose();                                      // stops the track and closes the sound system

// Offline sound, for rendering the show to a file: chosen before MusicInit, which then starts the sound
// system without a device. Every frame MusicAdvance mixes exactly the output that belongs to the frame's
// time step (44100 x step, fractions carried so nothing drifts); it runs after the steering and before
// MusicAnalyse, so a frame's spectrum is of the output that ends at that frame's time. The mixed frames
// collect until MusicTakeOfflineSound hands them over. With live sound MusicAdvance does nothing.
// A long step (a minimised window, a pause) is mixed in pieces of kMusicOfflinePiece frames: all but the
// last piece go to the sink as they are mixed (or are dropped without a sink), so the memory a step takes
// stays that of one piece; the last piece is kept for MusicTakeOfflineSound as a short step's whole output.
// The samples are the same as mixed in one go. Between pieces it looks for an end signal
// (platform/abrupt_end.h): then the rest of the step is not mixed, and the output mixed ends there.
constexpr int64_t kMusicOfflinePiece = 65536;  // sample frames, a multiple of the sound layer's own piece
using MusicOfflineSink = void (*)(const float* stereo, int64_t frames);
void MusicUseOfflineSound(bool offline);
void MusicSetOfflineSink(MusicOfflineSink sink);
void MusicAdvance(double frameDelta);
void MusicTakeOfflineSound(std::vector<float>& stereo);  // appends the collected frames, interleaved
int64_t MusicOfflineFramesMixed();                       // output frames mixed since MusicInit

// The position MusicSteer leaves the track at, given the position it reads. It reseeds the runtime
// generator from demo time first, so the result depends only on its arguments.
int64_t MusicSteerTarget(double demoTime, int32_t musicSteady, int64_t position);

// The overall volume for a fade value: 255 - fade * 255 truncated toward zero, within 0 ... 255.
int MusicVolumeForFade(double fade);
