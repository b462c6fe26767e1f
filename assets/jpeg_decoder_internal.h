// Private to the JPEG decoder's stage files (jpeg_decoder, jpeg_markers, jpeg_entropy, jpeg_output): the
// zig-zag order, limits, marker codes, small arithmetic helpers and the bit reader's inline fast paths that
// more than one stage needs. Depends on assets/jpeg_decoder.h and assets/jpeg_idct.h.
#pragma once
#include <cstdint>
#include <cstring>

#include "assets/jpeg_decoder.h"
#include "assets/jpeg_idct.h"

namespace jpegdec {

// Natural position of each zig-zag index; the extra entries catch a position index up to 79.
inline constexpr uint8_t kZigzag[80] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                        12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                        35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                        58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
                                        63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63};

inline constexpr int kRestartSearchLimit = 1536;
inline constexpr int kEndSearchLimit = 4096;
inline constexpr int kMaxMcuBlocks = 10;
inline constexpr int kMaxScans = 1000;
inline constexpr int kLinePadding =
    64;  // bytes past every line and sample row that the SSE2 kernels may touch
inline constexpr int32_t kUnassignedCode = 8 << 8;  // lookahead entry of no code: symbol 0 after 8 bits

enum Marker : int {
    kSof0 = 0xC0,
    kSof1 = 0xC1,
    kSof2 = 0xC2,
    kDht = 0xC4,
    kJpg = 0xC8,
    kSof9 = 0xC9,
    kDac = 0xCC,
    kRst0 = 0xD0,
    kRst7 = 0xD7,
    kSoi = 0xD8,
    kEoi = 0xD9,
    kSos = 0xDA,
    kDqt = 0xDB,
    kDri = 0xDD,
    kTem = 0x01,
};

inline int16_t Wrap16(int v)
{
    return static_cast<int16_t>(static_cast<uint16_t>(v));
}
inline int Extend(int value, int size)
{
    return value < (1 << (size - 1)) ? value - (1 << size) + 1 : value;
}
inline uint8_t Clamp255(int v)
{
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

inline uint64_t LoadBigEndian64(const uint8_t* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return __builtin_bswap64(v);
}

}  // namespace jpegdec

// ---------------------------------------------------------------------------------------------------
// The bit reader's fast paths (the rest is in jpeg_markers.cpp) and the block transform, inline where the
// stages decode and transform blocks.
// ---------------------------------------------------------------------------------------------------
// Bits are kept left-aligned: the next bit to read is bit 63.
inline bool JpegDecoder::TakeWholeBytes(uint64_t& buf, int& bits)
{
    // As many whole bytes as fit below the bits held, in one load, when none of them is FF (no
    // stuffing and no marker to look after). Needs fewer than 32 bits held, so at least 4 bytes fit.
    if (markerHit || bits >= 32 || inputEnd - inputPos < 12) return false;
    int take = (63 - bits) >> 3;
    uint64_t word = jpegdec::LoadBigEndian64(input + inputPos);
    uint64_t mask = ~uint64_t{0} << (64 - 8 * take);
    uint64_t probe = ~word | ~mask;  // zero bytes where the data has FF
    if ((((probe - 0x0101010101010101ull) & ~probe) & 0x8080808080808080ull) != 0) return false;
    buf |= (word & mask) >> bits;
    bits += 8 * take;
    inputPos += take;
    return true;
}

inline int JpegDecoder::GetBits(int count)
{
    if (count == 0) return 0;
    if (bitCount < count) FillBits();
    int v = static_cast<int>(bitBuffer >> (64 - count));
    bitBuffer <<= count;
    bitCount -= count;
    return v;
}

inline int JpegDecoder::GetBit()
{
    if (bitCount < 1) FillBits();
    int v = static_cast<int>(bitBuffer >> 63);
    bitBuffer <<= 1;
    bitCount -= 1;
    return v;
}

inline int JpegDecoder::DecodeSymbol(const HuffmanLookup& table)
{
    if (bitCount < 16) FillBits();
    int32_t entry = table.lookahead[bitBuffer >> 56];
    if (entry >= 0) {
        int length = entry >> 8;
        bitBuffer <<= length;
        bitCount -= length;
        return entry & 255;
    }
    return DecodeSymbolSlow(table);
}

inline void JpegDecoder::TransformBlock(const int16_t* block, const Component& c, uint8_t* out, int stride,
                                        int lastZag)
{
    const QuantTable& q = *quant[c.quantTable];
    if (fastPath) {
        if (lastZag == 0)
            JpegIdctFastDcOnly(block[0], q.prescaled[0], out, stride);
        else
            JpegIdctFast(block, q.prescaled, out, stride);
    } else {
        if (lastZag == 0)
            JpegIdctPlainDcOnly(block[0], q.natural[0], out, stride);
        else
            JpegIdctPlain(block, q.natural, out, stride);
    }
}
