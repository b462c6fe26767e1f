// Several additive draws of one quad in one pass: up to three images over the same corners, each image
// drawn in colour A countA times and in colour B countB times, all with the blending the caller set
// (GL_ONE, GL_ONE). Depends on the shader compiler and the entry points.
//
// Exactness: saturating addition of non-negative bytes does not depend on order or grouping, so the sum
// of the separate draws is one sum of their bytes. Each draw's byte is colour x texel rounded to nearest,
// which the program reproduces; a driver that rounds differently could differ where colour x texel x 255
// lies within a rounding error of a half (never for colours 0 and 1, which give the texel itself).
#pragma once
#include <cstdint>

constexpr int kImageSumImages = 3;

struct ImageSumQuad {
    uint32_t textures[kImageSumImages] = {};
    float texCoords[kImageSumImages][4][2] = {};  // per image, per corner
    float corners[4][3] = {};                     // one GL_QUADS quad in the current modelview
    float colourA[3] = {1.0f, 1.0f, 1.0f};
    int countA = 1;
    float colourB[3] = {1.0f, 1.0f, 1.0f};
    int countB = 0;
};

// Draws the sum; false (nothing drawn) when the driver cannot run the program, and the caller draws the
// images one by one. Leaves texture unit 0 active with textures[2] bound there (as the last of the
// separate draws would), colourA as the current colour, colourB as the secondary colour, and the running
// program as it found it.
bool DrawImageSum(const ImageSumQuad& quad);
// The same for several quads that share images, texture coordinates and colours, in one call.
bool DrawImageSums(const ImageSumQuad& quad, const float (*corners)[4][3], int count);
