// Queued sound output over SDL2 audio (see sound_stream.h).
#include "sound/sound_stream.h"

#include <SDL.h>

#include <vector>

#include "platform/page.h"
#include "platform/system.h"

namespace {
SDL_AudioDeviceID device = 0;
constexpr double kCushionSeconds = 0.1;
constexpr double kMaxPageLagSeconds = 0.5;
int streamRate = 0;
int64_t queuedFrames = 0;    // handed over since the stream opened
std::vector<float> silence;  // the cushion, queued again whenever the output ran dry
}  // namespace

bool OpenSoundStream(int rate, std::string& error)
{
    if (device) return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        error = SDL_GetError();
        return false;
    }
    SDL_AudioSpec want{}, have{};
    want.freq = rate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = nullptr;  // queue mode
    device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!device) {
        error = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    silence.assign(static_cast<size_t>(rate * kCushionSeconds) * 2, 0.0f);
    SDL_QueueAudio(device, silence.data(), static_cast<Uint32>(silence.size() * sizeof(float)));
    SDL_PauseAudioDevice(device, 0);
    streamRate = rate;
    queuedFrames = 0;
    return true;
}

void QueueSoundStream(const float* stereo, int64_t frames)
{
    if (!device || frames <= 0) return;
    constexpr int64_t kFrameBytes = 2 * sizeof(float);
    const int64_t cushion = static_cast<int64_t>(kCushionSeconds * streamRate);
    int64_t waiting = SDL_GetQueuedAudioSize(device) / kFrameBytes;
    // A page that stopped drawing for a while (a tab in the background) hands over its whole pause at
    // once; played behind the picture it would stay seconds late, so only the newest of it plays.
    if (!SystemCan(SystemAbility::SoundThread) && waiting + frames > kMaxPageLagSeconds * streamRate) {
        SDL_ClearQueuedAudio(device);
        waiting = 0;
        const int64_t keep = frames < cushion ? frames : cushion;
        stereo += (frames - keep) * 2;
        frames = keep;
    }
    // The output ran (nearly) dry: a slow frame ate the cushion. Silence builds it up again; otherwise every
    // later piece would arrive just in time, and each small delay would be heard as a click.
    if (waiting < cushion / 2) {
        silence.assign(static_cast<size_t>(cushion - waiting) * 2, 0.0f);
        SDL_QueueAudio(device, silence.data(), static_cast<Uint32>(silence.size() * sizeof(float)));
    }
    SDL_QueueAudio(device, stereo, static_cast<Uint32>(frames * kFrameBytes));
    queuedFrames += frames;
    ReportPageSound(queuedFrames, SDL_GetQueuedAudioSize(device) / kFrameBytes);
}

void CloseSoundStream()
{
    if (!device) return;
    SDL_CloseAudioDevice(device);
    device = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}
