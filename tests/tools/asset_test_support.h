// Readers for the asset tests: reference JPEG decoding with libjpeg, Ogg Vorbis decoding with
// vorbisfile, and whole-file reads. Paths of the show folder and generators come from the build.
#pragma once
#include <jpeglib.h>
#include <vorbis/vorbisfile.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace assettest {

inline std::string ShowPath(const std::string& relative)
{
    return std::string(QUARNEL_TEST_SHOW_DIR) + "/" + relative;
}
inline const char* kTrackPath = "music/[bEXAN] The lamp was distant.ogg";

struct Picture {
    int width = 0, height = 0, components = 0;
    std::vector<uint8_t> pixels;  // rows top to bottom, `components` bytes per pixel
    int At(int x, int y, int c) const
    {
        return pixels[(static_cast<size_t>(y) * width + x) * components + c];
    }
};

namespace detail {
struct ErrorTrap {
    jpeg_error_mgr manager;
    jmp_buf jump;
};
inline void OnError(j_common_ptr info)
{
    longjmp(reinterpret_cast<ErrorTrap*>(info->err)->jump, 1);
}

inline bool Decode(FILE* file, Picture* out)
{
    jpeg_decompress_struct info;
    ErrorTrap trap;
    info.err = jpeg_std_error(&trap.manager);
    trap.manager.error_exit = OnError;
    if (setjmp(trap.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    out->width = static_cast<int>(info.output_width);
    out->height = static_cast<int>(info.output_height);
    out->components = info.output_components;
    out->pixels.resize(static_cast<size_t>(out->width) * out->height * out->components);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row =
            out->pixels.data() + static_cast<size_t>(info.output_scanline) * out->width * out->components;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}
}  // namespace detail

// Decodes with libjpeg; false if the file is missing or not a valid JPEG.
inline bool ReadJpeg(const std::string& path, Picture* out)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    const bool ok = detail::Decode(file, out);
    std::fclose(file);
    return ok;
}

struct Track {
    int channels = 0;
    long rate = 0;
    std::vector<float> left, right;
};

// Decodes a whole Ogg Vorbis file; false if it cannot be opened or decoded.
inline bool ReadOgg(const std::string& path, Track* out)
{
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0) return false;
    const vorbis_info* info = ov_info(&file, -1);
    out->channels = info->channels;
    out->rate = info->rate;
    float** pcm = nullptr;
    int section = 0;
    long n = 0;
    while ((n = ov_read_float(&file, &pcm, 4096, &section)) > 0) {
        out->left.insert(out->left.end(), pcm[0], pcm[0] + n);
        out->right.insert(out->right.end(), pcm[out->channels > 1 ? 1 : 0],
                          pcm[out->channels > 1 ? 1 : 0] + n);
    }
    ov_clear(&file);
    return n == 0;
}

inline std::vector<char> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace assettest
