// Pass timing (see pass_timing.h): per-frame sums of each pass, medians at the end.
#include "render/pass_timing.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

constexpr int kPasses = static_cast<int>(FramePass::Count);
constexpr size_t kMaxFrames = 1 << 16;
constexpr const char* kPassNames[kPasses] = {"game",        "detail layer", "sea layer", "enhance",
                                             "world layer", "blur",         "picture",   "glow",
                                             "sprites",     "texts",        "grain",     "swap"};

using Clock = std::chrono::steady_clock;

bool timing = false;
bool frameOpen = false;
Clock::time_point lastMark;
double current[kPasses] = {};                    // milliseconds of the frame being drawn
std::vector<float> times[kFrameKinds][kPasses];  // milliseconds per timed frame, reserved up front
size_t framesTimed[kFrameKinds] = {};

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
    for (auto& kind : times)
        for (std::vector<float>& v : kind) v.reserve(kMaxFrames);
}

void StartFrameTiming(int previousFrameKind)
{
    if (!timing) return;
    const int kind = previousFrameKind < 0 || previousFrameKind >= kFrameKinds ? 0 : previousFrameKind;
    if (frameOpen) {
        EndPass(FramePass::Swap);
        if (framesTimed[kind] < kMaxFrames) {
            for (int p = 0; p < kPasses; ++p) times[kind][p].push_back(static_cast<float>(current[p]));
            ++framesTimed[kind];
        }
    }
    std::fill(current, current + kPasses, 0.0);
    frameOpen = true;
    lastMark = Clock::now();
}

void EndPass(FramePass pass)
{
    if (!timing || !frameOpen) return;
    glFinish();
    const Clock::time_point now = Clock::now();
    current[static_cast<int>(pass)] += std::chrono::duration<double, std::milli>(now - lastMark).count();
    lastMark = now;
}

void PrintPassTimes(std::FILE* out, const char* const (&kindNames)[kFrameKinds])
{
    if (!timing) return;
    std::fprintf(out, "median wall time of each pass in ms (each pass ended with glFinish)\n  %-14s", "pass");
    for (int k = 0; k < kFrameKinds; ++k) std::fprintf(out, " %10s", kindNames[k]);
    std::fprintf(out, "\n  %-14s", "frames");
    for (int k = 0; k < kFrameKinds; ++k) std::fprintf(out, " %10zu", framesTimed[k]);
    std::fprintf(out, "\n");
    double sum[kFrameKinds] = {};
    for (int p = 0; p < kPasses; ++p) {
        std::fprintf(out, "  %-14s", kPassNames[p]);
        for (int k = 0; k < kFrameKinds; ++k) {
            const double median = Median(times[k][p]);
            sum[k] += median;
            std::fprintf(out, " %10.2f", median);
        }
        std::fprintf(out, "\n");
    }
    std::fprintf(out, "  %-14s", "sum");
    for (int k = 0; k < kFrameKinds; ++k) std::fprintf(out, " %10.2f", sum[k]);
    std::fprintf(out, "\n");
}
