// Sine and cosine (see portable_trig.h): the argument reduced by pi/2 in four pieces, then a Taylor
// polynomial on [-pi/4, pi/4].
#include "math/portable_trig.h"

#include <cmath>

namespace {

// pi/2 = kHalfPi1 + kHalfPi2 + kHalfPi3 + kHalfPi4 to about 2^-130. The first three hold 24 significant
// bits each, so that k times one of them is exact for every k below 2^29.
constexpr double kHalfPi1 = 0x1.921fb6p+0;
constexpr double kHalfPi2 = -0x1.777a5cp-25;
constexpr double kHalfPi3 = -0x1.ee59dap-50;
constexpr double kHalfPi4 = 0x1.98a2e03707345p-77;
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
constexpr double kLargestQuarterTurns = 0x1.0p29;
// 2 pi to 24 bits: the exact remainder by it keeps a huge argument's result the same everywhere.
constexpr double kTwoPi24 = 0x1.921fb6p+2;

constexpr double Factorial(int n)
{
    double f = 1.0;
    for (int i = 2; i <= n; ++i) f *= i;  // exact up to 22!
    return f;
}

// The series' coefficients in r^2, from r^3 (sine) and r^4 (cosine) on; the next term left out is below
// 2^-60 of the result on [-pi/4, pi/4].
constexpr double kSine[] = {-1.0 / Factorial(3),  1.0 / Factorial(5),   -1.0 / Factorial(7),
                            1.0 / Factorial(9),   -1.0 / Factorial(11), 1.0 / Factorial(13),
                            -1.0 / Factorial(15), 1.0 / Factorial(17)};
constexpr double kCosine[] = {1.0 / Factorial(4),   -1.0 / Factorial(6), 1.0 / Factorial(8),
                              -1.0 / Factorial(10), 1.0 / Factorial(12), -1.0 / Factorial(14),
                              1.0 / Factorial(16),  -1.0 / Factorial(18)};

template <int N>
double Horner(const double (&c)[N], double z)
{
    double p = c[N - 1];
    for (int i = N - 2; i >= 0; --i) p = p * z + c[i];
    return p;
}

double SineNear0(double r)
{
    const double z = r * r;
    return r + r * z * Horner(kSine, z);
}

double CosineNear0(double r)
{
    const double z = r * r;
    const double half = 0.5 * z;
    const double w = 1.0 - half;
    // 1 - z/2 loses the low bits of z/2; they come back as (1 - w) - z/2, which is exact.
    return w + (((1.0 - w) - half) + z * z * Horner(kCosine, z));
}

// sin(x + quarterTurns * pi/2).
double Sine(double x, int quarterTurns)
{
    if (!std::isfinite(x)) return x - x;
    if (std::fabs(x) * kTwoOverPi >= kLargestQuarterTurns) x = std::fmod(x, kTwoPi24);
    const double k = std::floor(x * kTwoOverPi + 0.5);
    double r = x - k * kHalfPi1;
    r -= k * kHalfPi2;
    r -= k * kHalfPi3;
    r -= k * kHalfPi4;
    const int quadrant = (static_cast<int>(std::fmod(k, 4.0)) + 4 + quarterTurns) & 3;
    switch (quadrant) {
        case 0:
            return SineNear0(r);
        case 1:
            return CosineNear0(r);
        case 2:
            return -SineNear0(r);
        default:
            return -CosineNear0(r);
    }
}

}  // namespace

double PortableSin(double x)
{
    return Sine(x, 0);
}

double PortableCos(double x)
{
    return Sine(x, 1);
}
