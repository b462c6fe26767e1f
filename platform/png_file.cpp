// PNG output over libpng (see png_file.h).
#include "platform/png_file.h"

#include <png.h>

#include <cerrno>
#include <cstring>

#include "platform/output_file.h"

namespace {

// libpng's own words stay on standard error; the caller's message names the file and the system's cause.
bool Abandon(OutputFile& file, std::string& error)
{
    const int code = errno;
    DiscardOutputFile(file);
    error = code ? std::strerror(code) : "the PNG writer failed";
    return false;
}

}  // namespace

bool WritePngFile(const std::string& path, int width, int height, const unsigned char* rgb,
                  std::string& error)
{
    OutputFile file;
    if (!OpenOutputFile(path, file, error)) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    errno = 0;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return Abandon(file, error);
    }
    png_init_io(png, file.stream);
    png_set_compression_level(png, 3);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, const_cast<png_bytep>(rgb + static_cast<size_t>(y) * width * 3));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return CommitOutputFile(file, error);
}
