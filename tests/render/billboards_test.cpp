// Drawing helpers without a display: screen-copy and wave-strip coordinates, texture slots.
#include "render/billboards.h"

#include <gtest/gtest.h>

#include "render/engine.h"

TEST(ScreenCopy, ExtentByModeAndWidth)
{
    auto is = [](TexExtent e, float u, float v) { return e.u == u && e.v == v; };
    EXPECT_TRUE(is(ScreenCopyExtent(800, 2), 0.78125f, 0.5859375f));
    EXPECT_TRUE(is(ScreenCopyExtent(800, 3), 0.3125f, 0.234375f));  // the mode wins over the width
    EXPECT_TRUE(is(ScreenCopyExtent(800, 1), 0.625f, 0.46875f));
    EXPECT_TRUE(is(ScreenCopyExtent(600, 2), 1.0f, 1.0f));  // below 640 always the whole texture
    EXPECT_TRUE(is(ScreenCopyExtent(640, -1), 0.625f, 0.46875f));
    EXPECT_TRUE(is(ScreenCopyExtent(800, -1), 0.78125f, 0.5859375f));
    EXPECT_TRUE(is(ScreenCopyExtent(1024, -1), 1.0f, 1.0f));
    EXPECT_TRUE(is(ScreenCopyExtent(800, 7), 1.0f, 1.0f));
}

TEST(WaveStrip, RowsFollowTheSamplesAndFlipEveryPeriod)
{
    float samples[512] = {};
    for (int i = 0; i < 512; ++i) samples[i] = 0.01f * i;
    // 800 rows over samples 2 ... 40: row i reads sample 2 + int(38 i / 800).
    WaveStripRow r0 = ComputeWaveStripRow(0, 800, samples, 2, 40, 0.15, 20);
    EXPECT_FLOAT_EQ(r0.left, static_cast<float>(-0.02f * 0.15 - 1.0));  // rows 0..19 pushed left
    EXPECT_FLOAT_EQ(r0.right - r0.left, 2.0f);
    EXPECT_FLOAT_EQ(r0.y, -1.0f);
    EXPECT_FLOAT_EQ(r0.v, 0.0f);
    EXPECT_FLOAT_EQ(r0.u, 0.78125f);
    WaveStripRow r20 = ComputeWaveStripRow(20, 800, samples, 2, 40, 0.15, 20);
    const double value = samples[2 + static_cast<int>(38 * (20.0 / 800))] * 0.15;
    EXPECT_FLOAT_EQ(r20.left, static_cast<float>(value - 1.0));  // rows 20..39 pushed right
    WaveStripRow last = ComputeWaveStripRow(799, 800, samples, 2, 40, 0.15, 20);
    EXPECT_LT(last.y, 1.0f);
    EXPECT_FLOAT_EQ(last.v, static_cast<float>(799.0 / 800 * 0.5859375f));
    // Period 0 or below acts as 1: the push flips every row.
    for (int period : {0, -3, 1}) {
        WaveStripRow a = ComputeWaveStripRow(4, 100, samples, 10, 20, 1.0, period);
        WaveStripRow b = ComputeWaveStripRow(5, 100, samples, 10, 20, 1.0, period);
        EXPECT_LT(a.left, -1.0f);
        EXPECT_GT(b.left, -1.0f);
    }
    EXPECT_FLOAT_EQ(ComputeWaveStripRow(0, 640, samples, 0, 1, 0, 1).u, 0.625f);
    EXPECT_FLOAT_EQ(ComputeWaveStripRow(0, 100, samples, 0, 1, 0, 1).u, 1.0f);
}

TEST(TextureSlots, BaseOffsetOnlyBelowTheAbsoluteRange)
{
    Engine& engine = *new Engine();
    engine.textureBaseOffset = 10;
    engine.textureTable[15] = 7;
    engine.textureTable[90000] = 9;
    engine.textureTable[90010] = 11;
    EXPECT_EQ(TextureForSlot(engine, 5), 7u);
    EXPECT_EQ(TextureForSlot(engine, 90000), 9u);
    EXPECT_EQ(TextureForSlot(engine, -20), 0u);  // outside the table: the default texture
    EXPECT_EQ(TextureForSlot(engine, 400000), 0u);
    delete &engine;
}
