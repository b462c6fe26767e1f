// jpeg-decode: decodes a JPEG file with the show's own decoder and writes it as a binary PPM (P6 colour,
// P5 grey), top row first. Checks an asset the way the show will read it. Depends on assets/jpeg_decoder.
// Usage: jpeg-decode [--plain] IN.jpg OUT.ppm
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "assets/jpeg_decoder.h"

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: jpeg-decode [--plain] IN.jpg OUT.ppm\n"
                 "  --plain  use the accurate integer transform instead of the fast one\n");
    return 1;
}

int DecoderFailure(const char* inName, int code)
{
    std::fprintf(stderr, "jpeg-decode: %s: error %d: %s\n", inName, code, JpegErrorText(code));
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    bool plain = false;
    const char* names[2] = {nullptr, nullptr};
    int named = 0;
    for (int i = 1; i < argc; ++i) {
        bool option = argv[i][0] == '-' && argv[i][1] != '\0';
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            Usage();
            return 0;
        }
        if (std::strcmp(argv[i], "--plain") == 0) {
            plain = true;
            continue;
        }
        if (option || named == 2) return Usage();
        names[named++] = argv[i];
    }
    if (named != 2) return Usage();

    JpegFileStream stream;
    if (!stream.Open(names[0], "rb")) {
        std::fprintf(stderr, "jpeg-decode: %s: cannot open: %s\n", names[0], std::strerror(errno));
        return 1;
    }
    auto decoder = std::make_unique<JpegDecoder>(&stream, !plain);
    if (decoder->ErrorCode() != 0) return DecoderFailure(names[0], decoder->ErrorCode());
    if (decoder->Begin() != 0) return DecoderFailure(names[0], decoder->ErrorCode());

    const int width = decoder->Width(), height = decoder->Height();
    const bool grey = decoder->BytesPerPixel() == 1;
    const int channels = grey ? 1 : 3;
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * channels);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = nullptr;
        int length = 0;
        if (decoder->DecodeRow(&row, &length) != 0) return DecoderFailure(names[0], decoder->ErrorCode());
        unsigned char* out = pixels.data() + static_cast<size_t>(y) * width * channels;
        if (grey) {
            std::memcpy(out, row, static_cast<size_t>(width));
        } else {
            for (int x = 0; x < width; ++x) std::memcpy(out + 3 * x, row + 4 * x, 3);
        }
    }

    std::FILE* file = std::fopen(names[1], "wb");
    if (!file) {
        std::fprintf(stderr, "jpeg-decode: %s: cannot create: %s\n", names[1], std::strerror(errno));
        return 1;
    }
    std::fprintf(file, "%s\n%d %d\n255\n", grey ? "P5" : "P6", width, height);
    size_t written = std::fwrite(pixels.data(), 1, pixels.size(), file);
    if (std::fclose(file) != 0 || written != pixels.size()) {
        std::fprintf(stderr, "jpeg-decode: %s: write failed\n", names[1]);
        return 1;
    }
    return 0;
}
