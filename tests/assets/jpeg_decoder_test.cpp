// Decoding agrees with libjpeg-turbo: every sampling, size, progressive and sequential variant, restart
// intervals, 16-bit tables, extra segments, truncation; the line format and the call protocol; the
// jpeg-decode tool; the regression files kept from fuzzing.
#include "assets/jpeg_decoder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "tests/assets/jpeg_test_files.h"

namespace {

struct Variant {
    const char* name;
    int components, lumaH, lumaV;
};
constexpr Variant kVariants[] = {
    {"grey", 1, 1, 1}, {"444", 3, 1, 1}, {"422", 3, 2, 1}, {"440", 3, 1, 2}, {"420", 3, 2, 2},
};
constexpr int kSizes[][2] = {{1, 1}, {7, 5}, {8, 8}, {17, 33}, {64, 48}, {97, 61}, {256, 128}};

std::string Describe(const JpegEncodeOptions& o)
{
    char text[160];
    std::snprintf(text, sizeof(text), "%dx%d comps %d luma %dx%d q%d%s%s restart %d%s%s", o.width, o.height,
                  o.components, o.lumaH, o.lumaV, o.quality, o.progressive ? " progressive" : "",
                  o.separateScans ? " separate-scans" : "", o.restartInterval,
                  o.wideQuant ? " 16-bit-quant" : "", o.optimize ? " optimised" : "");
    return text;
}

// Decodes with libjpeg (reference settings) and both of our paths; checks the plain path within 1 and
// returns the fast path's PSNR and largest difference.
void CompareWithReference(const JpegEncodeOptions& o, double* fastPsnr, int* fastMax)
{
    SCOPED_TRACE(Describe(o));
    std::vector<uint8_t> file = EncodeTestJpeg(o);
    ASSERT_FALSE(file.empty());
    DecodedPicture reference, plain, fast;
    ASSERT_TRUE(DecodeWithLibjpeg(file, &reference));
    ASSERT_TRUE(DecodeWithOurs(file, false, &plain)) << "error " << plain.error;
    ASSERT_TRUE(DecodeWithOurs(file, true, &fast)) << "error " << fast.error;
    ASSERT_EQ(plain.width, reference.width);
    ASSERT_EQ(plain.height, reference.height);
    ASSERT_EQ(plain.channels, reference.channels);
    EXPECT_EQ(plain.rowResult, 1);
    EXPECT_LE(MaxDifference(plain, reference), 1);
    *fastPsnr = Psnr(fast, reference);
    *fastMax = MaxDifference(fast, reference);
}

struct FastStats {
    double worstPsnr = 99.0;
    int worstMax = 0;
    void Add(double psnr, int max)
    {
        if (psnr < worstPsnr) worstPsnr = psnr;
        if (max > worstMax) worstMax = max;
    }
};

}  // namespace

TEST(JpegDecoder, SequentialMatchesLibjpegForEverySamplingAndSize)
{
    FastStats stats;
    for (const Variant& v : kVariants) {
        for (const auto& size : kSizes) {
            JpegEncodeOptions o;
            o.width = size[0];
            o.height = size[1];
            o.components = v.components;
            o.lumaH = v.lumaH;
            o.lumaV = v.lumaV;
            o.seed = static_cast<unsigned>(size[0] * 31 + v.lumaH);
            double psnr = 0;
            int max = 0;
            CompareWithReference(o, &psnr, &max);
            // Tiny pictures are mostly edge blocks; the PSNR goal is for real pictures.
            if (o.width * o.height >= 64 * 48) stats.Add(psnr, max);
        }
    }
    std::printf("fast path, sequential: worst PSNR %.2f dB, largest difference %d\n", stats.worstPsnr,
                stats.worstMax);
    EXPECT_GE(stats.worstPsnr, 40.0);
}

TEST(JpegDecoder, ProgressiveMultiScanRestartsAndWideTablesMatchLibjpeg)
{
    FastStats stats;
    for (const Variant& v : kVariants) {
        for (int kind = 0; kind < 6; ++kind) {
            JpegEncodeOptions o;
            o.width = kind % 2 ? 97 : 256;
            o.height = kind % 2 ? 61 : 128;
            o.components = v.components;
            o.lumaH = v.lumaH;
            o.lumaV = v.lumaV;
            o.seed = 7 + kind;
            switch (kind) {
                case 0:
                    o.progressive = true;
                    break;
                case 1:
                    o.progressive = true;
                    o.restartInterval = 2;
                    break;
                case 2:
                    o.restartInterval = 1;
                    break;
                case 3:
                    o.restartInterval = 5;
                    o.optimize = true;
                    break;
                case 4:
                    o.wideQuant = true;
                    o.quality = 3;
                    break;  // tables above 255 need 16-bit entries
                case 5:
                    o.separateScans = true;
                    o.quality = 95;
                    break;
            }
            double psnr = 0;
            int max = 0;
            CompareWithReference(o, &psnr, &max);
            if (kind != 4) stats.Add(psnr, max);  // quality 3 is blocks of flat colour, not a goal
        }
    }
    std::printf("fast path, progressive and restarts: worst PSNR %.2f dB, largest difference %d\n",
                stats.worstPsnr, stats.worstMax);
    EXPECT_GE(stats.worstPsnr, 40.0);
}

TEST(JpegDecoder, DeliversLinesInTheDocumentedFormat)
{
    for (int components : {1, 3}) {
        JpegEncodeOptions o;
        o.width = 37;
        o.height = 21;
        o.components = components;
        std::vector<uint8_t> file = EncodeTestJpeg(o);
        JpegMemoryStream stream(file.data(), file.size());
        auto decoder = std::make_unique<JpegDecoder>(&stream, true);
        ASSERT_EQ(decoder->ErrorCode(), 0);
        EXPECT_EQ(decoder->Width(), 37);
        EXPECT_EQ(decoder->Height(), 21);
        const uint8_t* row = nullptr;
        int length = 0;
        EXPECT_EQ(decoder->DecodeRow(&row, &length), -1) << "rows before Begin";
        ASSERT_EQ(decoder->Begin(), 0);
        EXPECT_EQ(decoder->Begin(), 0) << "a second Begin is harmless";
        for (int y = 0; y < 21; ++y) {
            ASSERT_EQ(decoder->DecodeRow(&row, &length), 0);
            ASSERT_EQ(length, components == 1 ? 37 : 37 * 4);
            for (int x = 0; components == 3 && x < 37; ++x) ASSERT_EQ(row[4 * x + 3], 0) << "pixel " << x;
        }
        EXPECT_EQ(decoder->DecodeRow(&row, &length), 1);
        EXPECT_EQ(decoder->DecodeRow(&row, &length), 1);
        // The picture ends at its EOI: nothing after it was counted as read.
        EXPECT_EQ(decoder->BytesConsumed(), static_cast<int64_t>(file.size()) - 2);
    }
}

TEST(JpegDecoder, SequentialMemoryFollowsTheWidthNotTheHeight)
{
    auto memoryFor = [](int width, int height, bool progressive) {
        JpegEncodeOptions o;
        o.width = width;
        o.height = height;
        o.progressive = progressive;
        o.quality = 30;
        std::vector<uint8_t> file = EncodeTestJpeg(o);
        JpegMemoryStream stream(file.data(), file.size());
        auto decoder = std::make_unique<JpegDecoder>(&stream, true);
        EXPECT_EQ(decoder->Begin(), 0);
        return decoder->AllocatedBytes();
    };
    EXPECT_EQ(memoryFor(256, 32, false), memoryFor(256, 1024, false));
    EXPECT_LT(memoryFor(256, 1024, false), 32u * 1024);
    EXPECT_GT(memoryFor(512, 32, false), memoryFor(256, 32, false));
    // Progressive pictures keep every coefficient: 128 bytes per block.
    EXPECT_GT(memoryFor(256, 1024, true), 256u * 1024 / 64 * 128);
    std::printf("decoder object %zu bytes\n", sizeof(JpegDecoder));
    EXPECT_LT(sizeof(JpegDecoder), 64u * 1024);
}

TEST(JpegDecoder, SkipsJunkAndExtraSegments)
{
    JpegEncodeOptions o;
    o.extraMarkers = true;
    std::vector<uint8_t> file = EncodeTestJpeg(o);
    DecodedPicture reference, ours;
    ASSERT_TRUE(DecodeWithLibjpeg(file, &reference));
    ASSERT_TRUE(DecodeWithOurs(file, false, &ours)) << ours.error;
    EXPECT_LE(MaxDifference(ours, reference), 1);

    for (int junk : {1, 100, 511, 512, 600}) {
        std::vector<uint8_t> padded(static_cast<size_t>(junk), 0x5A);
        padded.back() = 0xFF;  // a lone FF right before SOI must not confuse the search
        padded.insert(padded.end(), file.begin(), file.end());
        DecodedPicture picture;
        bool ok = DecodeWithOurs(padded, true, &picture);
        if (junk <= 511) {
            EXPECT_TRUE(ok) << junk << " bytes of junk";
        } else {
            EXPECT_FALSE(ok);
            EXPECT_EQ(picture.error, kJpegNoStartOfImage) << junk << " bytes of junk";
        }
    }
}

TEST(JpegDecoder, TruncatedFilesStillDeliverEveryRow)
{
    for (int restart : {0, 2}) {
        for (bool progressive : {false, true}) {
            JpegEncodeOptions o;
            o.width = 96;
            o.height = 80;
            o.restartInterval = restart;
            o.progressive = progressive;
            std::vector<uint8_t> file = EncodeTestJpeg(o);
            DecodedPicture whole;
            ASSERT_TRUE(DecodeWithOurs(file, true, &whole));
            for (double part : {0.3, 0.6, 0.95}) {
                SCOPED_TRACE(testing::Message()
                             << "restart " << restart << " progressive " << progressive << " kept " << part);
                std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<long>(file.size() * part));
                DecodedPicture picture;
                ASSERT_TRUE(DecodeWithOurs(cut, true, &picture)) << "error " << picture.error;
                EXPECT_EQ(picture.rowResult, 1);
                if (!progressive && part > 0.5) {
                    // The first MCU row came before the cut and decodes as in the whole file.
                    size_t firstRows = static_cast<size_t>(16) * 96 * 3;
                    EXPECT_TRUE(std::equal(whole.pixels.begin(), whole.pixels.begin() + firstRows,
                                           picture.pixels.begin()));
                }
            }
        }
    }
    // Cut right after the headers: no scan at all, a mid-grey picture.
    JpegEncodeOptions o;
    std::vector<uint8_t> file = EncodeTestJpeg(o);
    std::vector<JpegSegment> segments = SplitJpeg(file);
    int sos = FindSegment(segments, 0xDA);
    ASSERT_GT(sos, 0);
    segments.resize(static_cast<size_t>(sos));
    DecodedPicture picture;
    ASSERT_TRUE(DecodeWithOurs(JoinJpeg(segments), true, &picture)) << picture.error;
    EXPECT_EQ(picture.pixels[0], 128);
}

TEST(JpegDecoder, FileStreamReadsFilesAndReportsTheirEnd)
{
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "quarnel_jpeg_stream_test";
    std::filesystem::create_directories(dir);
    JpegEncodeOptions o;
    o.width = 300;
    o.height = 200;  // more than one 4096-byte buffer
    std::vector<uint8_t> file = EncodeTestJpeg(o);
    std::string path = (dir / "picture.jpg").string();
    ASSERT_TRUE(WriteFileBytes(path, file));

    JpegFileStream stream;
    EXPECT_FALSE(JpegFileStream().Open((dir / "missing.jpg").string().c_str(), "rb"));
    ASSERT_TRUE(stream.Open(path.c_str(), "rb"));
    auto decoder = std::make_unique<JpegDecoder>(&stream, true);
    ASSERT_EQ(decoder->ErrorCode(), 0);
    ASSERT_EQ(decoder->Begin(), 0);
    DecodedPicture fromMemory;
    ASSERT_TRUE(DecodeWithOurs(file, true, &fromMemory));
    for (int y = 0; y < 200; ++y) {
        const uint8_t* row = nullptr;
        int length = 0;
        ASSERT_EQ(decoder->DecodeRow(&row, &length), 0);
        for (int x = 0; x < 300; ++x)
            ASSERT_EQ(row[4 * x + 1], fromMemory.pixels[(static_cast<size_t>(y) * 300 + x) * 3 + 1]);
    }
    decoder.reset();

    // After the end the stream keeps saying so; a closed stream fails.
    uint8_t buffer[64];
    bool end = false;
    JpegFileStream small;
    ASSERT_TRUE(small.Open(path.c_str(), "rb"));
    int total = 0, got = 0;
    while ((got = small.Read(buffer, sizeof(buffer), &end)) > 0 && !end) total += got;
    total += got > 0 ? got : 0;
    EXPECT_TRUE(end);
    EXPECT_EQ(total, static_cast<int>(file.size()));
    end = false;
    EXPECT_EQ(small.Read(buffer, sizeof(buffer), &end), 0);
    EXPECT_TRUE(end);
    small.Close();
    EXPECT_EQ(small.Read(buffer, sizeof(buffer), &end), -1);
    std::filesystem::remove_all(dir);
}

TEST(JpegDecodeTool, WritesPpmAndReportsErrors)
{
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "quarnel_jpeg_tool_test";
    std::filesystem::create_directories(dir);
    for (int components : {1, 3}) {
        JpegEncodeOptions o;
        o.width = 45;
        o.height = 30;
        o.components = components;
        std::vector<uint8_t> file = EncodeTestJpeg(o);
        std::string in = (dir / "in.jpg").string(), out = (dir / "out.ppm").string();
        ASSERT_TRUE(WriteFileBytes(in, file));
        std::string command = std::string(JPEG_DECODE_TOOL) + " --plain " + in + " " + out;
        ASSERT_EQ(std::system(command.c_str()), 0);
        std::vector<uint8_t> ppm = ReadFileBytes(out);
        std::string header = components == 1 ? "P5\n45 30\n255\n" : "P6\n45 30\n255\n";
        ASSERT_GE(ppm.size(), header.size());
        EXPECT_EQ(std::string(ppm.begin(), ppm.begin() + static_cast<long>(header.size())), header);
        DecodedPicture plain;
        ASSERT_TRUE(DecodeWithOurs(file, false, &plain));
        EXPECT_TRUE(std::equal(plain.pixels.begin(), plain.pixels.end(),
                               ppm.begin() + static_cast<long>(header.size())));
        EXPECT_EQ(ppm.size(), header.size() + plain.pixels.size());
    }
    std::string bad = (dir / "bad.jpg").string();
    ASSERT_TRUE(WriteFileBytes(bad, std::vector<uint8_t>(700, 0x42)));
    std::string errors = (dir / "errors.txt").string();
    std::string command =
        std::string(JPEG_DECODE_TOOL) + " " + bad + " " + (dir / "x.ppm").string() + " 2>" + errors;
    int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    std::vector<uint8_t> text = ReadFileBytes(errors);
    EXPECT_NE(std::string(text.begin(), text.end()).find("-217"), std::string::npos);
    std::filesystem::remove_all(dir);
}

// Rows go out as they are decoded: to standard output with "-", or through a temporary file that only a
// complete picture turns into the named one.
TEST(JpegDecodeTool, StreamsToStandardOutputAndLeavesNoHalfPicture)
{
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "quarnel_jpeg_tool_stream_test";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    JpegEncodeOptions o;
    o.width = 61;
    o.height = 64;
    o.restartInterval = 1;
    std::vector<uint8_t> file = EncodeTestJpeg(o);
    std::string in = (dir / "in.jpg").string(), out = (dir / "out.ppm").string();
    ASSERT_TRUE(WriteFileBytes(in, file));
    std::string tool = JPEG_DECODE_TOOL;
    ASSERT_EQ(std::system((tool + " " + in + " " + out).c_str()), 0);
    ASSERT_EQ(std::system((tool + " " + in + " - >" + (dir / "stdout.ppm").string()).c_str()), 0);
    EXPECT_EQ(ReadFileBytes(out), ReadFileBytes((dir / "stdout.ppm").string()));
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(static_cast<mode_t>(std::filesystem::status(out).permissions()),
              0666 & ~mask);  // as a plain create

    // The last restart marker made the wrong one: the first rows decode, then the picture fails.
    std::vector<uint8_t> broken = file;
    size_t last = 0;
    for (size_t i = 0; i + 1 < broken.size(); ++i)
        if (broken[i] == 0xFF && broken[i + 1] >= 0xD0 && broken[i + 1] <= 0xD7) last = i;
    ASSERT_GT(last, 0u);
    broken[last + 1] = static_cast<uint8_t>(0xD0 + ((broken[last + 1] - 0xD0 + 3) & 7));
    ASSERT_TRUE(WriteFileBytes(in, broken));
    ASSERT_TRUE(WriteFileBytes(out, {'o', 'l', 'd'}));
    std::string errors = (dir / "errors.txt").string();
    int status = std::system((tool + " " + in + " " + out + " 2>" + errors).c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    std::vector<uint8_t> text = ReadFileBytes(errors);
    EXPECT_NE(std::string(text.begin(), text.end()).find("-228"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(out), std::vector<uint8_t>({'o', 'l', 'd'}));
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) entries += entry.exists() ? 1 : 0;
    EXPECT_EQ(entries, 4);  // in.jpg, out.ppm, stdout.ppm, errors.txt: no temporary file left

    // A full device is a failure, not a success with a cut picture.
    ASSERT_TRUE(WriteFileBytes(in, file));
    status = std::system((tool + " " + in + " - >/dev/full 2>" + errors).c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    text = ReadFileBytes(errors);
    EXPECT_NE(std::string(text.begin(), text.end()).find("standard output"), std::string::npos);
    std::filesystem::remove_all(dir);
}

TEST(JpegDecoder, FuzzFindingsEndWithTheirRecordedOutcome)
{
    // Small inputs kept from fuzzing, the smallest for each outcome; "fuzz-228-....bin" must end with
    // error -228 on both paths, "fuzz0-....bin" must decode.
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(JPEG_TEST_DATA_DIR)) {
        std::string name = entry.path().filename().string();
        if (name.rfind("fuzz", 0) != 0) continue;
        SCOPED_TRACE(name);
        int expected = std::stoi(name.substr(4));
        std::vector<uint8_t> file = ReadFileBytes(entry.path().string());
        for (bool fast : {true, false}) {
            DecodedPicture picture;
            bool ok = DecodeWithOurs(file, fast, &picture);
            EXPECT_EQ(ok, expected == 0);
            EXPECT_EQ(picture.error, expected);
        }
        ++count;
    }
    EXPECT_GE(count, 20);
}
