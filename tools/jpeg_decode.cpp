// jpeg-decode: decodes a JPEG file with the show's own decoder and writes it as a binary PPM (P6 colour,
// P5 grey), top row first. Checks an asset the way the show will read it. Depends on assets/jpeg_decoder.
// Usage: jpeg-decode [--plain] IN.jpg OUT.ppm|-
//
// Rows are written as they are decoded, so memory stays small whatever the picture's size. A named output
// is written to a temporary file beside it and renamed only when complete: a failure (or an interrupt)
// leaves no half picture under the final name. "-" writes to standard output.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "assets/jpeg_decoder.h"

namespace {

constexpr size_t kOutputBuffer = 1 << 18;

// The temporary file's name, for the signal handler to remove; empty when there is none.
char temporaryPath[4096];

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

void RemoveTemporaryAndExit(int signal)
{
    if (temporaryPath[0]) unlink(temporaryPath);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// The output: standard output, or a temporary file in the target's folder that becomes the target.
class Output {
public:
    ~Output()
    {
        if (file && file != stdout) std::fclose(file);
        Discard();
    }

    bool Open(const char* target)
    {
        name = target;
        if (name == "-") {
            file = stdout;
        } else {
            std::string folder = ".";
            size_t slash = name.rfind('/');
            if (slash != std::string::npos) folder = slash == 0 ? "/" : name.substr(0, slash);
            std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
            std::string pattern = folder + "/." + base + ".XXXXXX";
            if (pattern.size() >= sizeof(temporaryPath)) return Failed("name too long", ENAMETOOLONG);
            std::memcpy(temporaryPath, pattern.c_str(), pattern.size() + 1);
            std::signal(SIGINT, RemoveTemporaryAndExit);
            std::signal(SIGTERM, RemoveTemporaryAndExit);
            std::signal(SIGHUP, RemoveTemporaryAndExit);
            int fd = mkstemp(temporaryPath);
            if (fd < 0) {
                int error = errno;
                temporaryPath[0] = '\0';
                return Failed("cannot create", error);
            }
            // mkstemp makes the file private; the picture gets the permissions a plain create would give.
            mode_t mask = umask(0);
            umask(mask);
            fchmod(fd, 0666 & ~mask);
            file = fdopen(fd, "wb");
            if (!file) {
                int error = errno;
                close(fd);
                return Failed("cannot create", error);
            }
        }
        buffer.resize(kOutputBuffer);
        std::setvbuf(file, buffer.data(), _IOFBF, buffer.size());
        return true;
    }

    bool Write(const void* bytes, size_t count)
    {
        if (std::fwrite(bytes, 1, count, file) == count) return true;
        return Failed("write failed", errno);
    }

    // Flushes and, for a named output, puts the complete picture under its name.
    bool Finish()
    {
        if (std::fflush(file) != 0) return Failed("write failed", errno);
        if (file == stdout) return true;
        int closed = std::fclose(file);
        file = nullptr;
        if (closed != 0) return Failed("write failed", errno);
        if (std::rename(temporaryPath, name.c_str()) != 0)
            return Failed("cannot rename the finished picture to it", errno);
        temporaryPath[0] = '\0';
        return true;
    }

    // Removes the unfinished temporary file.
    void Discard()
    {
        if (temporaryPath[0]) unlink(temporaryPath);
        temporaryPath[0] = '\0';
    }

private:
    bool Failed(const char* what, int error)
    {
        std::fprintf(stderr, "jpeg-decode: %s: %s: %s\n", name == "-" ? "standard output" : name.c_str(),
                     what, std::strerror(error));
        return false;
    }

    std::string name;
    std::FILE* file = nullptr;
    std::vector<char> buffer;
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
