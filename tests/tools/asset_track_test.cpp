// Checks the generated music track through vorbisfile and kissfft: format and length, level, a clean
// ending, bars on the beat grid with the show's restart just past a bar line, energy in every spectrum bin
// the picture reads, and, through spectrum-dump, how far the music tears and turns the picture.
#include <gtest/gtest.h>
#include <kissfft/kiss_fftr.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <sstream>
#include <vector>

#include "render/billboards.h"
#include "tests/tools/asset_test_support.h"

namespace {

constexpr int kRate = 44100;
constexpr int kFftSize = 1024;
constexpr double kBeatSeconds = 60.0 / 77.0;  // the piece's tempo
constexpr double kBarFrames = 4 * kBeatSeconds * kRate;
constexpr size_t kShowRestart = 4400000;  // the show starts the track again past this frame

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
    // Mastered to about -14 dBFS RMS with its peaks below -1 dBFS.
    const double rmsDb = 20 * std::log10(std::sqrt(sumSq / (2.0 * track.left.size())));
    EXPECT_GT(rmsDb, -15.0);
    EXPECT_LT(rmsDb, -13.0);
    EXPECT_LT(20 * std::log10(peak), -1.0);
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

// The bars of the piece lie on a 77-beats-a-minute grid from its first frame, so that the show's restart,
// just after the line of bar 32, loops on a bar line: every bar of the groove opens with a kick and a bass
// note, whose low end rises sharply right on the grid line.
TEST(AssetTrack, BarsLieOnTheBeatGridAndTheShowsRestartFollowsABarLine)
{
    const assettest::Track& track = LoadTrack();
    ASSERT_GT(track.left.size(), kShowRestart);
    // Energy below about 200 Hz in blocks of 5 ms.
    const size_t block = kRate / 200;
    std::vector<double> low(track.left.size() / block, 0.0);
    const double a = 1.0 - std::exp(-2 * std::numbers::pi * 200.0 / kRate);
    double y = 0;
    for (size_t i = 0; i < low.size() * block; ++i) {
        y += a * (0.5 * (track.left[i] + track.right[i]) - y);
        low[i / block] += y * y;
    }
    for (int bar = 4; bar < 32; ++bar) {
        const size_t line = static_cast<size_t>(std::lround(bar * kBarFrames)) / block;
        // The block with the steepest rise within 25 ms of the line is the one holding it (or the next).
        size_t steepest = line;
        double rise = 0;
        for (size_t b = line - 5; b <= line + 5; ++b) {
            const double r = low[b + 1] / (low[b - 1] + 1e-12);
            if (r > rise) rise = r, steepest = b;
        }
        EXPECT_GT(rise, 4.0) << "bar " << bar;
        EXPECT_TRUE(steepest == line || steepest == line + 1 || steepest + 1 == line)
            << "bar " << bar << " opens " << (static_cast<double>(steepest) - line) * 5 << " ms off the line";
    }
    const double afterBar32 = (kShowRestart - 32 * kBarFrames) / kRate;
    EXPECT_GE(afterBar32, 0.0);
    EXPECT_LT(afterBar32, kBeatSeconds / 8);
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
        window[i] = 0.5f - 0.5f * std::cos(2.0f * static_cast<float>(std::numbers::pi) * i / kFftSize);
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

// The spectrum the show reads from the track, frame by frame at 60 frames a second, as spectrum-dump writes
// it through the sound layer's own offline path.
const std::vector<std::array<float, 512>>& DumpedSpectrum()
{
    static std::vector<std::array<float, 512>> frames;
    static bool dumped = false;
    if (dumped) return frames;
    dumped = true;
    const std::filesystem::path csv =
        std::filesystem::temp_directory_path() / ("quarnel_track_" + std::to_string(getpid()) + ".csv");
    const std::string command = std::string("'") + QUARNEL_TEST_SPECTRUM_DUMP + "' '" +
                                assettest::ShowPath(assettest::kTrackPath) + "' '" + csv.string() + "'";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    FILE* in = std::fopen(csv.c_str(), "r");
    if (!in) return frames;
    double time = 0;
    while (std::fscanf(in, "%lf", &time) == 1) {
        std::array<float, 512> values{};
        for (float& v : values)
            if (std::fscanf(in, ",%f", &v) != 1) break;
        frames.push_back(values);
    }
    std::fclose(in);
    std::filesystem::remove(csv);
    return frames;
}

double Percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(p / 100.0 * (values.size() - 1))];
}

// Outside the sea the picture is an 800-row strip in bands of 20 rows, each pushed sideways by one of bins
// 2 ... 39 times 0.15, in strip units that span about 400 pixels of the window; bins 110 and 206 turn and
// split the detail layer. Over the whole track the bands must move visibly, jump on the beat, and the
// hi-hats and cymbals must move the detail.
TEST(AssetTrack, TearsThePictureOnTheBeatAndMovesTheDetailAsTheShowReadsIt)
{
    const auto& frames = DumpedSpectrum();
    ASSERT_GT(frames.size(), 6500u);
    constexpr int kRows = 800;
    constexpr double kPixelsPerUnit = 400.0;
    std::vector<double> meanShift, largestShift, twist, split;
    std::vector<double> onBeat, beforeBeat;  // largest shifts just after and just before a beat
    for (size_t f = 0; f < frames.size(); ++f) {
        double sum = 0, largest = 0;
        for (int i = 0; i < kRows; ++i) {
            const WaveStripRow row = ComputeWaveStripRow(i, kRows, frames[f].data(), 2, 40, 0.15, 20);
            const double shift = std::fabs(row.left + 1.0) * kPixelsPerUnit;
            sum += shift;
            largest = std::max(largest, shift);
        }
        meanShift.push_back(sum / kRows);
        largestShift.push_back(largest);
        twist.push_back(frames[f][110]);
        split.push_back(frames[f][206]);
        // Within the groove (bars 4 to 31), the frame's place in its beat.
        const double seconds = (f + 1) / 60.0;
        const double phase = std::fmod(seconds, kBeatSeconds) / kBeatSeconds;
        if (seconds > 4 * 4 * kBeatSeconds && seconds < 32 * 4 * kBeatSeconds) {
            if (phase < 0.125) onBeat.push_back(largest);
            if (phase > 0.875) beforeBeat.push_back(largest);
        }
    }
    double mean = 0;
    for (double m : meanShift) mean += m / meanShift.size();
    EXPECT_GE(mean, 6.0) << "mean band shift over the track, pixels";
    EXPECT_GE(Percentile(largestShift, 50), 25.0) << "largest band shift at the median frame, pixels";
    EXPECT_GE(Percentile(largestShift, 99), 50.0) << "largest band shift on the strongest beats, pixels";
    double after = 0, before = 0;
    for (double v : onBeat) after += v / onBeat.size();
    for (double v : beforeBeat) before += v / beforeBeat.size();
    EXPECT_GT(after, 1.3 * before) << "the bands jump on the beat";
    // Hi-hats and cymbals strike in well over a tenth of all frames.
    EXPECT_GE(Percentile(twist, 90), 0.2) << "bin 110";
    EXPECT_GE(Percentile(split, 90), 0.2) << "bin 206";
}

}  // namespace
