// Inside the GL 1.x layer only: the state blocks (one per GL context the show believes it has), the
// objects all blocks share, and the helpers the layer's files call each other through.
#pragma once
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "gl_layer/gl_layer_es.h"
#include "gl_layer/gl_layer_matrix.h"
#include "gl_layer/gl_layer_primitives.h"

namespace gllayer {

// Capabilities glEnable knows. The first group reaches the ES context; the second is fixed-function state
// the layer keeps (texturing, colour sum) or only records, since the show never turns it on.
enum Capability : uint32_t {
    kCapBlend = 1u << 0,
    kCapDepthTest = 1u << 1,
    kCapCullFace = 1u << 2,
    kCapScissorTest = 1u << 3,
    kCapPolygonOffsetFill = 1u << 4,
    kCapDither = 1u << 5,
    kCapStencilTest = 1u << 6,
    kCapColorSum = 1u << 7,
    kCapLighting = 1u << 8,
    kCapFog = 1u << 9,
    kCapAlphaTest = 1u << 10,
    kCapColorMaterial = 1u << 11,
    kCapLight0 = 1u << 12,
    kCapTexture1D = 1u << 13,
    kCapTexGenS = 1u << 14,
    kCapTexGenT = 1u << 15,
    kCapColorLogicOp = 1u << 16,
    kCapNormalize = 1u << 17,
};
constexpr uint32_t kEsCapabilities = kCapBlend | kCapDepthTest | kCapCullFace | kCapScissorTest |
                                     kCapPolygonOffsetFill | kCapDither | kCapStencilTest;
// Turned on, these would need emulation the show never asks for: the layer says so once.
constexpr uint32_t kUnsupportedCapabilities = kCapLighting | kCapFog | kCapAlphaTest | kCapColorMaterial |
                                              kCapLight0 | kCapTexture1D | kCapTexGenS | kCapTexGenT |
                                              kCapColorLogicOp;

// The state glPushAttrib saves and glPopAttrib restores.
struct Attributes {
    // GL_CURRENT_BIT
    float colour[4] = {1, 1, 1, 1};
    float secondary[3] = {0, 0, 0};
    float texCoord[kLayerTextureUnits][4] = {{0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}};
    float normal[3] = {0, 0, 1};
    // GL_ENABLE_BIT (texture2D also GL_TEXTURE_BIT)
    uint32_t enabled = kCapDither;
    uint32_t texture2D = 0;  // bit per unit
    // GL_COLOR_BUFFER_BIT
    GLenum blendSource = GL_ONE, blendDestination = GL_ZERO;
    float clearColour[4] = {0, 0, 0, 0};
    bool colourMask[4] = {true, true, true, true};
    // GL_DEPTH_BUFFER_BIT
    GLenum depthFunc = GL_LESS;
    bool depthMask = true;
    float clearDepth = 1.0f;
    // GL_LINE_BIT
    float lineWidth = 1.0f;
    // GL_POLYGON_BIT
    GLenum cullFace = GL_BACK, frontFace = GL_CCW;
    float offsetFactor = 0.0f, offsetUnits = 0.0f;
    // GL_SCISSOR_BIT, GL_VIEWPORT_BIT
    ViewportBox scissor, viewport;
    float depthRange[2] = {0.0f, 1.0f};
    // GL_TEXTURE_BIT
    unsigned activeTexture = 0;
    GLuint boundTexture[kLayerTextureUnits] = {};
    // GL_TRANSFORM_BIT, GL_LIST_BIT, GL_LIGHTING_BIT
    GLenum matrixMode = GL_MODELVIEW;
    GLuint listBase = 0;
    GLenum shadeModel = GL_SMOOTH;
};

struct PixelStore {
    GLint packAlignment = 4, packRowLength = 0, packSkipRows = 0, packSkipPixels = 0;
    GLint unpackAlignment = 4, unpackRowLength = 0, unpackSkipRows = 0, unpackSkipPixels = 0;
};

// Everything one GL context would hold for itself.
struct StateBlock {
    Attributes a;
    std::vector<std::pair<GLbitfield, Attributes>> attributeStack;
    MatrixStack modelview{32}, projection{32};
    MatrixStack texture[kLayerTextureUnits] = {MatrixStack{10}, MatrixStack{10}, MatrixStack{10}};
    GLuint framebuffer = 0, renderbuffer = 0, program = 0;
    PixelStore pixels;
    GLenum error = GL_NO_ERROR;
    MatrixStack& CurrentStack();
};

struct TextureInfo {
    int width = 0, height = 0;
    GLint internalFormat = 0;  // as glGetTexLevelParameteriv reports it (sized)
    GLint minFilter = GL_NEAREST_MIPMAP_LINEAR;
};

constexpr uint64_t kNoSerial = ~uint64_t{0};

// A compiled program's uniforms the layer feeds, and what they were last set to.
struct ProgramInfo {
    bool ownVertexStage = false;     // a vertex shader of the program's own is attached
    bool layerVertexStage = false;   // the layer's vertex shader is attached
    GLint modelViewProjection = -1;  // -1: the program does not draw through the layer's vertex stage
    GLint textureMatrices[kLayerTextureUnits] = {-1, -1, -1};
    // Serials of the matrices the uniforms hold (kNoSerial: none yet; 0 and 0: the identity transform).
    uint64_t projectionSerial = kNoSerial, modelviewSerial = kNoSerial;
    uint64_t textureSerial[kLayerTextureUnits] = {kNoSerial, kNoSerial, kNoSerial};
    GLint viewportSize = -1;
    ViewportBox viewport{0, 0, -1, -1};  // what viewportSize holds
};

// What a draw is made with besides the ES state: consecutive primitives with equal keys (and no state
// change between them, which draws what is waiting) go out as one draw.
struct DrawKey {
    GLuint program = 0;
    bool clipSpace = false;  // positions are clip coordinates already (lines cut at the near plane)
    uint64_t projection = 0, modelview = 0;
    uint64_t texture[kLayerTextureUnits] = {};
    ViewportBox viewport;
    bool operator==(const DrawKey& o) const;
};

// One recorded step of a display list.
struct ListOp {
    enum Kind {
        Draw,
        Lines,
        Translate,
        Scale,
        Rotate,
        Multiply,
        LoadIdentity,
        Push,
        Pop,
        SetCurrent,
        Call
    } kind;
    GLenum mode = 0;
    uint32_t first = 0, count = 0;  // vertices in the list buffer (Draw) or in `lines` (Lines)
    uint32_t arrays = 0;            // attributes the list gave per vertex (bit per LayerAttribute)
    float values[16] = {};
};

struct DisplayList {
    std::vector<ListOp> ops;
};

// Attribute bits of ListOp::arrays and of the immediate-mode batch.
constexpr uint32_t kArrayColour = 1u << 1, kArraySecondary = 1u << 2, kArrayTexCoord0 = 1u << 3;
constexpr uint32_t kArrayNormal = 1u << 7;  // recorded for the current normal only; nothing draws with it

struct Layer {
    std::vector<std::unique_ptr<StateBlock>> blocks;
    StateBlock* current = nullptr;
    int drawableWidth = 0, drawableHeight = 0;

    std::unordered_map<GLuint, TextureInfo> textures;
    std::unordered_map<GLuint, ProgramInfo> programs;
    std::unordered_map<GLuint, GLenum> shaderTypes;
    GLuint vertexShader = 0;
    GLuint fixedFunction[16] = {};  // by texture-unit bits | colour sum << 3
    GLuint esProgram = 0;           // what the ES context runs now

    // Streaming vertices: one buffer refilled from the start when full.
    GLuint streamArray = 0, streamBuffer = 0;
    size_t streamOffset = 0;
    // Display lists: their vertices in one buffer, uploaded before the first call after a change.
    GLuint listArray = 0, listBuffer = 0;
    std::vector<LayerVertex> listVertices;
    size_t listVerticesUploaded = 0;
    std::vector<LayerVertex> listLines;  // wide lines are widened when called, in the caller's transform
    std::unordered_map<GLuint, DisplayList> lists;
    GLuint nextList = 1;
    GLuint compiling = 0;
    GLenum compileMode = 0;
    DisplayList building;
    Attributes recordCurrent;  // the current attributes as the list being compiled sets them
    GLuint boundArray = 0;

    // Immediate mode.
    bool inBegin = false;
    GLenum mode = 0;
    std::vector<LayerVertex> batch;
    std::vector<LayerVertex> converted;
    // Triangles waiting to be drawn with `pendingKey` and these matrices.
    std::vector<LayerVertex> pending;
    DrawKey pendingKey;
    Matrix4 pendingTransform;
    Matrix4 pendingTexture[kLayerTextureUnits];
    uint32_t batchAttributesSet = 0;

    uint32_t warned = 0;  // capabilities already reported as unsupported
};

extern Layer* gLayer;

inline StateBlock& S()
{
    return *gLayer->current;
}
void SetError(GLenum error);

// Brings the ES context from one block's state to another's (switching blocks, popping attributes).
void SyncAttributes(const Attributes& from, const Attributes& to);
void SyncBlock(const StateBlock& from, const StateBlock& to);

// Drawing (gl_layer_draw.cpp).
void CreateDrawingObjects();
void DeleteDrawingObjects();
void UseEsProgram(GLuint program);
void DrawBatch(GLenum mode, const LayerVertex* vertices, size_t count);  // any GL 1.x primitive
// Draws what waits. Whatever changes the ES state, reads or writes pixels or textures, or ends the frame
// calls this first.
void FlushDraws();
void CallList(GLuint list, int depth);
// While a list is being compiled: appends the step and returns true (the caller then does not run it).
bool Record(const ListOp& op);
// The current attributes that glColor and friends set: the block's, or the list's while compiling.
Attributes& CurrentAttributes();

// Programs (gl_layer_programs.cpp).
GLuint FixedFunctionProgram(unsigned textureUnits, bool colourSum);
ProgramInfo& ProgramInfoFor(GLuint program);
bool TextureComplete(GLuint texture);

}  // namespace gllayer
