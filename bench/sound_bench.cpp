// Measures the music's start-up and timing on the audio driver in SDL_AUDIODRIVER (dummy by default):
// time from MusicInit to ready-to-play for a 110 s stereo track, how far the decoder stands ahead of the
// playing position a second later (it decodes a few seconds ahead, not the whole track at once), the delay
// between the clock and the spectrum at a tone onset, and the cost of one spectrum. Prints medians over
// several runs. Run alone: it plays in real time and takes about a minute.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <random>
#include <thread>
#include <vector>

#include "platform/message_box.h"
#include "runtime/music.h"
#include "scene/frame_inputs.h"
#include "sound/sound.h"
#include "sound/sound_spectrum.h"
#include "tests/support/test_tracks.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Something like music for the encoder: a few drifting partials and some noise, so the bit rate (and
// with it the decoding work) is that of a real track rather than of a pure tone.
TestSignal MusicLikeSignal()
{
    return [](int64_t frame, int channel) {
        const double t = frame / 44100.0;
        double v = 0.0;
        for (int k = 1; k <= 6; ++k)
            v += 0.08 * std::sin(2.0 * std::numbers::pi * (110.0 * k + 3.0 * std::sin(t)) * t + k);
        const uint32_t hash = static_cast<uint32_t>(frame * 2654435761u + channel * 40503u);
        v += 0.05 * ((hash >> 8) / 16777216.0 - 0.5);
        return static_cast<float>(v);
    };
}

}  // namespace

int main()
{
    if (!std::getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 1);
    SetMessageBoxBatchMode(true);
    constexpr int kRuns = 7;

    std::printf("writing a 110 s stereo test track...\n");
    const std::string longTrack = TestTrackFolder() + "/long.ogg";
    if (!WriteTestTrack(longTrack, 2, 44100, 110.0, MusicLikeSignal())) {
        std::fprintf(stderr, "cannot write %s\n", longTrack.c_str());
        return 1;
    }

    std::vector<double> ready, lead, firstSound;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = Clock::now();
        MusicInit(longTrack.c_str());
        ready.push_back(Since(start));
        MusicPlay();
        const auto played = Clock::now();
        float output[kSpectrumWindowFrames];
        for (;;) {
            SoundRecentOutput(output);
            if (std::any_of(output, output + kSpectrumWindowFrames, [](float v) { return v != 0.0f; })) break;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        firstSound.push_back(Since(played));
        std::this_thread::sleep_until(played + std::chrono::seconds(1));
        lead.push_back(static_cast<double>(SoundTrack().decodedFrames - SoundPosition()) / SoundTrack().rate);
        MusicClose();
    }
    std::printf("MusicInit until ready to play (110 s stereo): median %.1f ms, worst %.1f ms\n",
                Median(ready) * 1e3, *std::max_element(ready.begin(), ready.end()) * 1e3);
    std::printf("MusicPlay until the first sound leaves the mixer: median %.1f ms\n",
                Median(firstSound) * 1e3);
    std::printf("decoded ahead of the position 1 s after MusicPlay: median %.2f s\n", Median(lead));

    // Clock against spectrum: a 1 kHz tone starts 1 s into the track; the show's clock starts with
    // MusicPlay, so the onset belongs at clock 1.0 s. Measured at the moment the tone's bin reaches half its
    // steady value, which is when the onset sits in the middle of the analysed window.
    const std::string onsetTrack = CachedTestTrack("onset", 2, 44100, 3.0, [](int64_t frame, int) {
        return frame < 44100
                   ? 0.0f
                   : static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * 1000.0 * frame / 44100.0));
    });
    std::vector<double> lag;
    for (int run = 0; run < 2 * kRuns + 1; ++run) {
        MusicInit(onsetTrack.c_str());
        MusicPlay();
        const auto clockZero = Clock::now();
        FrameInputs inputs;
        double seen = -1.0;
        while (Since(clockZero) < 2.5) {
            MusicAnalyse(inputs);
            // The tone reads a magnitude of about 0.5: half of it, on the spectrum's scale.
            if (std::max(inputs.spectrum[23], inputs.spectrum[24]) > SpectrumValue(0.25f)) {
                seen = Since(clockZero);
                break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        MusicClose();
        if (seen < 0) {
            std::fprintf(stderr, "the tone never reached the spectrum\n");
            return 1;
        }
        lag.push_back(seen - 1.0);
    }
    std::sort(lag.begin(), lag.end());
    std::printf(
        "spectrum behind the clock at a tone onset (%zu runs): median %+.1f ms, "
        "10th to 90th percentile %+.1f ... %+.1f ms, range %+.1f ... %+.1f ms\n",
        lag.size(), Median(lag) * 1e3, lag[lag.size() / 10] * 1e3, lag[lag.size() * 9 / 10] * 1e3,
        lag.front() * 1e3, lag.back() * 1e3);

    // The device's own pace against the wall clock (SDL's dummy driver sleeps whole milliseconds).
    MusicInit(longTrack.c_str());
    MusicPlay();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const int64_t p0 = SoundPosition();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(5));
    const double pace = (SoundPosition() - p0) / Since(t0);
    MusicClose();
    std::printf("track position per second of wall time: %.0f frames (%.2f%% of 44100)\n", pace,
                pace / 441.0);

    MusicInit(onsetTrack.c_str());
    MusicPlay();
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    std::vector<double> cost;
    FrameInputs inputs;
    for (int i = 0; i < 2001; ++i) {
        const auto start = Clock::now();
        MusicAnalyse(inputs);
        cost.push_back(Since(start));
    }
    MusicClose();
    std::printf("MusicAnalyse per frame: median %.1f us\n", Median(cost) * 1e6);
    return 0;
}
