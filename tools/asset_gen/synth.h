// Building blocks of the music generator: stereo buffers, band-limited oscillators, state-variable
// filters, envelopes, a stereo reverb, a ping-pong delay and a peak limiter, and Ogg Vorbis output through
// libvorbisenc. Everything runs offline on whole buffers; no state is shared between objects.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace assetgen {

constexpr int kSampleRate = 44100;

struct Stereo {
    std::vector<float> left, right;
    explicit Stereo(size_t frames) : left(frames, 0.0f), right(frames, 0.0f) {}
    size_t Frames() const { return left.size(); }
    // Adds a sample pair at frame i; frames past the end are dropped (tails of the last notes).
    void Add(size_t i, float l, float r)
    {
        if (i < left.size()) left[i] += l, right[i] += r;
    }
};

// Equal-temperament frequency of a MIDI note number (69 = A4 = 440 Hz); fractional notes detune.
double NoteToHz(double note);

// Sawtooth with polynomial band-limiting at the wrap, so high notes do not alias into the mix.
class SawOscillator {
public:
    explicit SawOscillator(double startPhase = 0.0) : phase_(startPhase) {}
    float Next(double hz);

private:
    double phase_;
};

// Trapezoid-integrated state-variable filter: stable for any cutoff below Nyquist and under fast
// modulation. One object per channel.
class StateVariableFilter {
public:
    void Set(double cutoffHz, double q);
    struct Out {
        float low, band, high;
    };
    Out Process(float x);

private:
    double g_ = 0, k_ = 1, a1_ = 0, a2_ = 0, a3_ = 0;
    double ic1_ = 0, ic2_ = 0;
};

// Level of an attack-decay-sustain-release envelope at time t (seconds) after note-on, for a note held
// for `gate` seconds; 0 before the note and after its release.
float Envelope(double t, double gate, double attack, double decay, double sustain, double release);

// Stereo reverb: eight damped feedback combs in parallel and four all-passes in series per side, the
// right side's delays slightly longer so that the tail spreads across the field.
class Reverb {
public:
    Reverb(double decay, double damping);
    // Writes the reverberated signal of `input` into `output` (added), with the given gain.
    void Process(const Stereo& input, Stereo& output, float gain);

private:
    struct Line {
        std::vector<float> buffer;
        size_t pos = 0;
        float store = 0;
    };
    float Side(float x, std::vector<Line>& combs, std::vector<Line>& passes);
    double feedback_, damping_;
    std::vector<Line> combsL_, combsR_, passesL_, passesR_;
};

// Echoes that alternate between left and right, each repeat darker than the one before.
void PingPongDelay(const Stereo& input, Stereo& output, double delaySeconds, float feedback, float gain);

// Multiplies the buffer by `gain` and holds every sample within +-`ceiling`: the gain dips ahead of each
// peak over about 1.5 ms (no sample ever passes the ceiling) and comes back over about 80 ms. Both sides
// share one gain, so the stereo image stays put.
void LimitPeaks(Stereo& audio, float gain, float ceiling);

// Encodes the buffer (samples in -1 ... 1) as Ogg Vorbis at the given VBR quality (-0.1 ... 1). The
// stream serial number is fixed by the caller so that equal samples give equal files.
bool WriteOggVorbis(const std::string& path, const Stereo& audio, float quality, int serial,
                    const std::vector<std::pair<std::string, std::string>>& tags, std::string* error);

}  // namespace assetgen
