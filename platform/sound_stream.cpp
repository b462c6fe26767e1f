// Queued sound output over SDL2 audio (see sound_stream.h).
#include "platform/sound_stream.h"

#include <SDL.h>

#include <vector>

#include "platform/page.h"

namespace {
SDL_AudioDeviceID device = 0;
constexpr double kCushionSeconds = 0.1;
constexpr double kMaxPageLagSeconds = 0.5;
int streamRate = 0;
int64_t queuedFrames = 0;  // handed over since the stream opened
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
    const std::vector<float> silence(static_cast<size_t>(rate * kCushionSeconds) * 2, 0.0f);
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
    // A page that stopped drawing for a while (a tab in the background) hands over its whole pause at
    // once; played behind the picture it would stay seconds late, so what waits then is let go.
    if (RunsInPage() && SDL_GetQueuedAudioSize(device) / kFrameBytes > kMaxPageLagSeconds * streamRate)
        SDL_ClearQueuedAudio(device);
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
