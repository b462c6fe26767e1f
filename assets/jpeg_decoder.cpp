// JPEG decoding, the decoder object: the byte streams, the error texts, construction (headers up to the
// frame), the memory pool, error recording, and the public operations Begin and DecodeRow that drive the
// stages: input and markers (jpeg_markers.cpp), entropy decoding (jpeg_entropy.cpp), output and colour
// (jpeg_output.cpp). Depends on those and the standard library.
#include "assets/jpeg_decoder.h"

#include <cstdlib>
#include <cstring>

#include "assets/jpeg_decoder_internal.h"

using namespace jpegdec;

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
