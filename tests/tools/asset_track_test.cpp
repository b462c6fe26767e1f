// Checks the generated music track through vorbisfile and kissfft: format and length, level, a clean
// ending, and energy in every spectrum bin the picture reads, second by second over the whole track.
#include <gtest/gtest.h>
#include <kissfft/kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <vector>

#include "tests/tools/asset_test_support.h"

namespace {

constexpr int kRate = 44100;
constexpr int kFftSize = 1024;

const assettest::Track& LoadTrack()
{
    static assettest::Track track;
    static bool loaded = false;
    if (!loaded) {
        loaded = true;
        EXPECT_TRUE(assettest::ReadOgg(assettest::ShowPath(assettest::kTrackPath), &track));
    }
    return track;
}

TEST(AssetTrack, IsStereoAt44100HzAndLastsALittleOverTheShowsRestart)
{
    const assettest::Track& track = LoadTrack();
    EXPECT_EQ(track.channels, 2);
    EXPECT_EQ(track.rate, kRate);
    const double seconds = static_cast<double>(track.left.size()) / kRate;
    EXPECT_GE(seconds, 100.0);
    EXPECT_LE(seconds, 120.0);
    // The show starts the track again past 4,400,000 frames, so it must run beyond that.
    EXPECT_GT(track.left.size(), 4400000u);
}

TEST(AssetTrack, IsAudibleWithoutClippingAndEndsInSilence)
{
    const assettest::Track& track = LoadTrack();
    ASSERT_GT(track.left.size(), static_cast<size_t>(kRate));
    double sumSq = 0;
    float peak = 0;
    for (size_t i = 0; i < track.left.size(); ++i) {
        sumSq += track.left[i] * track.left[i] + track.right[i] * track.right[i];
        peak = std::max({peak, std::fabs(track.left[i]), std::fabs(track.right[i])});
    }
    const double rms = std::sqrt(sumSq / (2.0 * track.left.size()));
    EXPECT_GT(rms, 0.05);
    EXPECT_LT(peak, 0.99f);
    // The last 10 ms: a fade, not a cut that clicks.
    float tail = 0;
    for (size_t i = track.left.size() - kRate / 100; i < track.left.size(); ++i)
        tail = std::max({tail, std::fabs(track.left[i]), std::fabs(track.right[i])});
    EXPECT_LT(tail, 0.01f);
}

// The show jumps back to the start just after 4,400,000 frames; a note starting there would be cut
// to a blip on every loop. Short-time energy after that point must not rise above what sounds before.
TEST(AssetTrack, ShowsRestartPointFallsBetweenNotes)
{
    const assettest::Track& track = LoadTrack();
    const size_t restart = 4400000, slice = kRate / 100;
    ASSERT_GT(track.left.size(), restart + kRate);
    auto energy = [&](size_t from, size_t count) {
        double sum = 0;
        for (size_t i = from; i < from + count; ++i)
            sum += track.left[i] * track.left[i] + track.right[i] * track.right[i];
        return sum / count;
    };
    const double before = energy(restart - kRate / 10, kRate / 10);
    for (size_t from = restart; from < restart + kRate / 4; from += slice)
        EXPECT_LT(energy(from, slice), 2.0 * before) << "at frame " << from;
}

// Bins 2 to 40 drive the torn picture, 110 and 206 the folding pattern. Every one of them must carry
// energy in every second, or that part of the picture stands still. Magnitudes are those of a Hann
// window scaled so that a full-scale sine gives 1; 0.0015 is about -56 dB.
TEST(AssetTrack, KeepsEnergyInEveryBinThePictureReadsAcrossItsLength)
{
    const assettest::Track& track = LoadTrack();
    std::vector<int> bins;
    for (int b = 2; b <= 40; ++b) bins.push_back(b);
    bins.push_back(110);
    bins.push_back(206);
    constexpr float kFloor = 0.0015f;

    kiss_fftr_cfg fft = kiss_fftr_alloc(kFftSize, 0, nullptr, nullptr);
    ASSERT_NE(fft, nullptr);
    std::vector<float> window(kFftSize), frame(kFftSize);
    float windowSum = 0;
    for (int i = 0; i < kFftSize; ++i) {
        window[i] = 0.5f - 0.5f * std::cos(2.0f * static_cast<float>(M_PI) * i / kFftSize);
        windowSum += window[i];
    }
    std::vector<kiss_fft_cpx> spectrum(kFftSize / 2 + 1);

    // The last 2 seconds hold the closing fade.
    const size_t seconds = track.left.size() / kRate - 2;
    ASSERT_GT(seconds, 90u);
    std::ostringstream quiet;
    int quietCount = 0;
    for (size_t s = 0; s < seconds; ++s) {
        std::vector<float> peak(bins.size(), 0.0f);
        for (size_t start = s * kRate; start + kFftSize <= (s + 1) * kRate; start += kFftSize / 2) {
            for (int i = 0; i < kFftSize; ++i)
                frame[i] = 0.5f * (track.left[start + i] + track.right[start + i]) * window[i];
            kiss_fftr(fft, frame.data(), spectrum.data());
            for (size_t k = 0; k < bins.size(); ++k)
                peak[k] = std::max(peak[k],
                                   2.0f * std::hypot(spectrum[bins[k]].r, spectrum[bins[k]].i) / windowSum);
        }
        for (size_t k = 0; k < bins.size(); ++k)
            if (peak[k] < kFloor && quietCount++ < 20)
                quiet << " [" << s << " s, bin " << bins[k] << ": " << peak[k] << "]";
    }
    kiss_fftr_free(fft);
    EXPECT_EQ(quietCount, 0) << "quiet bins:" << quiet.str();
}

}  // namespace
