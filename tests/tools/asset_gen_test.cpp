// Tests of the generators' building blocks: painting and its edges, tone mapping, the JPEG and Ogg
// writers (read back with libjpeg and vorbisfile), envelopes, filters and the peak limiter.
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <string>

#include "tools/asset_gen/canvas.h"
#include "tools/asset_gen/synth.h"

namespace fs = std::filesystem;
using namespace assetgen;

namespace {

fs::path Scratch(const std::string& name)
{
    return fs::temp_directory_path() / ("quarnel_asset_gen_" + std::to_string(getpid()) + "_" + name);
}

TEST(AssetCanvas, WrappingCanvasCarriesLightAcrossItsEdgesAndAPlainOneDropsIt)
{
    Canvas wrapping(32, 32, true), plain(32, 32, false);
    for (Canvas* c : {&wrapping, &plain}) c->AddDot(0.5f, 16.5f, 2.0f, {1, 1, 1});
    // One pixel left of the dot's centre lies on the far side when wrapped.
    EXPECT_NEAR(wrapping.At(31, 16).r, std::exp(-0.5f / 4.0f), 1e-4);
    EXPECT_NEAR(wrapping.At(1, 16).r, wrapping.At(31, 16).r, 1e-6);
    EXPECT_EQ(plain.At(31, 16).r, 0.0f);
    EXPECT_GT(plain.At(1, 16).r, 0.8f);
}

TEST(AssetCanvas, PolylineIsEvenlyBrightAlongItsLengthAndAtItsJoints)
{
    Canvas c(64, 64);
    std::vector<Point> bent;
    for (int i = 0; i <= 20; ++i) bent.push_back({10.5f + 2.0f * i, 20.5f + (i % 2 ? 0.0f : 0.01f)});
    c.AddPolyline(bent, 1.5f, {1, 1, 1});
    float lo = 1e9f, hi = 0;
    for (int x = 12; x <= 48; ++x) lo = std::min(lo, c.At(x, 20).r), hi = std::max(hi, c.At(x, 20).r);
    EXPECT_NEAR(hi, 1.0f, 0.02f);
    EXPECT_GT(lo, 0.97f * hi);
}

TEST(AssetCanvas, FadeOutsideLeavesTheMiddleAndBlackensTheRim)
{
    Canvas c(40, 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) c.At(x, y) = {1, 1, 1};
    c.FadeOutside(10, 18);
    EXPECT_EQ(c.At(20, 20).g, 1.0f);
    EXPECT_EQ(c.At(0, 0).g, 0.0f);
    EXPECT_EQ(c.At(20, 0).g, 0.0f);
    EXPECT_GT(c.At(20, 6).g, 0.0f);
    EXPECT_LT(c.At(20, 6).g, 1.0f);
}

TEST(AssetToneMap, KeepsBlackExactlyBlackAndRisesMonotonicallyBelowFullWhite)
{
    Canvas c(8, 1);
    for (int x = 0; x < 8; ++x) c.At(x, 0) = {x * 0.5f, 0, 0};
    Rng dither(1);
    const std::vector<uint8_t> rgb = ToneMap(c, 1.0f, dither);
    EXPECT_EQ(rgb[0], 0);
    // Only light past saturation spills into the other channels (hot cores turn white).
    for (int x = 0; x <= 2; ++x) EXPECT_EQ(rgb[x * 3 + 1], 0) << x;
    EXPECT_GT(rgb[7 * 3 + 1], 20);
    for (int x = 1; x < 8; ++x) EXPECT_GT(rgb[x * 3] + 1, rgb[(x - 1) * 3]);
    EXPECT_LT(rgb[3], 255);
}

TEST(AssetJpeg, WritesAPictureThatLibjpegReadsBackClosely)
{
    const int w = 48, h = 32;
    std::vector<uint8_t> rgb(w * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            rgb[(y * w + x) * 3 + 0] = static_cast<uint8_t>(x * 5);
            rgb[(y * w + x) * 3 + 1] = static_cast<uint8_t>(y * 7);
            rgb[(y * w + x) * 3 + 2] = 128;
        }
    const fs::path path = Scratch("gradient.jpg");
    std::string error;
    ASSERT_TRUE(WriteJpeg(path.string(), w, h, rgb, 90, &error)) << error;

    FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    jpeg_decompress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    ASSERT_EQ(jpeg_read_header(&info, TRUE), JPEG_HEADER_OK);
    EXPECT_FALSE(info.progressive_mode);  // baseline: what every decoder of ours accepts
    jpeg_start_decompress(&info);
    ASSERT_EQ(static_cast<int>(info.output_width), w);
    ASSERT_EQ(static_cast<int>(info.output_height), h);
    std::vector<uint8_t> back(w * h * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = back.data() + info.output_scanline * w * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    fs::remove(path);
    double error_sum = 0;
    for (size_t i = 0; i < rgb.size(); ++i) error_sum += std::abs(rgb[i] - back[i]);
    EXPECT_LT(error_sum / rgb.size(), 3.0);
}

TEST(AssetJpeg, ReportsMismatchedPixelsAndUnwritablePaths)
{
    std::string error;
    EXPECT_FALSE(WriteJpeg(Scratch("short.jpg").string(), 4, 4, std::vector<uint8_t>(10), 90, &error));
    EXPECT_NE(error.find("size"), std::string::npos);
    error.clear();
    EXPECT_FALSE(WriteJpeg("/nonexistent-folder/x.jpg", 1, 1, std::vector<uint8_t>(3), 90, &error));
    EXPECT_NE(error.find("cannot write"), std::string::npos);
}

TEST(AssetEnvelope, RisesHoldsAndReleasesWithoutJumps)
{
    EXPECT_EQ(Envelope(-0.1, 1.0, 0.1, 0.2, 0.5, 0.3), 0.0f);
    EXPECT_NEAR(Envelope(0.1, 1.0, 0.1, 0.2, 0.5, 0.3), 1.0f, 1e-5);
    EXPECT_NEAR(Envelope(0.6, 1.0, 0.1, 0.2, 0.5, 0.3), 0.5f, 1e-5);
    // Releasing from wherever the note stands when the gate closes, even mid-attack.
    EXPECT_NEAR(Envelope(0.05 + 1e-6, 0.05, 0.1, 0.2, 0.5, 0.3),
                Envelope(0.05 - 1e-6, 0.05, 0.1, 0.2, 0.5, 0.3), 1e-4);
    EXPECT_NEAR(Envelope(1.0 + 1e-6, 1.0, 0.1, 0.2, 0.5, 0.3), 0.5f, 1e-4);
    EXPECT_EQ(Envelope(1.31, 1.0, 0.1, 0.2, 0.5, 0.3), 0.0f);
}

// Amplitude of a sine of `hz` after the filter, once it has settled.
float Through(double hz, bool low)
{
    StateVariableFilter f;
    f.Set(1000.0, 0.707);
    float peak = 0;
    for (int i = 0; i < kSampleRate / 2; ++i) {
        const auto out = f.Process(static_cast<float>(std::sin(2 * std::numbers::pi * hz * i / kSampleRate)));
        if (i > kSampleRate / 4) peak = std::max(peak, std::fabs(low ? out.low : out.high));
    }
    return peak;
}

TEST(AssetFilter, LowAndHighOutputsSplitTheSpectrumAtTheCutoff)
{
    EXPECT_NEAR(Through(100, true), 1.0f, 0.02f);
    EXPECT_LT(Through(10000, true), 0.02f);
    EXPECT_NEAR(Through(10000, false), 1.0f, 0.02f);
    EXPECT_LT(Through(100, false), 0.02f);
    EXPECT_NEAR(Through(1000, true), 0.707f, 0.03f);
}

TEST(AssetLimiter, HoldsEveryPeakAtTheCeilingAndLeavesQuietSoundAlone)
{
    // A quiet 440 Hz tone with a burst four times too loud in its middle.
    Stereo audio(kSampleRate);
    for (size_t i = 0; i < audio.Frames(); ++i) {
        const float burst = i >= 20000 && i < 20400 ? 4.0f : 1.0f;
        audio.left[i] =
            0.2f * burst * static_cast<float>(std::sin(2 * std::numbers::pi * 440.0 * i / kSampleRate));
        audio.right[i] = 0.5f * audio.left[i];
    }
    const Stereo before = audio;
    LimitPeaks(audio, 2.0f, 0.8f);
    float peak = 0;
    for (size_t i = 0; i < audio.Frames(); ++i) {
        peak = std::max({peak, std::fabs(audio.left[i]), std::fabs(audio.right[i])});
        if (before.left[i] != 0.0f) {
            ASSERT_NEAR(audio.right[i] / audio.left[i], 0.5f, 1e-4) << i;
        }
    }
    EXPECT_LE(peak, 0.8f);
    EXPECT_GT(peak, 0.75f);
    // Well before the burst, and once the gain has come back after it, only the gain of 2 applies.
    EXPECT_FLOAT_EQ(audio.left[10000], 2.0f * before.left[10000]);
    EXPECT_NEAR(audio.left[40000], 2.0f * before.left[40000], 1e-3);
}

TEST(AssetOgg, WritesEveryFrameAndTheSameBytesTwice)
{
    Stereo audio(kSampleRate / 2 + 123);
    for (size_t i = 0; i < audio.Frames(); ++i) {
        audio.left[i] = 0.5f * static_cast<float>(std::sin(2 * std::numbers::pi * 440.0 * i / kSampleRate));
        audio.right[i] = 0.5f * static_cast<float>(std::sin(2 * std::numbers::pi * 660.0 * i / kSampleRate));
    }
    const fs::path a = Scratch("a.ogg"), b = Scratch("b.ogg");
    std::string error;
    ASSERT_TRUE(WriteOggVorbis(a.string(), audio, 0.5f, 77, {{"TITLE", "test"}}, &error)) << error;
    ASSERT_TRUE(WriteOggVorbis(b.string(), audio, 0.5f, 77, {{"TITLE", "test"}}, &error)) << error;

    OggVorbis_File file;
    ASSERT_EQ(ov_fopen(a.c_str(), &file), 0);
    EXPECT_EQ(ov_pcm_total(&file, -1), static_cast<ogg_int64_t>(audio.Frames()));
    EXPECT_EQ(ov_info(&file, -1)->channels, 2);
    EXPECT_EQ(ov_serialnumber(&file, -1), 77);
    ov_clear(&file);

    EXPECT_EQ(fs::file_size(a), fs::file_size(b));
    std::FILE* fa = std::fopen(a.c_str(), "rb");
    std::FILE* fb = std::fopen(b.c_str(), "rb");
    bool same = true;
    for (int ca = 0, cb = 0; same && ca != EOF;) ca = std::fgetc(fa), cb = std::fgetc(fb), same = ca == cb;
    std::fclose(fa);
    std::fclose(fb);
    EXPECT_TRUE(same);
    fs::remove(a);
    fs::remove(b);

    EXPECT_FALSE(WriteOggVorbis("/nonexistent-folder/x.ogg", audio, 0.5f, 1, {}, &error));
    EXPECT_NE(error.find("cannot create"), std::string::npos);
}

}  // namespace
