// JPEG decoding: a pull decoder for Huffman-coded baseline, extended sequential and progressive JPEG
// files with 8-bit samples, handing out the picture one line at a time as grey or R, G, B, 0 bytes.
// Depends only on the standard library and assets/jpeg_idct. One decoder decodes one picture; a
// failure records a negative error code, releases the decoder's memory and is final.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

// A source of bytes for the decoder. Read returns the number of bytes delivered (0 with *endOfStream
// set at the end) or -1 on failure. Attach is called when a decoder takes the stream, Detach when the
// decoder gives it up after an error; the caller owns the stream and destroys it after the decoder.
class JpegStream {
public:
    virtual ~JpegStream() = default;
    virtual int Read(uint8_t* buffer, int maxBytes, bool* endOfStream) = 0;
    virtual void Attach() {}
    virtual void Detach() {}
};

// A file opened for reading by the caller (Open with mode "rb"); the destructor closes it.
class JpegFileStream final : public JpegStream {
public:
    JpegFileStream() = default;
    JpegFileStream(const JpegFileStream&) = delete;
    JpegFileStream& operator=(const JpegFileStream&) = delete;
    ~JpegFileStream() override;

    bool Open(const char* fileName, const char* mode);  // false when the file cannot be opened
    void Close();
    int Read(uint8_t* buffer, int maxBytes, bool* endOfStream) override;

private:
    std::FILE* file = nullptr;
    bool endOfFile = false;
    bool error = false;
};

// A file already in memory (tools, tests, benchmarks, fuzzing). The bytes must outlive the stream.
class JpegMemoryStream final : public JpegStream {
public:
    JpegMemoryStream(const uint8_t* data, size_t size) : data(data), size(size) {}
    int Read(uint8_t* buffer, int maxBytes, bool* endOfStream) override;

private:
    const uint8_t* data;
    size_t size;
    size_t position = 0;
};

// Error codes recorded by the decoder (0 = none).
enum JpegError : int {
    kJpegOk = 0,
    kJpegHuffmanCountsTooLarge = -200,      // DHT counts add up to more than 255, or overfill the code space
    kJpegHuffmanSlotInvalid = -201,         // DHT class x 4 + id is 8 or more
    kJpegHuffmanSegmentShort = -202,        // DHT length below 2 or shorter than its tables
    kJpegQuantSegmentShort = -203,          // DQT length below 2
    kJpegQuantIdInvalid = -204,             // DQT table id 4 or more
    kJpegPrecisionUnsupported = -205,       // sample precision other than 8
    kJpegHeightInvalid = -206,              // height outside 1 to 8192
    kJpegWidthInvalid = -207,               // width outside 1 to 8192
    kJpegTooManyComponents = -208,          // frame with more than 4 components
    kJpegFrameLengthInvalid = -209,         // SOF length other than 8 + 3 x components
    kJpegSegmentLengthInvalid = -210,       // skipped segment with length below 2
    kJpegRestartLengthInvalid = -211,       // DRI length other than 4
    kJpegScanHeaderInvalid = -212,          // SOS length or component count wrong
    kJpegScanComponentUnknown = -213,       // SOS names a component not in the frame, or one twice
    kJpegArithmeticCoding = -215,           // SOF9 or DAC
    kJpegUnexpectedMarker = -216,           // TEM, RSTn or JPG outside entropy data; no SOS where one is due
    kJpegNoStartOfImage = -217,             // no SOI within the first 513 bytes, or SOI not followed by FF
    kJpegFrameTypeUnsupported = -218,       // not SOF0, SOF1 or SOF2
    kJpegQuantTableShort = -219,            // DQT shorter than its table
    kJpegPoolFull = -221,                   // more than 100 allocations
    kJpegQuantTableMissing = -222,          // a scan component's quantisation table is not defined
    kJpegHuffmanTableMissing = -223,        // a scan needs a Huffman table that is not defined
    kJpegComponentCountUnsupported = -225,  // component count other than 1 or 3
    kJpegSamplingUnsupported = -226,        // chroma not 1x1, or luminance not 1x1, 2x1, 1x2 or 2x2
    kJpegCorruptData = -227,                // broken entropy-coded data; also a failed DecodeRow
    kJpegRestartMarkerInvalid = -228,       // restart marker missing or out of order
    kJpegTooManyBlocks = -229,              // more than 6144 blocks per MCU row, or a block off its plane
    kJpegProgressiveScanInvalid = -230,     // bad spectral selection for a progressive scan
    kJpegRefinementInvalid = -231,          // successive-approximation low bit is not high bit - 1
    kJpegStreamReadFailed = -232,           // the stream's Read returned -1
    kJpegOutOfMemory = -233,                // an allocation failed
};

// The four colour tables (i from 0 to 255): R = Y + redFromCr[Cr], B = Y + blueFromCb[Cb],
// G = Y + ((greenFromCb[Cb] + greenFromCr[Cr]) >> 16), each clamped to 0 to 255.
struct JpegColourTables {
    int32_t redFromCr[256];
    int32_t blueFromCb[256];
    int32_t greenFromCr[256];
    int32_t greenFromCb[256];
};
void JpegBuildColourTables(JpegColourTables& tables);

// Converts count pixels of one line to R, G, B, 0. Chroma sample x >> chromaShift serves pixel x
// (chromaShift 1 replicates each chroma sample over two pixels). The plain version reads the tables;
// JpegConvertLine gives the same bytes with SSE2 where available and may write up to 15 pixels past
// count (the decoder's lines are padded for that).
void JpegConvertLinePortable(const JpegColourTables& tables, const uint8_t* y, const uint8_t* cb,
                             const uint8_t* cr, int chromaShift, int count, uint8_t* rgbx);
void JpegConvertLine(const JpegColourTables& tables, const uint8_t* y, const uint8_t* cb, const uint8_t* cr,
                     int chromaShift, int count, uint8_t* rgbx);

// A short English meaning of an error code ("unknown error" for codes the decoder never records).
const char* JpegErrorText(int code);

class JpegDecoder {
public:
    static constexpr int kMaxDimension = 8192;
    static constexpr int kMaxBlocksPerMcuRow = 6144;
    static constexpr int kPoolSlots = 100;
    static constexpr int kInputBufferSize = 4096;
    static constexpr int kInputTailSize = 128;

    // Reads the headers up to and including the frame header. Check ErrorCode() next.
    // useFastPath selects the scaled 16-bit transform; otherwise the accurate integer transform runs.
    JpegDecoder(JpegStream* stream, bool useFastPath);
    ~JpegDecoder();
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    int ErrorCode() const { return errorCode; }
    int Width() const { return width; }
    int Height() const { return height; }
    bool Progressive() const { return progressive; }
    int ComponentCount() const { return componentCount; }
    int BytesPerPixel() const { return componentCount == 1 ? 1 : 4; }  // valid once the headers are read
    bool FastPathRequested() const { return useFastPath; }
    bool FastPath() const { return fastPath; }  // requested, and the processor has the SIMD it needs
    int64_t BytesConsumed() const { return totalBytes; }  // bytes of the stream up to the end of the picture
    size_t AllocatedBytes() const { return allocatedBytes; }  // pool memory in use, beside the object itself
    // The data ran out before the picture's end: the rest was decoded as if filled in (a file cut short).
    bool ReadPastEnd() const { return readPastEnd; }

    // 0 on success (and when already begun), -1 when an error is recorded or occurs during set-up.
    // A progressive picture, or one coded in several sequential scans, is decoded whole here.
    int Begin();

    // 0 with *row pointing at the next line (top to bottom, valid until the next call) and *length its
    // size in bytes; 1 when every line has been delivered; -1 after an error or before Begin; -227 when
    // the next band of lines cannot be decoded.
    int DecodeRow(const uint8_t** row, int* length);

private:
    struct QuantTable {
        uint16_t natural[64];   // as read, in natural order
        int16_t prescaled[64];  // natural order, scaled for the fast transform
    };
    struct HuffmanTable {
        uint8_t counts[17];  // counts[0] stays 0
        uint8_t values[256];
    };
    // Built from a HuffmanTable at the start of every scan: 8-bit lookahead, then a tree for longer codes.
    struct HuffmanLookup {
        int32_t lookahead[256];  // >= 0: symbol | length << 8; < 0: tree node
        uint8_t lengths[256];    // code length by symbol
        int32_t tree[512];
    };
    struct Component {
        int id = 0;
        int h = 1, v = 1;
        int quantTable = 0;
        int dcTable = 0, acTable = 4;  // Huffman slots of the current scan
        int16_t dcPredictor = 0;
        int blocksAcross = 0, blocksDown = 0;  // blocks this component really has
        int16_t* plane = nullptr;              // whole-picture coefficients (buffered decoding)
        int planeAcross = 0, planeDown = 0;
        uint8_t* samples = nullptr;  // one MCU row of samples
        int sampleStride = 0;
    };
    struct McuBlock {
        int component;  // index into components
        int x, y;       // block position inside the MCU, in blocks
    };

    // Memory.
    void* Allocate(size_t size);
    void ReleasePool();
    bool Fail(int code);
    void ReleaseAfterError();

    // Input and bits.
    void Refill();
    uint8_t RawByte();
    int RawWord();
    uint8_t EntropyByte();
    bool TakeWholeBytes(uint64_t& buf, int& bits);
    void FillBits();
    void FillLocal(uint64_t& buf, int& bits);
    void ResetBits();
    int GetBits(int count);
    int GetBit();
    int DecodeSymbol(const HuffmanLookup& table);
    int DecodeSymbolSlow(const HuffmanLookup& table);

    // Markers and segments.
    bool FindStartOfImage();
    int NextMarker();
    bool ReadHuffmanTables();
    bool ReadQuantTables();
    bool ReadRestartInterval();
    bool SkipSegment();
    bool ReadFrameHeader();
    bool StartScan(bool* endOfImage);
    bool ReadScanHeader();
    void ComputeScanOrder();
    void BuildHuffmanLookup(const HuffmanTable& table, HuffmanLookup& lookup);
    void BuildFastAc(const HuffmanTable& table, int32_t* fast);
    bool ProcessRestart();
    void FinishPicture(bool findMarker);

    // Decoding.
    bool SetUpFrame();
    bool DecodeBufferedScans();
    bool DecodeScanIntoPlanes();
    bool DecodeMcuRow();
    bool AssembleMcuRow();
    bool DecodeBlock(int16_t* block, Component& component, int* lastZag);
    bool DecodeDcFirst(int16_t* block, Component& component);
    void DecodeDcRefine(int16_t* block);
    bool DecodeAcFirst(int16_t* block, const HuffmanLookup& ac);
    bool DecodeAcRefine(int16_t* block, const HuffmanLookup& ac);
    void TransformBlock(const int16_t* block, const Component& component, uint8_t* out, int stride,
                        int lastZag);
    void ConvertLine(int lineInMcu);

    // Picture.
    JpegStream* stream;
    bool useFastPath;
    bool fastPath;
    int width = 0, height = 0;
    bool progressive = false;
    int errorCode = 0;
    bool begun = false;
    bool buffered = false;  // whole-picture coefficient planes (progressive or multi-scan)
    bool released = false;  // the pool is freed and the stream detached after an error

    // Tables.
    QuantTable* quant[4] = {};
    HuffmanTable* huffman[8] = {};
    HuffmanLookup lookup[8];
    int32_t acFast[4][512];  // AC slots 4 to 7: code and value together for the common short cases

    // Frame.
    int componentCount = 0;
    Component components[4];
    int scanType = 0;  // 0 grey, 1 to 4: colour with luminance 1x1, 2x1, 1x2, 2x2
    int blocksPerMcu = 0;
    int mcuWidth = 8, mcuHeight = 8;
    int mcusPerRow = 0, mcusPerColumn = 0;
    int maxH = 1, maxV = 1;
    int linesLeft = 0, mcuLinesLeft = 0;
    int mcuRow = 0;  // next MCU row to decode

    // Scan.
    int scanComponentCount = 0;
    int scanComponents[4] = {};
    int spectralStart = 0, spectralEnd = 63;
    int approxHigh = 0, approxLow = 0;
    int scanMcusAcross = 0, scanMcusDown = 0;
    int scanBlocksPerMcu = 0;
    McuBlock scanBlocks[10] = {};
    int endOfBandRun = 0;
    int restartInterval = 0;
    int restartsLeft = 0;
    int nextRestart = 0;

    // Output.
    int lineBytes = 0;
    uint8_t* line = nullptr;
    int16_t* coefficients = nullptr;  // one MCU of blocks, zero between uses

    // Input.
    uint8_t input[kInputBufferSize + kInputTailSize];
    int inputPos = 0, inputEnd = 0;
    bool streamEnded = false;
    bool markerHit = false;   // entropy data reached a marker: only 1-bits until the next resync
    bool eoiPending = false;  // an EOI was met where a restart marker was due: the data has ended
    uint8_t virtualNext = 0xFF;
    bool readPastEnd = false;  // a byte was asked for after the stream's last one
    uint64_t bitBuffer = 0;    // left-aligned
    int bitCount = 0;
    int64_t totalBytes = 0;

    JpegColourTables colour;

    void* pool[kPoolSlots] = {};
    size_t allocatedBytes = 0;
};
