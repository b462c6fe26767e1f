// Every error code that a file can provoke, each from a generated file with one deliberate fault, plus a
// failing stream; an error is final and releases the stream.
#include <gtest/gtest.h>

#include <memory>

#include "assets/jpeg_decoder.h"
#include "tests/assets/jpeg_test_files.h"

namespace {

int ErrorOf(const std::vector<uint8_t>& file)
{
    DecodedPicture picture;
    DecodeWithOurs(file, true, &picture);
    return picture.error;
}

std::vector<JpegSegment> Baseline(int components = 1, int restart = 0, bool progressive = false)
{
    JpegEncodeOptions o;
    o.width = 40;
    o.height = 24;
    o.components = components;
    o.restartInterval = restart;
    o.progressive = progressive;
    return SplitJpeg(EncodeTestJpeg(o));
}

void SetLength(JpegSegment& s)
{
    s.bytes[0] = static_cast<uint8_t>(s.bytes.size() >> 8);
    s.bytes[1] = static_cast<uint8_t>(s.bytes.size() & 255);
}

std::vector<uint8_t> Insert(std::vector<JpegSegment> segments, int before, JpegSegment segment)
{
    segments.insert(segments.begin() + before, std::move(segment));
    return JoinJpeg(segments);
}

// Bits written most significant first, 1-padded, FF bytes stuffed.
std::vector<uint8_t> EntropyBytes(const std::string& bits)
{
    std::vector<uint8_t> out;
    std::string padded = bits;
    while (padded.size() % 8) padded += '1';
    for (size_t i = 0; i < padded.size(); i += 8) {
        uint8_t b = static_cast<uint8_t>(std::stoi(padded.substr(i, 8), nullptr, 2));
        out.push_back(b);
        if (b == 0xFF) out.push_back(0);
    }
    return out;
}

// An 8x8 grey picture with one-code Huffman tables: DC symbol dcSymbol and AC symbol acSymbol, both
// coded as '0', followed by the given entropy bits.
std::vector<uint8_t> HandMade(int dcSymbol, int acSymbol, const std::string& bits)
{
    std::vector<JpegSegment> s;
    s.push_back({0xD8, {}});
    JpegSegment dqt{0xDB, {0, 0, 0x00}};
    dqt.bytes.insert(dqt.bytes.end(), 64, 1);
    SetLength(dqt);
    s.push_back(dqt);
    s.push_back({0xC0, {0, 11, 8, 0, 8, 0, 8, 1, 1, 0x11, 0}});
    for (int table = 0; table < 2; ++table) {
        JpegSegment dht{0xC4, {0, 0, static_cast<uint8_t>(table ? 0x10 : 0x00)}};
        for (int len = 1; len <= 16; ++len) dht.bytes.push_back(len == 1 ? 1 : 0);
        dht.bytes.push_back(static_cast<uint8_t>(table ? acSymbol : dcSymbol));
        SetLength(dht);
        s.push_back(dht);
    }
    JpegSegment sos{0xDA, {0, 8, 1, 1, 0x00, 0, 63, 0}};
    std::vector<uint8_t> data = EntropyBytes(bits);
    sos.bytes.insert(sos.bytes.end(), data.begin(), data.end());
    s.push_back(sos);
    s.push_back({0xD9, {}});
    return JoinJpeg(s);
}

class FailingStream final : public JpegStream {
public:
    explicit FailingStream(std::vector<uint8_t> data, size_t failAt) : data(std::move(data)), failAt(failAt)
    {
    }
    int Read(uint8_t* buffer, int maxBytes, bool* endOfStream) override
    {
        if (position >= failAt) return -1;
        size_t n = std::min<size_t>(static_cast<size_t>(maxBytes), std::min(failAt, data.size()) - position);
        std::copy(data.begin() + static_cast<long>(position), data.begin() + static_cast<long>(position + n),
                  buffer);
        position += n;
        if (position >= data.size()) *endOfStream = true;
        return static_cast<int>(n);
    }
    void Attach() override { ++attached; }
    void Detach() override { ++detached; }
    std::vector<uint8_t> data;
    size_t failAt;
    size_t position = 0;
    int attached = 0, detached = 0;
};

}  // namespace

TEST(JpegErrors, HuffmanTableSegments)
{
    auto s = Baseline();
    int dht = FindSegment(s, 0xC4);
    ASSERT_GE(dht, 0);

    auto tooMany = s;
    for (int i = 3; i < 19; ++i) tooMany[dht].bytes[i] = 16;  // 256 codes
    EXPECT_EQ(ErrorOf(JoinJpeg(tooMany)), kJpegHuffmanCountsTooLarge);

    auto overfull = s;  // three codes of length 1 cannot exist
    overfull[dht].bytes = {0, 0, 0x00, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2};
    SetLength(overfull[dht]);
    EXPECT_EQ(ErrorOf(JoinJpeg(overfull)), kJpegHuffmanCountsTooLarge);

    auto badSlot = s;
    badSlot[dht].bytes[2] = 0x19;  // AC id 9
    EXPECT_EQ(ErrorOf(JoinJpeg(badSlot)), kJpegHuffmanSlotInvalid);

    auto shortSegment = s;
    shortSegment[dht].bytes.pop_back();
    SetLength(shortSegment[dht]);
    EXPECT_EQ(ErrorOf(JoinJpeg(shortSegment)), kJpegHuffmanSegmentShort);
    auto tinyLength = s;
    tinyLength[dht].bytes = {0, 1};
    EXPECT_EQ(ErrorOf(JoinJpeg(tinyLength)), kJpegHuffmanSegmentShort);
}

TEST(JpegErrors, QuantisationTableSegments)
{
    auto s = Baseline();
    int dqt = FindSegment(s, 0xDB);
    ASSERT_GE(dqt, 0);
    auto tiny = s;
    tiny[dqt].bytes = {0, 1};
    EXPECT_EQ(ErrorOf(JoinJpeg(tiny)), kJpegQuantSegmentShort);
    auto badId = s;
    badId[dqt].bytes[2] = 0x04;
    EXPECT_EQ(ErrorOf(JoinJpeg(badId)), kJpegQuantIdInvalid);
    auto wideButShort = s;  // 16-bit entries need 129 bytes, the segment has 65
    wideButShort[dqt].bytes[2] = 0x10;
    EXPECT_EQ(ErrorOf(JoinJpeg(wideButShort)), kJpegQuantTableShort);
}

TEST(JpegErrors, FrameHeader)
{
    auto s = Baseline();
    int sof = FindSegment(s, 0xC0);
    ASSERT_GE(sof, 0);
    auto edit = [&](int index, uint8_t value) {
        auto copy = s;
        copy[sof].bytes[static_cast<size_t>(index)] = value;
        return ErrorOf(JoinJpeg(copy));
    };
    EXPECT_EQ(edit(2, 12), kJpegPrecisionUnsupported);
    EXPECT_EQ(edit(3, 0x20) /* height 8192 + 24 */, kJpegHeightInvalid);
    {
        auto copy = s;  // height 8193, width 8193, height 0
        copy[sof].bytes[3] = 0x20;
        copy[sof].bytes[4] = 0x01;
        EXPECT_EQ(ErrorOf(JoinJpeg(copy)), kJpegHeightInvalid);
        copy = s;
        copy[sof].bytes[5] = 0x20;
        copy[sof].bytes[6] = 0x01;
        EXPECT_EQ(ErrorOf(JoinJpeg(copy)), kJpegWidthInvalid);
        copy = s;
        copy[sof].bytes[3] = 0;
        copy[sof].bytes[4] = 0;
        EXPECT_EQ(ErrorOf(JoinJpeg(copy)), kJpegHeightInvalid);
    }
    EXPECT_EQ(edit(7, 5), kJpegTooManyComponents);
    EXPECT_EQ(edit(1, 12), kJpegFrameLengthInvalid);
    EXPECT_EQ(edit(10, 3), kJpegQuantTableMissing);  // component 1 names table 3, never defined
    EXPECT_EQ(edit(10, 9), kJpegQuantTableMissing);  // and a table number beyond the four

    auto lossless = s;
    lossless[sof].marker = 0xC3;
    EXPECT_EQ(ErrorOf(JoinJpeg(lossless)), kJpegFrameTypeUnsupported);
    auto noFrame = s;
    noFrame.erase(noFrame.begin() + sof, noFrame.end() - 1);
    EXPECT_EQ(ErrorOf(JoinJpeg(noFrame)), kJpegFrameTypeUnsupported);
}

TEST(JpegErrors, UnsupportedPictures)
{
    JpegEncodeOptions o;
    o.width = 32;
    o.height = 16;
    o.components = 4;
    EXPECT_EQ(ErrorOf(EncodeTestJpeg(o)), kJpegComponentCountUnsupported) << "CMYK";
    o.components = 3;
    o.lumaH = o.lumaV = 1;
    o.chromaH = o.chromaV = 2;
    EXPECT_EQ(ErrorOf(EncodeTestJpeg(o)), kJpegSamplingUnsupported) << "chroma 2x2 against luminance 1x1";
    o.lumaH = 4;
    o.chromaH = o.chromaV = 1;
    EXPECT_EQ(ErrorOf(EncodeTestJpeg(o)), kJpegSamplingUnsupported) << "luminance 4x1";
    o.lumaH = 2;
    o.arithmetic = true;
    EXPECT_EQ(ErrorOf(EncodeTestJpeg(o)), kJpegArithmeticCoding);

    auto s = Baseline();
    EXPECT_EQ(ErrorOf(Insert(s, 1, {0xCC, {0, 4, 0x00, 0x10}})), kJpegArithmeticCoding) << "DAC segment";
}

TEST(JpegErrors, MarkersOutOfPlace)
{
    auto s = Baseline();
    EXPECT_EQ(ErrorOf(Insert(s, 1, {0xD0, {}})), kJpegUnexpectedMarker) << "RST0 before the frame";
    EXPECT_EQ(ErrorOf(Insert(s, 1, {0x01, {}})), kJpegUnexpectedMarker) << "TEM";
    int sof = FindSegment(s, 0xC0);
    int sos = FindSegment(s, 0xDA);
    EXPECT_EQ(ErrorOf(Insert(s, sos, s[static_cast<size_t>(sof)])), kJpegUnexpectedMarker) << "second frame";
    EXPECT_EQ(ErrorOf(Insert(s, 1, {0xE5, {0, 1}})), kJpegSegmentLengthInvalid);
    EXPECT_EQ(ErrorOf(Insert(s, 1, {0xDD, {0, 5, 0, 1, 0}})), kJpegRestartLengthInvalid);

    EXPECT_EQ(ErrorOf(std::vector<uint8_t>(300, 0x42)), kJpegNoStartOfImage);
    EXPECT_EQ(ErrorOf({0xFF, 0xD8, 0x00, 0xFF, 0xD9}), kJpegNoStartOfImage) << "SOI not followed by FF";
    EXPECT_EQ(ErrorOf({}), kJpegNoStartOfImage);
}

TEST(JpegErrors, ScanHeader)
{
    auto s = Baseline(3);
    int sos = FindSegment(s, 0xDA);
    auto edit = [&](int index, uint8_t value) {
        auto copy = s;
        copy[static_cast<size_t>(sos)].bytes[static_cast<size_t>(index)] = value;
        return ErrorOf(JoinJpeg(copy));
    };
    EXPECT_EQ(edit(2, 0), kJpegScanHeaderInvalid) << "no components";
    EXPECT_EQ(edit(1, 13), kJpegScanHeaderInvalid) << "length";
    EXPECT_EQ(edit(3, 9), kJpegScanComponentUnknown);
    EXPECT_EQ(edit(5, 1), kJpegScanComponentUnknown) << "a component twice";
    EXPECT_EQ(edit(4, 0x30), kJpegHuffmanTableMissing) << "DC table 3";
    EXPECT_EQ(edit(4, 0x03), kJpegHuffmanTableMissing) << "AC table 3";
}

TEST(JpegErrors, CorruptEntropyData)
{
    // AC run 15 with size 1 four times walks past coefficient 63.
    EXPECT_EQ(ErrorOf(HandMade(0x00, 0xF1,
                               "0"
                               "01"
                               "01"
                               "01"
                               "01")),
              kJpegCorruptData);
    // Three runs stay inside the block; the 1-bit padding then decodes as end of block.
    EXPECT_EQ(ErrorOf(HandMade(0x00, 0xF1,
                               "0"
                               "01"
                               "01"
                               "01")),
              0);
    // A DC magnitude category beyond 16 bits cannot be read.
    EXPECT_EQ(ErrorOf(HandMade(0x11, 0x00, "0")), kJpegCorruptData);

    // Progressive AC refinement values must have size 1.
    auto p = Baseline(1, 0, true);
    int refine = -1;
    for (int i = 0; i < static_cast<int>(p.size()); ++i)
        if (p[i].marker == 0xDA && p[i].bytes[5] > 0 && (p[i].bytes[7] >> 4) != 0) refine = i;
    ASSERT_GE(refine, 0);
    int dht = FindSegment(p, 0xC4);
    ASSERT_GE(dht, 0);
    // Replace every AC table by one whose only code '0' means run 0, size 2.
    JpegSegment table{0xC4, {0, 0, 0x10, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x02}};
    for (int id = 0; id < 2; ++id) {
        table.bytes[2] = static_cast<uint8_t>(0x10 | id);
        SetLength(table);
        p.insert(p.begin() + refine, table);
        ++refine;
    }
    DecodedPicture picture;
    EXPECT_FALSE(DecodeWithOurs(JoinJpeg(p), true, &picture));
    EXPECT_EQ(picture.error, kJpegCorruptData);
}

TEST(JpegErrors, RestartMarkersAndFinalErrors)
{
    auto s = Baseline(3, 1);
    int sos = FindSegment(s, 0xDA);
    std::vector<uint8_t>& data = s[static_cast<size_t>(sos)].bytes;
    size_t rst = 0;
    for (size_t i = 8; i + 1 < data.size(); ++i)
        if (data[i] == 0xFF && data[i + 1] == 0xD0) rst = i;
    ASSERT_GT(rst, 0u);

    auto wrongNumber = s;
    wrongNumber[static_cast<size_t>(sos)].bytes[rst + 1] = 0xD3;
    auto missing = s;
    auto& m = missing[static_cast<size_t>(sos)].bytes;
    m.erase(m.begin() + static_cast<long>(rst), m.begin() + static_cast<long>(rst + 2));

    for (const auto& file : {JoinJpeg(wrongNumber), JoinJpeg(missing)}) {
        FailingStream stream(file, file.size() + 1);
        auto decoder = std::make_unique<JpegDecoder>(&stream, true);
        ASSERT_EQ(decoder->ErrorCode(), 0);
        ASSERT_EQ(decoder->Begin(), 0);
        const uint8_t* row = nullptr;
        int length = 0, result = 0;
        while ((result = decoder->DecodeRow(&row, &length)) == 0) {
        }
        EXPECT_EQ(result, kJpegCorruptData);
        EXPECT_EQ(decoder->ErrorCode(), kJpegRestartMarkerInvalid);
        // Final: later calls fail, and the stream was given up once.
        EXPECT_EQ(decoder->DecodeRow(&row, &length), -1);
        EXPECT_EQ(decoder->Begin(), -1);
        EXPECT_EQ(stream.attached, 1);
        EXPECT_EQ(stream.detached, 1);
    }
}

TEST(JpegErrors, ProgressiveScanParameters)
{
    auto p = Baseline(3, 0, true);
    int acScan = -1, refineScan = -1;
    for (int i = 0; i < static_cast<int>(p.size()); ++i) {
        if (p[i].marker != 0xDA) continue;
        int n = p[i].bytes[2];
        int ss = p[i].bytes[3 + 2 * n], ah = p[i].bytes[5 + 2 * n] >> 4;
        if (ss > 0 && ah == 0 && acScan < 0) acScan = i;
        if (ah > 0 && refineScan < 0) refineScan = i;
    }
    ASSERT_GE(acScan, 0);
    ASSERT_GE(refineScan, 0);
    auto edit = [&](int scan, int offset, uint8_t value) {
        auto copy = p;
        int n = copy[static_cast<size_t>(scan)].bytes[2];
        copy[static_cast<size_t>(scan)].bytes[static_cast<size_t>(3 + 2 * n + offset)] = value;
        return ErrorOf(JoinJpeg(copy));
    };
    EXPECT_EQ(edit(acScan, 0, 40), kJpegProgressiveScanInvalid) << "start above end";
    EXPECT_EQ(edit(acScan, 1, 64), kJpegProgressiveScanInvalid) << "end above 63";
    EXPECT_EQ(edit(acScan, 0, 0), kJpegProgressiveScanInvalid) << "DC scan with AC band";
    EXPECT_EQ(edit(refineScan, 2, 0x31), kJpegRefinementInvalid);
}

TEST(JpegErrors, StreamReadFailure)
{
    JpegEncodeOptions o;
    o.width = 400;
    o.height = 300;
    std::vector<uint8_t> file = EncodeTestJpeg(o);
    for (size_t failAt : {size_t{0}, size_t{5000}}) {
        FailingStream stream(file, failAt);
        auto decoder = std::make_unique<JpegDecoder>(&stream, false);
        int code = decoder->ErrorCode();
        if (code == 0) {
            EXPECT_EQ(decoder->Begin(), 0);
            const uint8_t* row = nullptr;
            int length = 0, result = 0;
            while ((result = decoder->DecodeRow(&row, &length)) == 0) {
            }
            code = decoder->ErrorCode();
        }
        EXPECT_EQ(code, kJpegStreamReadFailed) << "failing at " << failAt;
        EXPECT_EQ(stream.detached, 1);
    }
}
