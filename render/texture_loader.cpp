// Texture loading: JPEG files through the decoder into GL textures, blank textures for frame copies, and
// the film-grain texture. Depends on assets/jpeg_decoder, render/engine.h, OpenGL 1.x and the platform's
// message boxes and process exit. Main thread, window context current.
#include "render/texture_loader.h"

#include <GL/gl.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "assets/jpeg_decoder.h"
#include "platform/input_file.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "render/engine.h"

namespace {

constexpr const char* kFilmTextureFile = "textures/superfilm3.jpg";
constexpr size_t kLargestTextureFile = 32u << 20;

[[noreturn]] void FailLoad(const char* fileName, const char* caption)
{
    ShowMessageBox(fileName, caption, MB_OK | MB_ICONINFORMATION);
    EndProcess(0);
}

// A file that is no picture: its cause on standard error, then the box with its name.
[[noreturn]] void FailDecode(const char* fileName, const std::vector<uint8_t>& bytes,
                             const JpegDecoder* decoder)
{
    std::string cause;
    const int code = decoder ? decoder->ErrorCode() : kJpegOutOfMemory;
    if (bytes.empty())
        cause = "empty file";
    else if (code == kJpegNoStartOfImage)
        cause = "not a JPEG";
    else if (decoder && decoder->ReadPastEnd())
        cause = "cut short at byte " + std::to_string(bytes.size());
    else
        cause = JpegErrorText(code);
    std::fprintf(stderr, "quarnel: %s: %s\n", fileName, cause.c_str());
    FailLoad(fileName, "Jpg !");
}

// The table entry of a slot; slots that fall outside the table end the program like a broken file
// rather than writing past it.
uint32_t* TableEntry(Engine& engine, int slot, const char* what)
{
    int64_t index = static_cast<int64_t>(engine.textureBaseOffset) + slot;
    if (index < 0 || index >= kTextureTableSize) FailLoad(what, "Jpg !");
    return &engine.textureTable[index];
}

// Creates the texture name for a slot, binds it and sets linear filtering; rows of any byte width upload
// as they are (the default 4-byte row alignment would skew and overread odd widths).
void UploadRgb(Engine& engine, int slot, int width, int height, const uint8_t* pixels, const char* what)
{
    uint32_t* entry = TableEntry(engine, slot, what);
    GLuint name = 0;
    glGenTextures(1, &name);
    *entry = name;
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

}  // namespace

void LoadJpegTexture(Engine& engine, const char* fileName, int slot)
{
    if (engine.loadTickCallback) engine.loadTickCallback(0.1);

    // A regular file of sensible size only: a pipe would hang start-up, a device fill memory.
    std::vector<uint8_t> bytes;
    std::string cause;
    if (!ReadInputFile(fileName, kLargestTextureFile, bytes, cause)) {
        std::fprintf(stderr, "quarnel: %s: %s\n", fileName, cause.c_str());
        FailLoad(fileName, "Jpg");
    }
    JpegMemoryStream stream(bytes.data(), bytes.size());

    // About 40 KB: kept off the stack.
    std::unique_ptr<JpegDecoder> decoder(new (std::nothrow) JpegDecoder(&stream, true));
    if (!decoder || decoder->ErrorCode() != 0) FailDecode(fileName, bytes, decoder.get());
    const int width = decoder->Width();
    const int height = decoder->Height();
    if (decoder->Begin() != 0) FailDecode(fileName, bytes, decoder.get());

    // Bottom-up rows: the picture's top row ends at t = 1.
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    std::vector<uint8_t> pixels;
    pixels.resize(rowBytes * height);
    const int bytesPerPixel = decoder->BytesPerPixel();
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = nullptr;
        int length = 0;
        // A failure among the rows is a broken file just like a bad header.
        if (decoder->DecodeRow(&row, &length) != 0 || length < width * bytesPerPixel)
            FailDecode(fileName, bytes, decoder.get());
        uint8_t* out = pixels.data() + rowBytes * (height - 1 - y);
        if (bytesPerPixel == 1) {
            for (int x = 0; x < width; ++x) out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = row[x];
        } else {
            for (int x = 0; x < width; ++x) {
                out[3 * x] = row[4 * x];
                out[3 * x + 1] = row[4 * x + 1];
                out[3 * x + 2] = row[4 * x + 2];
            }
        }
    }
    if (decoder->ReadPastEnd())
        std::fprintf(stderr, "quarnel: warning: %s is cut short; it shows what it has\n", fileName);
    decoder.reset();
    UploadRgb(engine, slot, width, height, pixels.data(), fileName);
}

void CreateBlankTexture(Engine& engine, int slot, int width, int height)
{
    if (width < 0) width = 0;
    if (height < 0) height = 0;
    std::vector<uint8_t> black(static_cast<size_t>(width) * height * 3, 0);
    UploadRgb(engine, slot, width, height, black.data(), "blank texture slot out of range");
}

void LoadFilmTexture(Engine& engine)
{
    LoadJpegTexture(engine, kFilmTextureFile, kFilmTextureSlot);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, 9729.0f);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, 9729.0f);
}
