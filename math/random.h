// The program's one random generator, with the constants of the Windows C runtime (not glibc's rand):
// state = state * 214013 + 2531011 (mod 2^32), value = bits 16 to 30 of the state, 0 ... 32767. A shared
// helper that the drawing helpers, the music and the scene all draw from. Main thread only; callers
// reseed it at fixed points of every frame.
#pragma once
#include <cstdint>

constexpr int kRandomMax = 32767;

void SeedRandom(uint32_t seed);  // srand
int NextRandom();                // rand: 0 ... 32767
uint32_t RandomState();          // the generator's whole state, for a checksum of the game
