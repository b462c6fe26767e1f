// Command-line parsing (see command_line.h).
#include "shell/command_line.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/screen_fit.h"

const char* UsageText()
{
    static const std::string text =
        std::string(
            "Usage: quarnel [options]\n"
            "With no option the setup dialog comes first.\n"
            "  --run              skip the setup dialog, as if \"Run ... \" had been pressed\n"
            "  --windowed         check \"Windowed\" (a window instead of full screen)\n"
            "  --scale F          the window and dialog at F times their size (1: 800 x 600 exactly);\n"
            "                     by default the display's scale\n"
            "  --fullscreen desktop\n"
            "                     start at full screen at the desktop's resolution (Alt+Enter toggles)\n"
            "  --no-music         uncheck \"Music\" (no sound system, no music file)\n"
            "  --frames N         after N frames end as the close box does (exit 0)\n"
            "  --fixed-step S     advance the clock exactly S seconds per frame, 0.001 to 10 (deterministic\n"
            "                     pictures)\n"
            "  --screenshot F.png save the last frame drawn before the program ends\n"
            "  --capture DIR      save every frame as a numbered PNG in DIR (made when missing)\n"
            "  --capture-frames N,N,...\n"
            "                     with --capture: save only these frames (counted from 1) in DIR\n"
            "  --batch            message boxes go to standard error only, answered with their default\n"
            "  --stats            print frame-time figures at exit (start to start, with the swap)\n"
            "  --profile          also the median wall and processor time of each pass (each ended with\n"
            "                     glFinish)\n") +
        CaptureUsage() + "  --help, --version\n";
    return text.c_str();
}

namespace {

constexpr const char* kMinimumScaleText = "0.25";
constexpr const char* kMaximumScaleText = "1000";

// The value of --capture-frames: frame numbers separated by commas, digits only (no sign, no blanks), each
// from 1 to kMaxCaptureFrame, in any order and repeated at will. Gives them ascending, each once.
bool ParseFrameList(const std::string& list, std::vector<long>& out, std::string& error)
{
    const std::string range = "1 to " + std::to_string(kMaxCaptureFrame);
    std::vector<long> frames;
    size_t start = 0;
    for (;;) {
        const size_t comma = std::min(list.find(',', start), list.size());
        const std::string item = list.substr(start, comma - start);
        if (item.empty()) {
            error = "--capture-frames has an empty item in \"" + list +
                    "\"; give frame numbers separated by commas, like 50,300,700";
            return false;
        }
        long long n = 0;  // wide enough for every digit count that is still tested against the limit
        for (const char c : item) {
            if (c < '0' || c > '9') {
                error = "--capture-frames: \"" + item + "\" in \"" + list + "\" is not a frame number (" +
                        range + ")";
                return false;
            }
            if (n <= kMaxCaptureFrame) n = n * 10 + (c - '0');
        }
        if (n < 1 || n > kMaxCaptureFrame) {
            error =
                "--capture-frames: frame " + item + " in \"" + list + "\" is out of range (" + range + ")";
            return false;
        }
        frames.push_back(static_cast<long>(n));
        if (comma == list.size()) break;
        start = comma + 1;
    }
    std::sort(frames.begin(), frames.end());
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    out = std::move(frames);
    return true;
}

}  // namespace

ParseResult ParseCommandLine(int argc, const char* const* argv, CommandLine& out, std::string& error)
{
    bool captureFramesGiven = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                error = std::string(name) + " needs a value";
                return nullptr;
            }
            return argv[++i];
        };
        if (!std::strcmp(arg, "--run")) {
            out.run = true;
        } else if (!std::strcmp(arg, "--windowed")) {
            out.windowed = true;
        } else if (!std::strcmp(arg, "--no-music")) {
            out.noMusic = true;
        } else if (!std::strcmp(arg, "--batch")) {
            out.batch = true;
        } else if (!std::strcmp(arg, "--stats")) {
            out.stats = true;
        } else if (!std::strcmp(arg, "--profile")) {
            out.profile = out.stats = true;
        } else if (!std::strcmp(arg, "--help") || !std::strcmp(arg, "-h")) {
            out.help = true;
        } else if (!std::strcmp(arg, "--version")) {
            out.version = true;
        } else if (!std::strcmp(arg, "--frames")) {
            const char* v = value(arg);
            if (!v) return ParseResult::Error;
            char* end = nullptr;
            errno = 0;
            const long n = std::strtol(v, &end, 10);
            if (errno || !end || *end || n <= 0) {
                error = std::string("--frames wants a positive whole number, not \"") + v + "\"";
                return ParseResult::Error;
            }
            out.frames = n;
        } else if (!std::strcmp(arg, "--fixed-step")) {
            const char* v = value(arg);
            if (!v) return ParseResult::Error;
            char* end = nullptr;
            const double s = std::strtod(v, &end);
            // The bounds of --fps: at most a thousand frames a second, at least one every ten seconds.
            if (!end || end == v || *end || !std::isfinite(s) || s < kShortestFixedStep || s > 10.0) {
                error = std::string("--fixed-step wants seconds from 0.001 to 10, not \"") + v + "\"";
                return ParseResult::Error;
            }
            out.fixedStep = s;
        } else if (!std::strcmp(arg, "--scale")) {
            const char* v = value(arg);
            if (!v) return ParseResult::Error;
            char* end = nullptr;
            const double f = std::strtod(v, &end);
            if (end == v || !end || *end || !std::isfinite(f) || f < kMinimumScale || f > kMaximumScale) {
                error = std::string("--scale wants a factor from ") + kMinimumScaleText + " to " +
                        kMaximumScaleText + " (1 is 800 x 600), not \"" + v + "\"";
                return ParseResult::Error;
            }
            out.scale = f;
        } else if (!std::strcmp(arg, "--fullscreen")) {
            const char* v = value(arg);
            if (!v) return ParseResult::Error;
            if (std::strcmp(v, "desktop") != 0) {
                error = std::string(
                            "--fullscreen takes \"desktop\" (full screen at the desktop's "
                            "resolution), not \"") +
                        v + "\"";
                return ParseResult::Error;
            }
            out.fullScreenDesktop = true;
        } else if (!std::strcmp(arg, "--screenshot")) {
            const char* v = value(arg);
            if (!v) return ParseResult::Error;
            out.screenshot = v;
        } else if (!std::strcmp(arg, "--capture")) {
            const char* v = value(arg);
            if (!v) return ParseResult::Error;
            out.captureDir = v;
        } else if (!std::strcmp(arg, "--capture-frames")) {
            const char* v = value(arg);
            if (!v || !ParseFrameList(v, out.captureFrames, error)) return ParseResult::Error;
            captureFramesGiven = true;
        } else if (ParseCaptureOption(argc, argv, i, out.capture, error)) {
            if (!error.empty()) return ParseResult::Error;
        } else {
            error = std::string("unknown option \"") + arg + "\"";
            return ParseResult::Error;
        }
    }
    if (captureFramesGiven && out.captureDir.empty()) {
        error = "--capture-frames needs --capture DIR, the folder the frames are written to";
        return ParseResult::Error;
    }
    return CheckCaptureOptions(out, error) ? ParseResult::Ok : ParseResult::Error;
}
