// The decoder's kernels: the SSE2 fast transform against its portable twin (bit for bit), both
// transforms against a double-precision inverse DCT, the DC-only shortcuts, and the colour conversion.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "assets/jpeg_decoder.h"
#include "assets/jpeg_idct.h"

namespace {

// Reference: f(x, y) = 1/4 sum C(u) C(v) F(u, v) cos((2x + 1) u pi / 16) cos((2y + 1) v pi / 16).
void ReferenceIdct(const int16_t* coef, const uint16_t* quant, double* out)
{
    const double pi = 3.14159265358979323846;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            double sum = 0;
            for (int v = 0; v < 8; ++v)
                for (int u = 0; u < 8; ++u) {
                    double cu = u ? 1.0 : std::sqrt(0.5), cv = v ? 1.0 : std::sqrt(0.5);
                    sum += cu * cv * coef[v * 8 + u] * quant[v * 8 + u] *
                           std::cos((2 * x + 1) * u * pi / 16) * std::cos((2 * y + 1) * v * pi / 16);
                }
            out[y * 8 + x] = sum / 4 + 128;
        }
}

// Coefficients as real pictures have them: large at low frequencies, sparse and small above.
void TypicalBlock(std::mt19937& rng, int16_t* coef, uint16_t* quant)
{
    std::uniform_int_distribution<int> q(1, 40), dc(-60, 60), pick(0, 3);
    for (int i = 0; i < 64; ++i) {
        int u = i % 8, v = i / 8;
        quant[i] = static_cast<uint16_t>(q(rng));
        int span = 1 + 200 / (1 + (u + v) * (u + v)) / quant[i];
        coef[i] =
            static_cast<int16_t>(pick(rng) == 0 ? std::uniform_int_distribution<int>(-span, span)(rng) : 0);
    }
    coef[0] = static_cast<int16_t>(dc(rng) * 16 / quant[0]);
}

}  // namespace

TEST(JpegKernels, FastTransformIsTheSameWithAndWithoutSse2)
{
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> any(-32768, 32767), small(-64, 64), q(0, 255);
    int16_t coef[64], prescaled[64];
    uint16_t quant[64];
    uint8_t a[8 * 13], b[8 * 13];
    for (int round = 0; round < 20000; ++round) {
        int kind = round % 4;
        if (kind == 3) {
            // Wild values exercise every wrap and saturation.
            for (int i = 0; i < 64; ++i) {
                coef[i] = static_cast<int16_t>(any(rng));
                prescaled[i] = static_cast<int16_t>(any(rng));
            }
        } else {
            for (int i = 0; i < 64; ++i) {
                coef[i] = static_cast<int16_t>(kind == 0 || rng() % 3 == 0 ? small(rng) : 0);
                quant[i] = static_cast<uint16_t>(q(rng));
            }
            JpegPrescaleQuant(quant, prescaled);
        }
        std::memset(a, 0xAA, sizeof(a));
        std::memset(b, 0xAA, sizeof(b));
        JpegIdctFast(coef, prescaled, a, 13);
        JpegIdctFastPortable(coef, prescaled, b, 13);
        ASSERT_EQ(std::memcmp(a, b, sizeof(a)), 0) << "round " << round;
    }
    std::printf("fast transform uses SSE2: %s\n", JpegIdctFastUsesSse2() ? "yes" : "no");
}

TEST(JpegKernels, TransformsFollowTheExactInverseDct)
{
    std::mt19937 rng(99);
    int16_t coef[64], prescaled[64];
    uint16_t quant[64];
    uint8_t plain[64], fast[64];
    double exact[64];
    int worstPlain = 0, worstFast = 0;
    double fastSquares = 0;
    for (int round = 0; round < 3000; ++round) {
        TypicalBlock(rng, coef, quant);
        JpegPrescaleQuant(quant, prescaled);
        ReferenceIdct(coef, quant, exact);
        JpegIdctPlain(coef, quant, plain, 8);
        JpegIdctFast(coef, prescaled, fast, 8);
        for (int i = 0; i < 64; ++i) {
            double e = std::fmin(255.0, std::fmax(0.0, exact[i]));
            worstPlain = std::max(worstPlain, static_cast<int>(std::ceil(std::fabs(plain[i] - e) - 0.5)));
            worstFast = std::max(worstFast, static_cast<int>(std::ceil(std::fabs(fast[i] - e) - 0.5)));
            fastSquares += (fast[i] - e) * (fast[i] - e);
        }
    }
    EXPECT_LE(worstPlain, 1);
    EXPECT_LE(worstFast, 4);
    EXPECT_LT(fastSquares / (3000.0 * 64), 1.0);  // mean squared error under one level
}

TEST(JpegKernels, DcOnlyShortcutsMatchTheFullTransforms)
{
    int16_t coef[64] = {};
    int16_t prescaled[64];
    uint16_t quant[64];
    uint8_t full[64], shortcut[64];
    std::mt19937 rng(5);
    for (int dc = -2048; dc <= 2047; dc += 3) {
        for (int i = 0; i < 64; ++i) quant[i] = static_cast<uint16_t>(1 + rng() % 255);
        JpegPrescaleQuant(quant, prescaled);
        coef[0] = static_cast<int16_t>(dc / (1 + quant[0] / 8));
        JpegIdctPlain(coef, quant, full, 8);
        JpegIdctPlainDcOnly(coef[0], quant[0], shortcut, 8);
        ASSERT_EQ(std::memcmp(full, shortcut, 64), 0) << "plain, dc " << coef[0];
        JpegIdctFast(coef, prescaled, full, 8);
        JpegIdctFastDcOnly(coef[0], prescaled[0], shortcut, 8);
        ASSERT_EQ(std::memcmp(full, shortcut, 64), 0) << "fast, dc " << coef[0];
    }
}

TEST(JpegKernels, ColourConversionMatchesTheTables)
{
    JpegColourTables tables;
    JpegBuildColourTables(tables);
    // The tables themselves: pure red, green and blue in YCbCr come back within a level.
    EXPECT_EQ(tables.redFromCr[128], 0);
    EXPECT_EQ(tables.blueFromCb[255], 225);
    std::mt19937 rng(77);
    uint8_t y[128], cb[128], cr[128];
    uint8_t a[130 * 4], b[130 * 4];
    for (int round = 0; round < 500; ++round) {
        for (int i = 0; i < 128; ++i) {
            y[i] = static_cast<uint8_t>(rng());
            cb[i] = static_cast<uint8_t>(rng());
            cr[i] = static_cast<uint8_t>(rng());
        }
        int count = 1 + static_cast<int>(rng() % 100);
        for (int shift = 0; shift < 2; ++shift) {
            std::memset(a, 0x55, sizeof(a));
            std::memset(b, 0x55, sizeof(b));
            JpegConvertLine(tables, y, cb, cr, shift, count, a);
            JpegConvertLinePortable(tables, y, cb, cr, shift, count, b);
            ASSERT_EQ(std::memcmp(a, b, static_cast<size_t>(count) * 4), 0) << "round " << round;
        }
    }
    // Clamping: full-range extremes.
    uint8_t one[16 * 4];
    uint8_t yy[16] = {255, 0}, bb[16] = {255, 0}, rr[16] = {255, 0};
    JpegConvertLine(tables, yy, bb, rr, 0, 2, one);
    EXPECT_EQ(one[0], 255);  // R of Y 255 with Cr 255
    EXPECT_EQ(one[2], 255);  // B
    EXPECT_EQ(one[4], 0);    // R of Y 0 with Cr 0
    EXPECT_EQ(one[7], 0);    // the fourth byte
}
