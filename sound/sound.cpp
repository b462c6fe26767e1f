// The sound layer over SDL2 audio, libvorbisfile and kissfft (see sound.h). The Ogg file lives in memory;
// its first half second is decoded at once into a PCM buffer, a worker thread decodes the rest front to back
// a few seconds ahead of the playing position, and the mixer on SDL's audio thread reads from that buffer
// or, where the worker has not arrived yet, decodes on its own from the same bytes into the same samples.
#include "sound/sound.h"

#include <SDL.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "platform/input_file.h"
#include "sound/sound_spectrum.h"

namespace {

// ---------------------------------------------------------------------------------------------------------
// Constants

constexpr int kFixedShift = 32;  // mixer positions are frames * 2^32
constexpr int64_t kFixedOne = int64_t(1) << kFixedShift;
constexpr int64_t kMaxPosition = int64_t(1) << 30;  // frames; far past any track, keeps fixed point in range
constexpr int kCrossfadeFrames = 256;               // about 6 ms: hides the seam, still heard as a jump
constexpr int kChunkFrames = 4096;                  // decoded per step by the worker and by the mixer
constexpr double kMaxCatchUpSeconds = 0.1;          // a request older than this (a stalled device) is late
// Live, the start is decoded before the track is handed to the mixer, and the worker keeps ahead of the
// playing position by the start's length plus what has played, up to a few seconds: the first frames of the
// show do not share the processor with decoding (the worker goes at twice the pace of the music until its
// lead is whole), and a jitter jump (at most 6000 frames) lands on decoded frames.
constexpr double kStartDecodeSeconds = 0.5;
constexpr double kDecodeLeadSeconds = 4.0;
// How often a waiting worker looks at the mixer's position again: it moves 1/200 of the whole lead meanwhile.
constexpr auto kWorkerPoll = std::chrono::milliseconds(20);

std::atomic<bool> decodingHeld{false};  // set by tests from the main thread, read by the worker

// ---------------------------------------------------------------------------------------------------------
// Ogg bytes in memory, read through vorbisfile's callbacks

struct MemoryFile {
    const unsigned char* data = nullptr;
    size_t size = 0;
    size_t offset = 0;
};

size_t MemoryRead(void* target, size_t size, size_t count, void* source)
{
    auto* file = static_cast<MemoryFile*>(source);
    if (size == 0 || count == 0) return 0;
    const size_t items = std::min(count, (file->size - file->offset) / size);
    if (items == 0) return 0;
    std::memcpy(target, file->data + file->offset, items * size);
    file->offset += items * size;
    return items;
}

int MemorySeek(void* source, ogg_int64_t offset, int whence)
{
    auto* file = static_cast<MemoryFile*>(source);
    ogg_int64_t base = 0;
    if (whence == SEEK_CUR) base = static_cast<ogg_int64_t>(file->offset);
    if (whence == SEEK_END) base = static_cast<ogg_int64_t>(file->size);
    const ogg_int64_t target = base + offset;
    if (target < 0 || target > static_cast<ogg_int64_t>(file->size)) return -1;
    file->offset = static_cast<size_t>(target);
    return 0;
}

long MemoryTell(void* source)
{
    return static_cast<long>(static_cast<MemoryFile*>(source)->offset);
}

const ov_callbacks kMemoryCallbacks = {MemoryRead, MemorySeek, nullptr, MemoryTell};

// Left and right of one frame from vorbisfile's float output; a mono link plays on both sides.
void StoreFrame(float** channels, int channelCount, int i, float* left, float* right)
{
    *left = channels[0][i];
    *right = channelCount > 1 ? channels[1][i] : channels[0][i];
}

int16_t ToPcm(float v)
{
    const float scaled = std::clamp(v, -1.0f, 1.0f) * 32767.0f;
    return static_cast<int16_t>(std::lrint(scaled));
}

// ---------------------------------------------------------------------------------------------------------
// The track: its bytes, the PCM the worker fills, and the mixer's own decoder for the part not yet filled

// The value a decoded sample has in the PCM buffer, as the mixer reads it: whichever decoder made a frame,
// the mixer hears the same number.
float Quantised(float v)
{
    return ToPcm(v) * (1.0f / 32767.0f);
}

// Frames the mixer decoded itself: stereo, start .. start + count - 1, quantised like the PCM buffer.
struct DecodeCache {
    float data[kChunkFrames * 2] = {};
    int64_t start = 0;
    int64_t count = 0;
};

struct Track {
    std::vector<unsigned char> bytes;
    int channels = 0;
    int rate = 0;
    int64_t frames = 0;
    int64_t step = kFixedOne;  // position advance per output frame: file rate / mix rate, fixed point

    // Worker thread writes frames [decoded, ...) and publishes them by a release store of `decoded`;
    // the mixer reads only frames below what it acquired.
    std::unique_ptr<int16_t[]> pcm;  // stereo interleaved
    std::atomic<int64_t> decoded{0};
    std::atomic<bool> stopWorker{false};
    std::thread worker;
    MemoryFile workerFile;
    OggVorbis_File workerVorbis{};
    bool workerOpen = false;
    // The front-to-back decode, run on the main thread for the start and then on the worker alone.
    int64_t workerAt = 0;  // next frame to decode
    int workerHoles = 0;
    // Where the mixer plays (frames of the track), stored by the mixer every pass: the worker's pace.
    std::atomic<int64_t> playhead{0};
    std::mutex workerLock;  // with workerWake: the worker's wait between steps, cut short to stop it
    std::condition_variable workerWake;

    // Audio thread only.
    MemoryFile mixerFile;
    OggVorbis_File mixerVorbis{};
    bool mixerOpen = false;
    int64_t mixerNext = -1;  // frame the mixer's decoder returns next; -1 when it must seek first
    DecodeCache caches[2];   // one for the playing stream, one for the stream fading out of a jump
    std::atomic<int64_t> mixerSeeks{0};  // read by the main thread for SoundTrack()

    ~Track()
    {
        {
            std::lock_guard<std::mutex> lock(workerLock);
            stopWorker.store(true);
        }
        workerWake.notify_all();
        if (worker.joinable()) worker.join();
        if (workerOpen) ov_clear(&workerVorbis);
        if (mixerOpen) ov_clear(&mixerVorbis);
    }
};

// Decodes the next piece of the track into the PCM buffer and publishes it. False at the end of the track
// or of what can be decoded; a damaged tail then plays as silence instead of being retried forever.
bool DecodeStep(Track* track)
{
    float** channels = nullptr;
    int link = 0;
    long got = 0;
    const int64_t at = track->workerAt;
    if (at >= track->frames) return false;
    do {
        got = ov_read_float(&track->workerVorbis, &channels, kChunkFrames, &link);
    } while (got == OV_HOLE && ++track->workerHoles < 64);  // a gap in the stream: the data after it plays
    if (got <= 0) {
        std::fill(track->pcm.get() + at * 2, track->pcm.get() + track->frames * 2, int16_t(0));
        track->workerAt = track->frames;
        track->decoded.store(track->frames, std::memory_order_release);
        return false;
    }
    const vorbis_info* info = ov_info(&track->workerVorbis, link);
    const int count = static_cast<int>(std::min<int64_t>(got, track->frames - at));
    int16_t* out = track->pcm.get() + at * 2;
    for (int i = 0; i < count; ++i) {
        float left, right;
        StoreFrame(channels, info ? info->channels : 1, i, &left, &right);
        out[i * 2] = ToPcm(left);
        out[i * 2 + 1] = ToPcm(right);
    }
    track->workerAt = at + count;
    track->decoded.store(track->workerAt, std::memory_order_release);
    return track->workerAt < track->frames;
}

// Decodes up to frame `until` (or the end) at once, on the calling thread. Nothing while decoding is held.
void DecodeUntil(Track* track, int64_t until)
{
    while (track->workerAt < until && !decodingHeld.load(std::memory_order_relaxed) && DecodeStep(track)) {
    }
}

// The worker thread: the rest of the track, kept its lead ahead of where the mixer plays.
void DecodeAhead(Track* track)
{
    const int64_t start = static_cast<int64_t>(kStartDecodeSeconds * track->rate);
    const int64_t lead = static_cast<int64_t>(kDecodeLeadSeconds * track->rate);
    std::unique_lock<std::mutex> lock(track->workerLock, std::defer_lock);
    while (!track->stopWorker.load(std::memory_order_relaxed)) {
        const bool held = decodingHeld.load(std::memory_order_relaxed);
        const int64_t playhead = track->playhead.load(std::memory_order_relaxed);
        if (held || track->workerAt >= playhead + std::min(lead, start + playhead)) {
            lock.lock();
            track->workerWake.wait_for(lock, held ? std::chrono::milliseconds(1) : kWorkerPoll,
                                       [track] { return track->stopWorker.load(); });
            lock.unlock();
            continue;
        }
        if (!DecodeStep(track)) break;
    }
}

// The mixer's own decode of frames the worker has not reached (after a jump ahead). Audio thread only.
// Reading on from the end of the cache keeps its last frame, so that interpolating across the seam
// never sends the decoder back.
void FillCache(Track* track, DecodeCache& cache, int64_t frame)
{
    const bool onward = cache.count > 0 && frame == cache.start + cache.count;
    if (onward) {
        cache.data[0] = cache.data[(cache.count - 1) * 2];
        cache.data[1] = cache.data[(cache.count - 1) * 2 + 1];
        cache.start = frame - 1;
        cache.count = 1;
    } else {
        cache.start = frame;
        cache.count = 0;
    }
    const int64_t kept = cache.count;
    bool ok = track->mixerOpen;
    if (ok && track->mixerNext != frame) {
        track->mixerSeeks.fetch_add(1, std::memory_order_relaxed);
        ok = ov_pcm_seek(&track->mixerVorbis, frame) == 0;
    }
    float** channels = nullptr;
    int link = 0;
    int holes = 0;
    while (ok && cache.count < kChunkFrames) {
        const long got = ov_read_float(&track->mixerVorbis, &channels,
                                       static_cast<int>(kChunkFrames - cache.count), &link);
        if (got == OV_HOLE && ++holes < 64) continue;
        if (got <= 0) break;
        const vorbis_info* info = ov_info(&track->mixerVorbis, link);
        float* out = cache.data + cache.count * 2;
        for (long i = 0; i < got; ++i) {
            StoreFrame(channels, info ? info->channels : 1, static_cast<int>(i), &out[i * 2],
                       &out[i * 2 + 1]);
            out[i * 2] = Quantised(out[i * 2]);
            out[i * 2 + 1] = Quantised(out[i * 2 + 1]);
        }
        cache.count += got;
    }
    if (ok && cache.count > kept) {
        track->mixerNext = cache.start + cache.count;
        return;
    }
    // Nothing decodable here: a chunk of silence, so that a broken stretch costs one seek per chunk.
    std::fill(cache.data, cache.data + kChunkFrames * 2, 0.0f);
    cache.start = frame;
    cache.count = kChunkFrames;
    track->mixerNext = -1;
}

// ---------------------------------------------------------------------------------------------------------
// Shared state

// Asked for by the main thread, taken by the mixer at the start of its next pass. Guarded by commandLock.
struct Commands {
    bool play = false;
    bool hasTarget = false;
    int64_t target = 0;  // absolute position, frames
    int64_t move = 0;    // relative move on top of the target or of the mixer's position
    std::chrono::steady_clock::time_point askedAt;  // when the target was asked for
};

// Audio thread only, except while the device is locked.
struct Mixer {
    Track* track = nullptr;
    bool playing = false;
    int64_t position = 0;      // fixed point
    int64_t fadePosition = 0;  // where the sound faded out comes from during a crossfade
    int fadeLeft = 0;
    int playCache = 0;  // the track's decode cache of the playing stream; the other one fades
    float gain = 1.0f;
    float history[kSpectrumWindowFrames] = {};  // ring of mono output
    int historyAt = 0;
    int64_t framesMixed = 0;
};

struct SoundSystem {
    bool open = false;
    SDL_AudioDeviceID device = 0;
    std::unique_ptr<Track> track;
    Mixer mixer;

    std::mutex commandLock;
    Commands commands;
    std::atomic<int64_t> mixerPosition{0};  // frames; stored under commandLock when a command is taken
    std::atomic<int> volume{255};

    std::mutex outputLock;  // guards the two copies below
    float recentOutput[kSpectrumWindowFrames] = {};
    int64_t framesMixed = 0;

    bool offline = false;  // no device: the main thread mixes through SoundRenderOffline
    float spectrumInput[kSpectrumWindowFrames] = {};

    // A device that went away (a headset unplugged, the sound server stopped). Main thread only.
    bool deviceLost = false;
    std::chrono::steady_clock::time_point advancedTo;   // wall time the position has followed up to
    std::chrono::steady_clock::time_point nextAttempt;  // of opening a device again
    double framesOwed = 0.0;                            // fraction of a frame carried to the next advance
};

SoundSystem sound;
std::string lastError;

void Fail(const std::string& reason)
{
    lastError = reason;
    std::fprintf(stderr, "sound: %s\n", reason.c_str());
}

// ---------------------------------------------------------------------------------------------------------
// Mixing (audio thread)

void ReadFrame(Track* track, DecodeCache& cache, int64_t frame, int64_t decoded, float* left, float* right)
{
    if (frame < 0 || frame >= track->frames) {
        *left = *right = 0.0f;
        return;
    }
    if (frame < decoded) {
        const int16_t* in = track->pcm.get() + frame * 2;
        *left = in[0] * (1.0f / 32767.0f);
        *right = in[1] * (1.0f / 32767.0f);
        return;
    }
    if (frame < cache.start || frame >= cache.start + cache.count) FillCache(track, cache, frame);
    const float* in = cache.data + (frame - cache.start) * 2;
    *left = in[0];
    *right = in[1];
}

// The track at a fixed-point position, linearly interpolated when the file's rate is not the mix rate.
void ReadAt(Track* track, DecodeCache& cache, int64_t position, int64_t decoded, float* left, float* right)
{
    const int64_t frame = position >> kFixedShift;
    const int64_t fraction = position & (kFixedOne - 1);
    ReadFrame(track, cache, frame, decoded, left, right);
    if (fraction == 0) return;
    float nextLeft, nextRight;
    ReadFrame(track, cache, frame + 1, decoded, &nextLeft, &nextRight);
    const float t = static_cast<float>(static_cast<double>(fraction) / static_cast<double>(kFixedOne));
    *left += (nextLeft - *left) * t;
    *right += (nextRight - *right) * t;
}

int64_t ClampFrames(int64_t frame)
{
    return std::clamp<int64_t>(frame, 0, kMaxPosition);
}

void TakeCommands(Mixer& mixer)
{
    std::lock_guard<std::mutex> lock(sound.commandLock);
    Commands& c = sound.commands;
    if (!c.play && !c.hasTarget && c.move == 0) return;
    const int64_t current = mixer.position >> kFixedShift;
    int64_t base = c.hasTarget ? c.target : current;
    if (c.hasTarget && (c.play || mixer.playing) && mixer.track && !sound.offline) {
        // The track should have been at the target when it was asked for, not up to a buffer later: catch
        // up by the time that has passed, so that a track started with the clock stays in step with it.
        const double waited =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - c.askedAt).count();
        base += static_cast<int64_t>(std::clamp(waited, 0.0, kMaxCatchUpSeconds) * mixer.track->rate);
    }
    const int64_t target = ClampFrames(base + c.move);
    if (mixer.playing && mixer.track) {
        mixer.fadePosition = mixer.position;
        mixer.fadeLeft = kCrossfadeFrames;
        mixer.playCache ^= 1;  // the stream fading out keeps the frames it has decoded
    }
    if (c.play) mixer.playing = true;
    mixer.position = target << kFixedShift;
    sound.mixerPosition.store(target);
    c = Commands{};
}

// Mixes `frames` stereo frames into `out`: on SDL's audio thread, or on the main thread when offline.
void MixFrames(float* out, int frames)
{
    Mixer& mixer = sound.mixer;
    TakeCommands(mixer);

    Track* track = mixer.track;
    const int64_t decoded = track ? track->decoded.load(std::memory_order_acquire) : 0;
    const bool sounding = track && mixer.playing;
    const int64_t end = kMaxPosition << kFixedShift;
    const float startGain = mixer.gain;
    const float endGain = static_cast<float>(sound.volume.load(std::memory_order_relaxed)) / 255.0f;

    for (int i = 0; i < frames; ++i) {
        float left = 0.0f, right = 0.0f;
        if (sounding) {
            ReadAt(track, track->caches[mixer.playCache], mixer.position, decoded, &left, &right);
            if (mixer.fadeLeft > 0) {
                float oldLeft, oldRight;
                ReadAt(track, track->caches[mixer.playCache ^ 1], mixer.fadePosition, decoded, &oldLeft,
                       &oldRight);
                const float w = static_cast<float>(mixer.fadeLeft) / (kCrossfadeFrames + 1);
                left += (oldLeft - left) * w;
                right += (oldRight - right) * w;
                mixer.fadePosition = std::min(mixer.fadePosition + track->step, end);
                --mixer.fadeLeft;
            }
            mixer.position = std::min(mixer.position + track->step, end);
        }
        const float gain = startGain + (endGain - startGain) * static_cast<float>(i + 1) / frames;
        left *= gain;
        right *= gain;
        out[i * 2] = left;
        out[i * 2 + 1] = right;
        mixer.history[mixer.historyAt] = 0.5f * (left + right);
        mixer.historyAt = (mixer.historyAt + 1) % kSpectrumWindowFrames;
    }
    mixer.gain = endGain;
    mixer.framesMixed += frames;
    sound.mixerPosition.store(mixer.position >> kFixedShift);
    if (track) track->playhead.store(mixer.position >> kFixedShift, std::memory_order_relaxed);

    std::lock_guard<std::mutex> lock(sound.outputLock);
    const int tail = kSpectrumWindowFrames - mixer.historyAt;
    std::memcpy(sound.recentOutput, mixer.history + mixer.historyAt, tail * sizeof(float));
    std::memcpy(sound.recentOutput + tail, mixer.history, mixer.historyAt * sizeof(float));
    sound.framesMixed = mixer.framesMixed;
}

void SDLCALL MixAudio(void* /*userdata*/, Uint8* stream, int bytes)
{
    MixFrames(reinterpret_cast<float*>(stream), bytes / static_cast<int>(2 * sizeof(float)));
}

// Holds the mixer while the main thread changes what it reads; offline, or with the device lost, there is
// no other thread.
void LockMixer()
{
    if (!sound.offline && !sound.deviceLost) SDL_LockAudioDevice(sound.device);
}

void UnlockMixer()
{
    if (!sound.offline && !sound.deviceLost) SDL_UnlockAudioDevice(sound.device);
}

// Opens the output device that SDL's driver offers first, for the mixer's callback. False with the reason
// in SDL_GetError().
bool OpenDevice()
{
    SDL_AudioSpec want{};
    want.freq = kSoundMixRate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = kSoundDeviceFrames;
    want.callback = MixAudio;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the hardware takes, so the mixer always sees this format.
    sound.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    return sound.device != 0;
}

// While the device is lost, the music's position follows the wall clock as a device would have played it:
// moves asked for are taken, nothing is mixed. Main thread, with no audio thread running. The `frames` are
// the time up to now, which the track played where it stood before the moves: they advance it first, and
// the moves are taken after, at now, as a device's next pass would take them (a jump then adds the time
// since it was asked, once).
void AdvanceWithoutDevice(int64_t frames)
{
    Mixer& mixer = sound.mixer;
    if (mixer.track && mixer.playing)
        mixer.position = std::min(mixer.position + std::min(frames, kMaxPosition) * mixer.track->step,
                                  kMaxPosition << kFixedShift);
    TakeCommands(mixer);
    mixer.fadeLeft = 0;
    sound.mixerPosition.store(mixer.position >> kFixedShift);
    if (mixer.track) mixer.track->playhead.store(mixer.position >> kFixedShift, std::memory_order_relaxed);
}

// Swaps the mixer's track while the audio thread is held; returns the old one for the caller to free.
std::unique_ptr<Track> ReplaceTrack(std::unique_ptr<Track> next)
{
    LockMixer();
    std::unique_ptr<Track> old = std::move(sound.track);
    sound.track = std::move(next);
    sound.mixer.track = sound.track.get();
    sound.mixer.playing = false;
    sound.mixer.position = 0;
    sound.mixer.fadeLeft = 0;
    {
        std::lock_guard<std::mutex> lock(sound.commandLock);
        sound.commands = Commands{};
        sound.mixerPosition.store(0);
    }
    UnlockMixer();
    return old;
}

constexpr size_t kLargestTrackFile = 64u << 20;

// True when the Ogg pages do not run whole to a last page that ends the stream: the file was cut short
// (vorbisfile then plays what the whole pages hold, without a word).
bool OggCutShort(const std::vector<unsigned char>& b)
{
    size_t at = 0;
    bool ended = false;
    while (at < b.size()) {
        if (b.size() - at < 27 || std::memcmp(b.data() + at, "OggS", 4) != 0) return true;
        const size_t segments = b[at + 26];
        if (b.size() - at - 27 < segments) return true;
        size_t body = 0;
        for (size_t i = 0; i < segments; ++i) body += b[at + 27 + i];
        const size_t page = 27 + segments + body;
        if (b.size() - at < page) return true;
        ended = (b[at + 5] & 4) != 0;  // the page that ends the logical stream
        at += page;
    }
    return !ended;
}

}  // namespace

// -------------------------------------------------------------------------------------------------------------
// Public functions (main thread)

namespace {

// At exit (a show ended by its close box never calls SoundClose): the mixer must stop reading before the
// track goes with this file's globals, but the process need not wait for SDL's audio thread to finish its
// buffer, as closing the device would (a buffer or more on a busy machine). A paused device calls the mixer
// no more once the pause returns, and its thread ends with the process.
void StopMixingAtExit()
{
    if (!sound.open) return;
    if (!sound.offline && !sound.deviceLost) SDL_PauseAudioDevice(sound.device, 1);
    sound.mixer.track = nullptr;
    sound.track.reset();
}

// The state both kinds of start share: a silent mixer at position 0, full volume, no output yet.
void ResetMixerState(bool offline)
{
    sound.mixer = Mixer{};
    sound.commands = Commands{};
    sound.mixerPosition.store(0);
    sound.volume.store(255);
    std::fill(std::begin(sound.recentOutput), std::end(sound.recentOutput), 0.0f);
    sound.framesMixed = 0;
    sound.offline = offline;
    sound.deviceLost = false;
    sound.open = true;
    static bool stopAtExit = false;
    if (!stopAtExit) {
        std::atexit(StopMixingAtExit);
        stopAtExit = true;
    }
}

}  // namespace

bool SoundInit()
{
    if (sound.open) {
        Fail("the sound system is already open");
        return false;
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        Fail(std::string("cannot start audio: ") + SDL_GetError());
        return false;
    }
    if (!OpenDevice()) {
        Fail(std::string("cannot open an audio device: ") + SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    ResetMixerState(false);
    SDL_PauseAudioDevice(sound.device, 0);
    return true;
}

bool SoundInitOffline()
{
    if (sound.open) {
        Fail("the sound system is already open");
        return false;
    }
    ResetMixerState(true);
    return true;
}

bool SoundIsOffline()
{
    return sound.open && sound.offline;
}

void SoundRenderOffline(int frames, float* out)
{
    if (!sound.open || !sound.offline || frames <= 0) return;
    // In pieces of at most one device buffer, so that volume ramps take as long as they do live.
    float scratch[kSoundDeviceFrames * 2];
    while (frames > 0) {
        const int n = std::min(frames, kSoundDeviceFrames);
        float* target = out ? out : scratch;
        MixFrames(target, n);
        if (out) out += n * 2;
        frames -= n;
    }
}

bool SoundLoadTrack(const char* path)
{
    if (!sound.open) {
        Fail("the sound system is not open");
        return false;
    }
    auto track = std::make_unique<Track>();
    std::string cause = "no file named";
    if (!path || !ReadInputFile(path, kLargestTrackFile, track->bytes, cause)) {
        Fail(std::string("cannot read \"") + (path ? path : "") + "\": " + cause);
        return false;
    }
    if (track->bytes.empty()) {
        Fail(std::string("\"") + path + "\" is empty");
        return false;
    }
    // What is no Ogg Vorbis file says only that; a cut is worth a word only in a file that plays.
    track->workerFile = MemoryFile{track->bytes.data(), track->bytes.size(), 0};
    track->mixerFile = track->workerFile;
    if (ov_open_callbacks(&track->workerFile, &track->workerVorbis, nullptr, 0, kMemoryCallbacks) != 0) {
        const bool ogg = track->bytes.size() >= 4 && std::memcmp(track->bytes.data(), "OggS", 4) == 0;
        if (ogg && OggCutShort(track->bytes))
            Fail(std::string("\"") + path + "\" is cut short at byte " + std::to_string(track->bytes.size()) +
                 ", inside its headers");
        else
            Fail(std::string("\"") + path + "\" is not an Ogg Vorbis file");
        return false;
    }
    if (OggCutShort(track->bytes))
        std::fprintf(stderr, "sound: warning: \"%s\" is cut short; it plays what it has\n", path);
    track->workerOpen = true;
    const vorbis_info* info = ov_info(&track->workerVorbis, -1);
    const ogg_int64_t total = ov_pcm_total(&track->workerVorbis, -1);
    if (!info || info->channels < 1 || info->channels > 2 || info->rate <= 0) {
        Fail(std::string("\"") + path + "\" has " + std::to_string(info ? info->channels : 0) +
             " channels; mono and stereo tracks are played");
        return false;
    }
    if (total <= 0 || total > kMaxPosition) {
        Fail(std::string("\"") + path + "\" holds no playable length of sound");
        return false;
    }
    if (ov_open_callbacks(&track->mixerFile, &track->mixerVorbis, nullptr, 0, kMemoryCallbacks) != 0) {
        Fail(std::string("\"") + path + "\" cannot be opened twice for decoding");
        return false;
    }
    track->mixerOpen = true;
    track->mixerNext = 0;
    track->channels = info->channels;
    track->rate = static_cast<int>(info->rate);
    track->frames = total;
    track->step = (static_cast<int64_t>(track->rate) << kFixedShift) / kSoundMixRate;
    track->pcm.reset(new (std::nothrow) int16_t[static_cast<size_t>(total) * 2]);
    if (!track->pcm) {
        Fail(std::string("\"") + path + "\" is too long to hold in memory");
        return false;
    }
    if (sound.offline) {
        // The whole track now: every offline run mixes the same samples.
        DecodeUntil(track.get(), track->frames);
    } else {
        DecodeUntil(track.get(), static_cast<int64_t>(kStartDecodeSeconds * track->rate));
        track->worker = std::thread(DecodeAhead, track.get());
    }
    ReplaceTrack(std::move(track));  // the old track, if any, is freed here
    return true;
}

void SoundPlay()
{
    if (!sound.open) return;
    std::lock_guard<std::mutex> lock(sound.commandLock);
    sound.commands = Commands{};
    sound.commands.play = true;
    sound.commands.hasTarget = true;
    sound.commands.askedAt = std::chrono::steady_clock::now();
}

int64_t SoundPosition()
{
    if (!sound.open) return 0;
    std::lock_guard<std::mutex> lock(sound.commandLock);
    const Commands& c = sound.commands;
    const int64_t base = c.hasTarget ? c.target : sound.mixerPosition.load();
    return ClampFrames(base + c.move);
}

void SoundSetPosition(int64_t frame)
{
    if (!sound.open) return;
    std::lock_guard<std::mutex> lock(sound.commandLock);
    sound.commands.hasTarget = true;
    sound.commands.target = ClampFrames(frame);
    sound.commands.askedAt = std::chrono::steady_clock::now();
    sound.commands.move = 0;
}

void SoundMovePosition(int64_t frames)
{
    if (!sound.open) return;
    std::lock_guard<std::mutex> lock(sound.commandLock);
    Commands& c = sound.commands;
    frames = std::clamp<int64_t>(frames, -kMaxPosition, kMaxPosition);
    if (c.hasTarget) {
        c.target = ClampFrames(c.target + frames);
    } else {
        // Moves add up until the mixer takes them; the sum stays within what a position can hold.
        c.move = std::clamp<int64_t>(c.move + frames, -kMaxPosition, kMaxPosition);
    }
}

void SoundSetVolume(int volume)
{
    sound.volume.store(std::clamp(volume, 0, 255));
}

void SoundWatchDevice()
{
    if (!sound.open || sound.offline) return;
    const auto now = std::chrono::steady_clock::now();
    if (!sound.deviceLost) {
        // SDL marks a device whose driver failed as stopped; this layer never stops or pauses its own.
        if (SDL_GetAudioDeviceStatus(sound.device) != SDL_AUDIO_STOPPED) return;
        std::fprintf(stderr,
                     "sound: the output device is gone; the show goes on silent and looks for one "
                     "every second\n");
        // Its thread only runs SDL's silent loop now, so closing it is a short wait. The driver's
        // connection may have died with the device: a fresh start of SDL's audio makes a new one.
        SDL_CloseAudioDevice(sound.device);
        sound.device = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        sound.deviceLost = true;
        sound.advancedTo = now;
        sound.nextAttempt = now + std::chrono::seconds(1);
        sound.framesOwed = 0.0;
        std::lock_guard<std::mutex> lock(sound.outputLock);
        std::fill(std::begin(sound.recentOutput), std::end(sound.recentOutput), 0.0f);
        return;
    }
    sound.framesOwed += std::chrono::duration<double>(now - sound.advancedTo).count() * kSoundMixRate;
    sound.advancedTo = now;
    const int64_t frames = static_cast<int64_t>(sound.framesOwed);
    sound.framesOwed -= static_cast<double>(frames);
    AdvanceWithoutDevice(frames);
    if (now < sound.nextAttempt) return;
    sound.nextAttempt = now + std::chrono::seconds(1);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
    if (!OpenDevice()) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return;
    }
    // The music goes on where the clock stands (the time the opening took included), faded in over the
    // first buffer. The new device's thread waits for the unpause below.
    sound.framesOwed +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - now).count() * kSoundMixRate;
    AdvanceWithoutDevice(static_cast<int64_t>(sound.framesOwed));
    sound.framesOwed = 0.0;
    sound.mixer.gain = 0.0f;
    sound.deviceLost = false;
    std::fprintf(stderr, "sound: an output device is back; the music goes on where the clock stands\n");
    SDL_PauseAudioDevice(sound.device, 0);
}

bool SoundDeviceLost()
{
    return sound.open && sound.deviceLost;
}

int64_t SoundRecentOutput(float out[kSpectrumWindowFrames])
{
    if (!sound.open) {
        std::fill(out, out + kSpectrumWindowFrames, 0.0f);
        return 0;
    }
    std::lock_guard<std::mutex> lock(sound.outputLock);
    std::memcpy(out, sound.recentOutput, sizeof(sound.recentOutput));
    return sound.framesMixed;
}

void SoundSpectrum(float out[kSpectrumBins])
{
    if (!sound.open) {
        std::fill(out, out + kSpectrumBins, 0.0f);
        return;
    }
    SoundRecentOutput(sound.spectrumInput);
    SpectrumOfOutput(sound.spectrumInput, out);
}

void SoundClose()
{
    if (!sound.open) return;
    if (!sound.offline && !sound.deviceLost) {
        SDL_CloseAudioDevice(sound.device);  // waits for the audio thread to leave the mixer
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    sound.device = 0;
    sound.deviceLost = false;
    sound.mixer = Mixer{};
    sound.track.reset();
    sound.offline = false;
    sound.open = false;
}

SoundTrackInfo SoundTrack()
{
    SoundTrackInfo info;
    if (!sound.open || !sound.track) return info;
    info.channels = sound.track->channels;
    info.rate = sound.track->rate;
    info.frames = sound.track->frames;
    info.decodedFrames = sound.track->decoded.load(std::memory_order_acquire);
    info.mixerSeeks = sound.track->mixerSeeks.load(std::memory_order_relaxed);
    return info;
}

int64_t SoundFramesMixed()
{
    if (!sound.open) return 0;
    std::lock_guard<std::mutex> lock(sound.outputLock);
    return sound.framesMixed;
}

void SoundHoldDecoding(bool hold)
{
    decodingHeld.store(hold);
}

const char* SoundError()
{
    return lastError.c_str();
}
