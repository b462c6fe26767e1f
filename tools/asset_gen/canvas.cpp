// Painting primitives, tone mapping and JPEG output for the texture generator (libjpeg-turbo encodes).
// Depends on tools/asset_gen/canvas.h and libjpeg.
#include "tools/asset_gen/canvas.h"

#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>

namespace assetgen {

namespace {

// Lines thinner than this are sampled too sparsely at pixel centres and flicker along their length;
// they are widened to it and dimmed so that they carry the same light.
constexpr float kMinSigma = 0.55f;

int FloorInt(float v)
{
    return static_cast<int>(std::floor(v));
}

int Wrap(int v, int n)
{
    const int m = v % n;
    return m < 0 ? m + n : m;
}

struct JpegErrorTrap {
    jpeg_error_mgr manager;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr info)
{
    auto* trap = reinterpret_cast<JpegErrorTrap*>(info->err);
    (*info->err->format_message)(info, trap->message);
    longjmp(trap->jump, 1);
}

// Kept apart from WriteJpeg so that no C++ object lives in the frame that longjmp unwinds.
bool EncodeJpeg(int width, int height, const uint8_t* rgb, int quality, unsigned char** out,
                unsigned long* outSize, char* message)
{
    jpeg_compress_struct info;
    JpegErrorTrap trap;
    info.err = jpeg_std_error(&trap.manager);
    trap.manager.error_exit = OnJpegError;
    if (setjmp(trap.jump)) {
        jpeg_destroy_compress(&info);
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", trap.message);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, out, outSize);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    info.dct_method = JDCT_ISLOW;  // the exact integer transform: the same bytes on every processor
    info.optimize_coding = FALSE;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + static_cast<size_t>(info.next_scanline) * width * 3);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

Canvas::Canvas(int width, int height, bool wrap)
    : width_(width), height_(height), wrap_(wrap), pixels_(static_cast<size_t>(width) * height)
{
}

void Canvas::Accumulate(int x, int y, Color c)
{
    if (wrap_) {
        x = Wrap(x, width_);
        y = Wrap(y, height_);
    } else if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return;
    }
    Color& p = At(x, y);
    p.r += c.r;
    p.g += c.g;
    p.b += c.b;
}

void Canvas::AddDot(float x, float y, float sigma, Color c)
{
    if (sigma < kMinSigma) {
        c = c * ((sigma * sigma) / (kMinSigma * kMinSigma));
        sigma = kMinSigma;
    }
    const float reach = 3.5f * sigma;
    const float k = -0.5f / (sigma * sigma);
    for (int py = FloorInt(y - reach); py <= FloorInt(y + reach); ++py) {
        for (int px = FloorInt(x - reach); px <= FloorInt(x + reach); ++px) {
            const float dx = px + 0.5f - x, dy = py + 0.5f - y;
            const float d2 = dx * dx + dy * dy;
            if (d2 <= reach * reach) Accumulate(px, py, c * std::exp(k * d2));
        }
    }
}

void Canvas::AddSegment(Point a, Point b, float sigma, Color c)
{
    AddPolyline({a, b}, sigma, c);
}

void Canvas::AddPolyline(const std::vector<Point>& points, float sigma, Color c, float startGain,
                         float endGain)
{
    if (points.size() < 2) return;
    if (sigma < kMinSigma) {
        c = c * (sigma / kMinSigma);
        sigma = kMinSigma;
    }
    const float reach = 3.5f * sigma;
    float minX = points[0].x, maxX = minX, minY = points[0].y, maxY = minY;
    for (const Point& p : points) {
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    }
    const int ox = FloorInt(minX - reach), oy = FloorInt(minY - reach);
    const int w = FloorInt(maxX + reach) - ox + 1, h = FloorInt(maxY + reach) - oy + 1;

    // The strongest contribution per pixel, not the sum: joints between segments would otherwise show
    // as bright beads along the line.
    std::vector<float> cover(static_cast<size_t>(w) * h, 0.0f);
    float length = 0;
    for (size_t i = 1; i < points.size(); ++i)
        length += std::hypot(points[i].x - points[i - 1].x, points[i].y - points[i - 1].y);
    const float k = -0.5f / (sigma * sigma);
    float walked = 0;
    for (size_t i = 1; i < points.size(); ++i) {
        const Point a = points[i - 1], b = points[i];
        const float ex = b.x - a.x, ey = b.y - a.y;
        const float segLen2 = ex * ex + ey * ey;
        const float segLen = std::sqrt(segLen2);
        const int x0 = FloorInt(std::min(a.x, b.x) - reach) - ox,
                  x1 = FloorInt(std::max(a.x, b.x) + reach) - ox;
        const int y0 = FloorInt(std::min(a.y, b.y) - reach) - oy,
                  y1 = FloorInt(std::max(a.y, b.y) + reach) - oy;
        for (int py = y0; py <= y1; ++py) {
            for (int px = x0; px <= x1; ++px) {
                const float qx = px + ox + 0.5f - a.x, qy = py + oy + 0.5f - a.y;
                float t = segLen2 > 0 ? (qx * ex + qy * ey) / segLen2 : 0.0f;
                t = std::clamp(t, 0.0f, 1.0f);
                const float dx = qx - t * ex, dy = qy - t * ey;
                const float d2 = dx * dx + dy * dy;
                if (d2 > reach * reach) continue;
                const float along = length > 0 ? (walked + t * segLen) / length : 0.0f;
                const float gain = startGain + (endGain - startGain) * along;
                float& slot = cover[static_cast<size_t>(py) * w + px];
                slot = std::max(slot, gain * std::exp(k * d2));
            }
        }
        walked += segLen;
    }
    for (int py = 0; py < h; ++py)
        for (int px = 0; px < w; ++px) {
            const float v = cover[static_cast<size_t>(py) * w + px];
            if (v > 0) Accumulate(px + ox, py + oy, c * v);
        }
}

void Canvas::AddRing(float cx, float cy, float radius, float sigma, Color c)
{
    const int steps = std::max(24, static_cast<int>(radius * 1.5f));
    std::vector<Point> points;
    points.reserve(steps + 1);
    for (int i = 0; i <= steps; ++i) {
        const float a = 6.2831853f * i / steps;
        points.push_back({cx + radius * std::cos(a), cy + radius * std::sin(a)});
    }
    AddPolyline(points, sigma, c);
}

void Canvas::FadeOutside(float inner, float outer)
{
    const float cx = width_ * 0.5f, cy = height_ * 0.5f;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            const float r = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
            float w = 1.0f;
            if (r >= outer) {
                w = 0.0f;
            } else if (r > inner) {
                const float t = (r - inner) / (outer - inner);
                w = 1.0f - t * t * (3.0f - 2.0f * t);
            }
            At(x, y) = At(x, y) * w;
        }
}

void Canvas::AddGrain(Rng& rng, float sigma, float amount, Color tint)
{
    const int n = width_ * height_;
    std::vector<float> noise(n), tmp(n);
    for (float& v : noise) v = static_cast<float>(rng.Signed());
    const int radius = std::max(1, static_cast<int>(std::ceil(3.0f * sigma)));
    std::vector<float> kernel(2 * radius + 1);
    float sum = 0, sumSq = 0;
    for (int i = -radius; i <= radius; ++i) {
        kernel[i + radius] = std::exp(-0.5f * i * i / (sigma * sigma));
        sum += kernel[i + radius];
    }
    for (float& k : kernel) k /= sum, sumSq += k * k;
    auto sample = [&](const std::vector<float>& src, int x, int y) {
        if (wrap_) return src[Wrap(y, height_) * width_ + Wrap(x, width_)];
        return src[std::clamp(y, 0, height_ - 1) * width_ + std::clamp(x, 0, width_ - 1)];
    };
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            float acc = 0;
            for (int i = -radius; i <= radius; ++i) acc += kernel[i + radius] * sample(noise, x + i, y);
            tmp[y * width_ + x] = acc;
        }
    // Uniform noise in [-1, 1) has variance 1/3; the separable blur scales it by sumSq twice.
    const float norm = amount / std::sqrt(sumSq * sumSq / 3.0f);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            float acc = 0;
            for (int i = -radius; i <= radius; ++i) acc += kernel[i + radius] * sample(tmp, x, y + i);
            At(x, y) = At(x, y) + tint * (acc * norm);
        }
}

std::vector<uint8_t> ToneMap(const Canvas& canvas, float exposure, Rng& dither)
{
    std::vector<uint8_t> out(static_cast<size_t>(canvas.Width()) * canvas.Height() * 3);
    size_t o = 0;
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x) {
            const Color p = canvas.At(x, y);
            float c[3] = {std::max(p.r, 0.0f) * exposure, std::max(p.g, 0.0f) * exposure,
                          std::max(p.b, 0.0f) * exposure};
            const float spill = 0.35f * std::max(0.0f, std::max({c[0], c[1], c[2]}) - 1.0f);
            for (float& v : c) {
                const float mapped = 255.0f * (1.0f - std::exp(-(v + spill)));
                // Dither only where there is light, so that black stays exactly black.
                const float noise = mapped > 0.5f ? static_cast<float>(dither.Unit() - dither.Unit()) : 0.0f;
                out[o++] = static_cast<uint8_t>(std::clamp(std::lround(mapped + noise), 0L, 255L));
            }
        }
    return out;
}

bool WriteJpeg(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb, int quality,
               std::string* error)
{
    if (width <= 0 || height <= 0 || rgb.size() != static_cast<size_t>(width) * height * 3) {
        *error = path + ": picture size does not match its pixels";
        return false;
    }
    unsigned char* bytes = nullptr;
    unsigned long size = 0;
    char message[JMSG_LENGTH_MAX] = {};
    if (!EncodeJpeg(width, height, rgb.data(), quality, &bytes, &size, message)) {
        std::free(bytes);
        *error = path + ": JPEG encoding failed: " + message;
        return false;
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file != nullptr;
    if (ok) ok = std::fwrite(bytes, 1, size, file) == size;
    if (file && std::fclose(file) != 0) ok = false;
    std::free(bytes);
    if (!ok) *error = path + ": cannot write the file";
    return ok;
}

}  // namespace assetgen
