// JPEG decoding, entropy decoding. Contract: Huffman lookups are built from tables the marker reader has
// already checked; a sequential scan is decoded one MCU row at a time into the components' sample rows
// (each block transformed as soon as it is decoded), while a progressive picture, or one in several
// sequential scans, is decoded whole into per-component coefficient planes (DC and AC first passes and
// refinements, T.81 G.1.2). A run past coefficient 63 or a bad refinement value is error -227; reads never
// leave the coefficient buffers. Depends on assets/jpeg_decoder_internal.h.
#include <cstring>

#include "assets/jpeg_decoder_internal.h"

using namespace jpegdec;

// ---------------------------------------------------------------------------------------------------
// Huffman lookups, built at the start of every scan.
// ---------------------------------------------------------------------------------------------------
void JpegDecoder::BuildHuffmanLookup(const HuffmanTable& table, HuffmanLookup& out)
{
    for (int32_t& e : out.lookahead) e = kUnassignedCode;
    std::memset(out.lengths, 0, sizeof(out.lengths));
    std::memset(out.tree, 0, sizeof(out.tree));
    int nextNode = 0;
    int code = 0, k = 0;
    for (int len = 1; len <= 16; ++len) {
        for (int i = 0; i < table.counts[len]; ++i, ++code) {
            if (code >= (1 << len) || k >= 256) return;  // refused when the table was read
            int symbol = table.values[k++];
            out.lengths[symbol] = static_cast<uint8_t>(len);
            if (len <= 8) {
                int first = code << (8 - len);
                for (int j = 0; j < (1 << (8 - len)); ++j) out.lookahead[first + j] = symbol | (len << 8);
                continue;
            }
            int32_t* link = &out.lookahead[code >> (len - 8)];
            for (int bit = len - 9; bit >= 0; --bit) {
                if (*link >= 0) {
                    if (nextNode + 2 > 512) return;
                    *link = -(nextNode + 1);
                    nextNode += 2;
                }
                link = &out.tree[-*link - 1 + ((code >> bit) & 1)];
            }
            *link = symbol;
        }
        code <<= 1;
    }
}

void JpegDecoder::BuildFastAc(const HuffmanTable& table, int32_t* fast)
{
    // Entry for 9 peeked bits: value << 16 | run << 8 | bits used, for codes whose value fits too.
    std::memset(fast, 0, sizeof(int32_t) * 512);
    int code = 0, k = 0;
    for (int len = 1; len <= 9; ++len) {
        for (int i = 0; i < table.counts[len]; ++i, ++code) {
            if (code >= (1 << len) || k >= 256) return;
            int symbol = table.values[k++];
            int run = symbol >> 4, size = symbol & 15;
            if (size == 0 || len + size > 9) continue;
            int free = 9 - len - size;
            for (int tail = 0; tail < (1 << (9 - len)); ++tail) {
                int index = (code << (9 - len)) | tail;
                int value = Extend(tail >> free, size);
                fast[index] =
                    static_cast<int32_t>(static_cast<uint32_t>(value) << 16) | (run << 8) | (len + size);
            }
        }
        code <<= 1;
    }
}

// ---------------------------------------------------------------------------------------------------
// Sequential scans: one MCU row at a time.
// ---------------------------------------------------------------------------------------------------
namespace {
// One symbol from a local copy of the bit buffer holding at least 16 bits.
inline __attribute__((always_inline)) int TakeSymbol(const int32_t* lookahead, const int32_t* tree,
                                                     uint64_t& buf, int& bits)
{
    int32_t entry = lookahead[buf >> 56];
    if (entry >= 0) {
        int length = entry >> 8;
        buf <<= length;
        bits -= length;
        return entry & 255;
    }
    buf <<= 8;
    bits -= 8;
    for (int depth = 0; depth < 8; ++depth) {
        int32_t next = tree[-entry - 1 + static_cast<int>(buf >> 63)];
        buf <<= 1;
        bits -= 1;
        if (next >= 0) return next;
        entry = next;
    }
    return 0;
}
}  // namespace

inline void JpegDecoder::FillLocal(uint64_t& buf, int& bits)
{
    if (TakeWholeBytes(buf, bits)) return;
    bitBuffer = buf;
    bitCount = bits;
    FillBits();
    buf = bitBuffer;
    bits = bitCount;
}

bool JpegDecoder::DecodeBlock(int16_t* block, Component& c, int* lastZag)
{
    // The bit buffer lives in locals here; every refill leaves at least 32 bits, enough for a code
    // (16 bits at most) and its value (16 at most).
    const HuffmanLookup& dc = lookup[c.dcTable];
    const HuffmanLookup& ac = lookup[c.acTable];
    const int32_t* fast = acFast[c.acTable & 3];
    uint64_t buf = bitBuffer;
    int bits = bitCount;
    if (bits < 32) FillLocal(buf, bits);
    int size = TakeSymbol(dc.lookahead, dc.tree, buf, bits);
    int diff = 0;
    if (size) {
        if (size > 16) {
            bitBuffer = buf;
            bitCount = bits;
            return Fail(kJpegCorruptData);
        }
        diff = Extend(static_cast<int>(buf >> (64 - size)), size);
        buf <<= size;
        bits -= size;
    }
    c.dcPredictor = Wrap16(c.dcPredictor + diff);
    block[0] = c.dcPredictor;
    int last = 0;
    bool overrun = false;  // a run walked past coefficient 63
    for (int k = 1; k < 64;) {
        if (bits < 32) FillLocal(buf, bits);
        int32_t entry = fast[buf >> 55];
        int run;
        if (entry) {
            // Code and value within the next 9 bits.
            run = (entry >> 8) & 15;
            int total = entry & 255;
            buf <<= total;
            bits -= total;
            k += run;
            if (k > 63) {
                overrun = true;
                break;
            }
            block[kZigzag[k]] = static_cast<int16_t>(entry >> 16);
            last = k++;
            continue;
        }
        int symbol = TakeSymbol(ac.lookahead, ac.tree, buf, bits);
        run = symbol >> 4;
        size = symbol & 15;
        if (size == 0) {
            if (run != 15) break;  // end of block
            k += 16;
            continue;
        }
        k += run;
        if (k > 63) {
            overrun = true;
            break;
        }
        block[kZigzag[k]] = static_cast<int16_t>(Extend(static_cast<int>(buf >> (64 - size)), size));
        buf <<= size;
        bits -= size;
        last = k++;
    }
    bitBuffer = buf;
    bitCount = bits;
    *lastZag = last;
    return overrun ? Fail(kJpegCorruptData) : true;
}

bool JpegDecoder::DecodeMcuRow()
{
    for (int mx = 0; mx < mcusPerRow; ++mx) {
        if (restartInterval) {
            if (restartsLeft == 0 && !ProcessRestart()) return false;
            --restartsLeft;
        }
        for (int b = 0; b < scanBlocksPerMcu; ++b) {
            const McuBlock& mb = scanBlocks[b];
            Component& c = components[mb.component];
            int16_t* block = coefficients + b * 64;
            int last = 0;
            if (!DecodeBlock(block, c, &last)) return false;
            uint8_t* out = c.samples + mb.y * 8 * c.sampleStride + (mx * c.h + mb.x) * 8;
            TransformBlock(block, c, out, c.sampleStride, last);
            // Leave the block zeroed for the next MCU: only positions that were written need it.
            for (int k = 0; k <= last; ++k) block[kZigzag[k]] = 0;
        }
    }
    ++mcuRow;
    return true;
}

// ---------------------------------------------------------------------------------------------------
// Progressive and multi-scan pictures: every scan into whole-picture coefficient planes.
// ---------------------------------------------------------------------------------------------------
bool JpegDecoder::DecodeDcFirst(int16_t* block, Component& c)
{
    int size = DecodeSymbol(lookup[c.dcTable]);
    if (size > 16) return Fail(kJpegCorruptData);
    int diff = size ? Extend(GetBits(size), size) : 0;
    c.dcPredictor = Wrap16(c.dcPredictor + diff);
    block[0] = Wrap16(c.dcPredictor * (1 << approxLow));
    return true;
}

void JpegDecoder::DecodeDcRefine(int16_t* block)
{
    if (GetBit()) block[0] = Wrap16(block[0] | (1 << approxLow));
}

bool JpegDecoder::DecodeAcFirst(int16_t* block, const HuffmanLookup& ac)
{
    if (endOfBandRun > 0) {
        --endOfBandRun;
        return true;
    }
    for (int k = spectralStart; k <= spectralEnd; ++k) {
        int symbol = DecodeSymbol(ac);
        int run = symbol >> 4, size = symbol & 15;
        if (size == 0) {
            if (run == 15) {
                k += 15;
                continue;
            }
            endOfBandRun = (1 << run) - 1;
            if (run) endOfBandRun += GetBits(run);
            break;
        }
        k += run;
        if (k > 63) return Fail(kJpegCorruptData);
        block[kZigzag[k]] = Wrap16(Extend(GetBits(size), size) * (1 << approxLow));
    }
    return true;
}

bool JpegDecoder::DecodeAcRefine(int16_t* block, const HuffmanLookup& ac)
{
    const int plusOne = 1 << approxLow;
    const int minusOne = -plusOne;
    int k = spectralStart;
    // A correction bit for every non-zero coefficient passed over.
    auto refine = [&](int16_t& coef) {
        if (GetBit() && (coef & plusOne) == 0) coef = Wrap16(coef + (coef >= 0 ? plusOne : minusOne));
    };
    if (endOfBandRun == 0) {
        for (; k <= spectralEnd; ++k) {
            int symbol = DecodeSymbol(ac);
            int run = symbol >> 4, size = symbol & 15;
            int value = 0;
            if (size) {
                if (size != 1) return Fail(kJpegCorruptData);
                value = GetBit() ? plusOne : minusOne;
            } else if (run != 15) {
                endOfBandRun = 1 << run;
                if (run) endOfBandRun += GetBits(run);
                break;
            }
            while (k <= spectralEnd) {
                int16_t& coef = block[kZigzag[k]];
                if (coef != 0) {
                    refine(coef);
                } else {
                    if (run == 0) break;
                    --run;
                }
                ++k;
            }
            if (value) {
                if (k > 63) return Fail(kJpegCorruptData);
                block[kZigzag[k]] = static_cast<int16_t>(value);
            }
        }
    }
    if (endOfBandRun > 0) {
        for (; k <= spectralEnd; ++k) {
            int16_t& coef = block[kZigzag[k]];
            if (coef != 0) refine(coef);
        }
        --endOfBandRun;
    }
    return true;
}

bool JpegDecoder::DecodeScanIntoPlanes()
{
    if (progressive) {
        if (spectralStart > spectralEnd || spectralEnd > 63 || (spectralStart == 0 && spectralEnd != 0) ||
            (spectralStart > 0 && scanComponentCount != 1))
            return Fail(kJpegProgressiveScanInvalid);
        if (approxHigh != 0 && approxLow != approxHigh - 1) return Fail(kJpegRefinementInvalid);
    }
    const bool single = scanComponentCount == 1;
    for (int my = 0; my < scanMcusDown; ++my) {
        for (int mx = 0; mx < scanMcusAcross; ++mx) {
            if (restartInterval) {
                if (restartsLeft == 0 && !ProcessRestart()) return false;
                --restartsLeft;
            }
            for (int b = 0; b < scanBlocksPerMcu; ++b) {
                const McuBlock& mb = scanBlocks[b];
                Component& c = components[mb.component];
                int bx = single ? mx : mx * c.h + mb.x;
                int by = single ? my : my * c.v + mb.y;
                if (bx >= c.planeAcross || by >= c.planeDown) return Fail(kJpegTooManyBlocks);
                int16_t* block = c.plane + (static_cast<size_t>(by) * c.planeAcross + bx) * 64;
                bool ok = true;
                if (!progressive) {
                    int last = 0;
                    ok = DecodeBlock(block, c, &last);
                } else if (spectralStart == 0) {
                    if (approxHigh == 0)
                        ok = DecodeDcFirst(block, c);
                    else
                        DecodeDcRefine(block);
                } else if (approxHigh == 0) {
                    ok = DecodeAcFirst(block, lookup[c.acTable]);
                } else {
                    ok = DecodeAcRefine(block, lookup[c.acTable]);
                }
                if (!ok) return false;
            }
        }
    }
    return true;
}

bool JpegDecoder::DecodeBufferedScans()
{
    for (int i = 0; i < componentCount; ++i) {
        Component& c = components[i];
        c.planeAcross = mcusPerRow * c.h;
        c.planeDown = mcusPerColumn * c.v;
        c.plane = static_cast<int16_t*>(
            Allocate(static_cast<size_t>(c.planeAcross) * c.planeDown * 64 * sizeof(int16_t)));
        if (!c.plane) return false;
    }
    bool endOfImage = scanComponentCount == 0;
    // Real files have a few dozen scans at most; a flood of tiny scan headers would otherwise make
    // every one of them a pass over the whole picture.
    for (int scans = 0; !endOfImage && scans < kMaxScans; ++scans) {
        if (!DecodeScanIntoPlanes()) return false;
        if (!StartScan(&endOfImage)) return false;
    }
    FinishPicture(false);
    // Later rows come from the planes, every frame component in frame order.
    scanComponentCount = componentCount;
    for (int i = 0; i < componentCount; ++i) scanComponents[i] = i;
    ComputeScanOrder();
    return true;
}
