// jpeg-decode: decodes a JPEG file with the show's own decoder and writes it as a binary PPM (P6 colour,
// P5 grey), top row first. Checks an asset the way the show will read it. Depends on assets/jpeg_decoder
// and platform/output_file.
// Usage: jpeg-decode [--plain] IN.jpg OUT.ppm|-
//
// Rows are written as they are decoded, so memory stays small whatever the picture's size. A named output
// follows the rules of output_file.h: a file appears under its name only when the picture is complete (a
// failure or an interrupt leaves no half picture), a device or pipe is written in place. "-" writes to
// standard output.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "assets/jpeg_decoder.h"
#include "platform/output_file.h"

namespace {

constexpr size_t kOutputBuffer = 1 << 18;
// The output's buffer: static, since standard output may still flush it while the process exits.
char outputBuffer[kOutputBuffer];

int Usage()
{
    std::fprintf(stderr,
                 "usage: jpeg-decode [--plain] IN.jpg OUT.ppm|-\n"
                 "  --plain  use the accurate integer transform instead of the fast one\n"
                 "  -        write the picture to standard output\n");
    return 1;
}

int DecoderFailure(const char* inName, int code)
{
    std::fprintf(stderr, "jpeg-decode: %s: error %d: %s\n", inName, code, JpegErrorText(code));
    return 1;
}

// The output: standard output, or a named file through the one writer of output files.
class Output {
public:
    ~Output() { DiscardOutputFile(file); }

    bool Open(const char* target)
    {
        name = target;
        if (name == "-") {
            stream = stdout;
        } else {
            std::string cause;
            if (!OpenOutputFile(name, file, cause)) return Failed(cause);
            stream = file.stream;
        }
        std::setvbuf(stream, outputBuffer, _IOFBF, sizeof outputBuffer);
        return true;
    }

    bool Write(const void* bytes, size_t count)
    {
        if (std::fwrite(bytes, 1, count, stream) == count) return true;
        return Failed(std::strerror(errno));
    }

    // Flushes and, for a named output, puts the complete picture under its name.
    bool Finish()
    {
        if (stream == stdout) return std::fflush(stdout) == 0 || Failed(std::strerror(errno));
        std::string cause;
        return CommitOutputFile(file, cause) || Failed(cause);
    }

private:
    bool Failed(const std::string& cause)
    {
        std::fprintf(stderr, "jpeg-decode: cannot write %s: %s\n",
                     name == "-" ? "standard output" : name.c_str(), cause.c_str());
        return false;
    }

    std::string name;
    OutputFile file;
    std::FILE* stream = nullptr;
};

// R, G, B, 0 to R, G, B: one four-byte copy per pixel, whose fourth byte the next pixel overwrites (rgb
// has one byte to spare at the end).
void PackRgb(const uint8_t* rgbx, int width, uint8_t* rgb)
{
    for (int x = 0; x < width; ++x) std::memcpy(rgb + 3 * x, rgbx + 4 * x, 4);
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
    RemoveOutputFilesOnInterrupt();

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
    Output output;
    if (!output.Open(names[1])) return 1;
    char header[64];
    int headerBytes =
        std::snprintf(header, sizeof header, "%s\n%d %d\n255\n", grey ? "P5" : "P6", width, height);
    if (!output.Write(header, static_cast<size_t>(headerBytes))) return 1;

    std::vector<uint8_t> rgb(grey ? 0 : static_cast<size_t>(width) * 3 + 1);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = nullptr;
        int length = 0;
        if (decoder->DecodeRow(&row, &length) != 0) return DecoderFailure(names[0], decoder->ErrorCode());
        bool written;
        if (grey) {
            written = output.Write(row, static_cast<size_t>(width));
        } else {
            PackRgb(row, width, rgb.data());
            written = output.Write(rgb.data(), static_cast<size_t>(width) * 3);
        }
        if (!written) return 1;
    }
    return output.Finish() ? 0 : 1;
}
