// The sizing rules of the colour pass: viewport and copied region by size and ScreenCopyMode.
#include <gtest/gtest.h>

#include "render/render_target.h"

namespace {

TargetExtent Viewport(int size, int mode, bool* kept = nullptr)
{
    TargetExtent viewport{-1, -1};
    const bool set = RenderTargetViewport(size, mode, &viewport);
    if (kept) *kept = !set;
    return viewport;
}

void ExpectExtent(TargetExtent got, int width, int height)
{
    EXPECT_EQ(got.width, width);
    EXPECT_EQ(got.height, height);
}

TEST(RenderTargetRules, ViewportBySizeAndMode)
{
    ExpectExtent(Viewport(800, 2), 800, 600);
    ExpectExtent(Viewport(800, 1), 640, 480);
    ExpectExtent(Viewport(800, 3), 320, 240);
    for (int mode : {-1, 0, 1, 2, 3, 7}) ExpectExtent(Viewport(512, mode), 512, 512);
    ExpectExtent(Viewport(600, 2), 600, 600);
    ExpectExtent(Viewport(640, -1), 640, 480);
    ExpectExtent(Viewport(800, -1), 800, 600);
    ExpectExtent(Viewport(1024, -1), 1024, 1024);
    ExpectExtent(Viewport(1024, 2), 800, 600);
    bool kept = false;
    Viewport(1024, 0, &kept);
    EXPECT_TRUE(kept) << "a large size with an unknown mode keeps the previous viewport";
    Viewport(601, 9, &kept);
    EXPECT_TRUE(kept);
    Viewport(601, 2, &kept);
    EXPECT_FALSE(kept);
}

TEST(RenderTargetRules, CopySizeBySizeAndMode)
{
    ExpectExtent(RenderTargetCopySize(800, 2), 800, 600);
    ExpectExtent(RenderTargetCopySize(800, -1), 800, 600);
    ExpectExtent(RenderTargetCopySize(800, 1), 640, 480);
    ExpectExtent(RenderTargetCopySize(800, 3), 320, 240);
    ExpectExtent(RenderTargetCopySize(800, 0), 800, 800);
    ExpectExtent(RenderTargetCopySize(640, 1), 640, 480);
    ExpectExtent(RenderTargetCopySize(640, -1), 640, 480);
    ExpectExtent(RenderTargetCopySize(640, 2), 800, 600);
    ExpectExtent(RenderTargetCopySize(640, 3), 640, 640);
    for (int mode : {-1, 0, 1, 2, 3}) ExpectExtent(RenderTargetCopySize(512, mode), 512, 512);
    ExpectExtent(RenderTargetCopySize(128, 2), 128, 128);
}

}  // namespace
