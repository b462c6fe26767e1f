// spectrum-dump: plays a track through the sound layer's offline path (no device) frame by frame, as the show
// would at a fixed frame rate, and writes the spectrum each frame sees as CSV. Shows what a track will do to
// the picture before it goes in. Depends on sound/sound.h and platform/output_file.h (a file appears
// under its name only when complete; a device or pipe is written in place).
// Usage: spectrum-dump TRACK.ogg OUT.csv [--fps N]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/output_file.h"
#include "sound/sound.h"

namespace {

constexpr double kDefaultFps = 60.0;
constexpr double kMaxFps = 1000.0;

int Usage(FILE* to, int status)
{
    std::fprintf(
        to,
        "usage: spectrum-dump TRACK.ogg OUT.csv [--fps N]\n"
        "Plays the track as the show does, without a sound device, and writes one line per frame at\n"
        "N frames per second (default 60): the frame's time in seconds, then the 512 spectrum values\n"
        "(0 ... 1, bin i at i x 44100/1024 Hz) the show reads at the end of that frame.\n");
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* names[2] = {nullptr, nullptr};
    int named = 0;
    double fps = kDefaultFps;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) return Usage(stdout, 0);
        if (!std::strcmp(argv[i], "--fps")) {
            char* end = nullptr;
            fps = i + 1 < argc ? std::strtod(argv[++i], &end) : 0.0;
            if (!end || *end != '\0' || !(fps > 0.0 && fps <= kMaxFps)) {
                std::fprintf(stderr, "spectrum-dump: --fps wants frames per second above 0 and at most %g\n",
                             kMaxFps);
                return 2;
            }
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            std::fprintf(stderr, "spectrum-dump: unknown option %s\n", argv[i]);
            return Usage(stderr, 2);
        } else if (named < 2) {
            names[named++] = argv[i];
        } else {
            return Usage(stderr, 2);
        }
    }
    if (named != 2) return Usage(stderr, 2);
    const char* trackPath = names[0];
    const char* outPath = names[1];

    if (!SoundInitOffline()) {
        std::fprintf(stderr, "spectrum-dump: %s\n", SoundError());
        return 1;
    }
    if (!SoundLoadTrack(trackPath)) {
        std::fprintf(stderr, "spectrum-dump: %s: cannot be played as an Ogg Vorbis track (%s)\n", trackPath,
                     SoundError());
        SoundClose();
        return 1;
    }
    RemoveOutputFilesOnInterrupt();
    OutputFile out;
    std::string cause;
    if (!OpenOutputFile(outPath, out, cause)) {
        std::fprintf(stderr, "spectrum-dump: cannot write %s: %s\n", outPath, cause.c_str());
        SoundClose();
        return 1;
    }
    FILE* csv = out.stream;

    const SoundTrackInfo track = SoundTrack();
    const double seconds = static_cast<double>(track.frames) / track.rate;
    const int64_t lines = static_cast<int64_t>(std::floor(seconds * fps + 1e-9));
    SoundPlay();
    // Each frame mixes its share of output; the total is rounded, not each share, so nothing drifts.
    int64_t mixed = 0;
    float spectrum[kSpectrumBins];
    for (int64_t frame = 1; frame <= lines; ++frame) {
        const int64_t total = std::llround(static_cast<double>(frame) * kSoundMixRate / fps);
        SoundRenderOffline(static_cast<int>(total - mixed), nullptr);
        mixed = total;
        SoundSpectrum(spectrum);
        std::fprintf(csv, "%.6f", static_cast<double>(frame) / fps);
        for (float v : spectrum) {
            if (v == 0.0f)
                std::fputs(",0", csv);
            else
                std::fprintf(csv, ",%.5f", v);
        }
        std::fputc('\n', csv);
    }
    SoundClose();
    if (!CommitOutputFile(out, cause)) {
        std::fprintf(stderr, "spectrum-dump: cannot write %s: %s\n", outPath, cause.c_str());
        return 1;
    }
    return 0;
}
