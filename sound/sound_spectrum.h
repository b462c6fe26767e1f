// The spectrum the show reads from its music: a Hann-windowed 1024-point FFT of the mono output, turned into
// 512 values between 0 and 1. Built on kissfft. Used by the sound layer (live and offline) and by the tools
// that look at a track the way the show will.
#pragma once

constexpr int kSpectrumWindowFrames = 1024;  // output frames one spectrum is taken over
constexpr int kSpectrumBins = 512;           // bin i at i * 44100 / 1024 Hz

// Magnitude of bin i for `samples` (oldest first), as the amplitude of a sine that would give it: a
// full-scale sine centred on a bin reads 1.0 there.
void SpectrumMagnitudes(const float samples[kSpectrumWindowFrames], float out[kSpectrumBins]);

// The value the show sees for a magnitude: sqrt(kSpectrumGain x magnitude), at most 1; 0 for silence (and
// for anything that is not a positive number). Fixed, not adaptive: a quiet passage reads low. A sine
// centred on a bin reads 1.0 from -6 dBFS up to full scale, 0.5 at -18 dBFS and 0.1 at -46 dBFS: each 20 dB
// less sound divides the value by about 3.2, so mastered music spreads over the whole range, loud beats reach
// the top, and the quiet high bins still show their hits.
constexpr float kSpectrumGain = 2.0f;
float SpectrumValue(float magnitude);

// Both steps: the 512 values of one window of output.
void SpectrumOfOutput(const float samples[kSpectrumWindowFrames], float out[kSpectrumBins]);
