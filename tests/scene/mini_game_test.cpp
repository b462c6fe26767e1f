// The mini-game's arithmetic without drawing: rounds, movement, the sea and rescue tests, score and
// countdown, the help sign, the intro, the display rules and the sea layer's blob placement.
#include "scene/mini_game.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "math/random.h"
#include "scene/demo_scene.h"
#include "scene/scene_layers.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// The scene as Init leaves it, without the textures and effects that need a GL context.
DemoScene SceneAfterInit()
{
    DemoScene scene;
    scene.ResetGame();
    return scene;
}

struct FrameResult {
    bool rescued = false;
    int32_t musicSteady = 1;
};

// One frame of game state, as the frame driver runs it before drawing.
FrameResult PlayFrame(DemoScene& scene, double frameDelta, double heading = 0.0, double speed = 0.0)
{
    FrameInputs inputs;
    inputs.arrowLeftRight = heading;
    inputs.arrowUpDown = speed;
    scene.Step(frameDelta, inputs);
    return FrameResult{scene.shown.rescued, inputs.musicSteady};
}

void MoveAllSeaPointsTo(DemoScene& scene, float x, float y)
{
    for (Vec& point : scene.seaPoints) point = Vec{1, x, y, 0.0f};
}

// ---------------------------------------------------------------------------------------------------------

TEST(SceneLifecycle, ConstructionAndResetRound)
{
    DemoScene scene = SceneAfterInit();
    EXPECT_TRUE(scene.insideSea);
    EXPECT_EQ(scene.seaPoints[19].kind, 1);
    // The first value of the generator seeded with 0 (Windows constants): (2531011 >> 16) & 0x7fff.
    EXPECT_EQ(scene.roundSeed, 38);

    scene.score = 12.0;
    scene.highScore = 30.0;
    scene.ResetRound();
    EXPECT_EQ(scene.highScore, 30.0);
    EXPECT_EQ(scene.score, 0.0);

    scene.score = 30.0;
    scene.highScore = 12.0;
    scene.helpTarget = Vec{1, 2.0f, 3.0f, 0.0f};
    scene.trail[2] = Vec{1, 7.0f, 0.0f, 0.0f};
    scene.velocity = Vec{1, 4.0f, 0.0f, 0.0f};
    scene.timeLeft = -3.0;
    SeedRandom(1234);
    scene.ResetRound();
    EXPECT_EQ(scene.highScore, 30.0);
    EXPECT_EQ(scene.score, 0.0);
    EXPECT_EQ(scene.timeLeft, 45.0);
    EXPECT_EQ(scene.velocity.x, 0.0f);
    // The help sign and the trail stay where they were.
    EXPECT_EQ(scene.helpTarget.x, 2.0f);
    EXPECT_EQ(scene.trail[2].x, 7.0f);

    const int32_t firstSeed = scene.roundSeed;
    scene.ResetRound();
    EXPECT_EQ(scene.roundSeed, firstSeed);
}

TEST(Movement, FollowsHeadingAndSpeedOneFrameLate)
{
    DemoScene scene = SceneAfterInit();
    // Heading pi/2 at full speed: 5 units along +x per second, starting one frame late.
    MovePlayer(scene, 0.1, kPi / 2, 1.0);
    EXPECT_EQ(scene.player.x, 0.0f);
    for (int i = 0; i < 10; ++i) MovePlayer(scene, 0.1, kPi / 2, 1.0);
    EXPECT_NEAR(scene.player.x, 5.0, 1e-4);
    EXPECT_NEAR(scene.player.y, 0.0, 1e-4);

    // A key change shows only in the frame after it.
    MovePlayer(scene, 0.1, 0.0, -1.0);
    EXPECT_NEAR(scene.player.x, 5.5, 1e-4);
    MovePlayer(scene, 0.1, 0.0, -1.0);
    EXPECT_NEAR(scene.player.x, 5.5, 1e-4);
    EXPECT_NEAR(scene.player.y, -0.5, 1e-4);  // heading 0 is +y; a negative speed runs backwards
}

TEST(SeaAndRescue, ThresholdsAndEffects)
{
    DemoScene scene = SceneAfterInit();
    // Before the first sea layer every blob lies at the origin, on the player.
    EXPECT_TRUE(TestInsideSea(scene));

    // One blob alone: closeness 1 / (d^2 + 0.001) crosses 2 at d^2 = 0.499.
    MoveAllSeaPointsTo(scene, 100.0f, 100.0f);
    scene.seaPoints[0] = Vec{1, std::sqrt(0.497f), 0.0f, 0.0f};
    EXPECT_TRUE(TestInsideSea(scene));
    scene.seaPoints[0] = Vec{1, std::sqrt(0.501f), 0.0f, 0.0f};
    EXPECT_FALSE(TestInsideSea(scene));
    // Several weak contributions add up.
    for (int i = 0; i < 3; ++i) scene.seaPoints[i] = Vec{1, 0.0f, 1.0f, 0.0f};
    EXPECT_TRUE(TestInsideSea(scene));

    scene.score = 5.0;
    scene.helpTimer = 1.25;
    scene.helpTarget = Vec{1, 0.0f, std::sqrt(0.501f), 0.0f};
    EXPECT_FALSE(TestRescue(scene));
    scene.helpTarget = Vec{1, 0.0f, std::sqrt(0.497f), 0.0f};
    EXPECT_TRUE(TestRescue(scene));
    EXPECT_EQ(scene.score, 40.0);
    EXPECT_NEAR(scene.helpTarget.x, 1000.0, 1e-3);  // out of reach until placed again
    EXPECT_EQ(scene.helpTimer, 1.25);
    EXPECT_FALSE(TestRescue(scene));
}

TEST(ScoreAndCountdown, RatesAndFloor)
{
    DemoScene scene = SceneAfterInit();
    scene.insideSea = true;
    AdvanceScoreAndCountdown(scene, 1.0);
    EXPECT_DOUBLE_EQ(scene.score, 15.0);
    EXPECT_DOUBLE_EQ(scene.timeLeft, 44.0);

    scene.insideSea = false;
    scene.score = 10.0;
    AdvanceScoreAndCountdown(scene, 1.0);
    EXPECT_EQ(scene.score, 0.0);  // not -3
    EXPECT_DOUBLE_EQ(scene.timeLeft, 42.0);

    scene.time = 3.0;
    AdvanceSceneClock(scene, 0.5);
    EXPECT_DOUBLE_EQ(scene.time, 4.0);  // twice as fast outside
    scene.insideSea = true;
    AdvanceSceneClock(scene, 0.5);
    EXPECT_DOUBLE_EQ(scene.time, 4.5);
}

TEST(ScoreAndCountdown, RoundRunsOutAndRestartsNextFrame)
{
    DemoScene scene = SceneAfterInit();
    scene.introActive = false;
    scene.score = 100.0;
    scene.highScore = 20.0;
    scene.time = 44.6;
    scene.timeLeft = 0.2;
    MoveAllSeaPointsTo(scene, 50.0f, 50.0f);
    scene.player = Vec{1, 10.0f, 10.0f, 0.0f};
    scene.insideSea = false;

    // The frame itself still belongs to the old round.
    AdvanceSceneClock(scene, 0.3);
    EXPECT_FALSE(EndRoundIfDue(scene));
    AdvanceScoreAndCountdown(scene, 0.3);
    EXPECT_NEAR(scene.timeLeft, -0.4, 1e-12);
    EXPECT_EQ(IntegerPart(scene.timeLeft), 0);  // the time text reads "Time:0"
    EXPECT_NEAR(scene.score, 100.0 - 13.0 * 0.3, 1e-9);

    PlayFrame(scene, 0.02, 0.0, 0.0);
    EXPECT_NEAR(scene.highScore, 100.0 - 13.0 * 0.3, 1e-9);
    // The new round has begun and counts down, still twice as fast out here.
    EXPECT_NEAR(scene.timeLeft, 45.0 - 2 * 0.02, 1e-12);
    EXPECT_EQ(scene.frameCount, 0);
    EXPECT_NEAR(scene.player.x, 0.0, 1e-6);
}

TEST(HelpSign, PlacementRules)
{
    DemoScene scene = SceneAfterInit();
    scene.helpTarget = Vec{1, 9.0f, 9.0f, 0.0f};
    // Never placed before helpTimer passes 3 s.
    scene.time = 1.0;
    for (int i = 0; i < 29; ++i) EXPECT_FALSE(UpdateHelpSign(scene, 0.1));
    EXPECT_EQ(scene.helpTarget.x, 9.0f);
    EXPECT_FALSE(UpdateHelpSign(scene, 0.1 - 1e-9));
    EXPECT_TRUE(UpdateHelpSign(scene, 0.01));
    EXPECT_EQ(scene.helpTimer, 0.0);
    const Vec first = scene.helpTarget;
    EXPECT_LE(std::fabs(first.x), 5.2f);
    EXPECT_LE(std::fabs(first.y), 5.2f);
    EXPECT_EQ(first.z, 0.0f);

    // Within the same five-second stretch of round time the sign lands on the same spot.
    scene.time = 4.9;
    scene.helpTimer = 3.0;
    EXPECT_TRUE(UpdateHelpSign(scene, 0.01));
    EXPECT_EQ(scene.helpTarget.x, first.x);
    EXPECT_EQ(scene.helpTarget.y, first.y);

    // Across many stretches the spots differ and all stay in the field.
    int moved = 0;
    for (int stretch = 1; stretch < 20; ++stretch) {
        scene.time = 5.0 * stretch + 0.5;
        scene.helpTimer = 3.0;
        ASSERT_TRUE(UpdateHelpSign(scene, 0.01));
        EXPECT_LE(std::fabs(scene.helpTarget.x), 5.2f);
        EXPECT_LE(std::fabs(scene.helpTarget.y), 5.2f);
        if (scene.helpTarget.x != first.x || scene.helpTarget.y != first.y) ++moved;
    }
    EXPECT_GE(moved, 15);
}

TEST(Intro, FirstFrameAndEndOfIntro)
{
    DemoScene scene = SceneAfterInit();
    // The first frame: help sign and player both at the origin, every blob too.
    const FrameResult first = PlayFrame(scene, 0.02);
    EXPECT_TRUE(first.rescued);
    EXPECT_TRUE(scene.insideSea);
    EXPECT_NEAR(scene.score, 35.0 + 15.0 * 0.02, 1e-9);
    EXPECT_EQ(first.musicSteady, 1);

    // Outside the sea during the intro: points drain, the clock runs double, the music stays steady.
    scene.player = Vec{1, 300.0f, 300.0f, 0.0f};
    scene.highScore = 500.0;  // whatever the intro gathered is discarded at its end
    bool ended = false;
    int frames = 0;
    while (!ended && frames < 2000) {
        const double before = scene.time;
        const FrameResult r = PlayFrame(scene, 0.02);
        ++frames;
        if (!scene.introActive) {
            ended = true;
            EXPECT_GT(before + 0.04, 15.0);
            EXPECT_LE(before, 15.0);  // the first frame past 15 s ends it
            EXPECT_EQ(scene.highScore, 0.0);
            EXPECT_EQ(scene.score, 0.0);
            EXPECT_EQ(scene.time, 0.0);
            EXPECT_EQ(scene.timeLeft, 45.0);
            EXPECT_EQ(r.musicSteady, 0);  // outside the sea once the game is on
        } else {
            EXPECT_EQ(r.musicSteady, 1);
        }
    }
    EXPECT_TRUE(ended);
    EXPECT_NEAR(frames * 0.02, 7.5, 0.1);  // 7.5 s of real time outside
}

TEST(Rounds, ClockAndCountdownAddUpToTheRoundLength)
{
    DemoScene scene = SceneAfterInit();
    scene.introActive = false;
    // Steer a wide circle through and out of the drifting sea.
    int resets = 0;
    double lastScore = 0.0;
    for (int frame = 0; frame < 6000 && resets < 2; ++frame) {
        const double heading = 0.002 * frame;
        const double speed = (frame / 200) % 2 == 0 ? 1.0 : 0.3;
        const double timeBefore = scene.time;
        lastScore = scene.score;
        PlayFrame(scene, 0.02, heading, speed);
        if (scene.time < timeBefore) {
            ++resets;
            EXPECT_GE(timeBefore, 44.9);
            EXPECT_GE(scene.highScore, lastScore);
        } else {
            // The clock and the countdown part by at most a frame or two: around a change of the sea
            // state, and in the frame of a reset, whose countdown runs after the clock restarted.
            EXPECT_NEAR(scene.time + scene.timeLeft, 45.0, 0.041);
        }
        EXPECT_GE(scene.score, 0.0);
    }
    EXPECT_EQ(resets, 2);
}

TEST(Display, TimeTextBlinksFromTenSecondsLeft)
{
    EXPECT_TRUE(TimeTextVisible(10.01, 0.0));
    EXPECT_FALSE(TimeTextVisible(10.0, 0.1));  // integer part of 0.8 is even
    EXPECT_TRUE(TimeTextVisible(10.0, 0.13));  // integer part of 1.04 is odd
    EXPECT_TRUE(TimeTextVisible(-0.4, 44.9));  // 359.2 -> 359
    // Four visible stretches per second of scene time.
    int rises = 0;
    bool was = false;
    for (int i = 0; i < 1000; ++i) {
        const bool now = TimeTextVisible(5.0, 30.0 + i * 0.001);
        if (now && !was) ++rises;
        was = now;
    }
    EXPECT_EQ(rises, 4);
}

TEST(Display, IntroAmountAndGrids)
{
    EXPECT_DOUBLE_EQ(IntroAmount(0.0), 0.0);
    EXPECT_DOUBLE_EQ(IntroAmount(5.3), 4.0);
    EXPECT_DOUBLE_EQ(IntroAmount(9.0), 4.0);
    EXPECT_LT(IntroAmount(5.1), 4.0);
    EXPECT_LT(IntroAmount(9.2), 4.0);
    EXPECT_NEAR(IntroAmount(14.29), 0.0, 1e-3);
    EXPECT_NEAR(IntroAmount(15.0), 0.0, 1e-12);

    EXPECT_NEAR(HighScoreGridCoordinate(-7.0f), -20.0 / 3.0, 1e-12);  // toward zero, in steps of 10/3
    // A clock far past any round (after a long pause) still picks one of the seven sprite groups.
    for (int r = 0; r < 50; ++r) EXPECT_LT(static_cast<unsigned>(SpriteGroup(r * 655, 1e12)), 7u);
}

TEST(NumberHelpers, TruncationSaturationAndSeeds)
{
    EXPECT_EQ(IntegerPart(2.9), 2);
    EXPECT_EQ(IntegerPart(-2.9), -2);
    EXPECT_EQ(IntegerPart(-0.4), 0);
    EXPECT_EQ(IntegerPart(1e300), INT32_MAX);
    EXPECT_EQ(IntegerPart(-1e300), INT32_MIN);
    EXPECT_EQ(IntegerPart(std::nan("")), 0);

    EXPECT_EQ(SeedFromValue(3000.9), 3000u);
    EXPECT_EQ(SeedFromValue(-1.0), 0xffffffffu);  // what the plain conversion to unsigned gives
    // Beyond the int32 range the seed keeps changing with time instead of freezing.
    EXPECT_EQ(SeedFromValue(30.0 * 100000000.0), 3000000000u);
    EXPECT_NE(SeedFromValue(30.0 * 100000000.0), SeedFromValue(30.02 * 100000000.0));
    EXPECT_EQ(SeedFromValue(5000000000.0), static_cast<uint32_t>(5000000000ull));

    // Skipping ahead lands where drawing and discarding would.
    for (uint32_t seed : {0u, 38u + 30029u, 0xfffffff0u}) {
        for (uint32_t steps : {0u, 1u, 1000u, 4000u}) {
            SeedRandom(seed);
            for (uint32_t i = 0; i < steps; ++i) NextRandom();
            const int drawn = NextRandom();
            SeedRandom(SeedAfterSkipping(seed, steps));
            EXPECT_EQ(NextRandom(), drawn) << seed << " " << steps;
        }
    }

    EXPECT_TRUE(IntegerPartIsOdd(1.99));
    EXPECT_FALSE(IntegerPartIsOdd(2.5));
    EXPECT_FALSE(IntegerPartIsOdd(std::nan("")));
}

TEST(SeaLayerPlacement, GathersAtRoundStartAndFollowsTheRoundSeed)
{
    Vec points[kSeaPointCount];
    PlaceSeaPoints(38, 0.0, points);
    for (const Vec& p : points) {
        EXPECT_EQ(p.kind, 1);
        EXPECT_EQ(p.x, 0.0f);
        EXPECT_EQ(p.y, 0.0f);
    }
    EXPECT_DOUBLE_EQ(SeaGrowth(1.25), 0.25);
    EXPECT_DOUBLE_EQ(SeaGrowth(2.5), 1.0);

    Vec again[kSeaPointCount];
    PlaceSeaPoints(38, 12.0, points);
    SeedRandom(999);  // whatever ran before, the paths depend on the round seed only
    PlaceSeaPoints(38, 12.0, again);
    double spread = 0.0;
    for (int i = 0; i < kSeaPointCount; ++i) {
        EXPECT_EQ(points[i].x, again[i].x);
        EXPECT_EQ(points[i].y, again[i].y);
        EXPECT_LE(std::fabs(points[i].x), 7.0f);
        EXPECT_LE(std::fabs(points[i].y), 7.0f);
        spread += std::fabs(points[i].x) + std::fabs(points[i].y);
    }
    EXPECT_GT(spread / kSeaPointCount, 1.0);

    PlaceSeaPoints(38, 12.5, again);
    int drifted = 0;
    for (int i = 0; i < kSeaPointCount; ++i)
        if (points[i].x != again[i].x || points[i].y != again[i].y) ++drifted;
    EXPECT_EQ(drifted, kSeaPointCount);
}

}  // namespace
