// DSP building blocks and the Ogg Vorbis writer of the music generator. Depends on
// tools/asset_gen/synth.h, libvorbisenc and libogg.
#include "tools/asset_gen/synth.h"

#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

namespace assetgen {

namespace {

// Correction for the step of a sawtooth at its wrap, spread over one sample on either side.
double PolyBlep(double t, double dt)
{
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

}  // namespace

double NoteToHz(double note)
{
    return 440.0 * std::pow(2.0, (note - 69.0) / 12.0);
}

float SawOscillator::Next(double hz)
{
    const double dt = hz / kSampleRate;
    const double value = 2.0 * phase_ - 1.0 - PolyBlep(phase_, dt);
    phase_ += dt;
    if (phase_ >= 1.0) phase_ -= 1.0;
    return static_cast<float>(value);
}

void StateVariableFilter::Set(double cutoffHz, double q)
{
    cutoffHz = std::clamp(cutoffHz, 10.0, kSampleRate * 0.45);
    g_ = std::tan(std::numbers::pi * cutoffHz / kSampleRate);
    k_ = 1.0 / std::max(q, 0.05);
    a1_ = 1.0 / (1.0 + g_ * (g_ + k_));
    a2_ = g_ * a1_;
    a3_ = g_ * a2_;
}

StateVariableFilter::Out StateVariableFilter::Process(float x)
{
    const double v3 = x - ic2_;
    const double v1 = a1_ * ic1_ + a2_ * v3;
    const double v2 = ic2_ + a2_ * ic1_ + a3_ * v3;
    ic1_ = 2.0 * v1 - ic1_;
    ic2_ = 2.0 * v2 - ic2_;
    return {static_cast<float>(v2), static_cast<float>(v1), static_cast<float>(x - k_ * v1 - v2)};
}

float Envelope(double t, double gate, double attack, double decay, double sustain, double release)
{
    if (t < 0) return 0.0f;
    auto held = [&](double u) {
        if (u < attack) return u / attack;
        u -= attack;
        if (u < decay) return 1.0 - (1.0 - sustain) * (u / decay);
        return sustain;
    };
    if (t < gate) return static_cast<float>(held(t));
    const double after = t - gate;
    if (after >= release) return 0.0f;
    // Release from wherever the note stood when the gate closed, on a smooth quarter cosine.
    return static_cast<float>(held(gate) * std::cos(0.5 * std::numbers::pi * after / release));
}

Reverb::Reverb(double decay, double damping) : feedback_(decay), damping_(damping)
{
    // Mutually prime lengths (samples at 44.1 kHz) so that the echoes do not pile up on a common period.
    const int combs[8] = {1151, 1229, 1307, 1381, 1453, 1523, 1597, 1663};
    const int passes[4] = {557, 431, 347, 223};
    const int spread = 29;
    for (int n : combs) {
        combsL_.push_back({std::vector<float>(n, 0.0f)});
        combsR_.push_back({std::vector<float>(n + spread, 0.0f)});
    }
    for (int n : passes) {
        passesL_.push_back({std::vector<float>(n, 0.0f)});
        passesR_.push_back({std::vector<float>(n + spread, 0.0f)});
    }
}

float Reverb::Side(float x, std::vector<Line>& combs, std::vector<Line>& passes)
{
    float sum = 0;
    for (Line& c : combs) {
        const float y = c.buffer[c.pos];
        c.store = static_cast<float>(y * (1.0 - damping_) + c.store * damping_);
        c.buffer[c.pos] = static_cast<float>(x + c.store * feedback_);
        if (++c.pos == c.buffer.size()) c.pos = 0;
        sum += y;
    }
    for (Line& p : passes) {
        const float stored = p.buffer[p.pos];
        const float y = stored - sum;
        p.buffer[p.pos] = sum + stored * 0.5f;
        if (++p.pos == p.buffer.size()) p.pos = 0;
        sum = y;
    }
    return sum;
}

void Reverb::Process(const Stereo& input, Stereo& output, float gain)
{
    // The combs sum eight copies; scale the input so the tail sits near the level of the dry sound.
    const float in = 0.03f;
    for (size_t i = 0; i < input.Frames(); ++i) {
        const float mono = (input.left[i] + input.right[i]) * 0.5f;
        const float l = Side((input.left[i] * 0.7f + mono * 0.3f) * in, combsL_, passesL_);
        const float r = Side((input.right[i] * 0.7f + mono * 0.3f) * in, combsR_, passesR_);
        output.Add(i, l * gain, r * gain);
    }
}

void PingPongDelay(const Stereo& input, Stereo& output, double delaySeconds, float feedback, float gain)
{
    const size_t d = static_cast<size_t>(delaySeconds * kSampleRate);
    if (d == 0) return;
    std::vector<float> lineL(d, 0.0f), lineR(d, 0.0f);
    float toneL = 0, toneR = 0;
    size_t pos = 0;
    for (size_t i = 0; i < input.Frames(); ++i) {
        const float outL = lineL[pos], outR = lineR[pos];
        // The left echo feeds the right line and back: each repeat changes side.
        toneL += 0.35f * (outL - toneL);
        toneR += 0.35f * (outR - toneR);
        const float mono = (input.left[i] + input.right[i]) * 0.5f;
        lineL[pos] = mono + toneR * feedback;
        lineR[pos] = toneL * feedback;
        if (++pos == d) pos = 0;
        output.Add(i, outL * gain, outR * gain);
    }
}

void LimitPeaks(Stereo& audio, float gain, float ceiling)
{
    const size_t n = audio.Frames();
    if (n == 0) return;
    const size_t reach = static_cast<size_t>(0.0015 * kSampleRate);
    // The gain each frame needs on its own.
    std::vector<float> need(n);
    for (size_t i = 0; i < n; ++i) {
        const float peak = gain * std::max(std::fabs(audio.left[i]), std::fabs(audio.right[i]));
        need[i] = peak > ceiling ? ceiling / peak : 1.0f;
    }
    // The least need within `reach` frames either side (a sliding minimum over a queue of candidates).
    std::vector<float> least(n);
    std::vector<size_t> queue(n);
    size_t head = 0, tail = 0, next = 0;
    for (size_t i = 0; i < n; ++i) {
        for (; next < n && next <= i + reach; ++next) {
            while (tail > head && need[queue[tail - 1]] >= need[next]) --tail;
            queue[tail++] = next;
        }
        while (queue[head] + reach < i) ++head;
        least[i] = need[queue[head]];
    }
    // Averaged over half that reach either side, so the gain glides into a peak; every value averaged lies
    // within `reach` of the frame, so none is above what the frame needs.
    const size_t half = reach / 2;
    double sum = 0;
    size_t from = 0, to = 0;  // the window [from, to)
    const double release = 1.0 - std::exp(-1.0 / (0.08 * kSampleRate));
    double current = 1.0;
    for (size_t i = 0; i < n; ++i) {
        for (; to < n && to <= i + half; ++to) sum += least[to];
        for (; from + half < i; ++from) sum -= least[from];
        const double smooth = sum / static_cast<double>(to - from);
        current = std::min(smooth, current + (1.0 - current) * release);
        const float g = gain * static_cast<float>(current);
        audio.left[i] *= g;
        audio.right[i] *= g;
    }
}

bool WriteOggVorbis(const std::string& path, const Stereo& audio, float quality, int serial,
                    const std::vector<std::pair<std::string, std::string>>& tags, std::string* error)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        *error = path + ": cannot create the file";
        return false;
    }
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, 2, kSampleRate, quality) != 0) {
        vorbis_info_clear(&info);
        std::fclose(file);
        *error = "the Vorbis encoder refused its settings";
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    for (const auto& [key, value] : tags) vorbis_comment_add_tag(&comment, key.c_str(), value.c_str());
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, serial);

    bool ok = true;
    auto writePage = [&](const ogg_page& page) {
        ok = ok && std::fwrite(page.header, 1, page.header_len, file) == static_cast<size_t>(page.header_len);
        ok = ok && std::fwrite(page.body, 1, page.body_len, file) == static_cast<size_t>(page.body_len);
    };
    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    ogg_page page;
    // The headers end on a page of their own, so that audio starts on a fresh page.
    while (ogg_stream_flush(&stream, &page) != 0) writePage(page);

    const size_t chunk = 4096;
    size_t done = 0;
    bool finished = false;
    while (!finished && ok) {
        const size_t n = std::min(chunk, audio.Frames() - done);
        if (n == 0) {
            vorbis_analysis_wrote(&dsp, 0);  // end of stream: the encoder drains its last blocks
            finished = true;
        } else {
            float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(n));
            std::copy_n(audio.left.data() + done, n, buffer[0]);
            std::copy_n(audio.right.data() + done, n, buffer[1]);
            vorbis_analysis_wrote(&dsp, static_cast<int>(n));
            done += n;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet) == 1) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0) writePage(page);
            }
        }
    }
    while (ogg_stream_flush(&stream, &page) != 0) writePage(page);
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    if (std::fclose(file) != 0) ok = false;
    if (!ok) *error = path + ": cannot write the file";
    return ok;
}

}  // namespace assetgen
