// Writes the JPEG fuzz target's seed corpus: small files from the tests' generator in every variant the
// decoder handles, and two it refuses. Usage: jpeg_fuzz_corpus OUT_DIR
#include <cstdio>
#include <string>

#include "tests/assets/jpeg_test_files.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: jpeg_fuzz_corpus OUT_DIR\n");
        return 1;
    }
    const std::string dir = argv[1];
    struct Sampling {
        int components, h, v;
    } samplings[] = {{1, 1, 1}, {3, 1, 1}, {3, 2, 1}, {3, 1, 2}, {3, 2, 2}};
    int written = 0;
    for (const Sampling& s : samplings) {
        for (int kind = 0; kind < 6; ++kind) {
            JpegEncodeOptions o;
            o.width = 16 + 9 * kind;
            o.height = 8 + 7 * kind;
            o.components = s.components;
            o.lumaH = s.h;
            o.lumaV = s.v;
            o.quality = 50 + 8 * kind;
            o.progressive = kind == 1 || kind == 4;
            o.restartInterval = kind >= 3 ? kind - 2 : 0;
            o.wideQuant = kind == 5;
            if (o.wideQuant) o.quality = 4;
            o.extraMarkers = kind == 2;
            o.optimize = kind == 4;
            o.separateScans = kind == 2 && s.components == 3;
            o.seed = static_cast<unsigned>(written + 1);
            char name[64];
            std::snprintf(name, sizeof(name), "/seed-%02d.jpg", written++);
            if (!WriteFileBytes(dir + name, EncodeTestJpeg(o))) {
                std::fprintf(stderr, "cannot write %s%s\n", dir.c_str(), name);
                return 1;
            }
        }
    }
    // Files the decoder refuses: CMYK, and arithmetic coding.
    for (int kind = 0; kind < 2; ++kind) {
        JpegEncodeOptions o;
        o.width = 24;
        o.height = 16;
        o.components = kind == 0 ? 4 : 3;
        o.arithmetic = kind == 1;
        o.seed = static_cast<unsigned>(written + 1);
        char name[64];
        std::snprintf(name, sizeof(name), "/seed-%02d.jpg", written++);
        if (!WriteFileBytes(dir + name, EncodeTestJpeg(o))) {
            std::fprintf(stderr, "cannot write %s%s\n", dir.c_str(), name);
            return 1;
        }
    }
    std::printf("%d seed files in %s\n", written, dir.c_str());
    return 0;
}
