// JPEG decoding, output and colour. Contract: the frame set-up checks the sampling and sizes the
// buffers (one MCU row of samples per component, padded for the SSE2 kernels); a buffered picture's rows
// are transformed from its coefficient planes; every delivered line is grey bytes or R, G, B, 0 with
// chroma replicated over the luminance sampling, converted with the tables of jpeg_decoder.h (SSE2 and
// the plain loop give the same bytes). Depends on assets/jpeg_decoder_internal.h.
#include <cstring>

#include "assets/jpeg_decoder_internal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using namespace jpegdec;

namespace {

bool BlockHasOnlyDc(const int16_t* block)
{
    uint64_t acc = 0, w;
    std::memcpy(&w, block, 8);
    acc |= w & ~uint64_t{0xFFFF};
    for (int i = 4; i < 64; i += 4) {
        std::memcpy(&w, block + i, 8);
        acc |= w;
    }
    return acc == 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Colour conversion.
// ---------------------------------------------------------------------------------------------------
void JpegBuildColourTables(JpegColourTables& t)
{
    for (int i = 0; i < 256; ++i) {
        int c = i - 128;
        t.redFromCr[i] = (91882 * c + 32768) >> 16;
        t.blueFromCb[i] = (116130 * c + 32768) >> 16;
        t.greenFromCr[i] = -46802 * c;
        t.greenFromCb[i] = -22554 * c + 32768;
    }
}

void JpegConvertLinePortable(const JpegColourTables& t, const uint8_t* y, const uint8_t* cb,
                             const uint8_t* cr, int chromaShift, int count, uint8_t* rgbx)
{
    for (int x = 0; x < count; ++x) {
        int l = y[x], b = cb[x >> chromaShift], r = cr[x >> chromaShift];
        rgbx[0] = Clamp255(l + t.redFromCr[r]);
        rgbx[1] = Clamp255(l + ((t.greenFromCb[b] + t.greenFromCr[r]) >> 16));
        rgbx[2] = Clamp255(l + t.blueFromCb[b]);
        rgbx[3] = 0;
        rgbx += 4;
    }
}

#if defined(__SSE2__)
namespace {
// The table formulas split so that every multiplier fits 16 bits, with the same rounding:
//   R = Y + cr + ((26346 cr + 32768) >> 16)              (91882 = 65536 + 26346)
//   B = Y + 2 cb + ((-14942 cb + 32768) >> 16)           (116130 = 131072 - 14942)
//   G = Y - cr + ((-22554 cb + 18734 cr + 32768) >> 16)  (-46802 = -65536 + 18734)
// cb and cr arrive as eight 16-bit values minus 128; the results are the chroma terms added to Y.
inline __attribute__((always_inline)) void ChromaTerms(__m128i cb, __m128i cr, __m128i* r, __m128i* g,
                                                       __m128i* b)
{
    const __m128i one = _mm_set1_epi16(1);
    // The (value, 1) x (k, -32768) pairs add -32768; adding 65536 afterwards leaves + 32768.
    const __m128i redK = _mm_set_epi16(-32768, 26346, -32768, 26346, -32768, 26346, -32768, 26346);
    const __m128i blueK = _mm_set_epi16(-32768, -14942, -32768, -14942, -32768, -14942, -32768, -14942);
    const __m128i greenK = _mm_set_epi16(18734, -22554, 18734, -22554, 18734, -22554, 18734, -22554);
    const __m128i round = _mm_set1_epi32(32768);
    const __m128i fix = _mm_set1_epi32(65536);
    __m128i rLo = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(cr, one), redK), fix), 16);
    __m128i rHi = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(cr, one), redK), fix), 16);
    __m128i bLo = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(cb, one), blueK), fix), 16);
    __m128i bHi = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(cb, one), blueK), fix), 16);
    __m128i gLo =
        _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(cb, cr), greenK), round), 16);
    __m128i gHi =
        _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(cb, cr), greenK), round), 16);
    *r = _mm_add_epi16(cr, _mm_packs_epi32(rLo, rHi));
    *b = _mm_add_epi16(_mm_add_epi16(cb, cb), _mm_packs_epi32(bLo, bHi));
    *g = _mm_sub_epi16(_mm_packs_epi32(gLo, gHi), cr);
}

// 16 pixels: Y as two halves of eight 16-bit values plus their chroma terms, stored as R, G, B, 0.
inline __attribute__((always_inline)) void StoreSixteen(__m128i yLo, __m128i yHi, __m128i rLo, __m128i rHi,
                                                        __m128i gLo, __m128i gHi, __m128i bLo, __m128i bHi,
                                                        uint8_t* out)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i r = _mm_packus_epi16(_mm_add_epi16(yLo, rLo), _mm_add_epi16(yHi, rHi));
    __m128i g = _mm_packus_epi16(_mm_add_epi16(yLo, gLo), _mm_add_epi16(yHi, gHi));
    __m128i b = _mm_packus_epi16(_mm_add_epi16(yLo, bLo), _mm_add_epi16(yHi, bHi));
    __m128i rgLo = _mm_unpacklo_epi8(r, g), rgHi = _mm_unpackhi_epi8(r, g);
    __m128i bxLo = _mm_unpacklo_epi8(b, zero), bxHi = _mm_unpackhi_epi8(b, zero);
    __m128i* o = reinterpret_cast<__m128i*>(out);
    _mm_storeu_si128(o + 0, _mm_unpacklo_epi16(rgLo, bxLo));
    _mm_storeu_si128(o + 1, _mm_unpackhi_epi16(rgLo, bxLo));
    _mm_storeu_si128(o + 2, _mm_unpacklo_epi16(rgHi, bxHi));
    _mm_storeu_si128(o + 3, _mm_unpackhi_epi16(rgHi, bxHi));
}
}  // namespace
#endif

void JpegConvertLine(const JpegColourTables& t, const uint8_t* y, const uint8_t* cb, const uint8_t* cr,
                     int chromaShift, int count, uint8_t* rgbx)
{
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i bias = _mm_set1_epi16(128);
    for (int x = 0; x < count; x += 16) {
        __m128i yv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + x));
        __m128i yLo = _mm_unpacklo_epi8(yv, zero), yHi = _mm_unpackhi_epi8(yv, zero);
        __m128i r0, g0, b0, r1, g1, b1;
        if (chromaShift) {
            // Eight chroma samples serve sixteen pixels: compute once, then double each term.
            __m128i c = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cb + (x >> 1)));
            __m128i cbv = _mm_sub_epi16(_mm_unpacklo_epi8(c, zero), bias);
            c = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cr + (x >> 1)));
            __m128i crv = _mm_sub_epi16(_mm_unpacklo_epi8(c, zero), bias);
            __m128i r, g, b;
            ChromaTerms(cbv, crv, &r, &g, &b);
            r0 = _mm_unpacklo_epi16(r, r), r1 = _mm_unpackhi_epi16(r, r);
            g0 = _mm_unpacklo_epi16(g, g), g1 = _mm_unpackhi_epi16(g, g);
            b0 = _mm_unpacklo_epi16(b, b), b1 = _mm_unpackhi_epi16(b, b);
        } else {
            __m128i cbv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cb + x));
            __m128i crv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cr + x));
            ChromaTerms(_mm_sub_epi16(_mm_unpacklo_epi8(cbv, zero), bias),
                        _mm_sub_epi16(_mm_unpacklo_epi8(crv, zero), bias), &r0, &g0, &b0);
            ChromaTerms(_mm_sub_epi16(_mm_unpackhi_epi8(cbv, zero), bias),
                        _mm_sub_epi16(_mm_unpackhi_epi8(crv, zero), bias), &r1, &g1, &b1);
        }
        StoreSixteen(yLo, yHi, r0, r1, g0, g1, b0, b1, rgbx + x * 4);
    }
#else
    JpegConvertLinePortable(t, y, cb, cr, chromaShift, count, rgbx);
#endif
}

// ---------------------------------------------------------------------------------------------------
// Frame set-up, rows from the coefficient planes, and lines.
// ---------------------------------------------------------------------------------------------------
bool JpegDecoder::SetUpFrame()
{
    static const int kMcuBlocks[5] = {1, 3, 4, 4, 6};
    if (componentCount == 1) {
        scanType = 0;
        components[0].h = components[0].v = 1;  // a lone component is never interleaved
    } else if (componentCount == 3) {
        const Component& y = components[0];
        for (int i = 1; i < 3; ++i)
            if (components[i].h != 1 || components[i].v != 1) return Fail(kJpegSamplingUnsupported);
        if (y.h == 1 && y.v == 1)
            scanType = 1;
        else if (y.h == 2 && y.v == 1)
            scanType = 2;
        else if (y.h == 1 && y.v == 2)
            scanType = 3;
        else if (y.h == 2 && y.v == 2)
            scanType = 4;
        else
            return Fail(kJpegSamplingUnsupported);
    } else {
        return Fail(kJpegComponentCountUnsupported);
    }
    maxH = components[0].h;
    maxV = components[0].v;
    blocksPerMcu = kMcuBlocks[scanType];
    mcuWidth = 8 * maxH;
    mcuHeight = 8 * maxV;
    mcusPerRow = (width + mcuWidth - 1) / mcuWidth;
    mcusPerColumn = (height + mcuHeight - 1) / mcuHeight;
    if (blocksPerMcu * mcusPerRow > kMaxBlocksPerMcuRow) return Fail(kJpegTooManyBlocks);

    for (int i = 0; i < componentCount; ++i) {
        Component& c = components[i];
        c.blocksAcross = ((width * c.h + maxH - 1) / maxH + 7) / 8;
        c.blocksDown = ((height * c.v + maxV - 1) / maxV + 7) / 8;
        c.sampleStride = mcusPerRow * c.h * 8 + kLinePadding;
        c.samples =
            static_cast<uint8_t*>(Allocate(static_cast<size_t>(c.sampleStride) * c.v * 8 + kLinePadding));
        if (!c.samples) return false;
    }
    lineBytes = width * BytesPerPixel();
    if (componentCount == 3) {
        line = static_cast<uint8_t*>(Allocate(static_cast<size_t>((width + 15) & ~15) * 4 + kLinePadding));
        if (!line) return false;
    }
    coefficients = static_cast<int16_t*>(Allocate(sizeof(int16_t) * 64 * kMaxMcuBlocks));
    if (!coefficients) return false;
    linesLeft = height;
    mcuLinesLeft = 0;
    mcuRow = 0;
    JpegBuildColourTables(colour);
    return true;
}

bool JpegDecoder::AssembleMcuRow()
{
    for (int i = 0; i < componentCount; ++i) {
        Component& c = components[i];
        if (c.quantTable >= 4 || !quant[c.quantTable]) {
            // No scan ever named this component: its samples stay mid-grey.
            std::memset(c.samples, 128, static_cast<size_t>(c.sampleStride) * c.v * 8);
            continue;
        }
        int rowOfBlocks = mcuRow * c.v;
        for (int by = 0; by < c.v; ++by) {
            const int16_t* planeRow = c.plane + static_cast<size_t>(rowOfBlocks + by) * c.planeAcross * 64;
            uint8_t* outRow = c.samples + by * 8 * c.sampleStride;
            for (int bx = 0; bx < mcusPerRow * c.h; ++bx) {
                const int16_t* block = planeRow + bx * 64;
                TransformBlock(block, c, outRow + bx * 8, c.sampleStride, BlockHasOnlyDc(block) ? 0 : 63);
            }
        }
    }
    ++mcuRow;
    return true;
}

void JpegDecoder::ConvertLine(int lineInMcu)
{
    const Component& y = components[0];
    const Component& cb = components[1];
    const Component& cr = components[2];
    int chromaRow = maxV == 2 ? lineInMcu >> 1 : lineInMcu;
    JpegConvertLine(colour, y.samples + lineInMcu * y.sampleStride, cb.samples + chromaRow * cb.sampleStride,
                    cr.samples + chromaRow * cr.sampleStride, maxH == 2 ? 1 : 0, width, line);
}
