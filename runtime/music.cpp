// The show's music (see music.h): start-up with its two failure boxes, the per-frame restart rule and
// jitter drawn from the runtime generator, the spectrum copy and the closing fade. Sound itself is the
// sound layer's (sound/sound.h).
#include "runtime/music.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "math/random.h"
#include "platform/abrupt_end.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "scene/frame_inputs.h"
#include "sound/sound.h"

const char* const kMusicFile = "music//[bEXAN] The lamp was distant.ogg";

namespace {

constexpr int kDiscardedDraws = 2000;  // drawn after seeding, before the first number that is used
// The box's own words, then how to go on: a program started by double-click has no standard error, so
// the way out belongs in the box itself.
constexpr const char* kNoSoundText =
    "Problem initializing FMod. \nProgram will now exit.\n\n"
    "The show runs without a sound device when \"Music\" is unticked in the setup dialog (or with "
    "--no-music).";

bool offlineSound = false;
double offlineTime = 0.0;         // seconds of output asked for since MusicInit
int64_t offlineFrames = 0;        // output frames mixed since MusicInit
std::vector<float> offlineOut;    // mixed and not yet taken, stereo interleaved
std::vector<float> offlinePiece;  // one piece of a long step on its way to the sink
MusicOfflineSink offlineSink = nullptr;

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
    offlineTime = 0.0;
    offlineFrames = 0;
    offlineOut.clear();
    if (offlineSound) offlineOut.reserve(kSoundMixRate * 2);  // a second's worth: no growth per frame
    if (!(offlineSound ? SoundInitOffline() : SoundInit())) {
        FailAndEnd(kNoSoundText, "Vudedad arudud 3. Morvain !  ", 1);
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
    SoundWatchDevice();  // a lost device reads as silence, and the music comes back when a device does
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

void MusicUseOfflineSound(bool offline)
{
    offlineSound = offline;
}

void MusicAdvance(double frameDelta)
{
    if (!SoundIsOffline() || !(frameDelta > 0.0)) return;
    // The total is rounded, not each step, so that N frames of step S always make round(44100 N S).
    offlineTime += frameDelta;
    const int64_t total = std::llround(offlineTime * kSoundMixRate);
    const int64_t frames = total - offlineFrames;
    if (frames <= 0) return;
    offlineFrames = total;
    int64_t left = frames;
    if (left > kMusicOfflinePiece) {
        // What was collected before goes first, then the step's pieces but its last, in order.
        if (offlineSink && !offlineOut.empty()) offlineSink(offlineOut.data(), offlineOut.size() / 2);
        offlineOut.clear();
        offlinePiece.resize(static_cast<size_t>(kMusicOfflinePiece) * 2);
        bool silent = false;  // the track has ended: every piece from here on is silence
        while (left > kMusicOfflinePiece) {
            if (EndSignal() != 0) {
                // The run is ending: the rest of the step is left unmixed, and the output ends here.
                offlineFrames -= left;
                offlineTime = static_cast<double>(offlineFrames) / kSoundMixRate;
                return;
            }
            if (silent) {
                // Past the end the output is silence and the position only counts on: what mixing would
                // give, without mixing it (a day-long step takes no longer than a short one).
                int64_t skipped = (left - 1) / kMusicOfflinePiece * kMusicOfflinePiece;
                if (offlineSink) {
                    int64_t sent = 0;
                    for (; sent < skipped && EndSignal() == 0; sent += kMusicOfflinePiece)
                        offlineSink(offlinePiece.data(), kMusicOfflinePiece);
                    skipped = sent;
                }
                SoundSetPosition(SoundPosition() + skipped);
                left -= skipped;
                continue;  // to the last piece, or to the end signal
            }
            const int64_t before = SoundPosition();
            SoundRenderOffline(static_cast<int>(kMusicOfflinePiece), offlinePiece.data());
            if (offlineSink) offlineSink(offlinePiece.data(), kMusicOfflinePiece);
            left -= kMusicOfflinePiece;
            // A whole piece that began past the track's end, with the track playing at the output's rate (its
            // position moved on by the piece exactly): the crossfade of a move is over and nothing sounds.
            silent = before >= SoundTrack().frames && SoundPosition() - before == kMusicOfflinePiece;
            if (silent) std::fill(offlinePiece.begin(), offlinePiece.end(), 0.0f);
        }
    }
    const size_t at = offlineOut.size();
    offlineOut.resize(at + static_cast<size_t>(left) * 2);
    SoundRenderOffline(static_cast<int>(left), offlineOut.data() + at);
}

void MusicSetOfflineSink(MusicOfflineSink sink)
{
    offlineSink = sink;
}

void MusicTakeOfflineSound(std::vector<float>& stereo)
{
    stereo.insert(stereo.end(), offlineOut.begin(), offlineOut.end());
    offlineOut.clear();
}

int64_t MusicOfflineFramesMixed()
{
    return offlineFrames;
}
