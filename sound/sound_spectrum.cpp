// The music's spectrum (see sound_spectrum.h): Hann window, kissfft's real FFT, magnitude per bin, then the
// fixed square-root mapping into 0 ... 1. The FFT plan is made once; callers on different threads each get
// their own.
#include "sound/sound_spectrum.h"

#include <kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

struct Analyser {
    kiss_fftr_cfg fft = nullptr;
    float window[kSpectrumWindowFrames] = {};
    float input[kSpectrumWindowFrames] = {};
    kiss_fft_cpx output[kSpectrumWindowFrames / 2 + 1] = {};

    Analyser()
    {
        fft = kiss_fftr_alloc(kSpectrumWindowFrames, 0, nullptr, nullptr);
        for (int i = 0; i < kSpectrumWindowFrames; ++i)
            window[i] =
                static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / kSpectrumWindowFrames));
    }
    ~Analyser() { kiss_fftr_free(fft); }
    Analyser(const Analyser&) = delete;
    Analyser& operator=(const Analyser&) = delete;
};

Analyser& ThreadAnalyser()
{
    thread_local Analyser analyser;
    return analyser;
}

}  // namespace

void SpectrumMagnitudes(const float samples[kSpectrumWindowFrames], float out[kSpectrumBins])
{
    Analyser& a = ThreadAnalyser();
    for (int i = 0; i < kSpectrumWindowFrames; ++i) a.input[i] = samples[i] * a.window[i];
    kiss_fftr(a.fft, a.input, a.output);
    // A sine of amplitude A through a Hann window peaks at A * N / 4 in its bin.
    const float scale = 4.0f / kSpectrumWindowFrames;
    for (int i = 0; i < kSpectrumBins; ++i) out[i] = std::hypot(a.output[i].r, a.output[i].i) * scale;
}

float SpectrumValue(float magnitude)
{
    if (!(magnitude > 0.0f)) return 0.0f;  // also not a number
    return std::min(std::sqrt(kSpectrumGain * magnitude), 1.0f);
}

void SpectrumOfOutput(const float samples[kSpectrumWindowFrames], float out[kSpectrumBins])
{
    SpectrumMagnitudes(samples, out);
    for (int i = 0; i < kSpectrumBins; ++i) out[i] = SpectrumValue(out[i]);
}
