// Test helpers for the render tests: reading pixels of the current framebuffer or of a texture, bounding
// boxes of lit pixels, textures filled with one colour, and a PPM/PNG dump for looking at results.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Engine;

struct Rgba {
    int r = 0, g = 0, b = 0, a = 0;
};

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;  // bottom row first, as GL returns it
    Rgba At(int x, int y) const;
    int CountLit(int threshold = 16) const;  // pixels with any colour channel above the threshold
};

struct Box {
    int left = 0, bottom = 0, right = -1, top = -1;  // inclusive; empty when right < left
    bool Empty() const { return right < left; }
};
Box LitBox(const Picture& picture, int threshold = 16);

Picture ReadFramebuffer(int width, int height);  // from the current context's read buffer
Picture ReadTexture(uint32_t texture);           // level 0, whole texture
// A new RGBA8 texture of the size filled with one colour, stored in the Engine's slot.
uint32_t MakeSlotTexture(Engine& engine, int slot, int width, int height, Rgba colour);
void FillTexture(uint32_t texture, int width, int height, const std::vector<uint8_t>& rgba);
// Writes name.png into the folder named by QUARNEL_TEST_PICTURES (for a person to look at); no-op without it.
void SavePicture(const Picture& picture, const std::string& name);
bool Near(const Rgba& a, const Rgba& b, int tolerance = 3);
