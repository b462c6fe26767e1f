// JPEG decoding, input and markers. Contract: bytes come from the stream through a 4096-byte buffer that
// is followed by FF D9 pairs, so reading past the data meets EOI; raw reads serve marker segments, the
// unstuffing reader serves entropy-coded data and stops at a marker, feeding 1-bits until the next
// resynchronisation. The marker reader handles DHT, DQT and DRI itself and hands frame, scan, SOI and EOI
// markers to its caller; every segment is checked before its contents are used (the error codes of
// jpeg_decoder.h). The scan header sets up the block order of a scan; restart markers are checked here.
// Depends on assets/jpeg_decoder_internal.h.
#include <cstring>

#include "assets/jpeg_decoder_internal.h"

using namespace jpegdec;

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
            readPastEnd = true;
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
        readPastEnd = true;
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

// ---------------------------------------------------------------------------------------------------
// Scan headers, restart markers and the end of the data.
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
