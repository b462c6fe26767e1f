// Composes and renders the show's music track, "The lamp was distant": a calm piece of 110 seconds in
// D minor at 77 beats a minute (pads, a bass line, a bell melody, soft kick, brushes and a light
// hi-hat over a breath of air), and encodes it as stereo Ogg Vorbis at 44100 Hz. Deterministic: the
// same bytes on every run. Depends on tools/asset_gen (synth blocks, seeded generator), libvorbisenc.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/asset_gen/rng.h"
#include "tools/asset_gen/synth.h"

using assetgen::kSampleRate;
using assetgen::NoteToHz;
using assetgen::Rng;
using assetgen::Stereo;

namespace {

constexpr double kPi = 3.14159265358979323846;
// The show starts the track again once it passes 4,400,000 frames (99.77 s). At 77 beats a minute the
// first 32 bars end just before that (99.74 s), so in the show the piece loops on a bar line; the closing
// bars that follow wait half a beat, so that the restart never catches the attack of a note.
constexpr double kBeat = 60.0 / 77.0;
constexpr double kBar = 4 * kBeat;
constexpr int kBars = 34;
// A little past 100 s, the closing bars heard only outside the show.
constexpr double kLength = 110.0;
constexpr double kFadeOut = 1.5;
constexpr int kSerial = 0x51A7E1;  // fixed Ogg stream serial number: equal samples, equal files

double BarTime(int bar, double beat)
{
    constexpr int kClosingBar = 32;
    const double breath = bar >= kClosingBar ? 0.5 * kBeat : 0.0;
    return bar * kBar + beat * kBeat + breath;
}
size_t Frame(double seconds)
{
    return static_cast<size_t>(std::max(0.0, seconds) * kSampleRate);
}

struct Mix {
    Stereo dry{Frame(kLength)};
    Stereo reverbSend{Frame(kLength)};
    Stereo delaySend{Frame(kLength)};
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
    if (bar >= 32) return &kDm9;
    if (bar >= 16 && bar < 24) return kBridge[bar - 16];
    return kCycle[bar % 8];
}

// ---------------------------------------------------------------------------------------------------
// Voices

// Warm pad: three detuned band-limited saws per note through a low-pass that breathes slowly.
void Pad(Mix& mix, double start, double gate, int note, float level, Rng& rng)
{
    const double release = 2.8;
    const size_t first = Frame(start), count = Frame(gate + release);
    const double detune[3] = {-0.09, 0.0, 0.08};
    assetgen::SawOscillator saws[3] = {assetgen::SawOscillator(rng.Unit()),
                                       assetgen::SawOscillator(rng.Unit()),
                                       assetgen::SawOscillator(rng.Unit())};
    assetgen::StateVariableFilter filterL, filterR;
    const double drift = rng.Range(0, 2 * kPi);
    double hz[3] = {0, 0, 0};
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const float env = assetgen::Envelope(t, gate, 1.6, 0.0, 1.0, release);
        // Vibrato and filter sweep move slowly: refreshing them every 32 frames is inaudible and cheap.
        if (i % 32 == 0) {
            const double vibrato = 0.04 * std::sin(2 * kPi * 0.23 * t + drift);
            for (int k = 0; k < 3; ++k) hz[k] = NoteToHz(note + detune[k] + vibrato);
            const double now = start + t;
            const double sweep = 0.5 + 0.5 * std::sin(2 * kPi * now / 19.0 + drift);
            const double cutoff = 700.0 + 1600.0 * sweep * std::sqrt(env);
            filterL.Set(cutoff, 0.8);
            filterR.Set(cutoff, 0.8);
        }
        float s[3];
        for (int k = 0; k < 3; ++k) s[k] = saws[k].Next(hz[k]);
        const float l = filterL.Process(s[0] * 0.8f + s[1] * 0.45f).low;
        const float r = filterR.Process(s[2] * 0.8f + s[1] * 0.45f).low;
        const float a = env * level;
        mix.dry.Add(first + i, l * a, r * a);
        mix.reverbSend.Add(first + i, l * a * 0.7f, r * a * 0.7f);
    }
}

// Round bass: a sine with a little filtered saw on top for its upper harmonics.
void Bass(Mix& mix, double start, double gate, int note, float level)
{
    const double release = 0.6;
    const size_t first = Frame(start), count = Frame(gate + release);
    const double hz = NoteToHz(note);
    assetgen::SawOscillator saw;
    assetgen::StateVariableFilter tone;
    tone.Set(480.0, 0.7);
    double phase = 0;
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const float env = assetgen::Envelope(t, gate, 0.03, 0.5, 0.75, release);
        phase += hz / kSampleRate;
        const float body = static_cast<float>(std::sin(2 * kPi * phase));
        const float edge = tone.Process(saw.Next(hz)).low;
        const float v = (body + 0.45f * edge) * env * level;
        mix.dry.Add(first + i, v, v);
        mix.reverbSend.Add(first + i, v * 0.1f, v * 0.1f);
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
        double v = std::sin(2 * kPi * carrier + index * std::sin(2 * kPi * modulator));
        v += 0.22 * std::sin(2 * kPi * octave) * std::exp(-t / 0.4);
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

// Soft kick: a sine that falls from 116 Hz to 46 Hz, with a faint click at its start.
void Kick(Mix& mix, double start, float level, Rng& rng)
{
    const size_t first = Frame(start), count = Frame(0.7);
    double phase = 0;
    float click = 0;
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        phase += (46.0 + 70.0 * std::exp(-t / 0.045)) / kSampleRate;
        const double env = std::min(1.0, t / 0.002) * std::exp(-t / 0.26);
        click += 0.2f * (static_cast<float>(rng.Signed()) - click);
        const float v =
            static_cast<float>(std::sin(2 * kPi * phase) * env + click * std::exp(-t / 0.005) * 0.3) * level;
        mix.dry.Add(first + i, v, v);
    }
}

// Brush: band-passed noise with a little body tone, mostly heard through the reverb.
void Brush(Mix& mix, double start, float level, Rng& rng)
{
    const size_t first = Frame(start), count = Frame(0.6);
    assetgen::StateVariableFilter mid, high;
    mid.Set(1800.0, 0.7);
    high.Set(4500.0, 0.9);
    double body = 0;
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const float noise = static_cast<float>(rng.Signed());
        const double env = std::min(1.0, t / 0.006) * std::exp(-t / 0.11);
        body += 190.0 / kSampleRate;
        const double v = (mid.Process(noise).band * 0.8 + high.Process(noise).band * 0.5) * env +
                         0.25 * std::sin(2 * kPi * body) * std::exp(-t / 0.05);
        const float s = static_cast<float>(v) * level;
        mix.dry.Add(first + i, s * 0.8f, s);
        mix.reverbSend.Add(first + i, s * 0.6f, s * 0.6f);
    }
}

// Hi-hat: high-passed noise with two metallic bands, a bright one and a lower ring near 5 kHz;
// `open` lets it ring.
void Hat(Mix& mix, double start, float level, bool open, Rng& rng)
{
    const double decay = open ? 0.2 : 0.035;
    const size_t first = Frame(start), count = Frame(decay * 7);
    assetgen::StateVariableFilter hiss, metal, ring;
    hiss.Set(6000.0, 0.7);
    metal.Set(10500.0, 1.6);
    ring.Set(4800.0, 1.2);
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const float noise = static_cast<float>(rng.Signed());
        const double env = std::min(1.0, t / 0.001) * std::exp(-t / decay);
        const float v = static_cast<float>((hiss.Process(noise).high + 0.6f * metal.Process(noise).band +
                                            0.4f * ring.Process(noise).band) *
                                           env) *
                        level;
        mix.dry.Add(first + i, v * 0.75f, v);
        mix.reverbSend.Add(first + i, v * 0.2f, v * 0.2f);
    }
}

// A breath of air under everything: two narrow bands of noise, like wind over a bottle, one near
// 4.8 kHz and one near 8.9 kHz, each swelling slowly and different on each side.
void Air(Mix& mix, Rng& rng)
{
    assetgen::StateVariableFilter lowL, lowR, highL, highR;
    lowL.Set(4800.0, 2.5), lowR.Set(4800.0, 2.5);
    highL.Set(8900.0, 2.0), highR.Set(8900.0, 2.0);
    for (size_t i = 0; i < mix.dry.Frames(); ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const double opening = std::min(1.0, t / 0.5);
        const float swellLow = static_cast<float>((0.7 + 0.3 * std::sin(2 * kPi * t / 7.0)) * opening);
        const float swellHigh =
            static_cast<float>((0.7 + 0.3 * std::sin(2 * kPi * t / 11.0 + 1.0)) * opening);
        const float nl = static_cast<float>(rng.Signed()), nr = static_cast<float>(rng.Signed());
        const float l =
            lowL.Process(nl).band * 0.08f * swellLow + highL.Process(nl).band * 0.045f * swellHigh;
        const float r =
            lowR.Process(nr).band * 0.08f * swellLow + highR.Process(nr).band * 0.045f * swellHigh;
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

void PlayPads(Mix& mix, Rng& rng)
{
    int bar = 0;
    while (bar < kBars) {
        const Chord* chord = ChordOfBar(bar);
        int end = bar + 1;
        while (end < kBars && ChordOfBar(end) == chord) ++end;
        const double start = BarTime(bar, 0);
        const double gate = end == kBars ? kLength - kFadeOut - start - 1.0 : (end - bar) * kBar + 0.15;
        for (int note : chord->pad) Pad(mix, start, gate, note, 0.042f, rng);
        bar = end;
    }
}

void PlayBass(Mix& mix, Rng& rng)
{
    for (int bar = 0; bar < kBars; ++bar) {
        const int root = ChordOfBar(bar)->root;
        if (bar < 4) {
            // Long held roots while the piece opens.
            if (bar % 2 == 0) Bass(mix, BarTime(bar, 0), 2 * kBar - 0.1, root, 0.16f);
            continue;
        }
        if (bar >= 32) {
            if (bar == 32) Bass(mix, BarTime(bar, 0), kLength - kFadeOut - 1.0 - BarTime(bar, 0), root, 0.2f);
            continue;
        }
        const float v = static_cast<float>(rng.Range(0.92, 1.05));
        Bass(mix, BarTime(bar, 0), 2.6 * kBeat, root, 0.22f * v);
        if (bar % 2 == 1) Bass(mix, BarTime(bar, 2.5), 0.4 * kBeat, root + 7, 0.15f * v);
        Bass(mix, BarTime(bar, 3), 0.85 * kBeat, root + 12, 0.17f * v);
    }
}

void PlayMelody(Mix& mix, Rng& rng)
{
    for (const Phrase& p : kMelody) {
        const double jitter = rng.Signed() * 0.006;
        const float v = static_cast<float>(rng.Range(0.88, 1.0));
        Bell(mix, BarTime(p.bar, p.beat) + jitter, p.beats * kBeat, p.note, 0.15f * v, 3.5, 1.5,
             static_cast<float>(rng.Signed()) * 0.2f, 0.45f);
    }
    // Glass arpeggios over the bridge and the lifted cycle: chord tones two octaves up, in eighths.
    for (int bar = 16; bar < 32; ++bar) {
        const auto& tones = ChordOfBar(bar)->pad;
        for (int step = 0; step < 8; ++step) {
            if (bar < 24 && step % 2 == 1) continue;  // sparser in the bridge
            const int note = tones[(step * 3 + bar) % 5] + 24;
            const float v = static_cast<float>(rng.Range(0.6, 1.0));
            Bell(mix, BarTime(bar, step * 0.5) + rng.Signed() * 0.004, 0.4 * kBeat, note, 0.035f * v, 2.0,
                 0.45, step % 2 ? 0.55f : -0.55f, 0.3f);
        }
    }
}

void PlayDrums(Mix& mix, Rng& rng)
{
    static const float kAccent[8] = {0.55f, 0.3f, 0.45f, 0.3f, 0.55f, 0.3f, 0.45f, 0.35f};
    for (int bar = 0; bar < kBars; ++bar) {
        // Hats all the way through: soft in the opening bars, fading away over the close.
        float hatLevel = 0.13f;
        if (bar < 4) hatLevel = 0.07f + 0.015f * bar;
        if (bar >= 32) hatLevel = 0.08f - 0.025f * (bar - 32);
        for (int step = 0; step < 8; ++step) {
            const bool open = bar >= 4 && bar < 32 && bar % 2 == 1 && step == 7;
            const float v = kAccent[step] * static_cast<float>(rng.Range(0.85, 1.1));
            Hat(mix, BarTime(bar, step * 0.5) + rng.Signed() * 0.004, hatLevel * v * (open ? 0.8f : 1.0f),
                open, rng);
        }
        if (bar >= 8 && bar < 32 && bar % 4 == 3) Hat(mix, BarTime(bar, 1.75), hatLevel * 0.2f, false, rng);
        if (bar >= 4 && bar < 32) {
            Kick(mix, BarTime(bar, 0), 0.42f, rng);
            Kick(mix, BarTime(bar, 2.5), 0.26f, rng);
        }
        if (bar >= 8 && bar < 32) {
            Brush(mix, BarTime(bar, 2) + rng.Signed() * 0.004, 0.16f, rng);
            if (bar % 4 == 3) Brush(mix, BarTime(bar, 3.75), 0.05f, rng);
        }
    }
}

// Sums the buses, shapes the master gently and normalises it, with short fades at both ends.
Stereo Master(Mix& mix)
{
    Stereo delayed(mix.dry.Frames());
    assetgen::PingPongDelay(mix.delaySend, delayed, 0.75 * kBeat, 0.42f, 1.0f);
    for (size_t i = 0; i < delayed.Frames(); ++i) {
        mix.dry.Add(i, delayed.left[i] * 0.6f, delayed.right[i] * 0.6f);
        mix.reverbSend.Add(i, delayed.left[i] * 0.4f, delayed.right[i] * 0.4f);
    }
    assetgen::Reverb reverb(0.86, 0.35);
    reverb.Process(mix.reverbSend, mix.dry, 1.0f);

    Stereo& out = mix.dry;
    // Remove any offset, then a soft knee so that the loudest moments round off instead of peaking.
    float dcL = 0, dcR = 0, peak = 0;
    const float dcRate = static_cast<float>(2 * kPi * 20.0 / kSampleRate);
    for (size_t i = 0; i < out.Frames(); ++i) {
        dcL += dcRate * (out.left[i] - dcL);
        dcR += dcRate * (out.right[i] - dcR);
        out.left[i] -= dcL;
        out.right[i] -= dcR;
        peak = std::max({peak, std::fabs(out.left[i]), std::fabs(out.right[i])});
    }
    const float drive = peak > 0 ? 1.3f / peak : 1.0f;
    peak = 0;
    for (size_t i = 0; i < out.Frames(); ++i) {
        out.left[i] = std::tanh(out.left[i] * drive);
        out.right[i] = std::tanh(out.right[i] * drive);
        peak = std::max({peak, std::fabs(out.left[i]), std::fabs(out.right[i])});
    }
    // Headroom for the encoder, whose rounding can overshoot the input's peak a little.
    const float gain = peak > 0 ? 0.84f / peak : 1.0f;
    const double total = static_cast<double>(out.Frames()) / kSampleRate;
    for (size_t i = 0; i < out.Frames(); ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        double fade = std::min(1.0, t / 0.02);
        if (t > total - kFadeOut) fade *= 0.5 + 0.5 * std::cos(kPi * (t - (total - kFadeOut)) / kFadeOut);
        out.left[i] *= gain * static_cast<float>(fade);
        out.right[i] *= gain * static_cast<float>(fade);
    }
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
    // Fail before five seconds of rendering, not after, when the file cannot be written.
    FILE* probe = std::fopen(argv[1], "wb");
    if (!probe) {
        std::fprintf(stderr, "gen_music: %s: cannot create the file\n", argv[1]);
        return 1;
    }
    std::fclose(probe);
    Mix mix;
    Rng rng(1976);
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
