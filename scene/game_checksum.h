// A checksum of the game's state: everything the mini-game's steps and the score depend on, so that a
// replay can tell, frame by frame, whether it is still in the recorded round. Depends on the scene record
// and the runtime generator. Main thread only.
#pragma once
#include <cstdint>

class DemoScene;

// FNV-1a (64 bits) over the bit patterns of the player, velocity, trail, sea points, help target and
// timer, score, high score, the scene's clock, frame count, countdown, round seed, intro and sea flags,
// the demo time and the generator's state. Equal states give equal sums on every system.
uint64_t GameStateChecksum(const DemoScene& scene, double demoTime);
