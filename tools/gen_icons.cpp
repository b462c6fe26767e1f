// Makes the show's desktop icon from its own generated art: the star sprite over the sea's blob on a dark
// rounded tile, read with the show's JPEG decoder and written as PNG files at the hicolor theme's sizes,
// and the same picture drawn as vectors for the scalable size. Deterministic. Depends on
// assets/jpeg_decoder and libpng.
// Usage: gen_icons TEXTURE_DIR OUT_DIR NAME  (writes OUT_DIR/hicolor/<size>/apps/NAME.{png,svg}, and
// OUT_DIR/quarnel.ico, the Windows program's icon)
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "assets/jpeg_decoder.h"

namespace fs = std::filesystem;

namespace {

constexpr int kMaster = 256;  // the picture is composed at this size, then reduced
constexpr int kSizes[] = {48, 64, 128, 256};
constexpr float kMargin = 8.0f;  // transparent border around the tile
constexpr float kTile = kMaster - 2 * kMargin;
constexpr float kCorner = 40.0f;    // corner radius of the tile
constexpr float kBlobGain = 0.65f;  // the sea's light under the star

struct Picture {
    int width = 0, height = 0;
    std::vector<float> rgb;  // 0..1 per channel, top row first
    float At(int x, int y, int c) const
    {
        x = std::clamp(x, 0, width - 1);
        y = std::clamp(y, 0, height - 1);
        return rgb[(static_cast<size_t>(y) * width + x) * 3 + c];
    }
    // Bilinear sample at picture coordinates (pixel centres at integer + 0.5).
    float Sample(float x, float y, int c) const
    {
        x -= 0.5f;
        y -= 0.5f;
        const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
        const float fx = x - x0, fy = y - y0;
        return (At(x0, y0, c) * (1 - fx) + At(x0 + 1, y0, c) * fx) * (1 - fy) +
               (At(x0, y0 + 1, c) * (1 - fx) + At(x0 + 1, y0 + 1, c) * fx) * fy;
    }
};

bool ReadJpeg(const fs::path& path, Picture& picture)
{
    JpegFileStream stream;
    if (!stream.Open(path.c_str(), "rb")) {
        std::fprintf(stderr, "gen_icons: cannot open %s\n", path.c_str());
        return false;
    }
    auto decoder = std::make_unique<JpegDecoder>(&stream, false);
    if (decoder->ErrorCode() != 0 || decoder->Begin() != 0) {
        std::fprintf(stderr, "gen_icons: %s: %s\n", path.c_str(), JpegErrorText(decoder->ErrorCode()));
        return false;
    }
    picture.width = decoder->Width();
    picture.height = decoder->Height();
    picture.rgb.resize(static_cast<size_t>(picture.width) * picture.height * 3);
    const int bytes = decoder->BytesPerPixel();
    for (int y = 0; y < picture.height; ++y) {
        const uint8_t* row = nullptr;
        int length = 0;
        if (decoder->DecodeRow(&row, &length) != 0) {
            std::fprintf(stderr, "gen_icons: %s: %s\n", path.c_str(), JpegErrorText(decoder->ErrorCode()));
            return false;
        }
        for (int x = 0; x < picture.width; ++x)
            for (int c = 0; c < 3; ++c)
                picture.rgb[(static_cast<size_t>(y) * picture.width + x) * 3 + c] =
                    row[x * bytes + (bytes == 1 ? 0 : c)] / 255.0f;
    }
    return true;
}

// Signed distance from the tile's rounded outline (negative inside).
float TileDistance(float x, float y)
{
    const float half = kTile / 2, centre = kMaster / 2.0f;
    const float qx = std::fabs(x - centre) - (half - kCorner), qy = std::fabs(y - centre) - (half - kCorner);
    const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - kCorner;
}

// RGBA with premultiplied colour, 0..1.
struct Icon {
    int size = 0;
    std::vector<float> rgba;
};

Icon Compose(const Picture& blob, const Picture& star)
{
    Icon icon{kMaster, std::vector<float>(static_cast<size_t>(kMaster) * kMaster * 4)};
    for (int y = 0; y < kMaster; ++y) {
        for (int x = 0; x < kMaster; ++x) {
            const float px = x + 0.5f, py = y + 0.5f;
            const float d = TileDistance(px, py);
            const float alpha = std::clamp(0.5f - d, 0.0f, 1.0f);
            if (alpha <= 0) continue;
            // Deep blue at the top to near black at the bottom, a thin aqua rim, then the art added as
            // light, the way the show draws its sprites.
            const float t = (py - kMargin) / kTile;
            float colour[3] = {0.05f - 0.04f * t, 0.09f - 0.07f * t, 0.17f - 0.12f * t};
            const float rim = std::clamp(1.0f - std::fabs(d + 1.5f) / 1.5f, 0.0f, 1.0f) * 0.18f;
            const float rimColour[3] = {0.45f, 0.72f, 1.0f};
            const float u = (px - kMargin) / kTile, v = (py - kMargin) / kTile;
            for (int c = 0; c < 3; ++c) {
                colour[c] += rim * rimColour[c];
                colour[c] += kBlobGain * blob.Sample(u * blob.width, v * blob.height, c);
                colour[c] += star.Sample(u * star.width, v * star.height, c);
                icon.rgba[(static_cast<size_t>(y) * kMaster + x) * 4 + c] = std::min(colour[c], 1.0f) * alpha;
            }
            icon.rgba[(static_cast<size_t>(y) * kMaster + x) * 4 + 3] = alpha;
        }
    }
    return icon;
}

// Area-weighted reduction: every target pixel averages the source area it covers.
Icon Reduce(const Icon& source, int size)
{
    if (size == source.size) return source;
    Icon out{size, std::vector<float>(static_cast<size_t>(size) * size * 4)};
    const float scale = static_cast<float>(source.size) / size;
    for (int ty = 0; ty < size; ++ty) {
        for (int tx = 0; tx < size; ++tx) {
            const float x0 = tx * scale, x1 = x0 + scale, y0 = ty * scale, y1 = y0 + scale;
            float sum[4] = {0, 0, 0, 0};
            for (int sy = static_cast<int>(y0); sy < std::min(static_cast<int>(std::ceil(y1)), source.size);
                 ++sy) {
                const float wy = std::min(y1, sy + 1.0f) - std::max(y0, static_cast<float>(sy));
                for (int sx = static_cast<int>(x0);
                     sx < std::min(static_cast<int>(std::ceil(x1)), source.size); ++sx) {
                    const float w = wy * (std::min(x1, sx + 1.0f) - std::max(x0, static_cast<float>(sx)));
                    for (int c = 0; c < 4; ++c)
                        sum[c] += w * source.rgba[(static_cast<size_t>(sy) * source.size + sx) * 4 + c];
                }
            }
            for (int c = 0; c < 4; ++c)
                out.rgba[(static_cast<size_t>(ty) * size + tx) * 4 + c] = sum[c] / (scale * scale);
        }
    }
    return out;
}

// Straight (not premultiplied) RGBA bytes, top row first.
std::vector<unsigned char> StraightRgba(const Icon& icon)
{
    std::vector<unsigned char> bytes(icon.rgba.size());
    for (size_t i = 0; i < icon.rgba.size(); i += 4) {
        const float a = icon.rgba[i + 3];
        for (int c = 0; c < 3; ++c)
            bytes[i + c] = a > 0 ? static_cast<unsigned char>(
                                       std::lround(std::clamp(icon.rgba[i + c] / a, 0.0f, 1.0f) * 255))
                                 : 0;
        bytes[i + 3] = static_cast<unsigned char>(std::lround(std::clamp(a, 0.0f, 1.0f) * 255));
    }
    return bytes;
}

void AppendToVector(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

// The icon as PNG file bytes; empty when libpng fails.
std::vector<unsigned char> EncodePng(const Icon& icon)
{
    const std::vector<unsigned char> bytes = StraightRgba(icon);
    std::vector<unsigned char> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, AppendToVector, nullptr);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, icon.size, icon.size, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < icon.size; ++y)
        png_write_row(png, bytes.data() + static_cast<size_t>(y) * icon.size * 4);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

bool WriteFile(const fs::path& path, const std::vector<unsigned char>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

bool WritePng(const fs::path& path, const Icon& icon)
{
    const std::vector<unsigned char> bytes = EncodePng(icon);
    return !bytes.empty() && WriteFile(path, bytes);
}

void PutLe(std::vector<unsigned char>& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// One picture of an icon file as Windows has read them since its first versions: a BITMAPINFOHEADER of
// twice the height (the colour rows, then the mask's), 32-bit BGRA rows bottom up, then the 1-bit mask
// (set where the picture is fully transparent), each of its rows padded to 4 bytes.
std::vector<unsigned char> EncodeIconBitmap(const Icon& icon)
{
    const std::vector<unsigned char> rgba = StraightRgba(icon);
    const int n = icon.size;
    const uint32_t maskRow = static_cast<uint32_t>((n + 31) / 32 * 4);
    std::vector<unsigned char> out;
    PutLe(out, 40, 4);                       // biSize
    PutLe(out, n, 4);                        // biWidth
    PutLe(out, 2 * n, 4);                    // biHeight: colour and mask
    PutLe(out, 1, 2);                        // biPlanes
    PutLe(out, 32, 2);                       // biBitCount
    PutLe(out, 0, 4);                        // biCompression: BI_RGB
    PutLe(out, n * n * 4 + maskRow * n, 4);  // biSizeImage
    PutLe(out, 0, 4 * 4);                    // resolution and palette: none
    for (int y = n - 1; y >= 0; --y)
        for (int x = 0; x < n; ++x) {
            const unsigned char* p = &rgba[(static_cast<size_t>(y) * n + x) * 4];
            out.insert(out.end(), {p[2], p[1], p[0], p[3]});
        }
    for (int y = n - 1; y >= 0; --y) {
        std::vector<unsigned char> row(maskRow, 0);
        for (int x = 0; x < n; ++x)
            if (rgba[(static_cast<size_t>(y) * n + x) * 4 + 3] == 0) row[x / 8] |= 0x80 >> (x % 8);
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

// The Windows icon (an .ico file): the sizes Explorer and the taskbar ask for at 100 to 200 % scaling,
// the largest as PNG (as Windows has read since Vista), the others as bitmaps.
bool WriteIco(const fs::path& path, const Icon& master)
{
    constexpr int kIcoSizes[] = {16, 20, 24, 32, 40, 48, 64, 256};
    constexpr int kCount = sizeof kIcoSizes / sizeof kIcoSizes[0];
    std::vector<std::vector<unsigned char>> pictures;
    for (int size : kIcoSizes) {
        const Icon icon = Reduce(master, size);
        pictures.push_back(size == 256 ? EncodePng(icon) : EncodeIconBitmap(icon));
        if (pictures.back().empty()) return false;
    }
    std::vector<unsigned char> out;
    PutLe(out, 0, 2);  // reserved
    PutLe(out, 1, 2);  // an icon, not a cursor
    PutLe(out, kCount, 2);
    uint32_t offset = 6 + 16 * kCount;
    for (int i = 0; i < kCount; ++i) {
        PutLe(out, kIcoSizes[i] % 256, 1);  // width and height; 0 stands for 256
        PutLe(out, kIcoSizes[i] % 256, 1);
        PutLe(out, 0, 2);   // no palette, reserved
        PutLe(out, 1, 2);   // planes
        PutLe(out, 32, 2);  // bits per pixel
        PutLe(out, static_cast<uint32_t>(pictures[i].size()), 4);
        PutLe(out, offset, 4);
        offset += static_cast<uint32_t>(pictures[i].size());
    }
    for (const std::vector<unsigned char>& picture : pictures)
        out.insert(out.end(), picture.begin(), picture.end());
    return WriteFile(path, out);
}

// The same icon as vectors: the tile, the sea's light as a radial gradient, and the star of the sprite
// (eight fading rays, the ring of beads, the white core) at the sprite's own proportions.
std::string Svg()
{
    const float c = kMaster / 2.0f, half = kTile / 2;  // the sprite spans the tile
    char buf[512];
    std::string s;
    auto add = [&](const char* format, auto... values) {
        std::snprintf(buf, sizeof buf, format, values...);
        s += buf;
    };
    add("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\">\n",
        kMaster, kMaster, kMaster, kMaster);
    s += "  <defs>\n"
         "    <linearGradient id=\"tile\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">\n"
         "      <stop offset=\"0\" stop-color=\"#0d172b\"/><stop offset=\"1\" stop-color=\"#03050d\"/>\n"
         "    </linearGradient>\n"
         "    <radialGradient id=\"sea\">\n"
         "      <stop offset=\"0\" stop-color=\"#fff6ee\" stop-opacity=\"0.75\"/>\n"
         "      <stop offset=\"0.18\" stop-color=\"#b4d4ff\" stop-opacity=\"0.55\"/>\n"
         "      <stop offset=\"0.45\" stop-color=\"#4f7fbf\" stop-opacity=\"0.3\"/>\n"
         "      <stop offset=\"0.75\" stop-color=\"#1d3350\" stop-opacity=\"0.12\"/>\n"
         "      <stop offset=\"0.95\" stop-color=\"#000000\" stop-opacity=\"0\"/>\n"
         "    </radialGradient>\n"
         "    <radialGradient id=\"core\">\n"
         "      <stop offset=\"0\" stop-color=\"#ffffff\"/><stop offset=\"0.45\" stop-color=\"#f0f6ff\" "
         "stop-opacity=\"0.9\"/>\n"
         "      <stop offset=\"1\" stop-color=\"#b3d9ff\" stop-opacity=\"0\"/>\n"
         "    </radialGradient>\n"
         "    <filter id=\"glow\" x=\"-50%\" y=\"-50%\" width=\"200%\" height=\"200%\">"
         "<feGaussianBlur stdDeviation=\"4\"/></filter>\n";
    // One gradient per ray, fading from the centre to the tip as the painted strokes do.
    for (int i = 0; i < 8; ++i) {
        const float a = i * std::numbers::pi_v<float> / 4, len = (i % 2 ? 0.36f : 0.9f) * half;
        add("    <linearGradient id=\"ray%d\" gradientUnits=\"userSpaceOnUse\" x1=\"%.2f\" y1=\"%.2f\" "
            "x2=\"%.2f\" "
            "y2=\"%.2f\">"
            "<stop offset=\"0\" stop-color=\"#ffffff\"/><stop offset=\"1\" stop-color=\"#b3d9ff\" "
            "stop-opacity=\"0\"/></linearGradient>\n",
            i, c, c, c + len * std::cos(a), c - len * std::sin(a));
    }
    add("    <clipPath id=\"inside\"><rect x=\"%.0f\" y=\"%.0f\" width=\"%.0f\" height=\"%.0f\" rx=\"%.0f\"/>"
        "</clipPath>\n  </defs>\n",
        kMargin, kMargin, kTile, kTile, kCorner);
    add("  <rect x=\"%.0f\" y=\"%.0f\" width=\"%.0f\" height=\"%.0f\" rx=\"%.0f\" fill=\"url(#tile)\"/>\n",
        kMargin, kMargin, kTile, kTile, kCorner);
    add("  <rect x=\"%.1f\" y=\"%.1f\" width=\"%.0f\" height=\"%.0f\" rx=\"%.1f\" fill=\"none\" "
        "stroke=\"#73b8ff\" "
        "stroke-opacity=\"0.18\" stroke-width=\"1.5\"/>\n",
        kMargin + 0.75f, kMargin + 0.75f, kTile - 1.5f, kTile - 1.5f, kCorner - 0.75f);
    s += "  <g clip-path=\"url(#inside)\">\n";
    add("    <circle cx=\"%.0f\" cy=\"%.0f\" r=\"%.0f\" fill=\"url(#sea)\"/>\n", c, c, half);
    // Rays: a wide dim blurred halo under a narrow bright core, each a thin kite from the centre.
    for (int pass = 0; pass < 2; ++pass) {
        s += pass ? "    <g>\n" : "    <g filter=\"url(#glow)\" opacity=\"0.8\">\n";
        for (int i = 0; i < 8; ++i) {
            const float a = i * std::numbers::pi_v<float> / 4, len = (i % 2 ? 0.36f : 0.9f) * half;
            const float w = pass ? (i % 2 ? 1.4f : 2.2f) : 7.0f;
            const float dx = std::cos(a), dy = -std::sin(a), nx = -dy, ny = dx;
            add("      <polygon points=\"%.2f,%.2f %.2f,%.2f %.2f,%.2f %.2f,%.2f\" fill=\"url(#ray%d)\"/>\n",
                c + nx * w, c + ny * w, c + dx * len, c + dy * len, c - nx * w, c - ny * w, c - dx * w,
                c - dy * w, i);
        }
        s += "    </g>\n";
    }
    add("    <circle cx=\"%.0f\" cy=\"%.0f\" r=\"%.2f\" fill=\"url(#core)\" opacity=\"0.7\"/>\n", c, c,
        0.45f * half);
    add("    <circle cx=\"%.0f\" cy=\"%.0f\" r=\"%.2f\" fill=\"none\" stroke=\"#b3d9ff\" "
        "stroke-opacity=\"0.45\"/>\n",
        c, c, 0.36f * half);
    for (int i = 0; i < 8; ++i) {
        const float a = i * std::numbers::pi_v<float> / 4 + std::numbers::pi_v<float> / 8;
        add("    <circle cx=\"%.2f\" cy=\"%.2f\" r=\"2.3\" fill=\"#ffffff\"/>\n",
            c + 0.36f * half * std::cos(a), c - 0.36f * half * std::sin(a));
    }
    add("    <circle cx=\"%.0f\" cy=\"%.0f\" r=\"%.2f\" fill=\"url(#core)\"/>\n", c, c, 0.22f * half);
    s += "  </g>\n</svg>\n";
    return s;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: gen_icons TEXTURE_DIR OUT_DIR NAME\n");
        return 1;
    }
    const fs::path textures = argv[1], out = fs::path(argv[2]) / "hicolor";
    const std::string name = argv[3];
    Picture blob, star;
    if (!ReadJpeg(textures / "blob41b.jpg", blob) || !ReadJpeg(textures / "3-1.jpg", star)) return 1;

    const Icon master = Compose(blob, star);
    for (int size : kSizes) {
        const fs::path folder = out / (std::to_string(size) + "x" + std::to_string(size)) / "apps";
        std::error_code ec;
        fs::create_directories(folder, ec);
        if (!WritePng(folder / (name + ".png"), Reduce(master, size))) {
            std::fprintf(stderr, "gen_icons: cannot write %s\n", (folder / (name + ".png")).c_str());
            return 1;
        }
    }
    // The Windows program's icon, named for the program rather than the desktop id.
    const fs::path ico = fs::path(argv[2]) / "quarnel.ico";
    if (!WriteIco(ico, master)) {
        std::fprintf(stderr, "gen_icons: cannot write %s\n", ico.c_str());
        return 1;
    }
    const fs::path scalable = out / "scalable" / "apps";
    std::error_code ec;
    fs::create_directories(scalable, ec);
    std::FILE* file = std::fopen((scalable / (name + ".svg")).c_str(), "wb");
    const std::string svg = Svg();
    if (!file || std::fwrite(svg.data(), 1, svg.size(), file) != svg.size() || std::fclose(file) != 0) {
        std::fprintf(stderr, "gen_icons: cannot write %s\n", (scalable / (name + ".svg")).c_str());
        return 1;
    }
    return 0;
}
