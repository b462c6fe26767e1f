// The generators' own seeded random source (64-bit xorshift-multiply), so that every build paints and
// plays the same bytes; nothing here reads the clock or the system's entropy.
#pragma once
#include <cstdint>

namespace assetgen {

class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}

    uint64_t NextU64()
    {
        // splitmix-style step: a Weyl sequence scrambled by two multiply-xorshift rounds.
        state_ += 0x9E3779B97F4A7C15ull;
        uint64_t z = state_;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double Unit() { return static_cast<double>(NextU64() >> 11) * (1.0 / 9007199254740992.0); }
    // Uniform in [lo, hi).
    double Range(double lo, double hi) { return lo + (hi - lo) * Unit(); }
    // Uniform in [-1, 1).
    double Signed() { return 2.0 * Unit() - 1.0; }
    // 0 ... n - 1 (n > 0).
    int Below(int n) { return static_cast<int>(Unit() * n); }

private:
    uint64_t state_;
};

}  // namespace assetgen
