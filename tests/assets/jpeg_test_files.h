// Test pictures for the JPEG decoder: synthetic photo-like images encoded with libjpeg-turbo in every
// variant the decoder meets, reference decoding by libjpeg-turbo, decoding by our decoder, and a small
// segment editor for building damaged files. Used by the tests, the benchmark and the fuzz corpus.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct JpegEncodeOptions {
    int width = 64;
    int height = 48;
    int components = 3;  // 1 grey, 3 YCbCr, 4 CMYK
    int lumaH = 2, lumaV = 2;
    int chromaH = 1, chromaV = 1;
    int quality = 85;
    bool progressive = false;
    bool separateScans = false;  // sequential, one component per scan
    int restartInterval = 0;     // in MCUs
    bool arithmetic = false;
    bool optimize = false;      // optimised Huffman tables
    bool wideQuant = false;     // 16-bit quantisation tables (extended sequential)
    bool extraMarkers = false;  // APP1 and COM segments after the JFIF header
    unsigned seed = 1;
};

// Interleaved 8-bit samples (components per pixel), photo-like: smooth shapes, edges and grain.
std::vector<uint8_t> MakeTestPixels(int width, int height, int components, unsigned seed);
std::vector<uint8_t> EncodeTestJpeg(const JpegEncodeOptions& options);
std::vector<uint8_t> EncodeTestJpeg(const JpegEncodeOptions& options, const std::vector<uint8_t>& pixels);

struct DecodedPicture {
    int width = 0, height = 0, channels = 0;  // channels 1 (grey) or 3 (RGB)
    std::vector<uint8_t> pixels;
    int error = 0;      // our decoder's error code (0 = none)
    int rowResult = 0;  // our decoder: the failing DecodeRow result, if any
};

// libjpeg-turbo: accurate integer transform and replication upsampling when `reference` is true, its
// defaults (fancy upsampling) otherwise. Returns false when libjpeg refuses the file.
bool DecodeWithLibjpeg(const std::vector<uint8_t>& file, DecodedPicture* out, bool reference = true);
// Our decoder; pixels hold RGB (or grey) rows top first. Returns false on any error.
bool DecodeWithOurs(const std::vector<uint8_t>& file, bool fastPath, DecodedPicture* out);

// Largest absolute sample difference and PSNR (dB, 99 for identical) of two pictures of the same shape.
int MaxDifference(const DecodedPicture& a, const DecodedPicture& b);
double Psnr(const DecodedPicture& a, const DecodedPicture& b);

// A file cut into marker segments: marker code, then the bytes after the marker (length field,
// payload, and for SOS the entropy-coded data that follows up to the next non-RST marker).
struct JpegSegment {
    int marker;
    std::vector<uint8_t> bytes;
};
std::vector<JpegSegment> SplitJpeg(const std::vector<uint8_t>& file);
std::vector<uint8_t> JoinJpeg(const std::vector<JpegSegment>& segments);
int FindSegment(const std::vector<JpegSegment>& segments, int marker, int nth = 0);  // index or -1

std::vector<uint8_t> ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
