// Capture options (see capture_options.h).
#include "shell/capture_options.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "capture/video_encoder.h"
#include "capture/video_formats.h"
#include "shell/command_line.h"

namespace {

// "it writes .mp4 (...)"; a build without an encoder says so in its own words ("this build writes none"),
// which must not follow "it writes".
std::string WritesText()
{
    const std::string formats = WritableVideoFormatsText();
    return formats.rfind(".", 0) == 0 ? "it writes " + formats : formats;
}

}  // namespace

const char* CaptureUsage()
{
    static const std::string text =
        "  --video FILE       render the show into FILE at a fixed step (1/60 s unless --fps or "
        "--fixed-step),\n"
        "                     no dialog, progress on stderr; " +
        WritesText() +
        "\n"
        "  --seconds S        length of the video (default 60: the intro and one round; --frames N also "
        "works)\n"
        "  --fps N            the fixed step 1/N seconds\n"
        "  --video-quality Q  constant quality of the video codec, lower is better\n"
        "                     (" +
        VideoQualityRangesText() +
        ")\n"
        "  --record FILE      play live and write every frame's time step and inputs to FILE\n"
        "  --replay FILE      run the show from a recording, no dialog (with --video: the recorded play as "
        "a\n"
        "                     film)\n"
        "  --verify           with --replay: replay as fast as possible, silently, and print the round's "
        "figures\n"
        "                     and whether the game's state agrees with the recorded checksums (exit 1 "
        "unless\n"
        "                     the whole round was replayed and every checksum it needs agreed)\n";
    return text.c_str();
}

namespace {

bool ParseNumber(const char* name, const char* v, double lowest, double highest, const char* wants,
                 double& out, std::string& error)
{
    char* end = nullptr;
    const double x = std::strtod(v, &end);
    if (!end || end == v || *end || !std::isfinite(x) || x < lowest || x > highest) {
        error = std::string(name) + " wants " + wants + ", not \"" + v + "\"";
        return false;
    }
    out = x;
    return true;
}

}  // namespace

bool ParseCaptureOption(int argc, const char* const* argv, int& i, CaptureOptions& out, std::string& error)
{
    const char* arg = argv[i];
    if (!std::strcmp(arg, "--verify")) {
        out.verify = true;
        return true;
    }
    const bool known = !std::strcmp(arg, "--video") || !std::strcmp(arg, "--video-quality") ||
                       !std::strcmp(arg, "--seconds") || !std::strcmp(arg, "--fps") ||
                       !std::strcmp(arg, "--record") || !std::strcmp(arg, "--replay");
    if (!known) return false;
    if (i + 1 >= argc) {
        error = std::string(arg) + " needs a value";
        return true;
    }
    const char* v = argv[++i];
    if (!std::strcmp(arg, "--video")) {
        out.video = v;
    } else if (!std::strcmp(arg, "--record")) {
        out.record = v;
    } else if (!std::strcmp(arg, "--replay")) {
        out.replay = v;
    } else if (!std::strcmp(arg, "--seconds")) {
        ParseNumber(arg, v, 0.001, 86400, "seconds above 0 and at most 86400", out.seconds, error);
    } else if (!std::strcmp(arg, "--fps")) {
        ParseNumber(arg, v, 0.1, 1000, "frames per second from 0.1 to 1000", out.fps, error);
    } else {
        double q = 0.0;
        if (!ParseNumber(arg, v, 0, 63, "a whole number from 0 to 63", q, error) || q != std::floor(q))
            error = std::string("--video-quality wants a whole number from 0 to 63, not \"") + v + "\"";
        out.videoQuality = static_cast<int>(q);
    }
    if (!std::strcmp(arg, "--video") || !std::strcmp(arg, "--record") || !std::strcmp(arg, "--replay")) {
        if (!*v) error = std::string(arg) + " needs a file name";
    }
    return true;
}

bool CheckCaptureOptions(CommandLine& options, std::string& error)
{
    CaptureOptions& c = options.capture;
    const bool video = !c.video.empty(), replay = !c.replay.empty();
    if (!c.record.empty() && (replay || video)) {
        error = "--record is for live play; render a recording afterwards with --replay FILE --video OUT";
        return false;
    }
    if (replay && (c.fps > 0.0 || options.fixedStep > 0.0)) {
        error = "--replay takes every frame's time step from the recording; leave out --fps and --fixed-step";
        return false;
    }
    if (c.fps > 0.0 && options.fixedStep > 0.0) {
        error = "give --fps or --fixed-step, not both";
        return false;
    }
    if (!video && (c.seconds > 0.0 || c.videoQuality >= 0)) {
        error = std::string(c.seconds > 0.0 ? "--seconds" : "--video-quality") + " goes with --video";
        return false;
    }
    if (c.seconds > 0.0 && options.frames > 0) {
        error = "give the length of the video with --seconds or --frames, not both";
        return false;
    }
    if (video && c.videoQuality >= 0) {
        int lowest = 0, highest = 0, fallback = 0;
        VideoQualityRange(c.video, lowest, highest, fallback);
        if (c.videoQuality < lowest || c.videoQuality > highest) {
            error = "--video-quality for " + c.video + " goes from " + std::to_string(lowest) + " to " +
                    std::to_string(highest);
            return false;
        }
    }
    if (c.verify && (!replay || video)) {
        error = "--verify checks a replay: give --replay FILE, without --video";
        return false;
    }
    if (c.fps > 0.0) options.fixedStep = 1.0 / c.fps;
    if (replay) options.run = true;
    if (c.verify) options.windowed = true;
    // Nobody watches a check or a film being made: a box only goes to standard error, and its end follows.
    if (c.verify || video) options.batch = true;
    if (video) {
        options.run = true;
        options.windowed = true;  // the picture is read from the window; the display mode stays as it is
        if (!replay) {
            if (options.fixedStep <= 0.0) options.fixedStep = kVideoStep;
            const double seconds = c.seconds > 0.0 ? c.seconds : kVideoSeconds;
            c.videoFrames = options.frames > 0 ? options.frames : std::lround(seconds / options.fixedStep);
            if (c.videoFrames < 1) c.videoFrames = 1;
        }
    }
    return true;
}
