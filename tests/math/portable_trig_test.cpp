// Our own sine and cosine: within one unit in the last place of the true value (worked out to 90 digits),
// at the hard places too (next to multiples of pi/2, huge arguments), and the same bits on every system:
// a digest of many results that the Windows build under Wine and this one must both give.
#include "math/portable_trig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

uint64_t Bits(double v)
{
    uint64_t b = 0;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// Units in the last place between two finite doubles (the sign counted through zero).
uint64_t UlpsApart(double a, double b)
{
    auto ordered = [](double v) {
        const uint64_t b = Bits(v);
        return (b >> 63) ? ~b + 1 + (uint64_t{1} << 63) : b + (uint64_t{1} << 63);
    };
    const uint64_t x = ordered(a), y = ordered(b);
    return x > y ? x - y : y - x;
}

struct Reference {
    double x, sin, cos;
};

// sin and cos rounded to the nearest double, from 90-digit arithmetic.
constexpr Reference kReferences[] = {
    {0x1.0000000000000p-1, 0x1.eaee8744b05f0p-2, 0x1.c1528065b7d50p-1},     // 0.5
    {0x1.0000000000000p+0, 0x1.aed548f090ceep-1, 0x1.14a280fb5068cp-1},     // 1.0
    {0x1.0000000000000p+1, 0x1.d18f6ead1b446p-1, -0x1.aa22657537205p-2},    // 2.0
    {0x1.8000000000000p+1, 0x1.210386db6d55bp-3, -0x1.fae04be85e5d2p-1},    // 3.0
    {0x1.4000000000000p+3, -0x1.1689ef5f34f52p-1, -0x1.ad9ac890c6b1fp-1},   // 10.0
    {0x1.9000000000000p+6, -0x1.03425b78c4db8p-1, 0x1.b981dbf665fdfp-1},    // 100.0
    {0x1.f400000000000p+9, 0x1.a75cc150a206bp-1, 0x1.1ff026793f1bbp-1},     // 1000.0
    {0x1.81cd6c8b43958p+13, -0x1.687d5890974a5p-1, 0x1.6b94c3bbe24b8p-1},   // 12345.678
    {0x1.e848000000000p+19, -0x1.6664b2568d867p-2, 0x1.df9df9906d32cp-1},   // 1000000.0
    {0x1.1e1a300000000p+28, -0x1.c219eed2e54c4p-2, 0x1.cbe31d447d1e2p-1},   // 300000000.0
    {-0x1.e000000000000p+2, -0x1.e041886fcae30p-1, 0x1.62f45e66f5c2fp-2},   // -7.5
    {0x1.5798ee2308c3ap-27, 0x1.5798ee2308c3ap-27, 0x1.0000000000000p+0},   // 1e-08
    {0x1.921fb54442d18p-1, 0x1.6a09e667f3bccp-1, 0x1.6a09e667f3bcdp-1},     // 0.7853981633974483
    {0x1.921fb54442d18p+0, 0x1.0000000000000p+0, 0x1.1a62633145c07p-54},    // 1.5707963267948966
    {0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53, -0x1.0000000000000p+0},   // 3.141592653589793
    {0x1.6000000000000p+4, -0x1.220a29f6eb9f4p-7, -0x1.fffadd8d4acdap-1},   // 22.0
    {0x1.6300000000000p+9, 0x1.f9bd0303f6fafp-15, 0x1.fffffff063930p-1},    // 710.0
    {0x1.6300000000000p+8, -0x1.f9bd0307d1de3p-16, -0x1.fffffffc18e4cp-1},  // 355.0
    {0x1.921fb54442d18p+2, -0x1.1a62633145c07p-52, 0x1.0000000000000p+0},   // 6.283185307179586
    {-0x1.e848000000000p+17, 0x1.fdf4aa91bbde4p-1, -0x1.6da8847c648b8p-4},  // -250000.0
    {0x1.999999999999ap-4, 0x1.98eaecb8bcb2cp-4, 0x1.fd712f9a817c1p-1},     // 0.1
    {0x1.2d97c7f3321d2p+2, -0x1.0000000000000p+0, -0x1.a79394c9e8a0ap-53},  // 4.71238898038469
    {0x1.0p-996, 0x1.0p-996, 1.0},
};

}  // namespace

TEST(PortableTrig, IsWithinOneUlpOfTheTrueValue)
{
    for (const Reference& r : kReferences) {
        EXPECT_LE(UlpsApart(PortableSin(r.x), r.sin), 1u) << r.x;
        EXPECT_LE(UlpsApart(PortableCos(r.x), r.cos), 1u) << r.x;
        EXPECT_LE(UlpsApart(PortableSin(-r.x), -r.sin), 1u) << -r.x;
        EXPECT_LE(UlpsApart(PortableCos(-r.x), r.cos), 1u) << -r.x;
    }
}

TEST(PortableTrig, NotANumberAndInfinitiesGiveNotANumber)
{
    EXPECT_TRUE(std::isnan(PortableSin(std::numeric_limits<double>::infinity())));
    EXPECT_TRUE(std::isnan(PortableCos(-std::numeric_limits<double>::infinity())));
    EXPECT_TRUE(std::isnan(PortableSin(std::numeric_limits<double>::quiet_NaN())));
    // Past the exact reduction a huge argument still gives a sine, not garbage.
    for (double x : {1e9, -3e12, 1e300}) {
        EXPECT_LE(std::fabs(PortableSin(x)), 1.0);
        EXPECT_NEAR(PortableSin(x) * PortableSin(x) + PortableCos(x) * PortableCos(x), 1.0, 1e-15);
    }
}

// The bits of 300,000 results, as the game's arguments come: small headings, the sea's paths over hours of
// play, and arguments up to 10^9. The digest was taken on Linux; the Windows build must give it too.
TEST(PortableTrig, GivesTheSameBitsOnEverySystem)
{
    uint32_t state = 12345;
    auto unit = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state) / 4294967296.0;
    };
    uint64_t digest = 0xcbf29ce484222325ull;
    auto add = [&digest](double v) {
        const uint64_t b = Bits(v);
        for (int i = 0; i < 8; ++i) digest = (digest ^ ((b >> (8 * i)) & 0xff)) * 0x100000001b3ull;
    };
    for (double range : {4.0, 5e3, 1e9}) {
        for (int i = 0; i < 50000; ++i) {
            const double x = (2.0 * unit() - 1.0) * range;
            add(PortableSin(x));
            add(PortableCos(x));
        }
    }
    EXPECT_EQ(digest, 0xeb58fbb63cf1c60dull);
}
