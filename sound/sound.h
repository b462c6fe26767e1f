// The sound layer: one track from an Ogg Vorbis file, played on one channel through an SDL2 audio device at
// 44100 Hz, with its position in sample frames, an overall volume and a 512-value magnitude spectrum of the
// output. Built on SDL2 audio, libvorbisfile and kissfft; the only code that includes their headers.
//
// Threads: every function here is called from the main thread. Mixing runs on SDL's audio thread and a
// worker thread decodes the track into memory a few seconds ahead of the playing position. Per-frame calls
// never wait on either for longer than a short copy; only SoundLoadTrack and SoundClose wait for the mixer's
// current pass, and SoundWatchDevice for the silent pass of a device that is gone. Position changes are
// handed to the mixer and applied there with a short crossfade.
#pragma once
#include <cstdint>

#include "sound/sound_spectrum.h"  // kSpectrumBins, kSpectrumWindowFrames

constexpr int kSoundMixRate = 44100;      // output frames per second
constexpr int kSoundDeviceFrames = 1024;  // device buffer: about 23 ms at 44100 Hz

// Opens the output device and starts mixing (silence until a track plays). False, with the reason in
// SoundError(), when the sound system cannot start or is already open.
bool SoundInit();

// Starts the sound system with no device: nothing plays, and the mixer advances only when the main thread
// asks SoundRenderOffline for output, through the same mixing, position, volume and spectrum code as a
// device. A track loaded offline is decoded whole at once, so that every run mixes the same samples.
// False, with the reason in SoundError(), when the sound system is already open.
bool SoundInitOffline();
bool SoundIsOffline();  // open, and without a device

// Offline only: mixes the next `frames` output frames, stereo interleaved into `out` (2 * frames floats)
// unless it is null. Position and volume changes asked for before the call are taken at its start.
void SoundRenderOffline(int frames, float* out);

// Reads the whole file into memory and starts decoding it; the track can be played and positioned at once.
// Live, its first half second is decoded before this returns and the rest on the worker thread, which keeps
// a few seconds ahead of the playing position; a position it has not reached yet is decoded by the mixer
// itself, into the same samples. Offline the whole track is decoded before this returns.
// Accepts mono and stereo Ogg Vorbis files; false, with the reason in SoundError(), otherwise. A track
// loaded before is replaced.
bool SoundLoadTrack(const char* path);

// Plays the track once from position 0 (again from 0 if it was playing). Past its end the channel is silent
// while the position goes on counting.
void SoundPlay();

// The channel's position in sample frames of the track: the mixer's position, or the one last asked for
// that the mixer has not taken yet. 0 without a track.
int64_t SoundPosition();

// Moves the channel to a position (frames; below 0 counts as 0). Taken by the mixer at its next pass; while
// the track plays, the mixer adds the time between asking and taking, so that the track stands where it
// would had the move been instant (the same holds for SoundPlay: a track started with a clock keeps step).
void SoundSetPosition(int64_t frame);

// Moves the channel by a number of frames relative to wherever the mixer stands when it takes the move,
// so that the time between asking and mixing is not lost; a result below 0 counts as 0.
void SoundMovePosition(int64_t frames);

// Overall volume 0 (silent) ... 255 (full); values outside are clamped. Ramped over one device buffer.
void SoundSetVolume(int volume);

// Spectrum of the last kSpectrumWindowFrames frames sent to the output (mono mix, after the volume), as the
// 512 values 0 ... 1 of sound/sound_spectrum.h. All 0 before any output.
void SoundSpectrum(float out[kSpectrumBins]);

// Once a frame (main thread): notices an output device that went away (a headset unplugged, the sound
// server stopped). Nothing blocks: the device is let go, the spectrum and the recent output read 0, and the
// position keeps following the wall clock as if the device still played (moves asked for are taken).
// Once a second it tries to open a device again; when one comes, the music goes on from that position,
// faded in. Live sound only; offline and closed it does nothing.
void SoundWatchDevice();
bool SoundDeviceLost();  // open, live, and between losing a device and finding one again

// The last kSpectrumWindowFrames mono output samples, oldest first (for checks and measurements). Returns the
// number of frames mixed since SoundInit up to the newest of them.
int64_t SoundRecentOutput(float out[kSpectrumWindowFrames]);

// Stops the output, the decoder and frees the track. Safe to call when nothing is open.
void SoundClose();

struct SoundTrackInfo {
    int channels = 0;           // of the file: 1 or 2; played as stereo
    int rate = 0;               // of the file, frames per second; played at its own speed
    int64_t frames = 0;         // length of the track in frames
    int64_t decodedFrames = 0;  // frames decoded into memory so far, from the start of the track
    int64_t mixerSeeks = 0;     // seeks the mixer made to decode where the worker had not arrived
};
SoundTrackInfo SoundTrack();

// For tests of the mixer's own decoding: while held, nothing more is decoded into the track's memory (not
// the start of a track loaded then, nor an offline track), so the mixer decodes what it plays itself.
void SoundHoldDecoding(bool hold);

// Total frames the mixer has sent to the device since SoundInit.
int64_t SoundFramesMixed();

// The reason for the last failure of SoundInit or SoundLoadTrack.
const char* SoundError();
