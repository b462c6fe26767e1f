// The show's music (see music.h): start-up with its two failure boxes, the per-frame restart rule and
// jitter drawn from the runtime generator, the spectrum copy and the closing fade. Sound itself is the
// sound layer's (platform/sound.h).
#include "runtime/music.h"

#include <cmath>

#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/sound.h"
#include "runtime/frame_inputs.h"
#include "math/random.h"

const char* const kMusicFile = "music//[bEXAN] The lamp was distant.ogg";

namespace {

constexpr int kDiscardedDraws = 2000;  // drawn after seeding, before the first number that is used

struct SteerPlan {
    bool restart = false;
    bool jitter = false;
    int jump = 0;  // frames, -6000 ... 5999
};

// The low 32 bits of demo time in microseconds. A time that has no such value (not finite, or beyond
// what a 64-bit integer holds) seeds with 0 instead of converting out of range.
uint32_t SeedFromDemoTime(double demoTime)
{
    const double micros = demoTime * 1000000.0;
    if (!std::isfinite(micros) || std::fabs(micros) >= 9.2e18) return 0;
    return static_cast<uint32_t>(static_cast<int64_t>(micros));
}

// Draws exactly the numbers the steering draws, in the same order, so that a frame's jitter depends only
// on its demo time, never on what used the generator before.
SteerPlan PlanSteer(double demoTime, int32_t musicSteady, int64_t position)
{
    SteerPlan plan;
    SeedRandom(SeedFromDemoTime(demoTime));
    for (int i = 0; i < kDiscardedDraws; ++i) NextRandom();
    if (position > kMusicRestartPosition) {
        NextRandom();
        plan.restart = true;
    }
    if (musicSteady == 0) {
        NextRandom();
        const int r = NextRandom();
        plan.jitter = true;
        plan.jump = r % kMusicJitterSpan - kMusicJitterSpan / 2;
    }
    return plan;
}

void FailAndEnd(const char* text, const char* title, int status)
{
    ShowMessageBox(text, title, MB_OK | MB_ICONINFORMATION);
    EndProcess(status);
}

}  // namespace

void MusicInit()
{
    MusicInit(kMusicFile);
}

void MusicInit(const char* path)
{
    if (!SoundInit()) {
        FailAndEnd("Problem initializing FMod. \nProgram will now exit.", "Vudedad arudud 3. Morvain !  ", 1);
    }
    if (!SoundLoadTrack(path)) {
        SoundClose();
        FailAndEnd("Problem initializing FMod. \nNo sound file.", "Kelm Quarnel the game  ", 0);
    }
}

void MusicPlay()
{
    SoundPlay();
}

void MusicSteer(double demoTime, int32_t musicSteady)
{
    const SteerPlan plan = PlanSteer(demoTime, musicSteady, SoundPosition());
    if (plan.restart) SoundSetPosition(0);
    // Relative, so the frames the mixer plays between now and taking the move are not lost; a target
    // before the start of the track plays from the start.
    if (plan.jitter) SoundMovePosition(plan.jump);
}

int64_t MusicSteerTarget(double demoTime, int32_t musicSteady, int64_t position)
{
    const SteerPlan plan = PlanSteer(demoTime, musicSteady, position);
    int64_t target = plan.restart ? 0 : position;
    if (plan.jitter) target += plan.jump;
    return target < 0 ? 0 : target;
}

void MusicAnalyse(FrameInputs& inputs)
{
    SoundSpectrum(inputs.spectrum);
}

int MusicVolumeForFade(double fade)
{
    const double volume = 255.0 - fade * 255.0;
    if (!(volume > 0.0)) return 0;  // also a fade that is not a number
    if (volume >= 255.0) return 255;
    return static_cast<int>(volume);
}

void MusicSetFade(double fade)
{
    SoundSetVolume(MusicVolumeForFade(fade));
}

void MusicClose()
{
    SoundClose();
}
