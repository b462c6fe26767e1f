// Inverse DCT kernels of the JPEG decoder. The fast transform is the Arai-Agui-Nakajima factorisation on
// 16-bit lanes with wrapping arithmetic, so the SSE2 and portable versions agree bit for bit; the plain
// transform is the Loeffler-Ligtenberg-Moschytz factorisation with 13-bit constants in 64-bit sums.
#include "assets/jpeg_idct.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// ---------------------------------------------------------------------------------------------------
// Fast transform: shared constants (fractions of 16384, applied as high halves of operand << 2).
// ---------------------------------------------------------------------------------------------------
constexpr int16_t kFix1414 = 23170;    // sqrt(2)
constexpr int16_t kFixM0765 = -12540;  // 1.082392 - 1.847759
constexpr int16_t kFix1847 = 30273;    // 1.847759
constexpr int16_t kFixM1847 =
    -30353;  // about -1.8526, a little off -1.847759 (-30274) with no measurable effect

struct AanScale {
    int16_t s[64];
    AanScale()
    {
        const double pi = 3.14159265358979323846;
        double a[8];
        a[0] = 1.0;
        for (int k = 1; k < 8; ++k) a[k] = std::sqrt(2.0) * std::cos(k * pi / 16.0);
        for (int u = 0; u < 8; ++u)
            for (int v = 0; v < 8; ++v)
                s[u * 8 + v] = static_cast<int16_t>(std::lround(16384.0 * a[u] * a[v]));
    }
};
const AanScale kAanScale;

inline int16_t Wrap(int v)
{
    return static_cast<int16_t>(static_cast<uint16_t>(v));
}
inline int16_t MulFix(int16_t x, int16_t c)
{
    int16_t shifted = Wrap(x * 4);
    return static_cast<int16_t>((static_cast<int32_t>(shifted) * c) >> 16);
}
inline uint8_t PackSample(int16_t x)
{
    int v = (x >> 5) + 128;  // cannot saturate in 16 bits: |x >> 5| <= 1024
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// One 1-D pass over 8 values taken stride apart, in place.
void AanPass(int16_t* d, int stride)
{
    int16_t in[8];
    for (int k = 0; k < 8; ++k) in[k] = d[k * stride];

    int16_t t10 = Wrap(in[0] + in[4]);
    int16_t t11 = Wrap(in[0] - in[4]);
    int16_t t13 = Wrap(in[2] + in[6]);
    int16_t t12 = Wrap(MulFix(Wrap(in[2] - in[6]), kFix1414) - t13);
    int16_t e0 = Wrap(t10 + t13), e3 = Wrap(t10 - t13);
    int16_t e1 = Wrap(t11 + t12), e2 = Wrap(t11 - t12);

    int16_t z13 = Wrap(in[5] + in[3]);
    int16_t z10 = Wrap(in[5] - in[3]);
    int16_t z11 = Wrap(in[1] + in[7]);
    int16_t z12 = Wrap(in[1] - in[7]);
    int16_t o7 = Wrap(z11 + z13);
    int16_t o11 = MulFix(Wrap(z11 - z13), kFix1414);
    int16_t o10 = Wrap(MulFix(z12, kFixM0765) + MulFix(z10, kFixM1847));
    int16_t o12 = Wrap(MulFix(z12, kFix1847) + MulFix(z10, kFixM0765));
    int16_t o6 = Wrap(o12 - o7);
    int16_t o5 = Wrap(o11 - o6);
    int16_t o4 = Wrap(o10 + o5);

    d[0 * stride] = Wrap(e0 + o7);
    d[7 * stride] = Wrap(e0 - o7);
    d[1 * stride] = Wrap(e1 + o6);
    d[6 * stride] = Wrap(e1 - o6);
    d[2 * stride] = Wrap(e2 + o5);
    d[5 * stride] = Wrap(e2 - o5);
    d[4 * stride] = Wrap(e3 + o4);
    d[3 * stride] = Wrap(e3 - o4);
}

#if defined(__SSE2__)
inline __attribute__((always_inline)) __m128i MulFixV(__m128i x, __m128i c)
{
    return _mm_mulhi_epi16(_mm_slli_epi16(x, 2), c);
}

inline __attribute__((always_inline)) void AanPassV(__m128i* r)
{
    const __m128i c1414 = _mm_set1_epi16(kFix1414);
    const __m128i cm0765 = _mm_set1_epi16(kFixM0765);
    const __m128i c1847 = _mm_set1_epi16(kFix1847);
    const __m128i cm1847 = _mm_set1_epi16(kFixM1847);

    __m128i t10 = _mm_add_epi16(r[0], r[4]);
    __m128i t11 = _mm_sub_epi16(r[0], r[4]);
    __m128i t13 = _mm_add_epi16(r[2], r[6]);
    __m128i t12 = _mm_sub_epi16(MulFixV(_mm_sub_epi16(r[2], r[6]), c1414), t13);
    __m128i e0 = _mm_add_epi16(t10, t13), e3 = _mm_sub_epi16(t10, t13);
    __m128i e1 = _mm_add_epi16(t11, t12), e2 = _mm_sub_epi16(t11, t12);

    __m128i z13 = _mm_add_epi16(r[5], r[3]);
    __m128i z10 = _mm_sub_epi16(r[5], r[3]);
    __m128i z11 = _mm_add_epi16(r[1], r[7]);
    __m128i z12 = _mm_sub_epi16(r[1], r[7]);
    __m128i o7 = _mm_add_epi16(z11, z13);
    __m128i o11 = MulFixV(_mm_sub_epi16(z11, z13), c1414);
    __m128i o10 = _mm_add_epi16(MulFixV(z12, cm0765), MulFixV(z10, cm1847));
    __m128i o12 = _mm_add_epi16(MulFixV(z12, c1847), MulFixV(z10, cm0765));
    __m128i o6 = _mm_sub_epi16(o12, o7);
    __m128i o5 = _mm_sub_epi16(o11, o6);
    __m128i o4 = _mm_add_epi16(o10, o5);

    r[0] = _mm_add_epi16(e0, o7);
    r[7] = _mm_sub_epi16(e0, o7);
    r[1] = _mm_add_epi16(e1, o6);
    r[6] = _mm_sub_epi16(e1, o6);
    r[2] = _mm_add_epi16(e2, o5);
    r[5] = _mm_sub_epi16(e2, o5);
    r[4] = _mm_add_epi16(e3, o4);
    r[3] = _mm_sub_epi16(e3, o4);
}

inline __attribute__((always_inline)) void Transpose8x8(__m128i* r)
{
    __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]), a1 = _mm_unpackhi_epi16(r[0], r[1]);
    __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]), a3 = _mm_unpackhi_epi16(r[2], r[3]);
    __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]), a5 = _mm_unpackhi_epi16(r[4], r[5]);
    __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]), a7 = _mm_unpackhi_epi16(r[6], r[7]);
    __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
    __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
    __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
    __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
    r[0] = _mm_unpacklo_epi64(b0, b4);
    r[1] = _mm_unpackhi_epi64(b0, b4);
    r[2] = _mm_unpacklo_epi64(b1, b5);
    r[3] = _mm_unpackhi_epi64(b1, b5);
    r[4] = _mm_unpacklo_epi64(b2, b6);
    r[5] = _mm_unpackhi_epi64(b2, b6);
    r[6] = _mm_unpacklo_epi64(b3, b7);
    r[7] = _mm_unpackhi_epi64(b3, b7);
}
#endif

// ---------------------------------------------------------------------------------------------------
// Plain transform.
// ---------------------------------------------------------------------------------------------------
constexpr int64_t kF0298 = 2446, kF0390 = 3196, kF0541 = 4433, kF0765 = 6270, kF0899 = 7373, kF1175 = 9633,
                  kF1501 = 12299, kF1847 = 15137, kF1961 = 16069, kF2053 = 16819, kF2562 = 20995,
                  kF3072 = 25172;

// The 1-D transform of the accurate path, in 13-bit fixed point; out[] is scaled by 2^13.
inline void LlmPass(const int64_t* in, int64_t* out)
{
    int64_t z1 = (in[2] + in[6]) * kF0541;
    int64_t tmp2 = z1 - in[6] * kF1847;
    int64_t tmp3 = z1 + in[2] * kF0765;
    int64_t tmp0 = (in[0] + in[4]) * 8192;
    int64_t tmp1 = (in[0] - in[4]) * 8192;
    int64_t tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3;
    int64_t tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;

    int64_t t0 = in[7], t1 = in[5], t2 = in[3], t3 = in[1];
    z1 = t0 + t3;
    int64_t z2 = t1 + t2, z3 = t0 + t2, z4 = t1 + t3;
    int64_t z5 = (z3 + z4) * kF1175;
    t0 *= kF0298;
    t1 *= kF2053;
    t2 *= kF3072;
    t3 *= kF1501;
    z1 *= -kF0899;
    z2 *= -kF2562;
    z3 = z3 * -kF1961 + z5;
    z4 = z4 * -kF0390 + z5;
    t0 += z1 + z3;
    t1 += z2 + z4;
    t2 += z2 + z3;
    t3 += z1 + z4;

    out[0] = tmp10 + t3;
    out[7] = tmp10 - t3;
    out[1] = tmp11 + t2;
    out[6] = tmp11 - t2;
    out[2] = tmp12 + t1;
    out[5] = tmp12 - t1;
    out[3] = tmp13 + t0;
    out[4] = tmp13 - t0;
}

inline uint8_t ClampSample(int64_t v)
{
    v += 128;
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

}  // namespace

void JpegPrescaleQuant(const uint16_t natural[64], int16_t prescaled[64])
{
    for (int n = 0; n < 64; ++n) {
        int32_t v = (static_cast<int32_t>(kAanScale.s[n]) * natural[n] + 2048) >> 12;
        // Only 16-bit tables of absurd values get here; saturating keeps the product's sign sensible.
        prescaled[n] = static_cast<int16_t>(v > 32767 ? 32767 : v);
    }
}

void JpegIdctFastPortable(const int16_t* coefficients, const int16_t* prescaled, uint8_t* out, int stride)
{
    int16_t w[64];
    for (int i = 0; i < 64; ++i) w[i] = Wrap(coefficients[i] * prescaled[i]);
    for (int c = 0; c < 8; ++c) AanPass(w + c, 8);
    for (int r = 0; r < 8; ++r) AanPass(w + r * 8, 1);
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) out[r * stride + c] = PackSample(w[r * 8 + c]);
}

void JpegIdctFast(const int16_t* coefficients, const int16_t* prescaled, uint8_t* out, int stride)
{
#if defined(__SSE2__)
    __m128i r[8];
    for (int k = 0; k < 8; ++k) {
        __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefficients + k * 8));
        __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prescaled + k * 8));
        r[k] = _mm_mullo_epi16(c, q);
    }
    AanPassV(r);
    Transpose8x8(r);
    AanPassV(r);
    Transpose8x8(r);
    const __m128i bias = _mm_set1_epi16(128);
    for (int k = 0; k < 8; k += 2) {
        __m128i a = _mm_adds_epi16(_mm_srai_epi16(r[k], 5), bias);
        __m128i b = _mm_adds_epi16(_mm_srai_epi16(r[k + 1], 5), bias);
        __m128i packed = _mm_packus_epi16(a, b);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k * stride), packed);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (k + 1) * stride), _mm_srli_si128(packed, 8));
    }
#else
    JpegIdctFastPortable(coefficients, prescaled, out, stride);
#endif
}

void JpegIdctFastDcOnly(int16_t dc, int16_t prescaledDc, uint8_t* out, int stride)
{
    // Both passes carry a lone DC term through unchanged.
    uint8_t v = PackSample(Wrap(dc * prescaledDc));
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) out[r * stride + c] = v;
}

bool JpegIdctFastUsesSse2()
{
#if defined(__SSE2__)
    return true;
#else
    return false;
#endif
}

void JpegIdctPlain(const int16_t* coefficients, const uint16_t* quant, uint8_t* out, int stride)
{
    int64_t work[64];
    int64_t in[8], res[8];
    // Columns: results keep 2 extra fraction bits.
    for (int c = 0; c < 8; ++c) {
        bool acZero = true;
        for (int k = 1; k < 8; ++k) acZero &= coefficients[k * 8 + c] == 0;
        if (acZero) {
            int64_t dc = static_cast<int64_t>(coefficients[c]) * quant[c] * 4;
            for (int k = 0; k < 8; ++k) work[k * 8 + c] = dc;
            continue;
        }
        for (int k = 0; k < 8; ++k) in[k] = static_cast<int64_t>(coefficients[k * 8 + c]) * quant[k * 8 + c];
        LlmPass(in, res);
        for (int k = 0; k < 8; ++k) work[k * 8 + c] = (res[k] + 1024) >> 11;
    }
    // Rows: remove the 13 constant bits, the 2 fraction bits and the factor 8 of the 2-D transform.
    for (int r = 0; r < 8; ++r) {
        const int64_t* w = work + r * 8;
        uint8_t* o = out + r * stride;
        if (w[1] == 0 && w[2] == 0 && w[3] == 0 && w[4] == 0 && w[5] == 0 && w[6] == 0 && w[7] == 0) {
            uint8_t v = ClampSample((w[0] + 16) >> 5);
            for (int c = 0; c < 8; ++c) o[c] = v;
            continue;
        }
        LlmPass(w, res);
        for (int c = 0; c < 8; ++c) o[c] = ClampSample((res[c] + (int64_t{1} << 17)) >> 18);
    }
}

void JpegIdctPlainDcOnly(int16_t dc, uint16_t quantDc, uint8_t* out, int stride)
{
    uint8_t v = ClampSample((static_cast<int64_t>(dc) * quantDc * 4 + 16) >> 5);
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) out[r * stride + c] = v;
}
