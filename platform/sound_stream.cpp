// Queued sound output over SDL2 audio (see sound_stream.h).
#include "platform/sound_stream.h"

#include <SDL.h>

#include <vector>

namespace {
SDL_AudioDeviceID device = 0;
constexpr double kCushionSeconds = 0.1;
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
    return true;
}

void QueueSoundStream(const float* stereo, int64_t frames)
{
    if (device && frames > 0) SDL_QueueAudio(device, stereo, static_cast<Uint32>(frames * 2 * sizeof(float)));
}

void CloseSoundStream()
{
    if (!device) return;
    SDL_CloseAudioDevice(device);
    device = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}
