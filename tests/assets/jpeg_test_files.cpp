// Test pictures for the JPEG decoder: generation, encoding and reference decoding with libjpeg-turbo,
// decoding with our decoder, comparison, and splitting files into segments for damaged variants.
#include "tests/assets/jpeg_test_files.h"

#include <jpeglib.h>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "assets/jpeg_decoder.h"

namespace {

struct ErrorTrap {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void TrapError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorTrap*>(info->err)->jump, 1);
}
void QuietMessage(j_common_ptr) {}

uint32_t Hash(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

// Smooth value noise on a lattice of the given cell size.
double ValueNoise(double x, double y, double cell, unsigned seed)
{
    double gx = x / cell, gy = y / cell;
    int ix = static_cast<int>(std::floor(gx)), iy = static_cast<int>(std::floor(gy));
    double fx = gx - ix, fy = gy - iy;
    auto at = [&](int a, int b) {
        return (Hash(static_cast<uint32_t>(a) * 73856093U ^ static_cast<uint32_t>(b) * 19349663U ^ seed) &
                0xFFFF) /
               65535.0;
    };
    double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    double top = at(ix, iy) + (at(ix + 1, iy) - at(ix, iy)) * sx;
    double bottom = at(ix, iy + 1) + (at(ix + 1, iy + 1) - at(ix, iy + 1)) * sx;
    return top + (bottom - top) * sy;
}

}  // namespace

std::vector<uint8_t> MakeTestPixels(int width, int height, int components, unsigned seed)
{
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * components);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < components; ++c) {
                unsigned s = seed * 977U + c * 131U;
                double v = 0.55 * ValueNoise(x, y, 61.0, s) + 0.3 * ValueNoise(x, y, 17.0, s + 1) +
                           0.15 * ValueNoise(x, y, 5.0, s + 2);
                // A few hard edges: a disc and a bar, different per channel.
                double dx = x - width * 0.4, dy = y - height * 0.55;
                if (dx * dx + dy * dy < (width * width + height * height) * 0.02) v = 0.85 - 0.3 * c / 3.0;
                if (((x + 3 * y + static_cast<int>(seed) * 7) / 23) % 9 == 0) v *= 0.35;
                double grain =
                    ((Hash(static_cast<uint32_t>(y * width + x) * 3U + c + seed * 101U) & 255) - 127.5) /
                    255.0;
                v = v * 255.0 + grain * 14.0;
                pixels[(static_cast<size_t>(y) * width + x) * components + c] =
                    static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : std::lround(v)));
            }
        }
    }
    return pixels;
}

std::vector<uint8_t> EncodeTestJpeg(const JpegEncodeOptions& o)
{
    return EncodeTestJpeg(o, MakeTestPixels(o.width, o.height, o.components, o.seed));
}

std::vector<uint8_t> EncodeTestJpeg(const JpegEncodeOptions& o, const std::vector<uint8_t>& pixels)
{
    jpeg_compress_struct info;
    ErrorTrap trap;
    info.err = jpeg_std_error(&trap.manager);
    trap.manager.error_exit = TrapError;
    trap.manager.output_message = QuietMessage;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    std::vector<uint8_t> result;
    std::vector<jpeg_scan_info> scans;
    if (setjmp(trap.jump)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(o.width);
    info.image_height = static_cast<JDIMENSION>(o.height);
    info.input_components = o.components;
    info.in_color_space = o.components == 1 ? JCS_GRAYSCALE : (o.components == 4 ? JCS_CMYK : JCS_RGB);
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, o.quality, o.wideQuant ? FALSE : TRUE);
    if (o.components >= 3) {
        info.comp_info[0].h_samp_factor = o.lumaH;
        info.comp_info[0].v_samp_factor = o.lumaV;
        for (int c = 1; c < o.components; ++c) {
            info.comp_info[c].h_samp_factor = o.chromaH;
            info.comp_info[c].v_samp_factor = o.chromaV;
        }
    }
    info.restart_interval = static_cast<unsigned>(o.restartInterval);
    info.arith_code = o.arithmetic ? TRUE : FALSE;
    info.optimize_coding = o.optimize ? TRUE : FALSE;
    if (o.progressive) jpeg_simple_progression(&info);
    if (o.separateScans) {
        for (int c = 0; c < o.components; ++c) {
            jpeg_scan_info scan{};
            scan.comps_in_scan = 1;
            scan.component_index[0] = c;
            scan.Ss = 0;
            scan.Se = 63;
            scans.push_back(scan);
        }
        info.scan_info = scans.data();
        info.num_scans = static_cast<int>(scans.size());
    }
    jpeg_start_compress(&info, TRUE);
    if (o.extraMarkers) {
        static const char kExif[] = "Exif\0\0not really exif, just bytes to skip";
        jpeg_write_marker(&info, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(kExif), sizeof(kExif));
        static const char kComment[] = "a comment segment \xff\xd9 with marker-like bytes";
        jpeg_write_marker(&info, JPEG_COM, reinterpret_cast<const JOCTET*>(kComment), sizeof(kComment));
    }
    const size_t stride = static_cast<size_t>(o.width) * o.components;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + info.next_scanline * stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    result.assign(buffer, buffer + size);
    std::free(buffer);
    return result;
}

bool DecodeWithLibjpeg(const std::vector<uint8_t>& file, DecodedPicture* out, bool reference)
{
    jpeg_decompress_struct info;
    ErrorTrap trap;
    info.err = jpeg_std_error(&trap.manager);
    trap.manager.error_exit = TrapError;
    trap.manager.output_message = QuietMessage;
    if (setjmp(trap.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = info.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    if (reference) {
        info.dct_method = JDCT_ISLOW;
        info.do_fancy_upsampling = FALSE;
    }
    jpeg_start_decompress(&info);
    out->width = static_cast<int>(info.output_width);
    out->height = static_cast<int>(info.output_height);
    out->channels = info.output_components;
    out->pixels.resize(static_cast<size_t>(out->width) * out->height * out->channels);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row =
            out->pixels.data() + static_cast<size_t>(info.output_scanline) * out->width * out->channels;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

bool DecodeWithOurs(const std::vector<uint8_t>& file, bool fastPath, DecodedPicture* out)
{
    JpegMemoryStream stream(file.data(), file.size());
    auto decoder = std::make_unique<JpegDecoder>(&stream, fastPath);
    out->error = decoder->ErrorCode();
    if (out->error) return false;
    out->width = decoder->Width();
    out->height = decoder->Height();
    if (decoder->Begin() != 0) {
        out->error = decoder->ErrorCode();
        return false;
    }
    const int bpp = decoder->BytesPerPixel();
    out->channels = bpp == 1 ? 1 : 3;
    out->pixels.assign(static_cast<size_t>(out->width) * out->height * out->channels, 0);
    for (int y = 0; y < out->height; ++y) {
        const uint8_t* row = nullptr;
        int length = 0;
        int result = decoder->DecodeRow(&row, &length);
        if (result != 0) {
            out->rowResult = result;
            out->error = decoder->ErrorCode();
            return false;
        }
        if (length != out->width * bpp) {
            out->error = 1;
            return false;
        }
        uint8_t* dst = out->pixels.data() + static_cast<size_t>(y) * out->width * out->channels;
        for (int x = 0; x < out->width; ++x)
            for (int c = 0; c < out->channels; ++c) dst[x * out->channels + c] = row[x * bpp + c];
    }
    const uint8_t* row = nullptr;
    int length = 0;
    out->rowResult = decoder->DecodeRow(&row, &length);  // 1: every row delivered
    return true;
}

int MaxDifference(const DecodedPicture& a, const DecodedPicture& b)
{
    if (a.pixels.size() != b.pixels.size()) return 256;
    int worst = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        int d = std::abs(a.pixels[i] - b.pixels[i]);
        if (d > worst) worst = d;
    }
    return worst;
}

double Psnr(const DecodedPicture& a, const DecodedPicture& b)
{
    if (a.pixels.size() != b.pixels.size() || a.pixels.empty()) return 0.0;
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        double d = static_cast<double>(a.pixels[i]) - b.pixels[i];
        sum += d * d;
    }
    if (sum == 0) return 99.0;
    double mse = sum / static_cast<double>(a.pixels.size());
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}

std::vector<JpegSegment> SplitJpeg(const std::vector<uint8_t>& file)
{
    std::vector<JpegSegment> segments;
    size_t i = 0;
    while (i + 1 < file.size()) {
        if (file[i] != 0xFF || file[i + 1] == 0xFF || file[i + 1] == 0) {
            ++i;
            continue;
        }
        JpegSegment segment{file[i + 1], {}};
        size_t start = i + 2, end = start;
        bool standalone = segment.marker == 0xD8 || segment.marker == 0xD9;
        if (!standalone && start + 1 < file.size()) {
            end = start + ((file[start] << 8) | file[start + 1]);
            if (segment.marker == 0xDA) {
                // Entropy data runs to the next marker that is neither stuffing nor RSTn.
                while (end + 1 < file.size() && !(file[end] == 0xFF && file[end + 1] != 0 &&
                                                  (file[end + 1] < 0xD0 || file[end + 1] > 0xD7)))
                    ++end;
            }
        }
        if (end > file.size()) end = file.size();
        segment.bytes.assign(file.begin() + static_cast<long>(start), file.begin() + static_cast<long>(end));
        segments.push_back(std::move(segment));
        i = end;
    }
    return segments;
}

std::vector<uint8_t> JoinJpeg(const std::vector<JpegSegment>& segments)
{
    std::vector<uint8_t> file;
    for (const JpegSegment& s : segments) {
        file.push_back(0xFF);
        file.push_back(static_cast<uint8_t>(s.marker));
        file.insert(file.end(), s.bytes.begin(), s.bytes.end());
    }
    return file;
}

int FindSegment(const std::vector<JpegSegment>& segments, int marker, int nth)
{
    for (size_t i = 0; i < segments.size(); ++i)
        if (segments[i].marker == marker && nth-- == 0) return static_cast<int>(i);
    return -1;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}
