// Composes and renders the show's music track, "The lamp was distant": 110 seconds of slow D-minor
// trip-hop at 77 beats a minute (a round kick and a plucked bass that pump with the beat, snare, sixteenth
// hi-hats, shaker, ride and crash cymbals, pads, a bell melody and glass arpeggios), and encodes it as
// stereo Ogg Vorbis at 44100 Hz. Deterministic: the same bytes on every run. Depends on tools/asset_gen
// (synth blocks, seeded generator), libvorbisenc.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "tools/asset_gen/rng.h"
#include "tools/asset_gen/synth.h"

using assetgen::kSampleRate;
using assetgen::NoteToHz;
using assetgen::Rng;
using assetgen::Stereo;

namespace {

// The show starts the track again once it passes 4,400,000 frames (99.77 s). At 77 beats a minute the
// first 32 bars end just before that (99.74 s), so in the show the piece loops on a bar line; the closing
// bars that follow wait half a beat, so that the restart never catches the attack of a note.
constexpr double kBeat = 60.0 / 77.0;
constexpr double kBar = 4 * kBeat;
constexpr int kBars = 34;
constexpr int kClosingBar = 32;
// A little past 100 s, the closing bars heard only outside the show.
constexpr double kLength = 110.0;
constexpr double kFadeOut = 1.5;
constexpr int kSerial = 0x51A7E1;  // fixed Ogg stream serial number: equal samples, equal files
// Mastering: overall level about -14 dBFS RMS, peaks held at -2 dBFS so the encoder's rounding stays
// below -1 dBFS.
constexpr double kTargetRms = 0.2;
constexpr float kCeiling = 0.79f;
constexpr float kDrumKnee = 0.5f;

double BarTime(int bar, double beat)
{
    const double breath = bar >= kClosingBar ? 0.5 * kBeat : 0.0;
    return bar * kBar + beat * kBeat + breath;
}
size_t Frame(double seconds)
{
    return static_cast<size_t>(std::max(0.0, seconds) * kSampleRate);
}

// The sections of the piece, by bar.
enum class Section { Intro, Groove, Bridge, Close };
Section SectionOfBar(int bar)
{
    if (bar < 4) return Section::Intro;
    if (bar >= 16 && bar < 24) return Section::Bridge;
    if (bar >= kClosingBar) return Section::Close;
    return Section::Groove;
}

struct Mix {
    Stereo dry{Frame(kLength)};
    Stereo drums{Frame(kLength)};  // kick and snare, rounded off together before they join the mix
    Stereo reverbSend{Frame(kLength)};
    Stereo delaySend{Frame(kLength)};
    // Gain that dips under every kick (sidechain pumping), applied to pads and bass as they are written.
    std::vector<float> pump = std::vector<float>(Frame(kLength), 1.0f);
};

struct Chord {
    int root;                // bass note
    std::array<int, 5> pad;  // pad voicing
};
const Chord kDm9{38, {50, 53, 57, 60, 64}};
const Chord kBbMaj9{34, {46, 50, 53, 57, 60}};
const Chord kFMaj9{41, {53, 57, 60, 64, 67}};
const Chord kCAdd9{36, {48, 55, 62, 64, 67}};
const Chord kGm9{43, {55, 58, 62, 65, 69}};
const Chord kAsus4{33, {45, 52, 57, 62, 64}};
const Chord kA{33, {45, 52, 57, 61, 64}};

// One chord per bar.
const Chord* ChordOfBar(int bar)
{
    static const Chord* const kCycle[8] = {&kDm9,   &kDm9,   &kBbMaj9, &kBbMaj9,
                                           &kFMaj9, &kFMaj9, &kCAdd9,  &kCAdd9};
    static const Chord* const kBridge[8] = {&kGm9, &kGm9, &kDm9, &kDm9, &kBbMaj9, &kBbMaj9, &kAsus4, &kA};
    if (bar >= kClosingBar) return &kDm9;
    if (SectionOfBar(bar) == Section::Bridge) return kBridge[bar - 16];
    return kCycle[bar % 8];
}

// ---------------------------------------------------------------------------------------------------
// Voices

// Warm pad: three detuned band-limited saws per note through a low-pass that breathes slowly, pumped by
// the kick.
void Pad(Mix& mix, double start, double gate, int note, float level, Rng& rng)
{
    const double release = 2.8;
    const size_t first = Frame(start), count = Frame(gate + release);
    const double detune[3] = {-0.09, 0.0, 0.08};
    assetgen::SawOscillator saws[3] = {assetgen::SawOscillator(rng.Unit()),
                                       assetgen::SawOscillator(rng.Unit()),
                                       assetgen::SawOscillator(rng.Unit())};
    assetgen::StateVariableFilter filterL, filterR;
    const double drift = rng.Range(0, 2 * std::numbers::pi);
    double hz[3] = {0, 0, 0};
    for (size_t i = 0; i < count && first + i < mix.pump.size(); ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const float env = assetgen::Envelope(t, gate, 1.6, 0.0, 1.0, release);
        // Vibrato and filter sweep move slowly: refreshing them every 32 frames is inaudible and cheap.
        if (i % 32 == 0) {
            const double vibrato = 0.04 * std::sin(2 * std::numbers::pi * 0.23 * t + drift);
            for (int k = 0; k < 3; ++k) hz[k] = NoteToHz(note + detune[k] + vibrato);
            const double now = start + t;
            const double sweep = 0.5 + 0.5 * std::sin(2 * std::numbers::pi * now / 19.0 + drift);
            const double cutoff = 800.0 + 1800.0 * sweep * std::sqrt(env);
            filterL.Set(cutoff, 0.8);
            filterR.Set(cutoff, 0.8);
        }
        float s[3];
        for (int k = 0; k < 3; ++k) s[k] = saws[k].Next(hz[k]);
        const float l = filterL.Process(s[0] * 0.8f + s[1] * 0.45f).low;
        const float r = filterR.Process(s[2] * 0.8f + s[1] * 0.45f).low;
        const float a = env * level * mix.pump[first + i];
        mix.dry.Add(first + i, l * a, r * a);
        mix.reverbSend.Add(first + i, l * a * 0.6f, r * a * 0.6f);
    }
}

// Plucked bass: two detuned saws and a sub sine; a filter that opens on every note and closes within a
// tenth of a second, so the bass's upper harmonics flash with the rhythm. Pumped lightly by the kick.
void Bass(Mix& mix, double start, double gate, int note, float level)
{
    const double release = 0.08;
    const size_t first = Frame(start), count = Frame(gate + release);
    const double hz = NoteToHz(note);
    assetgen::SawOscillator sawA(0.0), sawB(0.37);
    assetgen::StateVariableFilter tone;
    double phase = 0;
    for (size_t i = 0; i < count && first + i < mix.pump.size(); ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const float env = assetgen::Envelope(t, gate, 0.004, 0.25, 0.35, release);
        if (i % 16 == 0) tone.Set(170.0 + 1500.0 * std::exp(-t / 0.08), 1.3);
        phase += hz / kSampleRate;
        const float sub = static_cast<float>(std::sin(2 * std::numbers::pi * phase));
        const float edge = tone.Process(0.5f * (sawA.Next(hz * 0.998) + sawB.Next(hz * 1.003))).low;
        const float pump = 0.4f + 0.6f * mix.pump[first + i];
        const float v = (0.8f * sub + 0.9f * edge) * env * level * pump;
        mix.dry.Add(first + i, v, v);
        mix.reverbSend.Add(first + i, v * 0.05f, v * 0.05f);
    }
}

// Bell: two-operator FM, its brightness falling faster than its level; `ratio` shapes the timbre
// (3.5: a bell, 2: glass).
void Bell(Mix& mix, double start, double gate, int note, float level, double ratio, double decay, float pan,
          float delay)
{
    const double length = std::min(gate + 2.0 * decay + 0.5, 6.0);
    const size_t first = Frame(start), count = Frame(length);
    const double hz = NoteToHz(note);
    double carrier = 0, modulator = 0, octave = 0;
    const float gainL = std::sqrt(0.5f * (1.0f - pan)), gainR = std::sqrt(0.5f * (1.0f + pan));
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const double index = 0.3 + 2.2 * std::exp(-t / 0.35);
        modulator += hz * ratio / kSampleRate;
        carrier += hz / kSampleRate;
        octave += 2.0 * hz / kSampleRate;
        double v =
            std::sin(2 * std::numbers::pi * carrier + index * std::sin(2 * std::numbers::pi * modulator));
        v += 0.22 * std::sin(2 * std::numbers::pi * octave) * std::exp(-t / 0.4);
        double env = std::min(1.0, t / 0.004) * std::exp(-t / decay);
        if (t > gate) env *= std::exp(-(t - gate) / 0.35);
        // A short cosine tail so that the cut at the end of the voice makes no click.
        const double tail = length - t;
        if (tail < 0.05) env *= tail / 0.05;
        const float s = static_cast<float>(v * env) * level;
        mix.dry.Add(first + i, s * gainL, s * gainR);
        mix.reverbSend.Add(first + i, s * gainL * 0.8f, s * gainR * 0.8f);
        mix.delaySend.Add(first + i, s * gainL * delay, s * gainR * delay);
    }
}

// Round kick: a sine that drops from about 200 Hz to 50 Hz within a few tens of milliseconds, gently
// saturated for a little upper body, with a short click at its start.
void Kick(Mix& mix, double start, float level, Rng& rng)
{
    const size_t first = Frame(start), count = Frame(0.6);
    double phase = 0;
    float click = 0;
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        phase += (50.0 + 150.0 * std::exp(-t / 0.028) + 30.0 * std::exp(-t / 0.12)) / kSampleRate;
        const double env = std::min(1.0, t / 0.0015) * std::exp(-t / 0.3) * std::min(1.0, (0.6 - t) / 0.05);
        click += 0.35f * (static_cast<float>(rng.Signed()) - click);
        const double body = std::tanh(1.6 * std::sin(2 * std::numbers::pi * phase)) / std::tanh(1.6);
        const float v = static_cast<float>(body * env + click * std::exp(-t / 0.004) * 0.35) * level;
        mix.drums.Add(first + i, v, v);
    }
}

// Snare: a short two-tone body under a burst of band-passed noise, with a good share sent to the reverb.
void Snare(Mix& mix, double start, float level, Rng& rng)
{
    const size_t first = Frame(start), count = Frame(0.35);
    assetgen::StateVariableFilter mid, upper;
    mid.Set(1800.0, 0.9);
    upper.Set(4200.0, 1.2);
    double low = 0, high = 0;
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        low += (180.0 + 40.0 * std::exp(-t / 0.01)) / kSampleRate;
        high += 330.0 / kSampleRate;
        const float noise = static_cast<float>(rng.Signed());
        const double attack = std::min(1.0, t / 0.001);
        const double body = 0.7 * std::sin(2 * std::numbers::pi * low) * std::exp(-t / 0.07) +
                            0.3 * std::sin(2 * std::numbers::pi * high) * std::exp(-t / 0.04);
        const double rattle =
            (1.3 * mid.Process(noise).band + 0.5 * upper.Process(noise).band) * std::exp(-t / 0.085);
        const double tail = std::min(1.0, (0.35 - t) / 0.05);
        const float s = static_cast<float>((body + rattle) * attack * tail) * level;
        mix.drums.Add(first + i, s * 0.95f, s);
        mix.reverbSend.Add(first + i, s * 0.5f, s * 0.5f);
    }
}

// Noise through two resonances that every metal voice below shares: one near 4.7 kHz, one near 8.9 kHz,
// over a high-passed hiss.
struct Metal {
    assetgen::StateVariableFilter hiss, ring, shine;
    Metal(double q)
    {
        hiss.Set(7000.0, 0.7);
        ring.Set(4740.0, q);
        shine.Set(8870.0, q);
    }
    float Next(float noise, float hissLevel, float ringLevel, float shineLevel)
    {
        return hissLevel * hiss.Process(noise).high + ringLevel * ring.Process(noise).band +
               shineLevel * shine.Process(noise).band;
    }
};

// Hi-hat: clusters of close metallic partials near 4.7 kHz and 8.9 kHz, beating against each other, over
// the shared metal noise. Closed it decays in about 40 ms, open it rings for a fifth of a second.
void Hat(Mix& mix, double start, float level, bool open, float pan, Rng& rng)
{
    const double decay = open ? 0.22 : 0.05;
    const size_t first = Frame(start), count = Frame(decay * 7);
    Metal metal(4.0);
    static const double kPartials[6] = {4690.0, 4745.0, 4810.0, 8820.0, 8875.0, 8950.0};
    double phases[6];
    for (double& p : phases) p = rng.Unit();
    const float gainL = 1.0f - std::max(0.0f, pan), gainR = 1.0f + std::min(0.0f, pan);
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const float noise = static_cast<float>(rng.Signed());
        double partials = 0;
        for (int k = 0; k < 6; ++k) {
            phases[k] += kPartials[k] / kSampleRate;
            partials += std::sin(2 * std::numbers::pi * phases[k]) * (k < 3 ? 0.22 : 0.25);
        }
        const double env = std::min(1.0, t / 0.0008) * std::exp(-t / decay);
        const float v = static_cast<float>((metal.Next(noise, 0.3f, 0.12f, 0.15f) + partials) * env) * level;
        mix.dry.Add(first + i, v * gainL, v * gainR);
        mix.reverbSend.Add(first + i, v * 0.15f, v * 0.15f);
    }
}

// Shaker: a softer grain of high noise that swells over a few milliseconds instead of striking.
void Shaker(Mix& mix, double start, float level, float pan, Rng& rng)
{
    const size_t first = Frame(start), count = Frame(0.12);
    Metal metal(2.0);
    const float gainL = 1.0f - std::max(0.0f, pan), gainR = 1.0f + std::min(0.0f, pan);
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const float noise = static_cast<float>(rng.Signed());
        const double env = (t < 0.012 ? t / 0.012 : std::exp(-(t - 0.012) / 0.03));
        const float v = metal.Next(noise, 0.6f, 0.5f, 0.6f) * static_cast<float>(env) * level;
        mix.dry.Add(first + i, v * gainL, v * gainR);
        mix.reverbSend.Add(first + i, v * 0.3f, v * 0.3f);
    }
}

// Ride and crash: the shared metal noise with a ping of clustered inharmonic partials whose beating
// makes it shimmer. The ride pings and hums for about a second; the crash washes for two.
void Cymbal(Mix& mix, double start, float level, bool crash, Rng& rng)
{
    const double length = crash ? 3.0 : 1.4;
    const double washDecay = crash ? 0.8 : 0.25, pingDecay = crash ? 0.2 : 0.3;
    const size_t first = Frame(start), count = Frame(length);
    Metal metalL(1.6), metalR(1.6);
    static const double kPartials[8] = {3170.0, 3390.0, 4690.0, 4770.0, 6310.0, 6520.0, 8810.0, 8930.0};
    double phases[8];
    for (double& p : phases) p = rng.Unit();
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const double attack = std::min(1.0, t / (crash ? 0.003 : 0.001));
        const double tail = std::min(1.0, (length - t) / 0.1);
        const double wash = attack * tail * std::exp(-t / washDecay);
        double ping = 0;
        for (int k = 0; k < 8; ++k) {
            phases[k] += kPartials[k] / kSampleRate;
            ping += std::sin(2 * std::numbers::pi * phases[k]);
        }
        ping *= (crash ? 0.05 : 0.09) * attack * tail * std::exp(-t / pingDecay);
        const float nl = static_cast<float>(rng.Signed()), nr = static_cast<float>(rng.Signed());
        const float hiss = crash ? 0.5f : 0.2f;
        const float l = static_cast<float>(metalL.Next(nl, hiss, 1.0f, 1.0f) * wash + ping) * level;
        const float r = static_cast<float>(metalR.Next(nr, hiss, 1.0f, 1.0f) * wash + ping) * level;
        mix.dry.Add(first + i, l, r);
        mix.reverbSend.Add(first + i, l * 0.35f, r * 0.35f);
    }
}

// A reversed-cymbal swell over one bar: noise whose band climbs from 600 Hz to 8 kHz as it grows.
void Riser(Mix& mix, double start, double length, float level, Rng& rng)
{
    const size_t first = Frame(start), count = Frame(length);
    assetgen::StateVariableFilter bandL, bandR;
    for (size_t i = 0; i < count; ++i) {
        const double u = static_cast<double>(i) / count;
        if (i % 32 == 0) {
            const double hz = 600.0 * std::pow(8000.0 / 600.0, u);
            bandL.Set(hz, 1.5);
            bandR.Set(hz * 1.05, 1.5);
        }
        const float env = static_cast<float>(u * u * u * std::min(1.0, (1.0 - u) * 60.0));
        const float l = bandL.Process(static_cast<float>(rng.Signed())).band * env * level;
        const float r = bandR.Process(static_cast<float>(rng.Signed())).band * env * level;
        mix.dry.Add(first + i, l, r);
        mix.reverbSend.Add(first + i, l * 0.5f, r * 0.5f);
    }
}

// A breath of air under everything: two narrow bands of noise, like wind over a bottle, near 4.7 kHz and
// 8.9 kHz, each swelling slowly and different on each side.
void Air(Mix& mix, Rng& rng)
{
    assetgen::StateVariableFilter lowL, lowR, highL, highR;
    lowL.Set(4740.0, 2.5), lowR.Set(4740.0, 2.5);
    highL.Set(8870.0, 2.0), highR.Set(8870.0, 2.0);
    for (size_t i = 0; i < mix.dry.Frames(); ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const double opening = std::min(1.0, t / 0.5);
        const float swellLow =
            static_cast<float>((0.7 + 0.3 * std::sin(2 * std::numbers::pi * t / 7.0)) * opening);
        const float swellHigh =
            static_cast<float>((0.7 + 0.3 * std::sin(2 * std::numbers::pi * t / 11.0 + 1.0)) * opening);
        const float nl = static_cast<float>(rng.Signed()), nr = static_cast<float>(rng.Signed());
        const float l = lowL.Process(nl).band * 0.04f * swellLow + highL.Process(nl).band * 0.03f * swellHigh;
        const float r = lowR.Process(nr).band * 0.04f * swellLow + highR.Process(nr).band * 0.03f * swellHigh;
        mix.dry.Add(i, l, r);
        mix.reverbSend.Add(i, l, r);
    }
}

// ---------------------------------------------------------------------------------------------------
// The score

struct Phrase {
    int bar;
    double beat;
    int note;
    double beats;
};

// The melody, D minor around D5: an answer in the first cycle, a climb in the bridge, the first
// cycle again with its high notes an octave up, and a closing fall to D.
const Phrase kMelody[] = {
    // Intro motif.
    {4, 2, 69, 1},
    {4, 3, 74, 1},
    {5, 0, 76, 3},
    {6, 2, 69, 1},
    {6, 3, 72, 1},
    {7, 0, 76, 2},
    {7, 2, 74, 2},
    // First cycle.
    {8, 0, 69, 1.5},
    {8, 1.5, 72, 0.5},
    {8, 2, 74, 2},
    {9, 0, 76, 1},
    {9, 1, 74, 1},
    {9, 2, 69, 2},
    {10, 0, 77, 1.5},
    {10, 1.5, 76, 0.5},
    {10, 2, 74, 1},
    {10, 3, 72, 1},
    {11, 0, 74, 3},
    {12, 0, 72, 1},
    {12, 1, 69, 1},
    {12, 2, 72, 1},
    {12, 3, 76, 1},
    {13, 0, 79, 2},
    {13, 2, 77, 1},
    {13, 3, 76, 1},
    {14, 0, 76, 1.5},
    {14, 1.5, 74, 0.5},
    {14, 2, 72, 1},
    {14, 3, 67, 1},
    {15, 0, 76, 3},
    // Bridge.
    {16, 0, 74, 1},
    {16, 1, 77, 1},
    {16, 2, 81, 2},
    {17, 0, 79, 1.5},
    {17, 1.5, 77, 0.5},
    {17, 2, 74, 2},
    {18, 0, 69, 1},
    {18, 1, 74, 1},
    {18, 2, 77, 1},
    {18, 3, 76, 1},
    {19, 0, 74, 3},
    {20, 0, 77, 1},
    {20, 1, 76, 0.5},
    {20, 1.5, 74, 0.5},
    {20, 2, 76, 2},
    {21, 0, 81, 2},
    {21, 2, 79, 2},
    {22, 0, 76, 2},
    {22, 2, 74, 1},
    {22, 3, 76, 1},
    {23, 0, 73, 2},
    {23, 2, 76, 2},
    // First cycle again, lifted.
    {24, 0, 69, 1.5},
    {24, 1.5, 72, 0.5},
    {24, 2, 74, 2},
    {25, 0, 76, 1},
    {25, 1, 74, 1},
    {25, 2, 81, 2},
    {26, 0, 77, 1.5},
    {26, 1.5, 76, 0.5},
    {26, 2, 74, 1},
    {26, 3, 72, 1},
    {27, 0, 74, 3},
    {28, 0, 84, 1},
    {28, 1, 81, 1},
    {28, 2, 84, 1},
    {28, 3, 88, 1},
    {29, 0, 91, 2},
    {29, 2, 89, 1},
    {29, 3, 88, 1},
    {30, 0, 76, 1.5},
    {30, 1.5, 74, 0.5},
    {30, 2, 72, 1},
    {30, 3, 67, 1},
    {31, 0, 76, 3},
    // Close.
    {32, 0, 77, 2},
    {32, 2, 76, 2},
    {33, 0, 74, 6},
};

// One bar of a drum or bass pattern: hits at beat positions with a level each.
struct Hit {
    double beat;
    float level;
};

// The kick of each section. The groove: one, the "and" of two, three, the "and" of three (with a pickup
// into every fourth bar); the bridge: half time; the intro: a heartbeat that fills in.
std::vector<Hit> KickPattern(int bar)
{
    switch (SectionOfBar(bar)) {
        case Section::Intro:
            if (bar < 2) return {{0, 0.7f}, {2, 0.55f}};
            return {{0, 0.8f}, {1.5, 0.45f}, {2, 0.7f}, {3, 0.5f}};
        case Section::Groove:
            if (bar % 4 == 3) return {{0, 1.0f}, {1.5, 0.7f}, {2, 0.9f}, {2.5, 0.7f}, {3.5, 0.6f}};
            return {{0, 1.0f}, {1.5, 0.7f}, {2, 0.9f}, {2.5, 0.7f}};
        case Section::Bridge:
            return {{0, 1.0f}, {0.75, 0.5f}, {2.5, 0.8f}};
        case Section::Close:
            return bar == kClosingBar ? std::vector<Hit>{{0, 1.0f}} : std::vector<Hit>{};
    }
    return {};
}

std::vector<Hit> SnarePattern(int bar)
{
    switch (SectionOfBar(bar)) {
        case Section::Groove:
            if (bar % 8 == 7) return {{1, 1.0f}, {3, 1.0f}, {3.5, 0.45f}, {3.75, 0.6f}};
            return {{1, 1.0f}, {3, 1.0f}, {3.75, 0.18f}};
        case Section::Bridge:
            return {{2, 1.0f}};
        default:
            return {};
    }
}

std::vector<double> KickTimes()
{
    std::vector<double> times;
    for (int bar = 0; bar < kBars; ++bar)
        for (const Hit& h : KickPattern(bar)) times.push_back(BarTime(bar, h.beat));
    return times;
}

// The pump: every kick pulls the pads (and, less, the bass) down by 60 % within 5 ms, and they return over
// about a fifth of a second, so the middle of the spectrum breathes with the beat.
void ShapePump(Mix& mix)
{
    for (double start : KickTimes()) {
        const size_t first = Frame(start), count = Frame(0.9);
        for (size_t i = 0; i < count && first + i < mix.pump.size(); ++i) {
            const double t = static_cast<double>(i) / kSampleRate;
            const double dip = 0.6 * std::min(1.0, t / 0.005) * std::exp(-t / 0.22);
            mix.pump[first + i] *= static_cast<float>(1.0 - dip);
        }
    }
}

void PlayPads(Mix& mix, Rng& rng)
{
    int bar = 0;
    while (bar < kBars) {
        const Chord* chord = ChordOfBar(bar);
        int end = bar + 1;
        while (end < kBars && ChordOfBar(end) == chord) ++end;
        const double start = BarTime(bar, 0);
        const double gate = end == kBars ? kLength - kFadeOut - start - 1.0 : (end - bar) * kBar + 0.15;
        const float level = SectionOfBar(bar) == Section::Bridge ? 0.065f : 0.055f;
        for (int note : chord->pad) Pad(mix, start, gate, note, level, rng);
        bar = end;
    }
}

// The bass line: on the groove a root held over the first beat, then pushed eighths around octave and
// fifth; in the bridge longer notes; in the intro roots that pulse in quarters.
void PlayBass(Mix& mix, Rng& rng)
{
    struct Note {
        double beat, beats;
        int interval;
        float level;
    };
    static const std::vector<Note> kGroove = {{0, 1.25, 0, 1.0f},
                                              {1.5, 0.4, 0, 0.7f},
                                              {2, 0.4, 12, 0.8f},
                                              {2.5, 0.9, 7, 0.85f},
                                              {3.5, 0.4, 12, 0.65f}};
    static const std::vector<Note> kBridge = {{0, 2.2, 0, 1.0f}, {2.5, 0.45, 7, 0.75f}, {3, 0.9, 12, 0.8f}};
    static const std::vector<Note> kIntro = {
        {0, 0.8, 0, 0.8f}, {1, 0.8, 0, 0.6f}, {2, 0.8, 0, 0.7f}, {3, 0.8, 0, 0.6f}};
    for (int bar = 0; bar < kBars; ++bar) {
        const int root = ChordOfBar(bar)->root;
        const Section section = SectionOfBar(bar);
        if (section == Section::Close) {
            if (bar == kClosingBar)
                Bass(mix, BarTime(bar, 0), kLength - kFadeOut - 1.0 - BarTime(bar, 0), root, 0.3f);
            continue;
        }
        const std::vector<Note>& pattern = section == Section::Intro    ? kIntro
                                           : section == Section::Bridge ? kBridge
                                                                        : kGroove;
        const float barLevel = section == Section::Intro ? 0.14f + 0.03f * bar : 0.3f;
        for (const Note& n : pattern) {
            const float v = static_cast<float>(rng.Range(0.92, 1.04));
            Bass(mix, BarTime(bar, n.beat), n.beats * kBeat, root + n.interval, barLevel * n.level * v);
        }
    }
}

void PlayMelody(Mix& mix, Rng& rng)
{
    for (const Phrase& p : kMelody) {
        const double jitter = rng.Signed() * 0.006;
        const float v = static_cast<float>(rng.Range(0.88, 1.0));
        Bell(mix, BarTime(p.bar, p.beat) + jitter, p.beats * kBeat, p.note, 0.16f * v, 3.5, 1.5,
             static_cast<float>(rng.Signed()) * 0.2f, 0.4f);
    }
    // Glass arpeggios over the bridge and the lifted cycle: chord tones two octaves up, in eighths.
    for (int bar = 16; bar < kClosingBar; ++bar) {
        const auto& tones = ChordOfBar(bar)->pad;
        for (int step = 0; step < 8; ++step) {
            if (bar < 24 && step % 2 == 1) continue;  // sparser in the bridge
            const int note = tones[(step * 3 + bar) % 5] + 24;
            const float v = static_cast<float>(rng.Range(0.6, 1.0));
            Bell(mix, BarTime(bar, step * 0.5) + rng.Signed() * 0.004, 0.4 * kBeat, note, 0.03f * v, 2.0,
                 0.45, step % 2 ? 0.55f : -0.55f, 0.3f);
        }
    }
}

void PlayDrums(Mix& mix, Rng& rng)
{
    // Sixteenth accents: the beat, the "and", then the two softer sixteenths between.
    static const float kAccent[4] = {1.0f, 0.5f, 0.75f, 0.55f};
    // Offbeat sixteenths come a little late: a light swing.
    const double swing = 0.04;
    for (int bar = 0; bar < kBars; ++bar) {
        const Section section = SectionOfBar(bar);
        for (const Hit& h : KickPattern(bar))
            Kick(mix, BarTime(bar, h.beat), 0.75f * h.level * static_cast<float>(rng.Range(0.95, 1.02)), rng);
        for (const Hit& h : SnarePattern(bar))
            Snare(mix, BarTime(bar, h.beat) + rng.Signed() * 0.003, 0.42f * h.level, rng);

        // Hats: eighths in the intro, sixteenths in the groove, eighths under the bridge's ride, thinning
        // out over the close.
        float hatLevel = 0.34f;
        int every = 1;  // in sixteenths
        if (section == Section::Intro) hatLevel = 0.16f + 0.04f * bar, every = bar < 2 ? 2 : 1;
        if (section == Section::Bridge) hatLevel = 0.26f, every = 2;
        if (section == Section::Close) hatLevel = bar == kClosingBar ? 0.2f : 0.1f, every = 2;
        for (int step = 0; step < 16; step += every) {
            const bool open = section == Section::Groove && bar % 2 == 1 && step == 14;
            const double beat = step * 0.25 + (step % 2 ? swing : 0.0);
            const float v = kAccent[step % 4] * static_cast<float>(rng.Range(0.85, 1.1));
            Hat(mix, BarTime(bar, beat) + rng.Signed() * 0.003, hatLevel * v * (open ? 0.7f : 1.0f), open,
                step % 4 == 2 ? 0.25f : -0.1f, rng);
        }
        // Shaker: sixteenths all through the middle of the piece, panned apart from the hats.
        if (section != Section::Close && bar >= 2) {
            for (int step = 0; step < 16; ++step) {
                const double beat = step * 0.25 + (step % 2 ? swing : 0.0);
                const float v = (step % 2 ? 0.6f : 1.0f) * static_cast<float>(rng.Range(0.8, 1.1));
                Shaker(mix, BarTime(bar, beat), 0.12f * v, step % 2 ? 0.5f : 0.35f, rng);
            }
        }
        // Ride on the quarters of the bridge, the first of each bar on the bell.
        if (section == Section::Bridge)
            for (int beat = 0; beat < 4; ++beat)
                Cymbal(mix, BarTime(bar, beat), beat == 0 ? 0.22f : 0.16f, false, rng);
        // Crashes where the sections begin, a swell into the groove.
        if (bar == 4 || bar == 8 || bar == 16 || bar == 24 || bar == kClosingBar)
            Cymbal(mix, BarTime(bar, 0), 0.25f, true, rng);
        if (bar == 3) Riser(mix, BarTime(bar, 0), kBar, 0.25f, rng);
    }
}

// Sums the buses, limits the peaks and sets the level, with short fades at both ends.
Stereo Master(Mix& mix)
{
    Stereo delayed(mix.dry.Frames());
    assetgen::PingPongDelay(mix.delaySend, delayed, 0.75 * kBeat, 0.4f, 1.0f);
    for (size_t i = 0; i < delayed.Frames(); ++i) {
        mix.dry.Add(i, delayed.left[i] * 0.55f, delayed.right[i] * 0.55f);
        mix.reverbSend.Add(i, delayed.left[i] * 0.4f, delayed.right[i] * 0.4f);
    }
    assetgen::Reverb reverb(0.84, 0.4);
    reverb.Process(mix.reverbSend, mix.dry, 0.9f);

    // The kick and snare through a soft clipper: their first milliseconds lose a few decibels of peak,
    // which the ear hears as weight rather than as distortion, and the limiter has less to do.
    for (size_t i = 0; i < mix.drums.Frames(); ++i)
        mix.dry.Add(i, kDrumKnee * std::tanh(mix.drums.left[i] / kDrumKnee),
                    kDrumKnee * std::tanh(mix.drums.right[i] / kDrumKnee));

    Stereo& out = mix.dry;
    // Remove any offset, and fade both ends.
    float dcL = 0, dcR = 0;
    const float dcRate = static_cast<float>(2 * std::numbers::pi * 20.0 / kSampleRate);
    const double total = static_cast<double>(out.Frames()) / kSampleRate;
    for (size_t i = 0; i < out.Frames(); ++i) {
        dcL += dcRate * (out.left[i] - dcL);
        dcR += dcRate * (out.right[i] - dcR);
        const double t = static_cast<double>(i) / kSampleRate;
        double fade = std::min(1.0, t / 0.02);
        if (t > total - kFadeOut)
            fade *= 0.5 + 0.5 * std::cos(std::numbers::pi * (t - (total - kFadeOut)) / kFadeOut);
        out.left[i] = (out.left[i] - dcL) * static_cast<float>(fade);
        out.right[i] = (out.right[i] - dcR) * static_cast<float>(fade);
    }
    // Raise the level until the limited mix reaches the target loudness; the limiter holds the peaks.
    double gain = 1.0;
    for (int pass = 0; pass < 4; ++pass) {
        Stereo trial = out;
        assetgen::LimitPeaks(trial, static_cast<float>(gain), kCeiling);
        double sumSq = 0;
        for (size_t i = 0; i < trial.Frames(); ++i)
            sumSq += trial.left[i] * trial.left[i] + trial.right[i] * trial.right[i];
        const double rms = std::sqrt(sumSq / (2.0 * trial.Frames()));
        if (!(rms > 0)) break;
        gain *= kTargetRms / rms;
    }
    assetgen::LimitPeaks(out, static_cast<float>(gain), kCeiling);
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr,
                     "usage: gen_music OUTPUT.ogg\n"
                     "Renders the show's music track (110 s, 44100 Hz stereo) as Ogg Vorbis.\n");
        return 2;
    }
    // Fail before the seconds of rendering, not after, when the file cannot be written.
    FILE* probe = std::fopen(argv[1], "wb");
    if (!probe) {
        std::fprintf(stderr, "gen_music: %s: cannot create the file\n", argv[1]);
        return 1;
    }
    std::fclose(probe);
    Mix mix;
    Rng rng(1977);
    ShapePump(mix);
    Air(mix, rng);
    PlayPads(mix, rng);
    PlayBass(mix, rng);
    PlayMelody(mix, rng);
    PlayDrums(mix, rng);
    const Stereo& track = Master(mix);
    std::string error;
    const std::vector<std::pair<std::string, std::string>> tags = {
        {"TITLE", "The lamp was distant"}, {"ARTIST", "bEXAN"}, {"ALBUM", "Quarnel"}};
    if (!assetgen::WriteOggVorbis(argv[1], track, 0.6f, kSerial, tags, &error)) {
        std::fprintf(stderr, "gen_music: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
