// The runtime generator and the frame driver's arithmetic: mouse to camera and point, arrow relax and
// clamp, held keys, the ending fade.
#include "runtime/frame_driver.h"

#include <gtest/gtest.h>

#include "math/random.h"
#include "platform/window.h"
#include "runtime/global_state.h"
#include "scene/frame_inputs.h"

TEST(Random, MatchesTheWindowsRuntime)
{
    SeedRandom(0);
    const int expected[] = {38, 7719, 21238, 2437, 8855};
    for (int value : expected) EXPECT_EQ(NextRandom(), value);
    SeedRandom(1);
    EXPECT_EQ(NextRandom(), 41);
    for (int i = 0; i < 100000; ++i) {
        const int v = NextRandom();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 32767);
    }
}

TEST(FrameDriver, ArrowRelaxAndClamp)
{
    gFrameInputs = FrameInputs{};
    gFrameInputs.arrowUpDown = 3.0;
    RelaxAndClampArrows(0.1);
    EXPECT_EQ(gFrameInputs.arrowUpDown, 1.0);  // clamped, not 3 - 0.145
    gFrameInputs.arrowUpDown = 0.1;
    RelaxAndClampArrows(0.1);
    EXPECT_EQ(gFrameInputs.arrowUpDown, 0.0);  // stops at 0
    gFrameInputs.arrowUpDown = -0.5;
    RelaxAndClampArrows(0.1);
    EXPECT_NEAR(gFrameInputs.arrowUpDown, -0.355, 1e-12);
    gFrameInputs.arrowLeftRight = 17.0;
    RelaxAndClampArrows(1.0);
    EXPECT_EQ(gFrameInputs.arrowLeftRight, 17.0);  // the heading is neither relaxed nor clamped
}

TEST(FrameDriver, HoldingUpAloneReachesFullSpeedWithinHalfASecond)
{
    gState = GlobalState{};
    gFrameInputs = FrameInputs{};
    gState.keys[VK_UP] = true;
    const double delta = 1.0 / 60.0;
    double t = 0.0;
    while (gFrameInputs.arrowUpDown < 1.0 && t < 2.0) {
        StepHeldArrowKeys(delta);
        RelaxAndClampArrows(delta);
        t += delta;
    }
    EXPECT_EQ(gFrameInputs.arrowUpDown, 1.0);
    EXPECT_LE(t, 0.5);
    gState.keys[VK_UP] = false;
    gState.keys[VK_RIGHT] = true;
    StepHeldArrowKeys(0.1);
    EXPECT_NEAR(gFrameInputs.arrowLeftRight, 0.3, 1e-12);
}

TEST(FrameDriver, MouseMovesCameraOrDragsThePoint)
{
    gState = GlobalState{};
    gFrameInputs = FrameInputs{};
    gState.wheelAccumulator = 0.4;
    gState.frameDelta = 0.25;
    UpdateFrameInputs(500.0, 200.0);
    EXPECT_DOUBLE_EQ(gFrameInputs.cameraX, 100 * 0.0175);
    EXPECT_DOUBLE_EQ(gFrameInputs.cameraY, -100 * 0.023333333333333334);
    EXPECT_DOUBLE_EQ(gFrameInputs.cameraZ, 0.4);
    EXPECT_DOUBLE_EQ(gState.demoTime, 0.25);

    // Both buttons on the very first frame: the previous cursor is 0, 0, so the point moves by all of it.
    gState.leftButtonDown = gState.rightButtonDown = true;
    gState.wheelAccumulator = 0.6;
    UpdateFrameInputs(10.0, 20.0);
    EXPECT_NEAR(gFrameInputs.pointX, 10 * 0.0175, 1e-12);
    EXPECT_NEAR(gFrameInputs.pointY, 20 * 0.023333333333333334, 1e-12);
    EXPECT_DOUBLE_EQ(gFrameInputs.pointZ, 0.6);
    EXPECT_DOUBLE_EQ(gFrameInputs.cameraX, 100 * 0.0175);  // kept while the left button is held
}

TEST(FrameDriver, EndingFade)
{
    EXPECT_EQ(EndingFade(5.0, 5.0), 0.0);
    EXPECT_NEAR(EndingFade(5.005, 5.0), 0.504, 1e-9);
    EXPECT_EQ(EndingFade(6.0, 5.0), 1.0);
    EXPECT_EQ(EndingFade(4.0, 5.0), 0.0);
    EXPECT_GT(EndingFade(5.0 + 0.0099, 5.0), 0.9979);
}
