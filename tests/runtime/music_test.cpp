// Tests of the show's music: steering (restart rule, jitter that depends on demo time alone), the spectrum
// copy, the fade, the offline mix (the same samples on every build), and the two start-up failures that end
// the process with their boxes and statuses.
#include "runtime/music.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <set>
#include <thread>
#include <vector>

#include "math/random.h"
#include "platform/message_box.h"
#include "scene/frame_inputs.h"
#include "sound/sound.h"
#include "tests/support/test_environment.h"
#include "tests/support/test_tracks.h"

namespace {

bool WaitForOutput(int64_t frames)
{
    const int64_t target = SoundFramesMixed() + frames;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (SoundFramesMixed() < target) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::string SineTrack()
{
    return CachedTestTrack("music-sine1k", 2, 44100, 4.0, SineSignal(1000.0, 0.5, 44100));
}

// The generator of the Windows C runtime, written out independently of runtime/random.cpp.
int ExpectedJump(double demoTime, bool restart)
{
    uint32_t state = static_cast<uint32_t>(static_cast<int64_t>(demoTime * 1000000.0));
    auto draw = [&state] {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7fff);
    };
    for (int i = 0; i < 2000 + (restart ? 1 : 0) + 1; ++i) draw();
    return draw() % 12000 - 6000;
}

TEST(MusicSteering, JitterDependsOnDemoTimeAlone)
{
    for (double t : {0.0, 0.016, 1.5, 12.345678, 99.99, 4321.0}) {
        const int64_t position = 200000;
        SeedRandom(7);
        const int64_t first = MusicSteerTarget(t, 0, position);
        for (int i = 0; i < 1234; ++i) NextRandom();  // whatever else used the generator in between
        SeedRandom(99);
        NextRandom();
        EXPECT_EQ(MusicSteerTarget(t, 0, position), first) << t;
        EXPECT_EQ(first, position + ExpectedJump(t, false)) << t;
    }

    std::set<int64_t> targets;
    for (int frame = 0; frame < 2000; ++frame) {
        const int64_t target = MusicSteerTarget(frame / 60.0, 0, 100000);
        EXPECT_GE(target, 100000 - 6000);
        EXPECT_LE(target, 100000 + 5999);
        targets.insert(target);
    }
    EXPECT_GT(targets.size(), 1500u) << "jumps differ from frame to frame";

    // Times with no microsecond value in 64 bits still steer within range.
    for (double t :
         {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(), 1e300}) {
        const int64_t target = MusicSteerTarget(t, 0, 50000);
        EXPECT_GE(target, 50000 - 6000);
        EXPECT_LE(target, 50000 + 5999);
    }
}

TEST(MusicSteering, SteadyMusicIsLeftAloneUntilItPassesTheRestartPoint)
{
    EXPECT_EQ(MusicSteerTarget(3.0, 1, 123456), 123456);
    EXPECT_EQ(MusicSteerTarget(3.0, 7, 123456), 123456) << "only 0 asks for jitter";
    EXPECT_EQ(MusicSteerTarget(3.0, 1, kMusicRestartPosition), kMusicRestartPosition);
    EXPECT_EQ(MusicSteerTarget(3.0, 1, kMusicRestartPosition + 1), 0);

    // Restart and jitter in one frame: the jitter starts from 0, one more number drawn, never below 0.
    for (double t : {2.0, 5.5, 8.25, 31.0}) {
        const int jump = ExpectedJump(t, true);
        EXPECT_EQ(MusicSteerTarget(t, 0, 5000000), jump < 0 ? 0 : jump) << t;
    }
    // Near the start, a jump before it lands on it.
    int clamped = 0;
    for (int frame = 0; frame < 200; ++frame) {
        const double t = frame * 0.0137;
        const int jump = ExpectedJump(t, false);
        EXPECT_EQ(MusicSteerTarget(t, 0, 1000), std::max(0, 1000 + jump)) << t;
        clamped += 1000 + jump < 0;
    }
    EXPECT_GT(clamped, 50);
}

TEST(MusicFade, VolumeFollowsTheFade)
{
    EXPECT_EQ(MusicVolumeForFade(0.0), 255);
    EXPECT_EQ(MusicVolumeForFade(0.5), 127);
    EXPECT_EQ(MusicVolumeForFade(1.0), 0);
    EXPECT_EQ(MusicVolumeForFade(0.1), 229);  // 229.5 truncated
    EXPECT_EQ(MusicVolumeForFade(3.0), 0);
    EXPECT_EQ(MusicVolumeForFade(-1.0), 255);
    EXPECT_EQ(MusicVolumeForFade(std::numeric_limits<double>::quiet_NaN()), 0);
}

class MusicPlayback : public ::testing::Test {
protected:
    void SetUp() override { SetMessageBoxBatchMode(true); }
    void TearDown() override { MusicClose(); }
};

TEST_F(MusicPlayback, SteerMovesTheRealChannel)
{
    const std::string path = SineTrack();
    ASSERT_FALSE(path.empty());
    MusicInit(path.c_str());
    // Not yet playing, so the channel stands still and the jump can be read exactly.
    SoundSetPosition(100000);
    MusicSteer(2.5, 0);
    EXPECT_EQ(SoundPosition(), MusicSteerTarget(2.5, 0, 100000));
    ASSERT_TRUE(WaitForOutput(2 * kSoundDeviceFrames));
    EXPECT_EQ(SoundPosition(), MusicSteerTarget(2.5, 0, 100000));

    SoundSetPosition(kMusicRestartPosition + 10);  // far past the end of this short track
    MusicSteer(2.5, 1);
    EXPECT_EQ(SoundPosition(), 0);
    MusicSteer(2.5, 1);
    EXPECT_EQ(SoundPosition(), 0);

    SoundSetPosition(kMusicRestartPosition + 10);
    MusicSteer(6.75, 0);
    ASSERT_TRUE(WaitForOutput(2 * kSoundDeviceFrames));
    EXPECT_EQ(SoundPosition(), MusicSteerTarget(6.75, 0, kMusicRestartPosition + 10));
}

TEST_F(MusicPlayback, PlayAnalyseAndFade)
{
    const std::string path = SineTrack();
    ASSERT_FALSE(path.empty());
    MusicInit(path.c_str());
    FrameInputs inputs;
    MusicAnalyse(inputs);
    for (float v : inputs.spectrum) EXPECT_EQ(v, 0.0f);

    MusicPlay();
    ASSERT_TRUE(WaitForOutput(3 * kSoundDeviceFrames));
    EXPECT_GT(SoundPosition(), 2 * kSoundDeviceFrames);
    MusicAnalyse(inputs);
    const int peak =
        static_cast<int>(std::max_element(inputs.spectrum, inputs.spectrum + 512) - inputs.spectrum);
    EXPECT_TRUE(peak == 23 || peak == 24) << peak;
    EXPECT_GT(inputs.spectrum[peak], 0.4f);

    MusicSetFade(1.0);
    ASSERT_TRUE(WaitForOutput(3 * kSoundDeviceFrames));
    float output[kSpectrumWindowFrames];
    SoundRecentOutput(output);
    for (float v : output) ASSERT_EQ(v, 0.0f);
    MusicAnalyse(inputs);
    for (float v : inputs.spectrum) ASSERT_EQ(v, 0.0f);
}

// Offline sound: the mixer advances by exactly the frames of each time step, steering lands where the
// live rules put it, the fade reaches silence, and two runs give the same samples.
std::vector<float> RenderOffline(const std::string& path, int frameCount, double step, int64_t* lastPosition)
{
    MusicUseOfflineSound(true);
    MusicInit(path.c_str());
    EXPECT_TRUE(SoundIsOffline());
    MusicPlay();
    std::vector<float> out;
    double demoTime = 0.0;
    for (int frame = 0; frame < frameCount; ++frame) {
        const int64_t before = SoundPosition();
        const bool steady = frame % 7 != 3;
        MusicSteer(demoTime, steady ? 1 : 0);
        if (frame > 0) {
            EXPECT_EQ(SoundPosition(), MusicSteerTarget(demoTime, steady ? 1 : 0, before));
        }
        demoTime += step;
        if (frame == frameCount - 3) MusicSetFade(1.0);
        MusicAdvance(step);
    }
    MusicTakeOfflineSound(out);
    *lastPosition = SoundPosition();
    MusicClose();
    MusicUseOfflineSound(false);
    return out;
}

TEST_F(MusicPlayback, OfflineSoundMixesEachFramesShareThroughTheSameSteering)
{
    const std::string path = SineTrack();
    ASSERT_FALSE(path.empty());
    int64_t position = 0;
    const std::vector<float> first = RenderOffline(path, 50, 1.0 / 60.0, &position);
    EXPECT_EQ(first.size(), 2u * 36750);  // round(44100 x 50 / 60)
    EXPECT_EQ(MusicOfflineFramesMixed(), 36750);
    // Steady frames move on by 735 frames each, jitters by their jump: the track ran, it did not stand.
    EXPECT_GT(position, 30000);
    float loud = 0.0f;
    for (size_t i = 0; i < 2 * 20000; ++i) loud = std::max(loud, std::fabs(first[i]));
    EXPECT_GT(loud, 0.4f);
    // The fade asked for two frames before the end has silenced the last frame's output.
    for (size_t i = first.size() - 2 * 700; i < first.size(); ++i) ASSERT_EQ(first[i], 0.0f) << i;

    const std::vector<float> second = RenderOffline(path, 50, 1.0 / 60.0, &position);
    EXPECT_TRUE(first == second) << "offline sound must not depend on timing";

    // A step with a fraction of a frame carries it over: 7 steps of 0.01 s make 3087 frames, not 7 x 441.
    const std::vector<float> odd = RenderOffline(path, 7, 0.0100001, &position);
    EXPECT_EQ(odd.size(), 2u * static_cast<size_t>(std::llround(44100 * 7 * 0.0100001)));
}

// A long step past the end of the track (a window minimised for an hour): its pieces reach the sink, the
// silence after the track's end is not mixed but given all the same, and samples and position come out as
// they do in steps of a second, each mixed whole.
uint64_t sinkDigest = 0;
int64_t sinkFrames = 0;

uint64_t AddToDigest(uint64_t digest, const float* stereo, int64_t frames)
{
    for (int64_t i = 0; i < frames * 2; ++i) {
        uint32_t bits = 0;
        std::memcpy(&bits, &stereo[i], sizeof bits);
        digest = (digest ^ bits) * 1099511628211ull;
    }
    return digest;
}

void DigestPiece(const float* stereo, int64_t frames)
{
    sinkDigest = AddToDigest(sinkDigest, stereo, frames);
    sinkFrames += frames;
}

TEST_F(MusicPlayback, ALongStepPastTheEndGivesTheSilenceItWouldMix)
{
    const std::string path = SineTrack();
    ASSERT_FALSE(path.empty());
    const int seconds = 3600;
    uint64_t digests[2] = {};
    int64_t positions[2] = {}, frames[2] = {};
    for (int way = 0; way < 2; ++way) {
        MusicUseOfflineSound(true);
        MusicInit(path.c_str());
        MusicPlay();
        MusicSteer(0.0, 0);  // a jump at the start: its crossfade is in the output
        sinkDigest = 14695981039346656037ull;
        sinkFrames = 0;
        MusicSetOfflineSink(DigestPiece);
        std::vector<float> out;
        for (int step = 0; step < (way == 0 ? 1 : seconds); ++step) {
            MusicAdvance(way == 0 ? seconds : 1.0);
            MusicTakeOfflineSound(out);
            sinkDigest = AddToDigest(sinkDigest, out.data(), static_cast<int64_t>(out.size() / 2));
            sinkFrames += static_cast<int64_t>(out.size() / 2);
            out.clear();
        }
        digests[way] = sinkDigest;
        positions[way] = SoundPosition();
        frames[way] = sinkFrames;
        MusicSetOfflineSink(nullptr);
        MusicClose();
        MusicUseOfflineSound(false);
    }
    EXPECT_EQ(frames[0], int64_t{44100} * seconds);
    EXPECT_EQ(frames[1], frames[0]);
    EXPECT_EQ(positions[0], positions[1]);
    EXPECT_EQ(digests[0], digests[1]);
}

// The same samples on every build: the offline mix of a fixed excerpt of the show's track (2.5 s of its
// groove, re-encoded once and kept in tests/runtime/data), through jitter crossfades and the closing fade, as
// one digest of the samples' bits. The Linux and the Windows tests hold the same value, so that a film of the
// same replay has the same sound, and the same spectrum to tear the picture, on both. A decoder built with
// other floating-point flags (libvorbis without -ffast-math against Debian's with it) moves about one
// sample in 3,700 by a step of 16-bit rounding: 71 samples of this excerpt.
TEST_F(MusicPlayback, OfflineMixOfAFixedTrackIsTheSameOnEveryBuild)
{
    const char* source = std::getenv("QUARNEL_SOURCE_DIR");
    ASSERT_NE(source, nullptr) << "QUARNEL_SOURCE_DIR names the source folder";
    const std::string path = std::string(source) + "/tests/runtime/data/track-excerpt.ogg";
    int64_t position = 0;
    const std::vector<float> mix = RenderOffline(path, 150, 1.0 / 60.0, &position);
    ASSERT_EQ(mix.size(), 2u * 110250);
    uint64_t digest = 14695981039346656037ull;  // FNV-1a over each sample's four bytes, low byte first
    for (float v : mix) {
        uint32_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        for (int i = 0; i < 4; ++i) digest = (digest ^ ((bits >> (8 * i)) & 0xff)) * 1099511628211ull;
    }
    EXPECT_EQ(digest, 0x6102aea926f67f11ull)
        << std::hex << "the mix's digest is 0x" << digest
        << ": the samples differ from the Linux build's (the decoder's flags, the "
           "mixer's arithmetic), or the mixer or the excerpt changed on purpose";
}

using MusicDeathTest = MusicPlayback;

TEST_F(MusicDeathTest, MissingFileEndsWithStatusZeroAfterItsBox)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string missing = TestTrackFolder() + "/no such track.ogg";
    EXPECT_EXIT(MusicInit(missing.c_str()), ::testing::ExitedWithCode(0),
                "\\[Kelm Quarnel the game  \\] Problem initializing FMod. \nNo sound file.");
}

TEST_F(MusicDeathTest, SoundSystemThatCannotStartEndsWithStatusOne)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string path = SineTrack();
    EXPECT_EXIT(
        {
            SetTestVariable("SDL_AUDIODRIVER", "no-such-driver");
            MusicInit(path.c_str());
        },
        ::testing::ExitedWithCode(1),
        // The box keeps its words and title; the way on without sound is its second paragraph, since a
        // program started by double-click has no standard error.
        "\\[Vudedad arudud 3. Morvain !  \\] Problem initializing FMod. \nProgram will now exit.\n\n"
        "The show runs without a sound device when \"Music\" is unticked in the setup dialog \\(or with "
        "--no-music\\).\n");
}

}  // namespace
