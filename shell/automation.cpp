// Automation of the command line (see automation.h).
#include "shell/automation.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "capture/session_recording.h"
#include "platform/abrupt_end.h"
#include "platform/path.h"
#include "platform/png_file.h"
#include "platform/process.h"
#include "platform/window.h"
#include "render/pass_timing.h"
#include "runtime/frame_driver.h"
#include "runtime/global_state.h"
#include "scene/demo_scene.h"
#include "shell/command_line.h"
#include "shell/window_proc.h"

namespace {

constexpr int kWidth = 800, kHeight = 600;
constexpr size_t kMaxFrameTimes = 1 << 20;

CommandLine options;
long framesDrawn = 0;
bool haveLastFrame = false;
bool finished = false;
std::vector<unsigned char> pixels;  // the last frame read back
std::vector<float> frameTimes;      // milliseconds from one frame's start to the next's, reserved up front
std::vector<float> introTimes, gameTimes;  // the same, split by what the frame showed
std::chrono::steady_clock::time_point frameStart;
bool frameStartValid = false;
bool introFrame = false;  // the frame just drawn showed the intro
bool captureFailed = false;

double Percentile(std::vector<float>& values, double p)
{
    if (values.empty()) return 0.0;
    const size_t k = std::min(values.size() - 1, static_cast<size_t>(p * (values.size() - 1) + 0.5));
    std::nth_element(values.begin(), values.begin() + k, values.end());
    return values[k];
}

void PrintStats(const char* label, const std::vector<float>& frameTimes)
{
    std::vector<float> times = frameTimes;
    const double median = Percentile(times, 0.5);
    const double p95 = Percentile(times, 0.95);
    double total = 0.0;
    for (float t : frameTimes) total += t;
    const double fps = total > 0.0 ? 1000.0 * frameTimes.size() / total : 0.0;
    std::fprintf(stderr, "%sframes %zu  median %.2f ms  95th percentile %.2f ms  %.1f frames per second\n",
                 label, frameTimes.size(), median, p95, fps);
}

void ReportWriteFailure(const char* what, const std::string& path, const std::string& cause)
{
    std::fprintf(stderr, "quarnel: cannot write %s %s: %s\n", what, path.c_str(), cause.c_str());
}

}  // namespace

bool ConfigureAutomation(const CommandLine& commandLine)
{
    options = commandLine;
    CatchEndSignals();  // before the window's system starts, which would otherwise take them
    if (!options.captureDir.empty()) {
        // Made now, so that a folder that cannot exist ends the program before any window opens.
        std::error_code error;
        const std::filesystem::path folder = PathFromUtf8(options.captureDir);
        std::filesystem::create_directories(folder, error);
        if (!error && !std::filesystem::is_directory(folder, error))
            error = std::make_error_code(std::errc::not_a_directory);
        if (error) {
            std::fprintf(stderr, "quarnel: cannot create the capture folder %s: %s\n",
                         options.captureDir.c_str(), error.message().c_str());
            return false;
        }
    }
    if (options.stats) {
        frameTimes.reserve(kMaxFrameTimes);
        introTimes.reserve(kMaxFrameTimes);
        gameTimes.reserve(kMaxFrameTimes);
    }
    EnablePassTiming(options.profile);
    if (!options.screenshot.empty() || !options.captureDir.empty()) pixels.resize(kWidth * kHeight * 3);
    AddExitHook(FinishAutomation);
    return true;
}

void FrameStarted()
{
    // Start to start: a frame's time includes the window's drawing and the swap that follow DrawFrame.
    const auto now = std::chrono::steady_clock::now();
    if (options.stats && frameStartValid && frameTimes.size() < kMaxFrameTimes) {
        const float ms = std::chrono::duration<float, std::milli>(now - frameStart).count();
        frameTimes.push_back(ms);
        (introFrame ? introTimes : gameTimes).push_back(ms);
    }
    frameStart = now;
    frameStartValid = true;
    // A replay touches nothing of the viewer's: the recorded middle-button captures go neither to the
    // clipboard at the end of the fade nor to standard output.
    if (CurrentSessionMode() == SessionMode::Replay) CaptureText.clear();
    StartFrameTiming(introFrame ? 0 : 1);
}

void FrameDrawn()
{
    ++framesDrawn;
    introFrame = gSceneTable[0] && gSceneTable[0]->introActive;
    // A capture limited to some frames reads back only those; a screenshot needs every frame, since any
    // may be the last.
    const bool capture =
        !options.captureDir.empty() && !captureFailed &&
        (options.captureFrames.empty() ||
         std::binary_search(options.captureFrames.begin(), options.captureFrames.end(), framesDrawn));
    if (capture || !options.screenshot.empty()) {
        ReadWindowPixels(kWidth, kHeight, pixels.data());
        haveLastFrame = true;
        if (capture) {
            char path[4096];
            std::snprintf(path, sizeof path, "%s/frame%06ld.png", options.captureDir.c_str(), framesDrawn);
            std::string cause;
            if (!WritePngFile(path, kWidth, kHeight, pixels.data(), cause)) {
                // A capture with a hole is no capture: end as the close box does, with status 1.
                ReportWriteFailure("the captured frame", path, cause);
                captureFailed = true;
                QueueQuitMessage(1);
                return;
            }
        }
    }
    if (options.frames > 0 && framesDrawn >= options.frames) {
        NoteReplayLimit();
        QueueQuitMessage(0);  // as the close box does
    }
}

long FramesDrawn()
{
    return framesDrawn;
}

void FinishAutomation()
{
    if (finished) return;
    finished = true;
    if (!options.screenshot.empty()) {
        if (!haveLastFrame) {
            std::fprintf(stderr, "quarnel: no frame was drawn, so no screenshot\n");
            SetExitFailure();
        } else if (std::string cause;
                   !WritePngFile(options.screenshot, kWidth, kHeight, pixels.data(), cause)) {
            ReportWriteFailure("the screenshot", options.screenshot, cause);
            SetExitFailure();
        }
    }
    if (options.stats) {
        PrintStats("", frameTimes);
        PrintStats("  intro ", introTimes);
        PrintStats("  game ", gameTimes);
    }
    PrintPassTimes(stderr, {"intro", "game"});
    if (CurrentSessionMode() != SessionMode::Replay) std::fputs(CaptureText.c_str(), stdout);
    std::fflush(stdout);
}
