// Wall and processor time of each pass of a frame, for --profile: every pass ends with a mark that (only
// while timing is on) waits for the GL work with glFinish, so the time lands on the pass that caused it,
// the rasteriser's threads included. Off, a mark costs one branch and the frame runs unchanged. Main
// thread only.
#pragma once
#include <cstdio>

enum class FramePass {
    Game,         // frame driver, game steps and the window clear, up to the first layer
    DetailLayer,  // detail layer into its texture
    SeaLayer,     // sea layer into its texture
    Enhance,      // enhance pass over the sea layer
    WorldLayer,   // world layer into the frame texture
    Blur,         // blur pass into the glow texture
    Picture,      // the layered picture in the window
    Glow,         // the glow over it
    Sprites,      // the player's sprites
    Texts,        // score, time, help sign and intro lines
    Grain,        // film grain and the end of the frame
    Swap,         // the window's buffer swap and the messages until the next frame starts
    Count
};

// Frames are timed in two kinds (the show: intro and game), each with its own medians.
constexpr int kFrameKinds = 2;

void EnablePassTiming(bool enabled);
// At the start of every frame: closes the previous frame, of the given kind, with its swap pass.
void StartFrameTiming(int previousFrameKind);
void EndPass(FramePass pass);  // the time since the previous mark belongs to this pass
// Median wall time of every pass over the timed frames, one column per kind, then the processor time of
// all threads and of the main thread.
void PrintPassTimes(std::FILE* out, const char* const (&kindNames)[kFrameKinds]);
