// State of the GL 1.x layer (see gl_layer.h): the state blocks and switching between them, capabilities,
// blending, depth, culling, viewport and scissor, textures, pixel transfers, queries, the attribute stack
// and the framebuffer objects. Each call records the GL 1.x state in the current block and passes what
// ES knows on to the ES context, so that the ES context always holds the current block's state.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "gl_layer/gl_layer.h"
#include "gl_layer/gl_layer_internal.h"

namespace gllayer {

Layer* gLayer = nullptr;

namespace {

constexpr const char* kExtensions =
    "GL_ARB_multitexture GL_EXT_secondary_color GL_ARB_shader_objects GL_ARB_fragment_shader "
    "GL_ARB_shading_language_100 GL_ARB_framebuffer_object";

struct CapabilityName {
    GLenum cap;
    uint32_t bit;
};
constexpr CapabilityName kCapabilities[] = {
    {GL_BLEND, kCapBlend},
    {GL_DEPTH_TEST, kCapDepthTest},
    {GL_CULL_FACE, kCapCullFace},
    {GL_SCISSOR_TEST, kCapScissorTest},
    {GL_POLYGON_OFFSET_FILL, kCapPolygonOffsetFill},
    {GL_DITHER, kCapDither},
    {GL_STENCIL_TEST, kCapStencilTest},
    {GL_COLOR_SUM, kCapColorSum},
    {GL_LIGHTING, kCapLighting},
    {GL_FOG, kCapFog},
    {GL_ALPHA_TEST, kCapAlphaTest},
    {GL_COLOR_MATERIAL, kCapColorMaterial},
    {GL_LIGHT0, kCapLight0},
    {GL_TEXTURE_1D, kCapTexture1D},
    {GL_TEXTURE_GEN_S, kCapTexGenS},
    {GL_TEXTURE_GEN_T, kCapTexGenT},
    {GL_COLOR_LOGIC_OP, kCapColorLogicOp},
    {GL_NORMALIZE, kCapNormalize},
};

uint32_t CapabilityBit(GLenum cap)
{
    for (const CapabilityName& c : kCapabilities)
        if (c.cap == cap) return c.bit;
    return 0;
}

GLenum EsCapability(uint32_t bit)
{
    for (const CapabilityName& c : kCapabilities)
        if (c.bit == bit) return c.cap;
    return 0;
}

bool Running()
{
    return gLayer && gLayer->current;
}

void SetCapability(GLenum cap, bool on)
{
    if (!Running()) return;
    Attributes& a = S().a;
    if (cap == GL_TEXTURE_2D) {
        const uint32_t bit = 1u << a.activeTexture;
        if (((a.texture2D & bit) != 0) != on) FlushDraws();
        a.texture2D = on ? (a.texture2D | bit) : (a.texture2D & ~bit);
        return;
    }
    const uint32_t bit = CapabilityBit(cap);
    if (bit == 0) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    if (on && (bit & kUnsupportedCapabilities) && !(gLayer->warned & bit)) {
        gLayer->warned |= bit;
        std::fprintf(stderr, "GL layer: capability 0x%04X is recorded but not drawn with\n", cap);
    }
    const bool was = (a.enabled & bit) != 0;
    if (was != on) FlushDraws();
    a.enabled = on ? (a.enabled | bit) : (a.enabled & ~bit);
    if (was != on && (bit & kEsCapabilities)) on ? es.Enable(cap) : es.Disable(cap);
}

// Attribute groups of glPushAttrib, and the capabilities each one saves.
struct Group {
    GLbitfield bit;
    uint32_t capabilities;
};
constexpr Group kGroups[] = {
    {GL_COLOR_BUFFER_BIT, kCapBlend | kCapDither | kCapAlphaTest | kCapColorLogicOp},
    {GL_DEPTH_BUFFER_BIT, kCapDepthTest},
    {GL_POLYGON_BIT, kCapCullFace | kCapPolygonOffsetFill},
    {GL_SCISSOR_BIT, kCapScissorTest},
    {GL_STENCIL_BUFFER_BIT, kCapStencilTest},
    {GL_LIGHTING_BIT, kCapLighting | kCapColorMaterial | kCapLight0},
    {GL_FOG_BIT, kCapFog | kCapColorSum},
    {GL_TRANSFORM_BIT, kCapNormalize},
    {GL_TEXTURE_BIT, kCapTexture1D | kCapTexGenS | kCapTexGenT},
    {GL_ENABLE_BIT, ~0u},
};

void RestoreGroups(Attributes& to, const Attributes& saved, GLbitfield mask)
{
    uint32_t capabilities = 0;
    for (const Group& g : kGroups)
        if (mask & g.bit) capabilities |= g.capabilities;
    to.enabled = (to.enabled & ~capabilities) | (saved.enabled & capabilities);
    if (mask & (GL_ENABLE_BIT | GL_TEXTURE_BIT)) to.texture2D = saved.texture2D;
    if (mask & GL_CURRENT_BIT) {
        std::memcpy(to.colour, saved.colour, sizeof to.colour);
        std::memcpy(to.secondary, saved.secondary, sizeof to.secondary);
        std::memcpy(to.texCoord, saved.texCoord, sizeof to.texCoord);
        std::memcpy(to.normal, saved.normal, sizeof to.normal);
    }
    if (mask & GL_COLOR_BUFFER_BIT) {
        to.blendSource = saved.blendSource, to.blendDestination = saved.blendDestination;
        std::memcpy(to.clearColour, saved.clearColour, sizeof to.clearColour);
        std::memcpy(to.colourMask, saved.colourMask, sizeof to.colourMask);
    }
    if (mask & GL_DEPTH_BUFFER_BIT) {
        to.depthFunc = saved.depthFunc, to.depthMask = saved.depthMask, to.clearDepth = saved.clearDepth;
    }
    if (mask & GL_LINE_BIT) to.lineWidth = saved.lineWidth;
    if (mask & GL_POLYGON_BIT) {
        to.cullFace = saved.cullFace, to.frontFace = saved.frontFace;
        to.offsetFactor = saved.offsetFactor, to.offsetUnits = saved.offsetUnits;
    }
    if (mask & GL_SCISSOR_BIT) to.scissor = saved.scissor;
    if (mask & GL_VIEWPORT_BIT) {
        to.viewport = saved.viewport;
        to.depthRange[0] = saved.depthRange[0], to.depthRange[1] = saved.depthRange[1];
    }
    if (mask & GL_TEXTURE_BIT) {
        to.activeTexture = saved.activeTexture;
        std::memcpy(to.boundTexture, saved.boundTexture, sizeof to.boundTexture);
    }
    if (mask & GL_TRANSFORM_BIT) to.matrixMode = saved.matrixMode;
    if (mask & GL_LIST_BIT) to.listBase = saved.listBase;
    if (mask & GL_LIGHTING_BIT) to.shadeModel = saved.shadeModel;
}

void SyncPixelStore(const PixelStore& from, const PixelStore& to)
{
    const struct {
        GLenum name;
        GLint PixelStore::*field;
    } fields[] = {
        {GL_PACK_ALIGNMENT, &PixelStore::packAlignment},
        {GL_PACK_ROW_LENGTH, &PixelStore::packRowLength},
        {GL_PACK_SKIP_ROWS, &PixelStore::packSkipRows},
        {GL_PACK_SKIP_PIXELS, &PixelStore::packSkipPixels},
        {GL_UNPACK_ALIGNMENT, &PixelStore::unpackAlignment},
        {GL_UNPACK_ROW_LENGTH, &PixelStore::unpackRowLength},
        {GL_UNPACK_SKIP_ROWS, &PixelStore::unpackSkipRows},
        {GL_UNPACK_SKIP_PIXELS, &PixelStore::unpackSkipPixels},
    };
    for (const auto& f : fields)
        if (from.*f.field != to.*f.field) es.PixelStorei(f.name, to.*f.field);
}

GLint* PixelStoreField(PixelStore& p, GLenum name)
{
    switch (name) {
        case GL_PACK_ALIGNMENT:
            return &p.packAlignment;
        case GL_PACK_ROW_LENGTH:
            return &p.packRowLength;
        case GL_PACK_SKIP_ROWS:
            return &p.packSkipRows;
        case GL_PACK_SKIP_PIXELS:
            return &p.packSkipPixels;
        case GL_UNPACK_ALIGNMENT:
            return &p.unpackAlignment;
        case GL_UNPACK_ROW_LENGTH:
            return &p.unpackRowLength;
        case GL_UNPACK_SKIP_ROWS:
            return &p.unpackSkipRows;
        case GL_UNPACK_SKIP_PIXELS:
            return &p.unpackSkipPixels;
        default:
            return nullptr;
    }
}

// Sized ES format for a GL 1.x internal format, with the pixel format that goes with it.
struct EsTextureFormat {
    GLint internalFormat;
    GLenum format;
};
EsTextureFormat EsFormatFor(GLint internalFormat)
{
    switch (internalFormat) {
        case 4:
        case GL_RGBA:
        case GL_RGBA8:
            return {GL_RGBA8, GL_RGBA};
        case 1:
        case GL_LUMINANCE:
            return {GL_LUMINANCE, GL_LUMINANCE};
        case GL_ALPHA:
            return {GL_ALPHA, GL_ALPHA};
        default:
            return {GL_RGB8, GL_RGB};
    }
}

int Components(GLenum format)
{
    switch (format) {
        case GL_RGBA:
            return 4;
        case GL_RGB:
            return 3;
        default:
            return 1;
    }
}

// Rows of `from` components per pixel (in the unpack layout the caller set) as tight rows of `to`.
std::vector<uint8_t> ConvertPixels(const uint8_t* pixels, int width, int height, int from, int to,
                                   const PixelStore& store)
{
    const int rowPixels = store.unpackRowLength > 0 ? store.unpackRowLength : width;
    const int align = std::max(store.unpackAlignment, 1);
    const size_t stride = (static_cast<size_t>(rowPixels) * from + align - 1) / align * align;
    const uint8_t* start = pixels + store.unpackSkipRows * stride + store.unpackSkipPixels * from;
    std::vector<uint8_t> out(static_cast<size_t>(width) * height * to);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < to; ++c)
                out[(static_cast<size_t>(y) * width + x) * to + c] =
                    c < from ? start[y * stride + x * from + c] : 255;
    return out;
}

// Uploads a tight buffer with the ES unpack state set for it, and the block's state back afterwards.
void UploadTight(GLenum target, GLint level, GLint internalFormat, int width, int height, GLenum format,
                 const void* pixels)
{
    PixelStore& mine = S().pixels;
    PixelStore unpackOnly = mine;
    unpackOnly.unpackAlignment = 1, unpackOnly.unpackRowLength = 0;
    unpackOnly.unpackSkipRows = 0, unpackOnly.unpackSkipPixels = 0;
    SyncPixelStore(mine, unpackOnly);
    es.TexImage2D(target, level, internalFormat, width, height, 0, format, GL_UNSIGNED_BYTE, pixels);
    SyncPixelStore(unpackOnly, mine);
}

const char* LayerString(GLenum name)
{
    static std::string version, renderer;
    switch (name) {
        case GL_VERSION: {
            const GLubyte* es3 = es.GetString(GL_VERSION);
            version = std::string("2.1 Quarnel GL 1.x layer over ") +
                      (es3 ? reinterpret_cast<const char*>(es3) : "ES");
            return version.c_str();
        }
        case GL_EXTENSIONS:
            return kExtensions;
        case GL_SHADING_LANGUAGE_VERSION:
            return "1.20";
        default:
            return nullptr;
    }
}

}  // namespace

MatrixStack& StateBlock::CurrentStack()
{
    switch (a.matrixMode) {
        case GL_PROJECTION:
            return projection;
        case GL_TEXTURE:
            return texture[a.activeTexture];
        default:
            return modelview;
    }
}

void SetError(GLenum error)
{
    if (Running() && S().error == GL_NO_ERROR) S().error = error;
}

void SyncAttributes(const Attributes& from, const Attributes& to)
{
    const uint32_t changed = (from.enabled ^ to.enabled) & kEsCapabilities;
    for (uint32_t bit = 1; bit != 0 && bit <= changed; bit <<= 1)
        if (changed & bit) (to.enabled & bit) ? es.Enable(EsCapability(bit)) : es.Disable(EsCapability(bit));
    if (from.blendSource != to.blendSource || from.blendDestination != to.blendDestination)
        es.BlendFunc(to.blendSource, to.blendDestination);
    if (std::memcmp(from.clearColour, to.clearColour, sizeof to.clearColour) != 0)
        es.ClearColor(to.clearColour[0], to.clearColour[1], to.clearColour[2], to.clearColour[3]);
    if (std::memcmp(from.colourMask, to.colourMask, sizeof to.colourMask) != 0)
        es.ColorMask(to.colourMask[0], to.colourMask[1], to.colourMask[2], to.colourMask[3]);
    if (from.depthFunc != to.depthFunc) es.DepthFunc(to.depthFunc);
    if (from.depthMask != to.depthMask) es.DepthMask(to.depthMask);
    if (from.clearDepth != to.clearDepth) es.ClearDepthf(to.clearDepth);
    if (from.cullFace != to.cullFace) es.CullFace(to.cullFace);
    if (from.frontFace != to.frontFace) es.FrontFace(to.frontFace);
    if (from.offsetFactor != to.offsetFactor || from.offsetUnits != to.offsetUnits)
        es.PolygonOffset(to.offsetFactor, to.offsetUnits);
    const auto sameBox = [](const ViewportBox& p, const ViewportBox& q) {
        return p.x == q.x && p.y == q.y && p.width == q.width && p.height == q.height;
    };
    if (!sameBox(from.scissor, to.scissor))
        es.Scissor(to.scissor.x, to.scissor.y, to.scissor.width, to.scissor.height);
    if (!sameBox(from.viewport, to.viewport))
        es.Viewport(to.viewport.x, to.viewport.y, to.viewport.width, to.viewport.height);
    if (from.depthRange[0] != to.depthRange[0] || from.depthRange[1] != to.depthRange[1])
        es.DepthRangef(to.depthRange[0], to.depthRange[1]);
    bool unitMoved = false;
    for (int unit = 0; unit < kLayerTextureUnits; ++unit) {
        if (from.boundTexture[unit] == to.boundTexture[unit]) continue;
        es.ActiveTexture(GL_TEXTURE0 + unit);
        es.BindTexture(GL_TEXTURE_2D, to.boundTexture[unit]);
        unitMoved = true;
    }
    if (unitMoved || from.activeTexture != to.activeTexture) es.ActiveTexture(GL_TEXTURE0 + to.activeTexture);
}

void SyncBlock(const StateBlock& from, const StateBlock& to)
{
    SyncAttributes(from.a, to.a);
    if (from.framebuffer != to.framebuffer) es.BindFramebuffer(GL_FRAMEBUFFER, to.framebuffer);
    if (from.renderbuffer != to.renderbuffer) es.BindRenderbuffer(GL_RENDERBUFFER, to.renderbuffer);
    if (to.program != 0) UseEsProgram(to.program);
    SyncPixelStore(from.pixels, to.pixels);
}

}  // namespace gllayer

using namespace gllayer;

// Layer lifetime and state blocks.

bool GlLayerStart(GlLayerLookup lookup, int drawableWidth, int drawableHeight)
{
    if (gLayer) return true;
    if (!LoadEsFunctions(lookup)) return false;
    gLayer = new Layer;
    gLayer->drawableWidth = drawableWidth;
    gLayer->drawableHeight = drawableHeight;
    gLayer->current = static_cast<StateBlock*>(GlLayerCreateBlock());
    CreateDrawingObjects();
    return true;
}

void GlLayerFlush()
{
    if (Running()) FlushDraws();
}

void GlLayerStop()
{
    if (!gLayer) return;
    FlushDraws();
    DeleteDrawingObjects();
    delete gLayer;
    gLayer = nullptr;
}

bool GlLayerRunning()
{
    return gLayer != nullptr;
}

GlLayerBlock GlLayerCurrentBlock()
{
    return gLayer ? gLayer->current : nullptr;
}

GlLayerBlock GlLayerCreateBlock()
{
    if (!gLayer) return nullptr;
    auto block = std::make_unique<StateBlock>();
    // A context's viewport and scissor start as its drawable when it is first made current.
    block->a.viewport = ViewportBox{0, 0, gLayer->drawableWidth, gLayer->drawableHeight};
    block->a.scissor = block->a.viewport;
    gLayer->blocks.push_back(std::move(block));
    return gLayer->blocks.back().get();
}

void GlLayerDestroyBlock(GlLayerBlock handle)
{
    if (!gLayer || !handle || handle == gLayer->current) return;
    std::erase_if(gLayer->blocks, [&](const std::unique_ptr<StateBlock>& b) { return b.get() == handle; });
}

bool GlLayerMakeCurrent(GlLayerBlock handle)
{
    if (!gLayer) return false;
    auto* block = static_cast<StateBlock*>(handle);
    const bool known = std::any_of(gLayer->blocks.begin(), gLayer->blocks.end(),
                                   [&](const std::unique_ptr<StateBlock>& b) { return b.get() == block; });
    if (!known) return false;
    if (block == gLayer->current) return true;
    FlushDraws();
    SyncBlock(*gLayer->current, *block);
    gLayer->current = block;
    return true;
}

// Capabilities, blending, depth, polygons, viewport.

void glEnable(GLenum cap)
{
    SetCapability(cap, true);
}

void glDisable(GLenum cap)
{
    SetCapability(cap, false);
}

GLboolean glIsEnabled(GLenum cap)
{
    if (!Running()) return GL_FALSE;
    if (cap == GL_TEXTURE_2D) return (S().a.texture2D >> S().a.activeTexture) & 1u;
    return (S().a.enabled & CapabilityBit(cap)) ? GL_TRUE : GL_FALSE;
}

void glBlendFunc(GLenum source, GLenum destination)
{
    if (!Running()) return;
    Attributes& a = S().a;
    if (a.blendSource == source && a.blendDestination == destination) return;
    FlushDraws();
    a.blendSource = source, a.blendDestination = destination;
    es.BlendFunc(source, destination);
}

void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf alpha)
{
    if (!Running()) return;
    const float c[4] = {std::clamp(r, 0.0f, 1.0f), std::clamp(g, 0.0f, 1.0f), std::clamp(b, 0.0f, 1.0f),
                        std::clamp(alpha, 0.0f, 1.0f)};
    if (std::memcmp(c, S().a.clearColour, sizeof c) == 0) return;
    std::memcpy(S().a.clearColour, c, sizeof c);
    es.ClearColor(c[0], c[1], c[2], c[3]);
}

void glClearDepth(GLclampd depth)
{
    if (!Running()) return;
    S().a.clearDepth = static_cast<float>(std::clamp(depth, 0.0, 1.0));
    es.ClearDepthf(S().a.clearDepth);
}

void glClear(GLbitfield mask)
{
    if (!Running()) return;
    FlushDraws();
    es.Clear(mask & (GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT));
}

void glColorMask(GLboolean r, GLboolean g, GLboolean b, GLboolean alpha)
{
    if (!Running()) return;
    FlushDraws();
    bool* m = S().a.colourMask;
    m[0] = r, m[1] = g, m[2] = b, m[3] = alpha;
    es.ColorMask(r, g, b, alpha);
}

void glDepthFunc(GLenum func)
{
    if (!Running()) return;
    FlushDraws();
    S().a.depthFunc = func;
    es.DepthFunc(func);
}

void glDepthMask(GLboolean flag)
{
    if (!Running()) return;
    FlushDraws();
    S().a.depthMask = flag;
    es.DepthMask(flag);
}

void glCullFace(GLenum mode)
{
    if (!Running()) return;
    FlushDraws();
    S().a.cullFace = mode;
    es.CullFace(mode);
}

void glFrontFace(GLenum mode)
{
    if (!Running()) return;
    FlushDraws();
    S().a.frontFace = mode;
    es.FrontFace(mode);
}

void glPolygonOffset(GLfloat factor, GLfloat units)
{
    if (!Running()) return;
    FlushDraws();
    S().a.offsetFactor = factor, S().a.offsetUnits = units;
    es.PolygonOffset(factor, units);
}

void glLineWidth(GLfloat width)
{
    if (!Running()) return;
    if (width <= 0.0f) return SetError(GL_INVALID_VALUE);
    S().a.lineWidth = width;  // drawn by the layer: wide lines become quads
}

void glShadeModel(GLenum mode)
{
    if (!Running()) return;
    if (mode == GL_FLAT && S().a.shadeModel != GL_FLAT)
        std::fprintf(stderr, "GL layer: flat shading is recorded but drawn smooth\n");
    S().a.shadeModel = mode;
}

void glHint(GLenum, GLenum) {}  // ES has no perspective-correction hint: it is always nicest

void glScissor(GLint x, GLint y, GLsizei width, GLsizei height)
{
    if (!Running()) return;
    FlushDraws();
    S().a.scissor = ViewportBox{x, y, width, height};
    es.Scissor(x, y, width, height);
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    if (!Running()) return;
    ViewportBox& v = S().a.viewport;
    if (v.x == x && v.y == y && v.width == width && v.height == height) return;
    FlushDraws();
    v = ViewportBox{x, y, width, height};
    es.Viewport(x, y, width, height);
}

void glDepthRange(GLclampd zNear, GLclampd zFar)
{
    if (!Running()) return;
    FlushDraws();
    S().a.depthRange[0] = static_cast<float>(zNear), S().a.depthRange[1] = static_cast<float>(zFar);
    es.DepthRangef(S().a.depthRange[0], S().a.depthRange[1]);
}

// Attribute stack.

void glPushAttrib(GLbitfield mask)
{
    if (!Running()) return;
    if (S().attributeStack.size() >= 16) return SetError(GL_STACK_OVERFLOW);
    S().attributeStack.emplace_back(mask, S().a);
}

void glPopAttrib()
{
    if (!Running()) return;
    FlushDraws();
    StateBlock& s = S();
    if (s.attributeStack.empty()) return SetError(GL_STACK_UNDERFLOW);
    const Attributes before = s.a;
    RestoreGroups(s.a, s.attributeStack.back().second, s.attributeStack.back().first);
    s.attributeStack.pop_back();
    SyncAttributes(before, s.a);
}

// Textures.

void glGenTextures(GLsizei n, GLuint* textures)
{
    if (Running()) es.GenTextures(n, textures);
}

void glDeleteTextures(GLsizei n, const GLuint* textures)
{
    if (!Running()) return;
    FlushDraws();
    for (GLsizei i = 0; i < n; ++i) {
        if (textures[i] == 0) continue;
        gLayer->textures.erase(textures[i]);
        for (auto& block : gLayer->blocks)
            for (GLuint& bound : block->a.boundTexture)
                if (bound == textures[i]) bound = 0;
    }
    es.DeleteTextures(n, textures);
}

void glBindTexture(GLenum target, GLuint texture)
{
    if (!Running()) return;
    if (target != GL_TEXTURE_2D) return SetError(GL_INVALID_ENUM);
    GLuint& bound = S().a.boundTexture[S().a.activeTexture];
    if (bound == texture) return;
    FlushDraws();
    bound = texture;
    es.BindTexture(GL_TEXTURE_2D, texture);
}

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const GLvoid* pixels)
{
    if (!Running()) return;
    if (target != GL_TEXTURE_2D || border != 0) return SetError(GL_INVALID_ENUM);
    FlushDraws();
    const EsTextureFormat es3 = EsFormatFor(internalFormat);
    if (level == 0) {
        TextureInfo& info = gLayer->textures[S().a.boundTexture[S().a.activeTexture]];
        info.width = width, info.height = height, info.internalFormat = es3.internalFormat;
    }
    if (pixels && format != es3.format && type == GL_UNSIGNED_BYTE) {
        // ES takes pixels only in the texture's own layout.
        const std::vector<uint8_t> tight =
            ConvertPixels(static_cast<const uint8_t*>(pixels), width, height, Components(format),
                          Components(es3.format), S().pixels);
        UploadTight(target, level, es3.internalFormat, width, height, es3.format, tight.data());
        return;
    }
    es.TexImage2D(target, level, es3.internalFormat, width, height, 0, es3.format, GL_UNSIGNED_BYTE, pixels);
}

void glTexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei width, GLsizei height,
                     GLenum format, GLenum type, const GLvoid* pixels)
{
    if (!Running()) return;
    FlushDraws();
    es.TexSubImage2D(target, level, x, y, width, height, format, type, pixels);
}

void glCopyTexSubImage2D(GLenum target, GLint level, GLint xOffset, GLint yOffset, GLint x, GLint y,
                         GLsizei width, GLsizei height)
{
    if (!Running()) return;
    FlushDraws();
    es.CopyTexSubImage2D(target, level, xOffset, yOffset, x, y, width, height);
}

namespace {
GLint EsWrap(GLint mode)
{
    return mode == GL_CLAMP ? GL_CLAMP_TO_EDGE : mode;  // no border colour in ES
}
}  // namespace

void glTexParameteri(GLenum target, GLenum name, GLint value)
{
    if (!Running()) return;
    FlushDraws();
    if (name == GL_TEXTURE_MIN_FILTER)
        gLayer->textures[S().a.boundTexture[S().a.activeTexture]].minFilter = value;
    if (name == GL_TEXTURE_WRAP_S || name == GL_TEXTURE_WRAP_T) value = EsWrap(value);
    es.TexParameteri(target, name, value);
}

void glTexParameterf(GLenum target, GLenum name, GLfloat value)
{
    glTexParameteri(target, name, static_cast<GLint>(value));
}

void glGetTexParameteriv(GLenum target, GLenum name, GLint* value)
{
    if (Running()) es.GetTexParameteriv(target, name, value);
}

void glGetTexLevelParameteriv(GLenum target, GLint level, GLenum name, GLint* value)
{
    if (!Running()) return;
    // ES 3.0 cannot be asked: the layer answers from what it was given.
    const auto found = gLayer->textures.find(S().a.boundTexture[S().a.activeTexture]);
    const bool have = target == GL_TEXTURE_2D && level == 0 && found != gLayer->textures.end();
    const TextureInfo info = have ? found->second : TextureInfo{0, 0, 0};
    const bool colour = info.internalFormat == GL_RGB8 || info.internalFormat == GL_RGBA8;
    switch (name) {
        case GL_TEXTURE_WIDTH:
            *value = info.width;
            break;
        case GL_TEXTURE_HEIGHT:
            *value = info.height;
            break;
        case GL_TEXTURE_INTERNAL_FORMAT:
            *value = have ? info.internalFormat : 1;
            break;
        case GL_TEXTURE_RED_SIZE:
        case GL_TEXTURE_GREEN_SIZE:
        case GL_TEXTURE_BLUE_SIZE:
            *value = colour ? 8 : 0;
            break;
        case GL_TEXTURE_ALPHA_SIZE:
            *value = info.internalFormat == GL_RGBA8 || info.internalFormat == GL_ALPHA ? 8 : 0;
            break;
        case GL_TEXTURE_BORDER:
            *value = 0;
            break;
        default:
            SetError(GL_INVALID_ENUM);
    }
}

// Pixels.

void glPixelStorei(GLenum name, GLint value)
{
    if (!Running()) return;
    GLint* field = PixelStoreField(S().pixels, name);
    if (!field) return SetError(GL_INVALID_ENUM);
    *field = value;
    es.PixelStorei(name, value);
}

void glPixelStoref(GLenum name, GLfloat value)
{
    glPixelStorei(name, static_cast<GLint>(value));
}

void glPixelTransferf(GLenum name, GLfloat value)
{
    // ES transfers pixels unchanged, which is what the identity settings ask for.
    const bool scale = name == GL_RED_SCALE || name == GL_GREEN_SCALE || name == GL_BLUE_SCALE ||
                       name == GL_ALPHA_SCALE || name == GL_DEPTH_SCALE;
    const bool identity = scale ? value == 1.0f : value == 0.0f;
    if (!identity) std::fprintf(stderr, "GL layer: pixel transfer 0x%04X = %g is not applied\n", name, value);
}

void glPixelTransferi(GLenum name, GLint value)
{
    glPixelTransferf(name, static_cast<GLfloat>(value));
}

void glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, GLvoid* pixels)
{
    if (!Running() || width <= 0 || height <= 0) return;
    FlushDraws();
    if (format == GL_RGBA && type == GL_UNSIGNED_BYTE)
        return es.ReadPixels(x, y, width, height, format, type, pixels);
    if (type != GL_UNSIGNED_BYTE ||
        (format != GL_RGB && format != GL_RED && format != GL_ALPHA && format != GL_LUMINANCE))
        return SetError(GL_INVALID_ENUM);
    // ES reads RGBA bytes for sure: read those, then lay them out as asked.
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    PixelStore& mine = S().pixels;
    PixelStore plain = mine;
    plain.packAlignment = 4, plain.packRowLength = 0, plain.packSkipRows = 0, plain.packSkipPixels = 0;
    SyncPixelStore(mine, plain);
    es.ReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    SyncPixelStore(plain, mine);
    const int components = Components(format);
    const int rowPixels = mine.packRowLength > 0 ? mine.packRowLength : width;
    const int align = std::max(mine.packAlignment, 1);
    const size_t stride = (static_cast<size_t>(rowPixels) * components + align - 1) / align * align;
    auto* out = static_cast<uint8_t*>(pixels) + mine.packSkipRows * stride + mine.packSkipPixels * components;
    const int first = format == GL_ALPHA ? 3 : 0;
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column)
            for (int c = 0; c < components; ++c)
                out[row * stride + column * components + c] =
                    rgba[(static_cast<size_t>(row) * width + column) * 4 + first + c];
}

void glReadBuffer(GLenum mode)
{
    if (!Running()) return;
    FlushDraws();
    es.ReadBuffer(S().framebuffer == 0 ? GL_BACK : mode);
}

void glDrawBuffer(GLenum mode)
{
    if (!Running()) return;
    FlushDraws();
    const GLenum buffer = S().framebuffer == 0 ? (mode == GL_NONE ? GL_NONE : GL_BACK) : mode;
    es.DrawBuffers(1, &buffer);
}

void glFinish()
{
    if (!Running()) return;
    FlushDraws();
    es.Finish();
}

void glFlush()
{
    if (!Running()) return;
    FlushDraws();
    es.Flush();
}

// Queries.

GLenum glGetError()
{
    if (!Running()) return GL_NO_ERROR;
    const GLenum mine = S().error;
    S().error = GL_NO_ERROR;
    return mine != GL_NO_ERROR ? mine : es.GetError();
}

const GLubyte* glGetString(GLenum name)
{
    if (!Running()) return nullptr;
    const char* mine = LayerString(name);
    return mine ? reinterpret_cast<const GLubyte*>(mine) : es.GetString(name);
}

void glGetFloatv(GLenum name, GLfloat* values)
{
    if (!Running()) return;
    StateBlock& s = S();
    switch (name) {
        case GL_MODELVIEW_MATRIX:
            std::memcpy(values, s.modelview.Top().m, 16 * sizeof(float));
            return;
        case GL_PROJECTION_MATRIX:
            std::memcpy(values, s.projection.Top().m, 16 * sizeof(float));
            return;
        case GL_TEXTURE_MATRIX:
            std::memcpy(values, s.texture[s.a.activeTexture].Top().m, 16 * sizeof(float));
            return;
        case GL_CURRENT_COLOR:
            std::memcpy(values, s.a.colour, 4 * sizeof(float));
            return;
        case GL_CURRENT_SECONDARY_COLOR:
            std::memcpy(values, s.a.secondary, 3 * sizeof(float));
            values[3] = 0.0f;
            return;
        case GL_CURRENT_TEXTURE_COORDS:
            std::memcpy(values, s.a.texCoord[s.a.activeTexture], 4 * sizeof(float));
            return;
        case GL_CURRENT_NORMAL:
            std::memcpy(values, s.a.normal, 3 * sizeof(float));
            return;
        case GL_LINE_WIDTH:
            *values = s.a.lineWidth;
            return;
        case GL_COLOR_CLEAR_VALUE:
            std::memcpy(values, s.a.clearColour, 4 * sizeof(float));
            return;
        default:
            break;
    }
    GLint integers[16] = {};
    glGetIntegerv(name, integers);
    if (name == GL_VIEWPORT || name == GL_SCISSOR_BOX) {
        for (int i = 0; i < 4; ++i) values[i] = static_cast<float>(integers[i]);
        return;
    }
    es.GetFloatv(name, values);
}

void glGetDoublev(GLenum name, GLdouble* values)
{
    float f[16] = {};
    glGetFloatv(name, f);
    const int count =
        (name == GL_MODELVIEW_MATRIX || name == GL_PROJECTION_MATRIX || name == GL_TEXTURE_MATRIX) ? 16 : 4;
    for (int i = 0; i < count; ++i) values[i] = f[i];
}

void glGetIntegerv(GLenum name, GLint* values)
{
    if (!Running()) return;
    StateBlock& s = S();
    const Attributes& a = s.a;
    const auto box = [&](const ViewportBox& b) {
        values[0] = b.x, values[1] = b.y, values[2] = b.width, values[3] = b.height;
    };
    if (GLint* field = PixelStoreField(s.pixels, name)) {
        *values = *field;
        return;
    }
    switch (name) {
        case GL_TEXTURE_BINDING_2D:
            *values = static_cast<GLint>(a.boundTexture[a.activeTexture]);
            return;
        case GL_CURRENT_PROGRAM:
            *values = static_cast<GLint>(s.program);
            return;
        case GL_ACTIVE_TEXTURE:
            *values = static_cast<GLint>(GL_TEXTURE0 + a.activeTexture);
            return;
        case GL_VIEWPORT:
            box(a.viewport);
            return;
        case GL_SCISSOR_BOX:
            box(a.scissor);
            return;
        case GL_MATRIX_MODE:
            *values = static_cast<GLint>(a.matrixMode);
            return;
        case GL_MODELVIEW_STACK_DEPTH:
            *values = s.modelview.Depth();
            return;
        case GL_PROJECTION_STACK_DEPTH:
            *values = s.projection.Depth();
            return;
        case GL_TEXTURE_STACK_DEPTH:
            *values = s.texture[a.activeTexture].Depth();
            return;
        case GL_ATTRIB_STACK_DEPTH:
            *values = static_cast<GLint>(s.attributeStack.size());
            return;
        case GL_LIST_BASE:
            *values = static_cast<GLint>(a.listBase);
            return;
        case GL_BLEND_SRC:
            *values = static_cast<GLint>(a.blendSource);
            return;
        case GL_BLEND_DST:
            *values = static_cast<GLint>(a.blendDestination);
            return;
        case GL_DEPTH_FUNC:
            *values = static_cast<GLint>(a.depthFunc);
            return;
        case GL_CULL_FACE_MODE:
            *values = static_cast<GLint>(a.cullFace);
            return;
        case GL_SHADE_MODEL:
            *values = static_cast<GLint>(a.shadeModel);
            return;
        case GL_FRAMEBUFFER_BINDING:
            *values = static_cast<GLint>(s.framebuffer);
            return;
        case GL_RENDERBUFFER_BINDING:
            *values = static_cast<GLint>(s.renderbuffer);
            return;
        case GL_MAX_TEXTURE_UNITS:
            *values = kLayerTextureUnits;
            return;
        case GL_MAX_MODELVIEW_STACK_DEPTH:
        case GL_MAX_PROJECTION_STACK_DEPTH:
            *values = 32;
            return;
        default:
            es.GetIntegerv(name, values);
    }
}

void glGetBooleanv(GLenum name, GLboolean* values)
{
    if (name == GL_COLOR_WRITEMASK && Running()) {
        for (int i = 0; i < 4; ++i) values[i] = S().a.colourMask[i];
        return;
    }
    GLint v[4] = {};
    glGetIntegerv(name, v);
    *values = v[0] != 0;
}

// Framebuffer and renderbuffer objects, shader objects: reached by name through GlLayerProcAddress.

namespace {

void LayerBindFramebuffer(GLenum target, GLuint framebuffer)
{
    if (!Running()) return;
    FlushDraws();
    S().framebuffer = framebuffer;
    es.BindFramebuffer(target, framebuffer);
}

void LayerBindRenderbuffer(GLenum target, GLuint renderbuffer)
{
    if (!Running()) return;
    FlushDraws();
    S().renderbuffer = renderbuffer;
    es.BindRenderbuffer(target, renderbuffer);
}

// What changes the framebuffer being drawn into draws what waits first.
void LayerFramebufferTexture2D(GLenum target, GLenum attachment, GLenum textureTarget, GLuint texture,
                               GLint level)
{
    if (!Running()) return;
    FlushDraws();
    es.FramebufferTexture2D(target, attachment, textureTarget, texture, level);
}

void LayerFramebufferRenderbuffer(GLenum target, GLenum attachment, GLenum renderbufferTarget,
                                  GLuint renderbuffer)
{
    if (!Running()) return;
    FlushDraws();
    es.FramebufferRenderbuffer(target, attachment, renderbufferTarget, renderbuffer);
}

void LayerRenderbufferStorage(GLenum target, GLenum format, GLsizei width, GLsizei height)
{
    if (!Running()) return;
    FlushDraws();
    es.RenderbufferStorage(target, format, width, height);
}

void LayerDeleteFramebuffers(GLsizei n, const GLuint* framebuffers)
{
    if (!Running()) return;
    FlushDraws();
    es.DeleteFramebuffers(n, framebuffers);
}

void LayerDeleteRenderbuffers(GLsizei n, const GLuint* renderbuffers)
{
    if (!Running()) return;
    FlushDraws();
    es.DeleteRenderbuffers(n, renderbuffers);
}

}  // namespace

namespace gllayer {
void* ProgramProcAddress(const char* name);  // gl_layer_programs.cpp
void* DrawProcAddress(const char* name);     // gl_layer_draw.cpp
}  // namespace gllayer

void* GlLayerProcAddress(const char* name)
{
    if (!gLayer || !name) return nullptr;
    const struct {
        const char* name;
        void* address;
    } table[] = {
        {"glGenFramebuffers", reinterpret_cast<void*>(es.GenFramebuffers)},
        {"glDeleteFramebuffers", reinterpret_cast<void*>(&LayerDeleteFramebuffers)},
        {"glBindFramebuffer", reinterpret_cast<void*>(&LayerBindFramebuffer)},
        {"glFramebufferTexture2D", reinterpret_cast<void*>(&LayerFramebufferTexture2D)},
        {"glFramebufferRenderbuffer", reinterpret_cast<void*>(&LayerFramebufferRenderbuffer)},
        {"glCheckFramebufferStatus", reinterpret_cast<void*>(es.CheckFramebufferStatus)},
        {"glGenRenderbuffers", reinterpret_cast<void*>(es.GenRenderbuffers)},
        {"glDeleteRenderbuffers", reinterpret_cast<void*>(&LayerDeleteRenderbuffers)},
        {"glBindRenderbuffer", reinterpret_cast<void*>(&LayerBindRenderbuffer)},
        {"glRenderbufferStorage", reinterpret_cast<void*>(&LayerRenderbufferStorage)},
    };
    for (const auto& entry : table)
        if (std::strcmp(entry.name, name) == 0) return entry.address;
    if (void* address = ProgramProcAddress(name)) return address;
    return DrawProcAddress(name);
}
