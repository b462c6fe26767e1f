// Benchmarks of the rendering toolkit on the GL driver at hand (run under Xvfb): building the font's
// display lists, and a round trip between the window's context and the off-screen target's.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstdio>

#include "platform/gl_context.h"
#include "render/engine.h"
#include "render/outline_text.h"
#include "render/render_target.h"
#include "tests/support/gl_test_window.h"

namespace {

constexpr const char* kFont = "/usr/share/fonts/truetype/aenigma/acknowtt.ttf";

void BM_BuildOutlineFont(benchmark::State& state)
{
    SetOutlineFontFile(kFont);
    for (auto _ : state) {
        if (!BuildOutlineFont(gEngine)) state.SkipWithError("font not readable");
        glFinish();
        state.PauseTiming();
        glDeleteLists(gEngine.font.fontListBase, kOutlineFontLists);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BuildOutlineFont)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Window -> target -> window, as a frame does around each off-screen pass.
void BM_ContextRoundTrip(benchmark::State& state)
{
    for (auto _ : state) {
        MakeRenderTargetCurrent(gRenderTarget);
        RestoreWindowContext(gEngine, gRenderTarget);
    }
}
BENCHMARK(BM_ContextRoundTrip)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The same with a tiny piece of work pending in each context, so every switch has something to flush.
void BM_ContextRoundTripWithWork(benchmark::State& state)
{
    MakeRenderTargetCurrent(gRenderTarget);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 4, 4);
    RestoreWindowContext(gEngine, gRenderTarget);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 4, 4);
    for (auto _ : state) {
        MakeRenderTargetCurrent(gRenderTarget);
        glClear(GL_COLOR_BUFFER_BIT);
        RestoreWindowContext(gEngine, gRenderTarget);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glFinish();
    glDisable(GL_SCISSOR_TEST);
    MakeRenderTargetCurrent(gRenderTarget);
    glDisable(GL_SCISSOR_TEST);
    RestoreWindowContext(gEngine, gRenderTarget);
}
BENCHMARK(BM_ContextRoundTripWithWork)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv)
{
    if (!OpenTestGlWindow()) {
        std::fprintf(stderr, "render_bench: no GL window (run under Xvfb)\n");
        return 1;
    }
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    benchmark::AddCustomContext("GL_RENDERER", renderer ? renderer : "?");
    CreateRenderTarget(gEngine, gRenderTarget);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
