// Pass timing (see pass_timing.h): per-frame sums of each pass, medians at the end.
#include "render/pass_timing.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "platform/process.h"

namespace {

constexpr int kPasses = static_cast<int>(FramePass::Count);
constexpr size_t kMaxFrames = 1 << 16;
constexpr const char* kPassNames[kPasses] = {"game",        "detail layer", "sea layer", "enhance",
                                             "world layer", "blur",         "picture",   "glow",
                                             "sprites",     "texts",        "grain",     "swap"};

using Clock = std::chrono::steady_clock;

// What is timed: wall time, the processor time of all threads (the rasteriser's among them), and that of
// the main thread alone.
enum Measure { kWall, kProcess, kMainThread, kMeasures };

bool timing = false;
bool frameOpen = false;
double lastMark[kMeasures] = {};
double current[kMeasures][kPasses] = {};                    // milliseconds of the frame being drawn
std::vector<float> times[kMeasures][kFrameKinds][kPasses];  // milliseconds per timed frame, reserved up front
size_t framesTimed[kFrameKinds] = {};

void Now(double (&at)[kMeasures])
{
    at[kWall] = std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
    at[kProcess] = ProcessProcessorMs();
    at[kMainThread] = ThreadProcessorMs();
}

double Median(std::vector<float> values)
{
    if (values.empty()) return 0.0;
    const size_t k = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + k, values.end());
    return values[k];
}

}  // namespace

void EnablePassTiming(bool enabled)
{
    timing = enabled;
    if (!enabled) return;
    for (auto& measure : times)
        for (auto& kind : measure)
            for (std::vector<float>& v : kind) v.reserve(kMaxFrames);
}

void StartFrameTiming(int previousFrameKind)
{
    if (!timing) return;
    const int kind = previousFrameKind < 0 || previousFrameKind >= kFrameKinds ? 0 : previousFrameKind;
    if (frameOpen) {
        EndPass(FramePass::Swap);
        if (framesTimed[kind] < kMaxFrames) {
            for (int m = 0; m < kMeasures; ++m)
                for (int p = 0; p < kPasses; ++p)
                    times[m][kind][p].push_back(static_cast<float>(current[m][p]));
            ++framesTimed[kind];
        }
    }
    for (auto& measure : current) std::fill(measure, measure + kPasses, 0.0);
    frameOpen = true;
    Now(lastMark);
}

void EndPass(FramePass pass)
{
    if (!timing || !frameOpen) return;
    glFinish();
    double now[kMeasures];
    Now(now);
    for (int m = 0; m < kMeasures; ++m) {
        current[m][static_cast<int>(pass)] += now[m] - lastMark[m];
        lastMark[m] = now[m];
    }
}

void PrintPassTimes(std::FILE* out, const char* const (&kindNames)[kFrameKinds])
{
    if (!timing) return;
    std::fprintf(
        out,
        "median time of each pass in ms (each pass ended with glFinish): wall time, then the processor\n"
        "time of all threads (cpu) and of the main thread alone (main)\n  %-19s",
        "pass");
    for (int k = 0; k < kFrameKinds; ++k) std::fprintf(out, " %10s", kindNames[k]);
    std::fprintf(out, "\n  %-19s", "frames");
    for (int k = 0; k < kFrameKinds; ++k) std::fprintf(out, " %10zu", framesTimed[k]);
    std::fprintf(out, "\n");
    const char* const prefixes[kMeasures] = {"", "cpu ", "main "};
    for (int m = 0; m < kMeasures; ++m) {
        double sum[kFrameKinds] = {};
        for (int p = 0; p <= kPasses; ++p) {
            std::fprintf(out, "  %s%-*s", prefixes[m], 19 - static_cast<int>(std::strlen(prefixes[m])),
                         p < kPasses ? kPassNames[p] : "sum");
            for (int k = 0; k < kFrameKinds; ++k) {
                const double median = p < kPasses ? Median(times[m][k][p]) : sum[k];
                if (p < kPasses) sum[k] += median;
                std::fprintf(out, " %10.2f", median);
            }
            std::fprintf(out, "\n");
        }
    }
}
