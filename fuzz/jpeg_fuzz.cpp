// Fuzz target for the JPEG decoder: construct, Begin and every DecodeRow over arbitrary bytes, reading
// every delivered byte so that a bad row pointer shows. Built with libFuzzer, AddressSanitizer and
// UndefinedBehaviorSanitizer (QUARNEL_FUZZ). Depends on assets/jpeg_decoder.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "assets/jpeg_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The transform path comes from the input too, so both are explored.
    bool fast = size == 0 || (data[size - 1] & 1) == 0;
    JpegMemoryStream stream(data, size);
    auto decoder = std::make_unique<JpegDecoder>(&stream, fast);
    if (decoder->ErrorCode() != 0) return 0;
    // Whole-picture planes of 8192 x 8192 pictures take seconds per input; they teach the fuzzer nothing
    // the smaller ones do not.
    if (static_cast<int64_t>(decoder->Width()) * decoder->Height() > 1 << 22) return 0;
    if (decoder->Begin() != 0) return 0;
    const uint8_t* row = nullptr;
    int length = 0;
    unsigned sum = 0;
    while (decoder->DecodeRow(&row, &length) == 0) {
        for (int i = 0; i < length; ++i) sum += row[i];
    }
    volatile unsigned sink = sum;
    (void)sink;
    return 0;
}
