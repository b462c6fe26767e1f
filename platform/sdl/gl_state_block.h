// Inside the platform layer only: the GL state that one context of the show keeps for itself, as a record
// that is read from the window's one GL context and brought back into it. gl_context.cpp makes the show's
// "second context" such a record: textures, lists, programs and framebuffer objects are the one context's,
// and switching swaps the state below. Main thread only, with the window's context current.
#pragma once
#include <SDL_opengl.h>

#include <cstdint>

// Texture units whose state a block keeps: the image sum draws with three, the effects with two.
constexpr int kBlockTextureUnits = 3;

// Everything the show sets in one context and relies on finding there again (the state record of the GL
// 1.x layer's blocks, gl_layer/gl_layer_internal.h, holds the same). Of each matrix stack only the top is
// the block's: whatever a block pushes it pops before another block is made current, as the show does.
struct GlStateBlock {
    uint32_t enabled = 0;                      // bit per entry of the capability list (gl_state_block.cpp)
    uint32_t unitEnabled[kBlockTextureUnits];  // bit per entry of the per-unit capability list
    // Current vertex attributes.
    GLfloat colour[4] = {1, 1, 1, 1};
    GLfloat secondary[4] = {0, 0, 0, 1};
    GLfloat texCoord[kBlockTextureUnits][4];
    GLfloat normal[4] = {0, 0, 1, 0};  // three used; GL answers a normal query with three values
    // Fragment operations and buffers.
    GLint blendSource = GL_ONE, blendDestination = GL_ZERO;
    GLfloat clearColour[4] = {0, 0, 0, 0};
    GLboolean colourMask[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
    GLint depthFunc = GL_LESS;
    GLboolean depthMask = GL_TRUE;
    GLdouble clearDepth = 1.0;
    // Rasterising.
    GLfloat lineWidth = 1.0f;
    GLint cullFace = GL_BACK, frontFace = GL_CCW, shadeModel = GL_SMOOTH;
    GLfloat offsetFactor = 0.0f, offsetUnits = 0.0f;
    GLint perspectiveHint = GL_DONT_CARE;
    GLint viewport[4] = {}, scissor[4] = {};
    GLdouble depthRange[2] = {0.0, 1.0};
    // Textures, matrices, lists, programs, framebuffers, pixel transfers.
    GLint activeTexture = 0;  // unit index
    GLint boundTexture[kBlockTextureUnits] = {};
    GLint matrixMode = GL_MODELVIEW;
    GLfloat modelview[16], projection[16], texture[kBlockTextureUnits][16];
    GLint listBase = 0;
    GLint program = 0;
    GLint drawFramebuffer = 0, readFramebuffer = 0, renderbuffer = 0;
    GLint packAlignment = 4, packRowLength = 0, packSkipRows = 0, packSkipPixels = 0;
    GLint unpackAlignment = 4, unpackRowLength = 0, unpackSkipRows = 0, unpackSkipPixels = 0;

    GlStateBlock();  // the state of a new context, but for its viewport and scissor box (0 x 0)
};

// Finds the entry points past GL 1.1 that the record needs (multitexture, secondary colour, programs,
// framebuffer objects), for the current context; what the driver lacks is left out of every record.
void PrepareGlStateBlocks();
// A new context's state; its viewport and scissor box cover the drawable, as when it is first made current.
GlStateBlock InitialGlState(int drawableWidth, int drawableHeight);
void ReadGlState(GlStateBlock& block);  // from the current context
// Brings the current context from `from` (what it holds now, as just read) to `to`, calling GL only for
// what differs.
void SwitchGlState(const GlStateBlock& from, const GlStateBlock& to);
