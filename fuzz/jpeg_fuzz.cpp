// Fuzz target for the JPEG decoder: construct, Begin and every DecodeRow over arbitrary bytes, reading
// every delivered byte so that a bad row pointer shows; every recorded error code must have its text. The
// input's last byte picks the transform (fast or plain) and the stream (memory, or a file through
// JpegFileStream). Inputs of 256 bytes or more also feed the SIMD kernels and their portable twins, which
// must agree bit for bit. Built with libFuzzer and AddressSanitizer with UndefinedBehaviorSanitizer
// (QUARNEL_FUZZ). Depends on assets/jpeg_decoder and assets/jpeg_idct.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "assets/jpeg_decoder.h"
#include "assets/jpeg_idct.h"

namespace {

void CheckErrorText(int code)
{
    if (code != 0 && std::strcmp(JpegErrorText(code), "unknown error") == 0) __builtin_trap();
}

void CheckKernels(const uint8_t* data, size_t size)
{
    if (size < 256) return;
    int16_t coefficients[64];
    uint16_t natural[64];
    std::memcpy(coefficients, data, sizeof coefficients);
    std::memcpy(natural, data + 128, sizeof natural);
    int16_t prescaled[64];
    JpegPrescaleQuant(natural, prescaled);
    uint8_t fast[64], portable[64];
    JpegIdctFast(coefficients, prescaled, fast, 8);
    JpegIdctFastPortable(coefficients, prescaled, portable, 8);
    if (std::memcmp(fast, portable, sizeof fast) != 0) __builtin_trap();

    // One line of up to 64 pixels, chroma replicated or not; the SIMD version may write 15 pixels further.
    static JpegColourTables tables;
    static bool built = false;
    if (!built) JpegBuildColourTables(tables);
    built = true;
    const int count = 1 + data[0] % 64;
    const int shift = data[1] & 1;
    uint8_t y[80] = {}, cb[80] = {}, cr[80] = {};
    const size_t bytes = size - 256 < 64 ? size - 256 : 64;
    std::memcpy(y, data + 256, bytes);
    std::memcpy(cb, data + 64, 64);
    std::memcpy(cr, data + 192, 64);
    uint8_t simd[80 * 4] = {}, plain[80 * 4] = {};
    JpegConvertLine(tables, y, cb, cr, shift, count, simd);
    JpegConvertLinePortable(tables, y, cb, cr, shift, count, plain);
    if (std::memcmp(simd, plain, static_cast<size_t>(count) * 4) != 0) __builtin_trap();
}

// The input as a file, for JpegFileStream: an in-memory file opened again by its /proc name.
bool AsFile(const uint8_t* data, size_t size, char* path, size_t pathSize)
{
    static int fd = memfd_create("jpeg_fuzz", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0) return false;
    if (size && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return false;
    std::snprintf(path, pathSize, "/proc/self/fd/%d", fd);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const uint8_t choice = size ? data[size - 1] : 0;
    const bool fast = (choice & 1) == 0;
    CheckKernels(data, size);

    JpegMemoryStream memory(data, size);
    JpegFileStream file;
    JpegStream* stream = &memory;
    char path[64];
    if ((choice & 2) && AsFile(data, size, path, sizeof path) && file.Open(path, "rb")) stream = &file;

    auto decoder = std::make_unique<JpegDecoder>(stream, fast);
    CheckErrorText(decoder->ErrorCode());
    if (decoder->ErrorCode() != 0) return 0;
    // Whole-picture planes of 8192 x 8192 pictures take seconds per input; they teach the fuzzer nothing
    // the smaller ones do not.
    if (static_cast<int64_t>(decoder->Width()) * decoder->Height() > 1 << 22) return 0;
    if (decoder->Begin() != 0) {
        CheckErrorText(decoder->ErrorCode());
        return 0;
    }
    const uint8_t* row = nullptr;
    int length = 0;
    unsigned sum = 0;
    int result;
    while ((result = decoder->DecodeRow(&row, &length)) == 0) {
        for (int i = 0; i < length; ++i) sum += row[i];
    }
    CheckErrorText(decoder->ErrorCode());
    volatile unsigned sink = sum;
    (void)sink;
    return 0;
}
