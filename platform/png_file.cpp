// PNG output over libpng (see png_file.h).
#include "platform/png_file.h"

#include <png.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

namespace {

// A failed write leaves no half picture behind: a regular file is removed (a device such as /dev/full is
// not). The reason stays in errno.
bool Abandon(FILE* file, const char* path)
{
    const int error = errno;
    struct stat info;
    const bool regular = fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode);
    std::fclose(file);
    if (regular) std::remove(path);
    errno = error;
    return false;
}

}  // namespace

bool WritePngFile(const char* path, int width, int height, const unsigned char* rgb)
{
    errno = 0;
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return Abandon(file, path);
    }
    png_init_io(png, file);
    png_set_compression_level(png, 3);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, const_cast<png_bytep>(rgb + static_cast<size_t>(y) * width * 3));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fflush(file) != 0 || std::ferror(file)) return Abandon(file, path);
    if (std::fclose(file) == 0) return true;
    const int error = errno;
    std::remove(path);
    errno = error;
    return false;
}
