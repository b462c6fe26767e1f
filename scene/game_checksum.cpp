// The game state's checksum (see game_checksum.h). Fields are hashed one by one, as their bytes in
// little-endian order, so neither padding nor the system's byte order enters the sum.
#include "scene/game_checksum.h"

#include <cstring>

#include "math/random.h"
#include "scene/demo_scene.h"

namespace {

constexpr uint64_t kFnvOffset = 0xcbf29ce484222325ull;
constexpr uint64_t kFnvPrime = 0x100000001b3ull;

struct Hash {
    uint64_t sum = kFnvOffset;

    void Bytes(uint64_t bits, int count)
    {
        for (int i = 0; i < count; ++i) {
            sum ^= (bits >> (8 * i)) & 0xff;
            sum *= kFnvPrime;
        }
    }
    void Add(double v)
    {
        uint64_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        Bytes(bits, 8);
    }
    void Add(float v)
    {
        uint32_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        Bytes(bits, 4);
    }
    void Add(int32_t v) { Bytes(static_cast<uint32_t>(v), 4); }
    void Add(uint32_t v) { Bytes(v, 4); }
    void Add(bool v) { Bytes(v ? 1 : 0, 1); }
    void Add(const Vec& v)
    {
        Add(v.kind);
        Add(v.x);
        Add(v.y);
        Add(v.z);
    }
};

}  // namespace

uint64_t GameStateChecksum(const DemoScene& scene, double demoTime)
{
    Hash h;
    h.Add(demoTime);
    h.Add(scene.time);
    h.Add(scene.frameCount);
    h.Add(scene.insideSea);
    for (const Vec& p : scene.seaPoints) h.Add(p);
    h.Add(scene.helpTarget);
    h.Add(scene.player);
    h.Add(scene.velocity);
    for (const Vec& p : scene.trail) h.Add(p);
    h.Add(scene.timeLeft);
    h.Add(scene.score);
    h.Add(scene.highScore);
    h.Add(scene.helpTimer);
    h.Add(scene.roundSeed);
    h.Add(scene.introActive);
    h.Add(RandomState());
    return h.sum;
}
