// Writes the two 8192 x 4096 4:2:0 pictures (quality 90) that bench/jpeg-decode-bench.py times the
// jpeg-decode tool on: "smooth" (broad soft gradients, mostly low-frequency blocks) and "detailed" (the
// tests' photo-like generator: shapes, edges and grain). Depends on the tests' picture generator.
// Usage: jpeg_tool_pictures OUT_DIR
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/assets/jpeg_test_files.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: jpeg_tool_pictures OUT_DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    JpegEncodeOptions o;
    o.width = 8192;
    o.height = 4096;
    o.quality = 90;

    std::vector<uint8_t> smooth(static_cast<size_t>(o.width) * o.height * 3);
    for (int y = 0; y < o.height; ++y)
        for (int x = 0; x < o.width; ++x)
            for (int c = 0; c < 3; ++c) {
                double v = 128 + 70 * std::sin(x / (900.0 + 300 * c) + c) * std::cos(y / (700.0 - 150 * c)) +
                           40 * std::sin((x + y) / 2500.0);
                smooth[(static_cast<size_t>(y) * o.width + x) * 3 + c] = static_cast<uint8_t>(std::lround(v));
            }
    if (!WriteFileBytes(dir + "/smooth.jpg", EncodeTestJpeg(o, smooth))) {
        std::fprintf(stderr, "cannot write %s/smooth.jpg\n", dir.c_str());
        return 1;
    }
    o.seed = 8192;
    if (!WriteFileBytes(dir + "/detailed.jpg", EncodeTestJpeg(o))) {
        std::fprintf(stderr, "cannot write %s/detailed.jpg\n", dir.c_str());
        return 1;
    }
    return 0;
}
