// Tests of the sound layer on SDL's dummy audio driver, which takes samples at real-time pace: spectrum,
// positions, the mixer's own decoding ahead of the worker, crossfades, volume, the track's end, bad files,
// moves asked for while the device is lost; and the spectrum's fixed scale on its own.
#include "sound/sound.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <limits>
#include <numbers>
#include <thread>
#include <tuple>
#include <vector>

#include "sound/sound_spectrum.h"
#include "tests/support/test_environment.h"
#include "tests/support/test_tracks.h"

namespace {

using Clock = std::chrono::steady_clock;

bool WaitFor(const std::function<bool()>& done)
{
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Waits until the mixer has produced `buffers` more device buffers.
bool WaitForOutput(int buffers = 3)
{
    const int64_t target = SoundFramesMixed() + buffers * kSoundDeviceFrames;
    return WaitFor([&] { return SoundFramesMixed() >= target; });
}

int PeakBin(const float* spectrum)
{
    return static_cast<int>(std::max_element(spectrum, spectrum + kSpectrumBins) - spectrum);
}

float Loudest(const float* values, int count)
{
    float largest = 0.0f;
    for (int i = 0; i < count; ++i) largest = std::max(largest, std::fabs(values[i]));
    return largest;
}

float LoudestOutput()
{
    float output[kSpectrumWindowFrames];
    SoundRecentOutput(output);
    return Loudest(output, kSpectrumWindowFrames);
}

std::string SineTrack()
{
    return CachedTestTrack("sine1k", 2, 44100, 6.0, SineSignal(1000.0, 0.5, 44100));
}

// A window of a sine centred on bin `bin`, with the given amplitude.
void BinSine(int bin, double amplitude, float out[kSpectrumWindowFrames])
{
    for (int i = 0; i < kSpectrumWindowFrames; ++i)
        out[i] =
            static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * bin * i / kSpectrumWindowFrames));
}

TEST(SoundSpectrumScale, SineAndSilenceReadAsStatedAndValuesStayWithinZeroToOne)
{
    float samples[kSpectrumWindowFrames], values[kSpectrumBins];
    BinSine(23, 1.0, samples);
    SpectrumOfOutput(samples, values);
    EXPECT_EQ(values[23], 1.0f) << "full scale reads 1";
    EXPECT_LT(values[20], 0.1f);
    // Square root of twice the amplitude: -18 dBFS reads 0.5, -46 dBFS 0.1, whatever played before.
    BinSine(110, std::pow(10.0, -18.0 / 20.0), samples);
    SpectrumOfOutput(samples, values);
    EXPECT_NEAR(values[110], 0.5f, 0.005f);
    BinSine(206, std::pow(10.0, -46.0 / 20.0), samples);
    SpectrumOfOutput(samples, values);
    EXPECT_NEAR(values[206], 0.1f, 0.002f);
    EXPECT_LT(values[100], 0.01f) << "far from the tone";

    std::fill(samples, samples + kSpectrumWindowFrames, 0.0f);
    SpectrumOfOutput(samples, values);
    EXPECT_EQ(Loudest(values, kSpectrumBins), 0.0f) << "silence reads 0";

    // Far beyond full scale (a clipped square wave at 40 times full scale, and noise on top): still 0 ... 1.
    for (int i = 0; i < kSpectrumWindowFrames; ++i)
        samples[i] = (i / 7 % 2 ? 40.0f : -40.0f) + static_cast<float>((i * 7919) % 201 - 100);
    SpectrumOfOutput(samples, values);
    for (int bin = 0; bin < kSpectrumBins; ++bin) {
        ASSERT_GE(values[bin], 0.0f) << bin;
        ASSERT_LE(values[bin], 1.0f) << bin;
    }
    // The mapping itself: monotonic, and nothing that is not a positive number turns into a value.
    float previous = 0.0f;
    for (float m = 1e-9f; m < 1e3f; m *= 1.5f) {
        const float v = SpectrumValue(m);
        ASSERT_GE(v, previous) << m;
        ASSERT_LE(v, 1.0f) << m;
        previous = v;
    }
    EXPECT_EQ(SpectrumValue(-0.5f), 0.0f);
    EXPECT_EQ(SpectrumValue(std::numeric_limits<float>::quiet_NaN()), 0.0f);
    EXPECT_EQ(SpectrumValue(std::numeric_limits<float>::infinity()), 1.0f);
}

class SoundLayer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SoundInit()) << SoundError(); }
    void TearDown() override
    {
        SoundHoldDecoding(false);
        SoundClose();
    }

    // Loads and plays a track, then waits until the output holds a full window of it.
    static void PlayTrack(const std::string& path)
    {
        ASSERT_FALSE(path.empty()) << "the test track could not be written";
        ASSERT_TRUE(SoundLoadTrack(path.c_str())) << SoundError();
        SoundPlay();
        ASSERT_TRUE(WaitForOutput());
    }
};

TEST(SoundStart, UnknownDriverFailsAndCallsWithoutAnOpenSystemDoNothing)
{
    const char* previous = std::getenv("SDL_AUDIODRIVER");
    const std::string kept = previous ? previous : "";
    SetTestVariable("SDL_AUDIODRIVER", "no-such-driver");
    EXPECT_FALSE(SoundInit());
    EXPECT_STRNE(SoundError(), "");
    SetTestVariable("SDL_AUDIODRIVER", previous ? kept.c_str() : nullptr);

    EXPECT_FALSE(SoundLoadTrack(SineTrack().c_str()));
    SoundPlay();
    SoundSetPosition(1000);
    SoundMovePosition(10);
    SoundSetVolume(0);
    EXPECT_EQ(SoundPosition(), 0);
    float spectrum[kSpectrumBins];
    std::fill(spectrum, spectrum + kSpectrumBins, 7.0f);
    SoundSpectrum(spectrum);
    EXPECT_EQ(Loudest(spectrum, kSpectrumBins), 0.0f);
    SoundClose();

    ASSERT_TRUE(SoundInit()) << SoundError();
    EXPECT_FALSE(SoundInit()) << "a second start while open must be refused";
    SoundClose();
    SoundClose();
}

TEST_F(SoundLayer, RejectsFilesItCannotPlayAndReplacesTracks)
{
    EXPECT_FALSE(SoundLoadTrack((TestTrackFolder() + "/missing.ogg").c_str()));
    EXPECT_NE(std::string(SoundError()).find("missing.ogg"), std::string::npos) << SoundError();
    EXPECT_FALSE(SoundLoadTrack(nullptr));
    const std::string text = TestTrackFolder() + "/not-ogg.ogg";
    std::ofstream(text) << "this is not an Ogg Vorbis stream\n";
    EXPECT_FALSE(SoundLoadTrack(text.c_str()));
    const std::string empty = TestTrackFolder() + "/empty.ogg";
    std::ofstream(empty).close();
    EXPECT_FALSE(SoundLoadTrack(empty.c_str()));
    const std::string surround =
        CachedTestTrack("three-channels", 3, 44100, 0.5, SineSignal(440, 0.3, 44100));
    EXPECT_FALSE(SoundLoadTrack(surround.c_str()));
    EXPECT_NE(std::string(SoundError()).find("channels"), std::string::npos) << SoundError();

    // The first half of a good file: it either loads and decodes to its end, or is refused.
    std::ifstream in(SineTrack(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string cut = TestTrackFolder() + "/cut.ogg";
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    if (SoundLoadTrack(cut.c_str())) {
        SoundPlay();
        SoundSetPosition(SoundTrack().frames - 2000);
        EXPECT_TRUE(WaitForOutput());
        EXPECT_TRUE(WaitFor([] { return SoundTrack().decodedFrames == SoundTrack().frames; }));
    }

    PlayTrack(SineTrack());
    EXPECT_GT(LoudestOutput(), 0.3f);
    const std::string mono = CachedTestTrack("mono22k", 1, 22050, 4.0, SineSignal(1000.0, 0.5, 22050));
    ASSERT_TRUE(SoundLoadTrack(mono.c_str())) << SoundError();
    EXPECT_EQ(SoundTrack().rate, 22050);
    EXPECT_EQ(SoundTrack().channels, 1);
    ASSERT_TRUE(WaitForOutput());
    EXPECT_EQ(LoudestOutput(), 0.0f) << "a new track waits for SoundPlay";
    EXPECT_EQ(SoundPosition(), 0);
}

TEST_F(SoundLayer, SpectrumPeaksInTheSineBinAndIsZeroForSilence)
{
    float spectrum[kSpectrumBins];
    SoundSpectrum(spectrum);
    EXPECT_EQ(Loudest(spectrum, kSpectrumBins), 0.0f) << "nothing played yet";

    PlayTrack(SineTrack());
    SoundSpectrum(spectrum);
    int peak = PeakBin(spectrum);
    EXPECT_TRUE(peak == 23 || peak == 24) << peak;  // 1000 Hz / (44100 Hz / 1024) = bin 23.2
    EXPECT_GT(spectrum[peak], 0.95f);               // amplitude 0.5: -6 dBFS reaches the top
    for (int bin = 40; bin < kSpectrumBins; ++bin) EXPECT_LT(spectrum[bin], 0.05f) << bin;

    // -18 dBFS reads 0.5 through the device path too.
    PlayTrack(CachedTestTrack("sine1k-18dB", 2, 44100, 2.0, SineSignal(1000.0, 0.126, 44100)));
    SoundSpectrum(spectrum);
    EXPECT_NEAR(spectrum[PeakBin(spectrum)], 0.49f, 0.03f);

    // A mono file at half the rate plays at its own speed: the tone stays at 1 kHz.
    PlayTrack(CachedTestTrack("mono22k", 1, 22050, 4.0, SineSignal(1000.0, 0.5, 22050)));
    SoundSpectrum(spectrum);
    peak = PeakBin(spectrum);
    EXPECT_TRUE(peak == 23 || peak == 24) << peak;

    PlayTrack(CachedTestTrack("silence", 2, 44100, 2.0, SilentSignal()));
    SoundSpectrum(spectrum);
    EXPECT_LT(Loudest(spectrum, kSpectrumBins), 1e-4f);
}

TEST_F(SoundLayer, PositionFollowsTheOutputAndEveryRequest)
{
    ASSERT_TRUE(SoundLoadTrack(SineTrack().c_str())) << SoundError();
    // Loaded but not playing: the position stands still, so every request can be checked exactly.
    SoundSetPosition(5000);
    EXPECT_EQ(SoundPosition(), 5000);
    ASSERT_TRUE(WaitForOutput(2));
    EXPECT_EQ(SoundPosition(), 5000) << "taken by the mixer, not moved while stopped";
    SoundMovePosition(300);
    SoundMovePosition(300);
    EXPECT_EQ(SoundPosition(), 5600);
    SoundMovePosition(-7000);
    EXPECT_EQ(SoundPosition(), 0) << "a move before the start lands on the start";
    SoundSetPosition(std::numeric_limits<int64_t>::max());
    SoundMovePosition(std::numeric_limits<int64_t>::max());
    EXPECT_GT(SoundPosition(), 0);
    SoundMovePosition(std::numeric_limits<int64_t>::min());
    EXPECT_EQ(SoundPosition(), 0);
    ASSERT_TRUE(WaitForOutput(2));
    SoundSetPosition(4000);
    SoundMovePosition(-1000);
    ASSERT_TRUE(WaitForOutput(2));
    EXPECT_EQ(SoundPosition(), 3000);

    // Playing, the position moves with the output: as many frames as the device took, at whatever pace
    // a loaded machine lets its audio thread run (one buffer of slack for a pass between the readings).
    SoundPlay();
    ASSERT_TRUE(WaitForOutput(2));
    const int64_t p0 = SoundPosition();
    const int64_t m0 = SoundFramesMixed();
    ASSERT_TRUE(WaitForOutput(20));
    const int64_t advanced = SoundPosition() - p0;
    const int64_t mixed = SoundFramesMixed() - m0;
    EXPECT_GE(mixed, 20 * kSoundDeviceFrames);
    EXPECT_NEAR(static_cast<double>(advanced), static_cast<double>(mixed), kSoundDeviceFrames);
}

// Takes the layer's device from under it, as a driver that fails does: SDL then reports it stopped. False
// when no playing device is found.
bool TakeTheDeviceAway()
{
    for (SDL_AudioDeviceID id = 1; id < 64; ++id) {
        if (SDL_GetAudioDeviceStatus(id) != SDL_AUDIO_PLAYING) continue;
        SDL_CloseAudioDevice(id);
        return true;
    }
    return false;
}

// While the device is lost the position follows the clock, and a move asked for meanwhile lands as it would
// with a device: a jump at its target plus the time since it was asked (not plus the whole frame before it,
// nor that wait twice), a relative move on top of where the clock stands.
TEST_F(SoundLayer, MovesAskedForWhileTheDeviceIsLostLandWhereTheClockStands)
{
    PlayTrack(SineTrack());
    ASSERT_TRUE(TakeTheDeviceAway()) << "no playing device found";
    SoundWatchDevice();
    ASSERT_TRUE(SoundDeviceLost());
    auto framesSince = [](Clock::time_point t) {
        return std::chrono::duration<double>(Clock::now() - t).count() * kSoundMixRate;
    };

    // A long frame, and a jump asked for near its end, taken at the next frame's look at the device.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    const auto asked = Clock::now();
    SoundSetPosition(100000);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    SoundWatchDevice();
    const int64_t landed = SoundPosition();
    // Should the device have come back meanwhile, its first buffer may be mixed already.
    const double slack = SoundDeviceLost() ? 1.0 : 2.0 * kSoundDeviceFrames;
    EXPECT_GE(landed, 100000);
    EXPECT_LE(static_cast<double>(landed), 100000 + framesSince(asked) + slack)
        << "the jump landed " << landed - 100000 << " frames past its target";

    if (!SoundDeviceLost()) return;  // the device is back already: the rest needs it lost
    const int64_t before = SoundPosition();
    const auto from = Clock::now();
    SoundMovePosition(5000);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    SoundWatchDevice();
    const double moved = static_cast<double>(SoundPosition() - before - 5000);
    EXPECT_GE(moved, 0.0);
    // Counted from the watch before the move, a moment before `from` (10 ms of slack for a loaded machine).
    EXPECT_LE(moved, framesSince(from) + 0.01 * kSoundMixRate +
                         (SoundDeviceLost() ? 0.0 : 2.0 * kSoundDeviceFrames));
}

TEST_F(SoundLayer, JumpsPlayAtOnceWhereTheDecoderHasNotArrived)
{
    // Low tone in the first half, high tone in the second; while the worker is held, the mixer must decode
    // every position itself (at a rate below the mix rate, so it interpolates across the seams of its
    // chunks).
    constexpr int kRate = 16000;
    const std::string path = CachedTestTrack("two-tones-16k-b", 1, kRate, 20.0, [](int64_t frame, int) {
        const double f = frame < 10 * kRate ? 500.0 : 2000.0;
        return static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * f * frame / kRate));
    });
    ASSERT_FALSE(path.empty());
    SoundHoldDecoding(true);
    ASSERT_TRUE(SoundLoadTrack(path.c_str())) << SoundError();
    EXPECT_EQ(SoundTrack().decodedFrames, 0);

    float spectrum[kSpectrumBins];
    const auto expectPeak = [&](int bin, const char* what) {
        ASSERT_TRUE(WaitForOutput());
        SoundSpectrum(spectrum);
        EXPECT_NEAR(PeakBin(spectrum), bin, 1) << what;
        // Amplitude 0.5 would read 1; linear interpolation dulls the tone a little.
        EXPECT_GT(spectrum[PeakBin(spectrum)], 0.85f) << what;
    };
    SoundPlay();
    SoundSetPosition(15 * kRate);
    expectPeak(46, "2000 Hz, far ahead of the decoder");
    SoundSetPosition(0);
    expectPeak(12, "500 Hz, back at the start");
    for (int jump = 0; jump < 10; ++jump) {
        SoundMovePosition(2000);
        ASSERT_TRUE(WaitForOutput(2));
    }
    expectPeak(12, "500 Hz after jumps ahead");
    EXPECT_EQ(SoundTrack().decodedFrames, 0);
    EXPECT_LE(SoundTrack().mixerSeeks, 14) << "a seek per jump at most, none while playing on";

    SoundHoldDecoding(false);
    SoundSetPosition(18 * kRate);  // the worker's lead from here reaches the end
    ASSERT_TRUE(WaitFor([] { return SoundTrack().decodedFrames == SoundTrack().frames; }));
    EXPECT_EQ(SoundTrack().frames, 20 * kRate);
    SoundSetPosition(15 * kRate);
    expectPeak(46, "2000 Hz from the decoded buffer");
}

TEST_F(SoundLayer, TheStartIsDecodedAtOnceAndTheRestAFewSecondsAhead)
{
    constexpr int kRate = 16000;
    const std::string path = CachedTestTrack("tone-30s-16k", 1, kRate, 30.0, SineSignal(700.0, 0.4, kRate));
    ASSERT_FALSE(path.empty());
    ASSERT_TRUE(SoundLoadTrack(path.c_str())) << SoundError();
    const int64_t frames = SoundTrack().frames;
    EXPECT_GE(SoundTrack().decodedFrames, kRate / 2)
        << "the first half second before the track is handed over";
    SoundPlay();
    // The worker goes a few seconds ahead of the position and waits there; the track is not decoded whole.
    ASSERT_TRUE(WaitFor([] { return SoundTrack().decodedFrames >= SoundPosition() + 3 * kRate; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const int64_t decoded = SoundTrack().decodedFrames;
    EXPECT_LE(decoded, SoundPosition() + 5 * kRate);
    EXPECT_LT(decoded, frames / 2);
    // A jump near the end: the lead from there reaches the end.
    SoundSetPosition(frames - kRate);
    EXPECT_TRUE(WaitFor([&] { return SoundTrack().decodedFrames == frames; }));
}

// Mixed offline, once from the decoded track and once with every frame decoded by the mixer itself: the
// same steps (plays, jumps inside and outside what is decoded, jumps back, the end) give the same bytes.
TEST(SoundOffline, TheMixersOwnDecodingGivesTheSameSamplesAsTheDecodedTrack)
{
    // Partials and noise, so that every bit of the samples counts; at 44100 Hz and at 22050 Hz (read between
    // frames, across the seams of the mixer's pieces).
    const TestSignal music = [](int64_t frame, int channel) {
        const double t = frame / 44100.0;
        double v = 0.0;
        for (int k = 1; k <= 5; ++k)
            v += 0.1 * std::sin(2.0 * std::numbers::pi * (97.0 * k + channel) * t + k);
        const uint32_t hash = static_cast<uint32_t>(frame * 2654435761u + channel * 40503u);
        return static_cast<float>(v + 0.08 * ((hash >> 8) / 16777216.0 - 0.5));
    };
    for (const auto& [name, channels, rate] :
         {std::tuple{"music-44k", 2, 44100}, std::tuple{"music-mono-22k", 1, 22050}}) {
        SCOPED_TRACE(name);
        const std::string path = CachedTestTrack(name, channels, rate, 8.0, music);
        ASSERT_FALSE(path.empty());
        std::vector<float> mixed[2];
        for (int held = 0; held < 2; ++held) {
            ASSERT_TRUE(SoundInitOffline());
            SoundHoldDecoding(held == 1);
            ASSERT_TRUE(SoundLoadTrack(path.c_str())) << SoundError();
            EXPECT_EQ(SoundTrack().decodedFrames, held ? 0 : SoundTrack().frames);
            std::vector<float>& out = mixed[held];
            const auto render = [&out](int frames) {
                const size_t at = out.size();
                out.resize(at + static_cast<size_t>(frames) * 2);
                SoundRenderOffline(frames, out.data() + at);
            };
            SoundPlay();
            render(5000);
            SoundSetPosition(150000);
            render(9000);
            SoundMovePosition(-6000);
            render(3000);
            SoundMovePosition(5999);
            render(3000);
            SoundSetPosition(0);
            render(4000);
            SoundSetPosition(SoundTrack().frames - 1000);
            render(3000);
            if (held) {
                EXPECT_GT(SoundTrack().mixerSeeks, 3);
            }
            SoundHoldDecoding(false);
            SoundClose();
        }
        ASSERT_EQ(mixed[0].size(), mixed[1].size());
        EXPECT_EQ(std::memcmp(mixed[0].data(), mixed[1].data(), mixed[0].size() * sizeof(float)), 0);
        EXPECT_GT(Loudest(mixed[0].data(), static_cast<int>(mixed[0].size())), 0.2f);
    }
}

TEST_F(SoundLayer, JumpsCrossfadeWithoutAClick)
{
    PlayTrack(SineTrack());
    // A 1 kHz sine at 0.5 moves at most 0.5 * 2 pi * 1000 / 44100 = 0.071 per sample; a jump by half a
    // period without a crossfade would step by up to 1.0. Jumps are taken at the start of a device
    // buffer, so the output is followed across buffers, skipping any seam that was not seen whole.
    float largestStep = 0.0f;
    int seams = 0;
    float output[kSpectrumWindowFrames];
    int64_t seen = SoundRecentOutput(output);
    float last = output[kSpectrumWindowFrames - 1];
    for (int jump = 0; jump < 16; ++jump) {
        SoundMovePosition(22 + 3 * jump);
        for (int block = 0; block < 3; ++block) {
            ASSERT_TRUE(WaitFor([&] { return SoundFramesMixed() > seen; }));
            const int64_t mixed = SoundRecentOutput(output);
            if (mixed - seen == kSpectrumWindowFrames) {
                largestStep = std::max(largestStep, std::fabs(output[0] - last));
                ++seams;
            }
            for (int i = 1; i < kSpectrumWindowFrames; ++i)
                largestStep = std::max(largestStep, std::fabs(output[i] - output[i - 1]));
            seen = mixed;
            last = output[kSpectrumWindowFrames - 1];
        }
    }
    EXPECT_GE(seams, 8) << "too few buffers followed whole to judge";
    EXPECT_LT(largestStep, 0.1f);
    EXPECT_GT(largestStep, 0.05f) << "the sine was playing";
}

TEST_F(SoundLayer, VolumeAndTheEndOfTheTrackSilenceTheOutput)
{
    PlayTrack(SineTrack());
    SoundSetVolume(0);
    ASSERT_TRUE(WaitForOutput());
    EXPECT_EQ(LoudestOutput(), 0.0f);
    float spectrum[kSpectrumBins];
    SoundSpectrum(spectrum);
    EXPECT_EQ(Loudest(spectrum, kSpectrumBins), 0.0f);
    SoundSetVolume(128);
    ASSERT_TRUE(WaitForOutput());
    EXPECT_NEAR(LoudestOutput(), 0.5f * 128 / 255, 0.05f);
    SoundSetVolume(100000);  // clamped to full volume
    ASSERT_TRUE(WaitForOutput());
    EXPECT_NEAR(LoudestOutput(), 0.5f, 0.06f);

    PlayTrack(CachedTestTrack("short", 2, 44100, 0.25, SineSignal(1000.0, 0.5, 44100)));
    const int64_t length = SoundTrack().frames;
    ASSERT_TRUE(WaitFor([&] { return SoundPosition() > length + 2 * kSpectrumWindowFrames; }))
        << "the position counts on past the end";
    EXPECT_EQ(LoudestOutput(), 0.0f);
    SoundSetPosition(length * 4);
    ASSERT_TRUE(WaitForOutput(2));
    EXPECT_EQ(LoudestOutput(), 0.0f) << "a position set past the end";
    SoundSetPosition(0);
    ASSERT_TRUE(WaitForOutput(2));
    EXPECT_GT(LoudestOutput(), 0.3f) << "the track plays again from the start";
}

}  // namespace
