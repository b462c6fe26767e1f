// JPEG decoding: input buffering, markers and segments, Huffman decoding, sequential and progressive
// scans, restart intervals, and the line output with colour conversion and replication upsampling.
// Depends on assets/jpeg_idct for the inverse transforms; nothing else beyond the standard library.
#include "assets/jpeg_decoder.h"

#include <cstdlib>
#include <cstring>

#include "assets/jpeg_idct.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Natural position of each zig-zag index; the extra entries catch a position index up to 79.
constexpr uint8_t kZigzag[80] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                 12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
                                 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63};

constexpr int kRestartSearchLimit = 1536;
constexpr int kEndSearchLimit = 4096;
constexpr int kMaxMcuBlocks = 10;
constexpr int kMaxScans = 1000;
constexpr int kLinePadding = 64;  // bytes past every line and sample row that the SSE2 kernels may touch
constexpr int32_t kUnassignedCode = 8 << 8;  // lookahead entry of no code: symbol 0 after 8 bits

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
// Streams.
// ---------------------------------------------------------------------------------------------------
JpegFileStream::~JpegFileStream()
{
    Close();
}

bool JpegFileStream::Open(const char* fileName, const char* mode)
{
    Close();
    file = std::fopen(fileName, mode);
    return file != nullptr;
}

void JpegFileStream::Close()
{
    if (file) std::fclose(file);
    file = nullptr;
    endOfFile = false;
    error = false;
}

int JpegFileStream::Read(uint8_t* buffer, int maxBytes, bool* endOfStream)
{
    if (!file) return -1;
    if (endOfFile) {
        *endOfStream = true;
        return 0;
    }
    if (error) return -1;
    if (maxBytes <= 0) return 0;
    size_t got = std::fread(buffer, 1, static_cast<size_t>(maxBytes), file);
    if (got == static_cast<size_t>(maxBytes)) return maxBytes;
    if (std::ferror(file)) {
        error = true;
        return -1;
    }
    endOfFile = true;
    *endOfStream = true;
    return static_cast<int>(got);
}

int JpegMemoryStream::Read(uint8_t* buffer, int maxBytes, bool* endOfStream)
{
    size_t left = size - position;
    size_t count = maxBytes > 0 ? static_cast<size_t>(maxBytes) : 0;
    if (count >= left) {
        count = left;
        *endOfStream = true;
    }
    if (count) std::memcpy(buffer, data + position, count);
    position += count;
    return static_cast<int>(count);
}

const char* JpegErrorText(int code)
{
    switch (code) {
        case kJpegOk:
            return "no error";
        case kJpegHuffmanCountsTooLarge:
            return "Huffman table counts add up to more than the codes allow";
        case kJpegHuffmanSlotInvalid:
            return "Huffman table class or id out of range";
        case kJpegHuffmanSegmentShort:
            return "Huffman table segment too short";
        case kJpegQuantSegmentShort:
            return "quantisation table segment length below 2";
        case kJpegQuantIdInvalid:
            return "quantisation table id 4 or more";
        case kJpegPrecisionUnsupported:
            return "sample precision other than 8 bits";
        case kJpegHeightInvalid:
            return "image height outside 1 to 8192";
        case kJpegWidthInvalid:
            return "image width outside 1 to 8192";
        case kJpegTooManyComponents:
            return "more than 4 components";
        case kJpegFrameLengthInvalid:
            return "frame header length does not match its components";
        case kJpegSegmentLengthInvalid:
            return "marker segment length below 2";
        case kJpegRestartLengthInvalid:
            return "restart interval segment length other than 4";
        case kJpegScanHeaderInvalid:
            return "scan header length or component count invalid";
        case kJpegScanComponentUnknown:
            return "scan component not in the frame, or named twice";
        case kJpegArithmeticCoding:
            return "arithmetic coding is not supported";
        case kJpegUnexpectedMarker:
            return "unexpected marker";
        case kJpegNoStartOfImage:
            return "no start-of-image marker: not a JPEG file";
        case kJpegFrameTypeUnsupported:
            return "unsupported frame type (lossless, hierarchical or missing frame)";
        case kJpegQuantTableShort:
            return "quantisation table segment shorter than its table";
        case kJpegPoolFull:
            return "decoder memory pool full";
        case kJpegQuantTableMissing:
            return "quantisation table not defined";
        case kJpegHuffmanTableMissing:
            return "Huffman table not defined";
        case kJpegComponentCountUnsupported:
            return "component count other than 1 or 3 (CMYK is not supported)";
        case kJpegSamplingUnsupported:
            return "unsupported chroma sampling";
        case kJpegCorruptData:
            return "corrupt entropy-coded data";
        case kJpegRestartMarkerInvalid:
            return "restart marker missing or out of order";
        case kJpegTooManyBlocks:
            return "too many blocks per MCU row, or a block outside the picture";
        case kJpegProgressiveScanInvalid:
            return "invalid progressive spectral selection";
        case kJpegRefinementInvalid:
            return "invalid successive approximation";
        case kJpegStreamReadFailed:
            return "reading the file failed";
        case kJpegOutOfMemory:
            return "out of memory";
        default:
            return "unknown error";
    }
}

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
// Construction, memory and errors.
// ---------------------------------------------------------------------------------------------------
JpegDecoder::JpegDecoder(JpegStream* stream, bool useFastPath)
    : stream(stream), useFastPath(useFastPath), fastPath(useFastPath)
{
    std::memset(lookup, 0, sizeof(lookup));
    std::memset(acFast, 0, sizeof(acFast));
    std::memset(input, 0, sizeof(input));
    std::memset(&colour, 0, sizeof(colour));
    if (!stream) {
        errorCode = kJpegStreamReadFailed;
        released = true;
        return;
    }
    stream->Attach();
    Refill();
    if (FindStartOfImage()) {
        int marker = NextMarker();
        if (marker == kSof0 || marker == kSof1 || marker == kSof2) {
            progressive = marker == kSof2;
            ReadFrameHeader();
        } else if (marker == kSof9) {
            Fail(kJpegArithmeticCoding);
        } else if (marker >= 0) {
            Fail(kJpegFrameTypeUnsupported);
        }
    }
    ReleaseAfterError();
}

JpegDecoder::~JpegDecoder()
{
    ReleasePool();
}

void* JpegDecoder::Allocate(size_t size)
{
    if (errorCode) return nullptr;
    for (void*& slot : pool) {
        if (slot) continue;
        // Rounded to 16 (and so to 8) for the SSE2 kernels; calloc leaves untouched pages unmapped.
        void* block = std::calloc(size + 16, 1);
        if (!block) {
            Fail(kJpegOutOfMemory);
            return nullptr;
        }
        slot = block;
        allocatedBytes += size + 16;
        uint8_t* start = static_cast<uint8_t*>(block);
        return start + (16 - reinterpret_cast<uintptr_t>(start) % 16) % 16;
    }
    Fail(kJpegPoolFull);
    return nullptr;
}

void JpegDecoder::ReleasePool()
{
    for (void*& slot : pool) {
        std::free(slot);
        slot = nullptr;
    }
    allocatedBytes = 0;
    for (QuantTable*& q : quant) q = nullptr;
    for (HuffmanTable*& h : huffman) h = nullptr;
    for (Component& c : components) {
        c.plane = nullptr;
        c.samples = nullptr;
    }
    line = nullptr;
    coefficients = nullptr;
}

bool JpegDecoder::Fail(int code)
{
    if (errorCode == 0) errorCode = code;
    return false;
}

void JpegDecoder::ReleaseAfterError()
{
    if (errorCode == 0 || released) return;
    released = true;
    ReleasePool();
    stream->Detach();
}

// ---------------------------------------------------------------------------------------------------
// Input and bits.
// ---------------------------------------------------------------------------------------------------
void JpegDecoder::Refill()
{
    if (streamEnded) return;
    // Unread bytes move to the front so that an FF at the end stays next to the byte after it.
    int left = inputEnd - inputPos;
    if (left > 0 && inputPos > 0) std::memmove(input, input + inputPos, static_cast<size_t>(left));
    inputPos = 0;
    inputEnd = left > 0 ? left : 0;
    while (inputEnd < kInputBufferSize) {
        bool end = false;
        int room = kInputBufferSize - inputEnd;
        int got = stream->Read(input + inputEnd, room, &end);
        if (got < 0) {
            Fail(kJpegStreamReadFailed);
            streamEnded = true;
            break;
        }
        if (got > room) got = room;
        inputEnd += got;
        totalBytes += got;
        if (end) {
            streamEnded = true;
            break;
        }
        if (got == 0) break;
    }
    // Reading past the data meets EOI markers.
    for (int i = 0; i < kInputTailSize; ++i) input[inputEnd + i] = (i & 1) ? 0xD9 : 0xFF;
}

uint8_t JpegDecoder::RawByte()
{
    if (inputPos >= inputEnd) {
        Refill();
        if (inputPos >= inputEnd) {
            uint8_t b = virtualNext;
            virtualNext = b == 0xFF ? 0xD9 : 0xFF;
            return b;
        }
    }
    return input[inputPos++];
}

int JpegDecoder::RawWord()
{
    int high = RawByte();
    return (high << 8) | RawByte();
}

uint8_t JpegDecoder::EntropyByte()
{
    if (markerHit) return 0xFF;
    if (inputEnd - inputPos < 2) Refill();
    if (inputPos >= inputEnd) {
        markerHit = true;
        return 0xFF;
    }
    uint8_t b = input[inputPos];
    if (b != 0xFF) {
        ++inputPos;
        return b;
    }
    if (inputPos + 1 < inputEnd && input[inputPos + 1] == 0) {
        inputPos += 2;
        return 0xFF;
    }
    // A marker: leave it in place and feed 1-bits until the next resynchronisation.
    markerHit = true;
    return 0xFF;
}

// Bits are kept left-aligned: the next bit to read is bit 63.
inline bool JpegDecoder::TakeWholeBytes(uint64_t& buf, int& bits)
{
    // As many whole bytes as fit below the bits held, in one load, when none of them is FF (no
    // stuffing and no marker to look after). Needs fewer than 32 bits held, so at least 4 bytes fit.
    if (markerHit || bits >= 32 || inputEnd - inputPos < 12) return false;
    int take = (63 - bits) >> 3;
    uint64_t word = LoadBigEndian64(input + inputPos);
    uint64_t mask = ~uint64_t{0} << (64 - 8 * take);
    uint64_t probe = ~word | ~mask;  // zero bytes where the data has FF
    if ((((probe - 0x0101010101010101ull) & ~probe) & 0x8080808080808080ull) != 0) return false;
    buf |= (word & mask) >> bits;
    bits += 8 * take;
    inputPos += take;
    return true;
}

void JpegDecoder::FillBits()
{
    if (TakeWholeBytes(bitBuffer, bitCount)) return;
    while (bitCount <= 56) {
        bitBuffer |= static_cast<uint64_t>(EntropyByte()) << (56 - bitCount);
        bitCount += 8;
    }
}

void JpegDecoder::ResetBits()
{
    bitBuffer = 0;
    bitCount = 0;
    markerHit = false;
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

int JpegDecoder::DecodeSymbolSlow(const HuffmanLookup& table)
{
    int32_t node = table.lookahead[bitBuffer >> 56];
    bitBuffer <<= 8;
    bitCount -= 8;
    for (int depth = 0; depth < 8; ++depth) {
        int32_t next = table.tree[-node - 1 + GetBit()];
        if (next >= 0) return next;  // a leaf, or 0 where no code ends (decodes as symbol 0)
        node = next;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------------
// Markers and segments.
// ---------------------------------------------------------------------------------------------------
bool JpegDecoder::FindStartOfImage()
{
    int previous = RawByte();
    int current = RawByte();
    for (int slid = 0; !(previous == 0xFF && current == kSoi); ++slid) {
        if (slid >= 511) return Fail(kJpegNoStartOfImage);
        previous = current;
        current = RawByte();
    }
    // The next marker's FF must follow at once; it stays for the marker reader.
    if (inputPos >= inputEnd) Refill();
    uint8_t next = inputPos < inputEnd ? input[inputPos] : virtualNext;
    if (next != 0xFF) return Fail(kJpegNoStartOfImage);
    return true;
}

int JpegDecoder::NextMarker()
{
    if (eoiPending) {
        eoiPending = false;
        return kEoi;
    }
    for (;;) {
        if (errorCode) return -1;
        uint8_t b = RawByte();
        while (b != 0xFF) b = RawByte();
        do b = RawByte();
        while (b == 0xFF);
        switch (b) {
            case 0x00:
                continue;
            case kTem:
            case kJpg:
                Fail(kJpegUnexpectedMarker);
                return -1;
            case kDht:
                if (!ReadHuffmanTables()) return -1;
                continue;
            case kDqt:
                if (!ReadQuantTables()) return -1;
                continue;
            case kDri:
                if (!ReadRestartInterval()) return -1;
                continue;
            case kDac:
                Fail(kJpegArithmeticCoding);
                return -1;
            default:
                break;
        }
        if (b >= kRst0 && b <= kRst7) {
            Fail(kJpegUnexpectedMarker);
            return -1;
        }
        if ((b >= 0xC0 && b <= 0xCF) || b == kSoi || b == kEoi || b == kSos) return b;
        if (!SkipSegment()) return -1;
    }
}

bool JpegDecoder::SkipSegment()
{
    int length = RawWord();
    if (length < 2) return Fail(kJpegSegmentLengthInvalid);
    int left = length - 2;
    while (left > 0) {
        if (inputPos >= inputEnd) {
            Refill();
            if (inputPos >= inputEnd) break;  // the data ended inside the segment
        }
        int step = inputEnd - inputPos < left ? inputEnd - inputPos : left;
        inputPos += step;
        left -= step;
    }
    return true;
}

bool JpegDecoder::ReadHuffmanTables()
{
    int length = RawWord();
    if (length < 2) return Fail(kJpegHuffmanSegmentShort);
    int left = length - 2;
    while (left > 0) {
        int classAndId = RawByte();
        uint8_t counts[17] = {};
        int total = 0;
        for (int i = 1; i <= 16; ++i) {
            counts[i] = RawByte();
            total += counts[i];
        }
        if (total > 255) return Fail(kJpegHuffmanCountsTooLarge);
        if (left < 17 + total) return Fail(kJpegHuffmanSegmentShort);
        int slot = (classAndId & 15) + ((classAndId & 16) ? 4 : 0);
        if (slot >= 8) return Fail(kJpegHuffmanSlotInvalid);
        // Codes must fit their lengths, or the lookup tables would overflow.
        int code = 0;
        for (int len = 1; len <= 16; ++len) {
            code += counts[len];
            if (code > (1 << len)) return Fail(kJpegHuffmanCountsTooLarge);
            code <<= 1;
        }
        if (!huffman[slot]) {
            huffman[slot] = static_cast<HuffmanTable*>(Allocate(sizeof(HuffmanTable)));
            if (!huffman[slot]) return false;
        }
        HuffmanTable& table = *huffman[slot];
        std::memcpy(table.counts, counts, sizeof(counts));
        std::memset(table.values, 0, sizeof(table.values));
        for (int i = 0; i < total; ++i) table.values[i] = RawByte();
        left -= 17 + total;
    }
    return true;
}

bool JpegDecoder::ReadQuantTables()
{
    int length = RawWord();
    if (length < 2) return Fail(kJpegQuantSegmentShort);
    int left = length - 2;
    while (left > 0) {
        int precisionAndId = RawByte();
        int id = precisionAndId & 15;
        if (id >= 4) return Fail(kJpegQuantIdInvalid);
        bool wide = (precisionAndId >> 4) != 0;
        int need = wide ? 129 : 65;
        if (left < need) return Fail(kJpegQuantTableShort);
        if (!quant[id]) {
            quant[id] = static_cast<QuantTable*>(Allocate(sizeof(QuantTable)));
            if (!quant[id]) return false;
        }
        QuantTable& table = *quant[id];
        for (int k = 0; k < 64; ++k)
            table.natural[kZigzag[k]] = static_cast<uint16_t>(wide ? RawWord() : RawByte());
        JpegPrescaleQuant(table.natural, table.prescaled);
        left -= need;
    }
    return true;
}

bool JpegDecoder::ReadRestartInterval()
{
    if (RawWord() != 4) return Fail(kJpegRestartLengthInvalid);
    restartInterval = RawWord();
    return true;
}

bool JpegDecoder::ReadFrameHeader()
{
    int length = RawWord();
    int precision = RawByte();
    height = RawWord();
    width = RawWord();
    int count = RawByte();
    if (precision != 8) return Fail(kJpegPrecisionUnsupported);
    if (height < 1 || height > kMaxDimension) return Fail(kJpegHeightInvalid);
    if (width < 1 || width > kMaxDimension) return Fail(kJpegWidthInvalid);
    if (count > 4) return Fail(kJpegTooManyComponents);
    if (length != 8 + 3 * count) return Fail(kJpegFrameLengthInvalid);
    componentCount = count;
    for (int i = 0; i < count; ++i) {
        Component& c = components[i];
        c.id = RawByte();
        int sampling = RawByte();
        c.h = sampling >> 4;
        c.v = sampling & 15;
        c.quantTable = RawByte();
    }
    return true;
}

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
// Scans.
// ---------------------------------------------------------------------------------------------------
bool JpegDecoder::StartScan(bool* endOfImage)
{
    *endOfImage = false;
    int marker = NextMarker();
    if (marker < 0) return false;
    if (marker == kEoi) {
        *endOfImage = true;
        return true;
    }
    if (marker != kSos) return Fail(kJpegUnexpectedMarker);
    return ReadScanHeader();
}

bool JpegDecoder::ReadScanHeader()
{
    int length = RawWord();
    int count = RawByte();
    if (count < 1 || count > 4 || length != 6 + 2 * count) return Fail(kJpegScanHeaderInvalid);
    bool used[4] = {};
    for (int i = 0; i < count; ++i) {
        int id = RawByte();
        int tables = RawByte();
        int index = -1;
        for (int j = 0; j < componentCount; ++j) {
            if (components[j].id == id && !used[j]) {
                index = j;
                break;
            }
        }
        if (index < 0) return Fail(kJpegScanComponentUnknown);
        used[index] = true;
        scanComponents[i] = index;
        // Slots beyond the four of each class count as undefined tables.
        components[index].dcTable = (tables >> 4) < 4 ? tables >> 4 : 8;
        components[index].acTable = (tables & 15) < 4 ? (tables & 15) + 4 : 8;
    }
    scanComponentCount = count;
    spectralStart = RawByte();
    spectralEnd = RawByte();
    int approximation = RawByte();
    approxHigh = approximation >> 4;
    approxLow = approximation & 15;
    if (!progressive) {
        spectralStart = 0;
        spectralEnd = 63;
        approxHigh = approxLow = 0;
    }
    ComputeScanOrder();
    if (scanBlocksPerMcu > kMaxMcuBlocks) return Fail(kJpegScanHeaderInvalid);

    for (int i = 0; i < count; ++i) {
        const Component& c = components[scanComponents[i]];
        if (spectralStart == 0 && (c.dcTable >= 8 || !huffman[c.dcTable]))
            return Fail(kJpegHuffmanTableMissing);
        if (spectralEnd > 0 && (c.acTable >= 8 || !huffman[c.acTable])) return Fail(kJpegHuffmanTableMissing);
    }
    for (int i = 0; i < count; ++i) {
        int q = components[scanComponents[i]].quantTable;
        if (q >= 4 || !quant[q]) return Fail(kJpegQuantTableMissing);
    }
    for (int slot = 0; slot < 8; ++slot) {
        if (!huffman[slot]) continue;
        BuildHuffmanLookup(*huffman[slot], lookup[slot]);
        if (slot >= 4) BuildFastAc(*huffman[slot], acFast[slot - 4]);
    }

    for (Component& c : components) c.dcPredictor = 0;
    endOfBandRun = 0;
    restartsLeft = restartInterval;
    nextRestart = 0;
    ResetBits();
    return true;
}

void JpegDecoder::ComputeScanOrder()
{
    scanBlocksPerMcu = 0;
    if (scanComponentCount == 1) {
        const Component& c = components[scanComponents[0]];
        scanMcusAcross = c.blocksAcross;
        scanMcusDown = c.blocksDown;
        scanBlocks[0] = {scanComponents[0], 0, 0};
        scanBlocksPerMcu = 1;
        return;
    }
    scanMcusAcross = ((width + 7) / 8 + maxH - 1) / maxH;
    scanMcusDown = ((height + 7) / 8 + maxV - 1) / maxV;
    for (int i = 0; i < scanComponentCount; ++i) {
        const Component& c = components[scanComponents[i]];
        for (int y = 0; y < c.v; ++y)
            for (int x = 0; x < c.h; ++x) {
                if (scanBlocksPerMcu < kMaxMcuBlocks)
                    scanBlocks[scanBlocksPerMcu] = {scanComponents[i], x, y};
                ++scanBlocksPerMcu;
            }
    }
}

bool JpegDecoder::ProcessRestart()
{
    ResetBits();
    if (eoiPending) {
        // The data ended before this interval: keep decoding 1-bits, as after any early end.
        markerHit = true;
    } else {
        int scanned = 0;
        for (;;) {
            if (scanned++ >= kRestartSearchLimit) return Fail(kJpegRestartMarkerInvalid);
            if (RawByte() != 0xFF) continue;
            uint8_t code = RawByte();
            while (code == 0xFF) code = RawByte();
            if (code == 0x00) continue;  // a stuffed data byte
            if (code == kRst0 + nextRestart) break;
            if (code != kEoi) return Fail(kJpegRestartMarkerInvalid);
            // The file ends here (it was cut short): the rest decodes from 1-bits, no error.
            eoiPending = true;
            markerHit = true;
            break;
        }
        if (errorCode) return false;
    }
    for (Component& c : components) c.dcPredictor = 0;
    endOfBandRun = 0;
    restartsLeft = restartInterval;
    nextRestart = (nextRestart + 1) & 7;
    return true;
}

void JpegDecoder::FinishPicture(bool findMarker)
{
    // Find the marker after the data so that BytesConsumed() ends at it; nothing here is an error.
    ResetBits();
    if (findMarker && !eoiPending) {
        for (int scanned = 0; scanned < kEndSearchLimit; ++scanned) {
            if (inputEnd - inputPos < 2) Refill();
            if (inputPos >= inputEnd) break;
            if (input[inputPos] == 0xFF && input[inputPos + 1] != 0 && input[inputPos + 1] != 0xFF) break;
            ++inputPos;
        }
    }
    totalBytes -= inputEnd - inputPos;
    inputPos = inputEnd;
}

// ---------------------------------------------------------------------------------------------------
// Frame set-up and MCU rows.
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

void JpegDecoder::TransformBlock(const int16_t* block, const Component& c, uint8_t* out, int stride,
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

// ---------------------------------------------------------------------------------------------------
// Public operations.
// ---------------------------------------------------------------------------------------------------
int JpegDecoder::Begin()
{
    if (errorCode) return -1;
    if (begun) return 0;
    bool ok = SetUpFrame();
    if (ok) {
        bool endOfImage = false;
        ok = StartScan(&endOfImage);
        if (ok) {
            if (endOfImage) scanComponentCount = 0;  // no scan at all: the picture stays mid-grey
            // Streaming needs one scan with every component; anything else is decoded whole first.
            buffered = progressive || endOfImage || scanComponentCount != componentCount;
            if (buffered) ok = DecodeBufferedScans();
        }
    }
    if (!ok || errorCode) {
        Fail(kJpegCorruptData);  // only when no specific code was recorded
        ReleaseAfterError();
        return -1;
    }
    begun = true;
    return 0;
}

int JpegDecoder::DecodeRow(const uint8_t** row, int* length)
{
    if (errorCode || !begun) return -1;
    if (linesLeft == 0) return 1;
    if (mcuLinesLeft == 0) {
        bool ok = buffered ? AssembleMcuRow() : DecodeMcuRow();
        if (!ok || errorCode) {
            ReleaseAfterError();
            return kJpegCorruptData;
        }
        mcuLinesLeft = mcuHeight;
        if (!buffered && linesLeft <= mcuHeight) FinishPicture(true);
    }
    int lineInMcu = mcuHeight - mcuLinesLeft;
    const uint8_t* out;
    if (componentCount == 1) {
        out = components[0].samples + lineInMcu * components[0].sampleStride;
    } else {
        ConvertLine(lineInMcu);
        out = line;
    }
    if (row) *row = out;
    if (length) *length = lineBytes;
    --linesLeft;
    --mcuLinesLeft;
    return 0;
}
