// spectrum-dump: plays a track through the sound layer's offline path (no device) frame by frame, as the show
// would at a fixed frame rate, and writes the spectrum each frame sees as CSV. Shows what a track will do to
// the picture before it goes in. Depends on platform/sound.h.
// Usage: spectrum-dump TRACK.ogg OUT.csv [--fps N]
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/sound.h"

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

// The output goes to a scratch file beside OUT, renamed into place only once complete, so that a failed or
// interrupted run never leaves a partial file under the final name.
class AtomicOutput {
public:
    bool Open(const std::string& path)
    {
        path_ = path;
        scratch_ = path + ".partial-XXXXXX";
        const int fd = mkstemp(scratch_.data());
        if (fd < 0) return false;
        // mkstemp makes the file private; give it the permissions a plainly created file would have.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
        file_ = fdopen(fd, "w");
        if (!file_) {
            close(fd);
            std::remove(scratch_.c_str());
            return false;
        }
        return true;
    }
    FILE* File() const { return file_; }
    bool Commit()
    {
        const bool written = std::ferror(file_) == 0;
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        if (!written || !closed || std::rename(scratch_.c_str(), path_.c_str()) != 0) {
            std::remove(scratch_.c_str());
            return false;
        }
        return true;
    }
    ~AtomicOutput()
    {
        if (!file_) return;
        std::fclose(file_);
        std::remove(scratch_.c_str());
    }

private:
    std::string path_, scratch_;
    FILE* file_ = nullptr;
};

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
    AtomicOutput out;
    if (!out.Open(outPath)) {
        std::fprintf(stderr, "spectrum-dump: %s: cannot create the file: %s\n", outPath,
                     std::strerror(errno));
        SoundClose();
        return 1;
    }

    const SoundTrackInfo track = SoundTrack();
    const double seconds = static_cast<double>(track.frames) / track.rate;
    const int64_t lines = static_cast<int64_t>(std::floor(seconds * fps + 1e-9));
    SoundPlay();
    // Each frame mixes its share of output; the total is rounded, not each share, so nothing drifts.
    int64_t mixed = 0;
    float spectrum[kSoundSpectrumSize];
    for (int64_t frame = 1; frame <= lines; ++frame) {
        const int64_t total = std::llround(static_cast<double>(frame) * kSoundMixRate / fps);
        SoundRenderOffline(static_cast<int>(total - mixed), nullptr);
        mixed = total;
        SoundSpectrum(spectrum);
        std::fprintf(out.File(), "%.6f", static_cast<double>(frame) / fps);
        for (float v : spectrum) {
            if (v == 0.0f)
                std::fputs(",0", out.File());
            else
                std::fprintf(out.File(), ",%.5f", v);
        }
        std::fputc('\n', out.File());
    }
    SoundClose();
    if (!out.Commit()) {
        std::fprintf(stderr, "spectrum-dump: %s: cannot write the file\n", outPath);
        return 1;
    }
    return 0;
}
