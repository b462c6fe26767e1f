// The mini-game that DemoScene::Step runs every frame before anything is drawn: clock, rounds, help sign,
// player movement, the sea and rescue tests, score and countdown, intro, and the music report, as functions
// of the scene's fields that draw nothing; plus the three drawing steps (player sprites, number texts,
// intro lines), which read what the steps left. Depends on the scene record, the vector helpers, the
// runtime generator and, for drawing, the toolkit.
#pragma once
#include <cstdint>

#include "math/vec.h"

class DemoScene;
struct Engine;

constexpr double kRoundLength = 45.0;     // timeLeft at a round reset, seconds
constexpr double kTopSpeed = 5.0;         // units per second at arrowUpDown 1
constexpr double kSeaThreshold = 2.0;     // summed closeness above this means inside the sea
constexpr double kRescueThreshold = 2.0;  // closeness to the help sign above this rescues it
constexpr double kRescueBonus = 35.0;
constexpr double kScoreRate = 15.0;       // points per second, always
constexpr double kOutsideDrain = 28.0;    // points per second taken away outside the sea
constexpr double kHelpSignPeriod = 3.0;   // seconds of helpTimer between placements
constexpr double kIntroLength = 15.0;     // the intro ends once the scene clock passes this
constexpr double kHelpSignAway = 1000.0;  // a rescued sign moves this far along +x, out of view

// ---------------------------------------------------------------------------------------------------------
// Number helpers shared by the game and the layers
// ---------------------------------------------------------------------------------------------------------

// Integer part, truncated toward zero; saturates at the int32 range and gives 0 for NaN, so a very long
// pause (a huge frame delta) cannot turn a display value into undefined behaviour.
int32_t IntegerPart(double v);
// The same in 64 bits (saturating at +-2^62), for arithmetic that must not overflow.
int64_t IntegerPart64(double v);
// A generator seed from the integer part of a value: the 64-bit integer part reduced modulo 2^32. Equals
// the plain conversion for every value in the int32 range and keeps varying beyond it.
uint32_t SeedFromValue(double v);
// The seed that leaves the runtime generator where seeding with `seed` and drawing `steps` values would
// leave it: skipping a long run of discarded values costs nothing. Relies on the generator's state being
// the seed itself (the C runtime's srand) and on its step, state * 214013 + 2531011 (mod 2^32).
uint32_t SeedAfterSkipping(uint32_t seed, uint32_t steps);
// True when the integer part of v is odd.
bool IntegerPartIsOdd(double v);

// The film grain that ends every frame's picture, at the scene clock as the frame's steps leave it: the
// generator's seed, and the layers of grain (a second, brighter one during a round's first two seconds).
uint32_t GrainSeed(double time);
int GrainLayers(double time);

// 1 / (d^2 + 0.001) with d the distance of a and b rounded to single precision.
double Closeness(const Vec& a, const Vec& b);
// The closeness of `at` summed over `count` points, in double precision.
double SeaDensity(const Vec* points, int count, const Vec& at);

// ---------------------------------------------------------------------------------------------------------
// Game steps, in the order Step runs them
// ---------------------------------------------------------------------------------------------------------

void AdvanceSceneClock(DemoScene& scene, double frameDelta);  // the clock runs twice as fast outside the sea
bool EndRoundIfDue(DemoScene& scene);                         // new round once timeLeft is below 0
bool UpdateHelpSign(DemoScene& scene, double frameDelta);     // true when the sign was placed anew
// Moves by the velocity of the previous frame, then takes the new velocity from heading (radians) and
// speed (-1 ... 1), and records the position in the trail.
void MovePlayer(DemoScene& scene, double frameDelta, double heading, double speed);
bool TestInsideSea(DemoScene& scene);  // sets and returns insideSea
bool TestRescue(DemoScene& scene);     // true when the help sign was touched
void AdvanceScoreAndCountdown(DemoScene& scene, double frameDelta);
bool EndIntroIfDue(DemoScene& scene);               // true in the frame the intro ends
int32_t MusicSteadyReport(const DemoScene& scene);  // 0 asks for music jitter

// ---------------------------------------------------------------------------------------------------------
// Display arithmetic
// ---------------------------------------------------------------------------------------------------------

bool TimeTextVisible(double timeLeft, double time);  // blinks in eighths of a second from 10 s left
double HelpSignScale(double helpTimer);              // 1 shrinking to 0.5 during the sign's first second
double IntroAmount(double time);                     // dissolve amount of the intro lines, 0 ... 4
double HighScoreGridCoordinate(float v);             // snaps the high-score display to a 10/3 grid
int SpriteGroup(int randomValue, double time);       // (random value + integer part of 3 time) mod 7

// ---------------------------------------------------------------------------------------------------------
// Drawing steps (current GL context, camera looking down -z from (0, 0, 10)); they read what Step left
// ---------------------------------------------------------------------------------------------------------

void DrawPlayerSprites(const DemoScene& scene, Engine& engine);
void DrawGameTexts(const DemoScene& scene, Engine& engine);
void DrawIntroLines(const DemoScene& scene, Engine& engine);
