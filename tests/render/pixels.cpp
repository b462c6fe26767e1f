// Test helpers for the render tests (see pixels.h).
#include "tests/render/pixels.h"

#include <GL/gl.h>
#include <GL/glext.h>  // names past GL 1.1 (Windows' gl.h stops there)

#include <cstdio>
#include <cstdlib>

#include "render/engine.h"

Rgba Picture::At(int x, int y) const
{
    const size_t i = (static_cast<size_t>(y) * width + x) * 4;
    return {rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]};
}

int Picture::CountLit(int threshold) const
{
    int count = 0;
    for (size_t i = 0; i + 3 < rgba.size(); i += 4)
        if (rgba[i] > threshold || rgba[i + 1] > threshold || rgba[i + 2] > threshold) ++count;
    return count;
}

Box LitBox(const Picture& picture, int threshold)
{
    Box box{picture.width, picture.height, -1, -1};
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const Rgba p = picture.At(x, y);
            if (p.r <= threshold && p.g <= threshold && p.b <= threshold) continue;
            if (x < box.left) box.left = x;
            if (x > box.right) box.right = x;
            if (y < box.bottom) box.bottom = y;
            if (y > box.top) box.top = y;
        }
    return box;
}

Picture ReadFramebuffer(int width, int height)
{
    Picture picture{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 4)};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, picture.rgba.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return picture;
}

Picture ReadTexture(uint32_t texture)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    int width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    Picture picture{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 4)};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, picture.rgba.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return picture;
}

void FillTexture(uint32_t texture, int width, int height, const std::vector<uint8_t>& rgba)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

uint32_t MakeSlotTexture(Engine& engine, int slot, int width, int height, Rgba colour)
{
    GLuint texture = 0;
    glGenTextures(1, &texture);
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < rgba.size(); i += 4) {
        rgba[i] = static_cast<uint8_t>(colour.r);
        rgba[i + 1] = static_cast<uint8_t>(colour.g);
        rgba[i + 2] = static_cast<uint8_t>(colour.b);
        rgba[i + 3] = static_cast<uint8_t>(colour.a);
    }
    FillTexture(texture, width, height, rgba);
    engine.textureTable[slot >= kAbsoluteSlotStart ? slot : engine.textureBaseOffset + slot] = texture;
    return texture;
}

void SavePicture(const Picture& picture, const std::string& name)
{
    const char* folder = std::getenv("QUARNEL_TEST_PICTURES");
    if (!folder || !*folder) return;
    const std::string ppm = std::string(folder) + "/" + name + ".ppm";
    const std::string png = std::string(folder) + "/" + name + ".png";
    FILE* file = std::fopen(ppm.c_str(), "wb");
    if (!file) return;
    std::fprintf(file, "P6\n%d %d\n255\n", picture.width, picture.height);
    for (int y = picture.height - 1; y >= 0; --y)
        for (int x = 0; x < picture.width; ++x) {
            const Rgba p = picture.At(x, y);
            const unsigned char rgb[3] = {static_cast<unsigned char>(p.r), static_cast<unsigned char>(p.g),
                                          static_cast<unsigned char>(p.b)};
            std::fwrite(rgb, 1, 3, file);
        }
    std::fclose(file);
    const std::string command = "/usr/bin/convert " + ppm + " " + png + " 2>/dev/null && rm -f " + ppm;
    if (std::system(command.c_str()) != 0) std::remove(ppm.c_str());
}

bool Near(const Rgba& a, const Rgba& b, int tolerance)
{
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance && std::abs(a.a - b.a) <= tolerance;
}
