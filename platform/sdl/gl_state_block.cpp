// A context's own GL state as a record (see gl_state_block.h): read with glGet, brought back with the
// calls that set it. Depends on SDL's GL headers and the entry-point lookup of gl_context.h.
#include "platform/sdl/gl_state_block.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "platform/gl_context.h"

namespace {

// The capabilities a block keeps. GL_COLOR_SUM comes last: it exists only with secondary colours.
constexpr GLenum kCapabilities[] = {
    GL_BLEND,          GL_DEPTH_TEST,   GL_CULL_FACE,      GL_SCISSOR_TEST, GL_POLYGON_OFFSET_FILL,
    GL_DITHER,         GL_STENCIL_TEST, GL_LIGHTING,       GL_FOG,          GL_ALPHA_TEST,
    GL_COLOR_MATERIAL, GL_LIGHT0,       GL_COLOR_LOGIC_OP, GL_NORMALIZE,    GL_COLOR_SUM};
constexpr int kCapabilityCount = static_cast<int>(std::size(kCapabilities));
constexpr uint32_t kDitherBit = 1u << 5;
static_assert(kCapabilities[5] == GL_DITHER);
// Those of each texture unit.
constexpr GLenum kUnitCapabilities[] = {GL_TEXTURE_1D, GL_TEXTURE_2D, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T};

// Entry points past GL 1.1, found for the context at hand; null where the driver has none. (Typed here:
// the headers of one system declare some of these types and those of another others.)
struct Functions {
    void(APIENTRY* activeTexture)(GLenum unit) = nullptr;
    void(APIENTRY* multiTexCoord4fv)(GLenum unit, const GLfloat* coordinates) = nullptr;
    void(APIENTRY* secondaryColor3fv)(const GLfloat* colour) = nullptr;
    void(APIENTRY* useProgram)(GLuint program) = nullptr;
    void(APIENTRY* bindFramebuffer)(GLenum target, GLuint framebuffer) = nullptr;
    void(APIENTRY* bindRenderbuffer)(GLenum target, GLuint renderbuffer) = nullptr;
    int units = 1;         // texture units kept (1 without multitexture)
    int capabilities = 0;  // entries of kCapabilities the driver knows
} gl;

template <typename Function>
void Find(Function& function, const char* name)
{
    function = reinterpret_cast<Function>(LookupGlEntryPoint(name));
}

void SelectUnit(int unit)
{
    if (gl.activeTexture) gl.activeTexture(static_cast<GLenum>(GL_TEXTURE0 + unit));
}

void Identity(GLfloat (&m)[16])
{
    for (int i = 0; i < 16; ++i) m[i] = i % 5 == 0 ? 1.0f : 0.0f;
}

template <typename T, size_t N>
bool Differ(const T (&a)[N], const T (&b)[N])
{
    return std::memcmp(a, b, sizeof a) != 0;
}

void LoadMatrix(GLenum mode, const GLfloat (&m)[16])
{
    glMatrixMode(mode);
    glLoadMatrixf(m);
}

void SetCapability(GLenum cap, bool on)
{
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}

// The pixel store's settings and where a block keeps each.
const struct {
    GLenum name;
    GLint GlStateBlock::*field;
} kPixelStore[] = {{GL_PACK_ALIGNMENT, &GlStateBlock::packAlignment},
                   {GL_PACK_ROW_LENGTH, &GlStateBlock::packRowLength},
                   {GL_PACK_SKIP_ROWS, &GlStateBlock::packSkipRows},
                   {GL_PACK_SKIP_PIXELS, &GlStateBlock::packSkipPixels},
                   {GL_UNPACK_ALIGNMENT, &GlStateBlock::unpackAlignment},
                   {GL_UNPACK_ROW_LENGTH, &GlStateBlock::unpackRowLength},
                   {GL_UNPACK_SKIP_ROWS, &GlStateBlock::unpackSkipRows},
                   {GL_UNPACK_SKIP_PIXELS, &GlStateBlock::unpackSkipPixels}};

void SwitchPixelStore(const GlStateBlock& from, const GlStateBlock& to)
{
    for (const auto& s : kPixelStore)
        if (from.*s.field != to.*s.field) glPixelStorei(s.name, to.*s.field);
}

void ReadPixelStore(GlStateBlock& b)
{
    for (const auto& s : kPixelStore) glGetIntegerv(s.name, &(b.*s.field));
}

}  // namespace

GlStateBlock::GlStateBlock()
{
    enabled = kDitherBit;
    for (int unit = 0; unit < kBlockTextureUnits; ++unit) {
        unitEnabled[unit] = 0;
        texCoord[unit][0] = texCoord[unit][1] = texCoord[unit][2] = 0.0f;
        texCoord[unit][3] = 1.0f;
        Identity(texture[unit]);
    }
    Identity(modelview);
    Identity(projection);
}

void PrepareGlStateBlocks()
{
    gl = Functions{};
    Find(gl.activeTexture, "glActiveTexture");
    Find(gl.multiTexCoord4fv, "glMultiTexCoord4fv");
    Find(gl.secondaryColor3fv, "glSecondaryColor3fv");
    Find(gl.useProgram, "glUseProgram");
    Find(gl.bindFramebuffer, "glBindFramebuffer");
    Find(gl.bindRenderbuffer, "glBindRenderbuffer");
    if (gl.activeTexture && gl.multiTexCoord4fv) {
        GLint units = 1;
        glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
        gl.units = std::clamp(units, 1, kBlockTextureUnits);
    } else {
        gl.activeTexture = nullptr;
    }
    if (!gl.bindRenderbuffer) gl.bindFramebuffer = nullptr;
    gl.capabilities = gl.secondaryColor3fv ? kCapabilityCount : kCapabilityCount - 1;
}

GlStateBlock InitialGlState(int drawableWidth, int drawableHeight)
{
    GlStateBlock b;
    b.viewport[2] = b.scissor[2] = drawableWidth;
    b.viewport[3] = b.scissor[3] = drawableHeight;
    return b;
}

void ReadGlState(GlStateBlock& b)
{
    b.enabled = 0;
    for (int i = 0; i < gl.capabilities; ++i)
        if (glIsEnabled(kCapabilities[i])) b.enabled |= 1u << i;
    glGetFloatv(GL_CURRENT_COLOR, b.colour);
    if (gl.secondaryColor3fv) glGetFloatv(GL_CURRENT_SECONDARY_COLOR, b.secondary);
    glGetFloatv(GL_CURRENT_NORMAL, b.normal);

    glGetIntegerv(GL_BLEND_SRC, &b.blendSource);
    glGetIntegerv(GL_BLEND_DST, &b.blendDestination);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, b.clearColour);
    glGetBooleanv(GL_COLOR_WRITEMASK, b.colourMask);
    glGetIntegerv(GL_DEPTH_FUNC, &b.depthFunc);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &b.depthMask);
    glGetDoublev(GL_DEPTH_CLEAR_VALUE, &b.clearDepth);

    glGetFloatv(GL_LINE_WIDTH, &b.lineWidth);
    glGetIntegerv(GL_CULL_FACE_MODE, &b.cullFace);
    glGetIntegerv(GL_FRONT_FACE, &b.frontFace);
    glGetIntegerv(GL_SHADE_MODEL, &b.shadeModel);
    glGetFloatv(GL_POLYGON_OFFSET_FACTOR, &b.offsetFactor);
    glGetFloatv(GL_POLYGON_OFFSET_UNITS, &b.offsetUnits);
    glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &b.perspectiveHint);
    glGetIntegerv(GL_VIEWPORT, b.viewport);
    glGetIntegerv(GL_SCISSOR_BOX, b.scissor);
    glGetDoublev(GL_DEPTH_RANGE, b.depthRange);

    glGetIntegerv(GL_MATRIX_MODE, &b.matrixMode);
    glGetFloatv(GL_MODELVIEW_MATRIX, b.modelview);
    glGetFloatv(GL_PROJECTION_MATRIX, b.projection);
    glGetIntegerv(GL_LIST_BASE, &b.listBase);
    b.activeTexture = 0;
    if (gl.activeTexture) {
        GLint unit = GL_TEXTURE0;
        glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
        b.activeTexture = unit - GL_TEXTURE0;
    }
    for (int unit = 0; unit < gl.units; ++unit) {
        SelectUnit(unit);
        b.unitEnabled[unit] = 0;
        for (int i = 0; i < static_cast<int>(std::size(kUnitCapabilities)); ++i)
            if (glIsEnabled(kUnitCapabilities[i])) b.unitEnabled[unit] |= 1u << i;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &b.boundTexture[unit]);
        glGetFloatv(GL_CURRENT_TEXTURE_COORDS, b.texCoord[unit]);
        glGetFloatv(GL_TEXTURE_MATRIX, b.texture[unit]);
    }
    SelectUnit(b.activeTexture);

    if (gl.useProgram) glGetIntegerv(GL_CURRENT_PROGRAM, &b.program);
    if (gl.bindFramebuffer) {
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &b.drawFramebuffer);
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &b.readFramebuffer);
        glGetIntegerv(GL_RENDERBUFFER_BINDING, &b.renderbuffer);
    }
    ReadPixelStore(b);
}

void SwitchGlState(const GlStateBlock& from, const GlStateBlock& to)
{
    const uint32_t changed = from.enabled ^ to.enabled;
    for (int i = 0; i < gl.capabilities; ++i)
        if (changed & (1u << i)) SetCapability(kCapabilities[i], (to.enabled & (1u << i)) != 0);
    if (Differ(from.colour, to.colour)) glColor4fv(to.colour);
    if (gl.secondaryColor3fv && Differ(from.secondary, to.secondary)) gl.secondaryColor3fv(to.secondary);
    if (Differ(from.normal, to.normal)) glNormal3fv(to.normal);

    if (from.blendSource != to.blendSource || from.blendDestination != to.blendDestination)
        glBlendFunc(static_cast<GLenum>(to.blendSource), static_cast<GLenum>(to.blendDestination));
    if (Differ(from.clearColour, to.clearColour))
        glClearColor(to.clearColour[0], to.clearColour[1], to.clearColour[2], to.clearColour[3]);
    if (Differ(from.colourMask, to.colourMask))
        glColorMask(to.colourMask[0], to.colourMask[1], to.colourMask[2], to.colourMask[3]);
    if (from.depthFunc != to.depthFunc) glDepthFunc(static_cast<GLenum>(to.depthFunc));
    if (from.depthMask != to.depthMask) glDepthMask(to.depthMask);
    if (from.clearDepth != to.clearDepth) glClearDepth(to.clearDepth);

    if (from.lineWidth != to.lineWidth) glLineWidth(to.lineWidth);
    if (from.cullFace != to.cullFace) glCullFace(static_cast<GLenum>(to.cullFace));
    if (from.frontFace != to.frontFace) glFrontFace(static_cast<GLenum>(to.frontFace));
    if (from.shadeModel != to.shadeModel) glShadeModel(static_cast<GLenum>(to.shadeModel));
    if (from.offsetFactor != to.offsetFactor || from.offsetUnits != to.offsetUnits)
        glPolygonOffset(to.offsetFactor, to.offsetUnits);
    if (from.perspectiveHint != to.perspectiveHint)
        glHint(GL_PERSPECTIVE_CORRECTION_HINT, static_cast<GLenum>(to.perspectiveHint));
    if (Differ(from.viewport, to.viewport))
        glViewport(to.viewport[0], to.viewport[1], to.viewport[2], to.viewport[3]);
    if (Differ(from.scissor, to.scissor))
        glScissor(to.scissor[0], to.scissor[1], to.scissor[2], to.scissor[3]);
    if (Differ(from.depthRange, to.depthRange)) glDepthRange(to.depthRange[0], to.depthRange[1]);

    if (Differ(from.modelview, to.modelview)) LoadMatrix(GL_MODELVIEW, to.modelview);
    if (Differ(from.projection, to.projection)) LoadMatrix(GL_PROJECTION, to.projection);
    if (from.listBase != to.listBase) glListBase(static_cast<GLuint>(to.listBase));
    for (int unit = 0; unit < gl.units; ++unit) {
        SelectUnit(unit);
        const uint32_t unitChanged = from.unitEnabled[unit] ^ to.unitEnabled[unit];
        for (int i = 0; i < static_cast<int>(std::size(kUnitCapabilities)); ++i)
            if (unitChanged & (1u << i))
                SetCapability(kUnitCapabilities[i], (to.unitEnabled[unit] & (1u << i)) != 0);
        if (from.boundTexture[unit] != to.boundTexture[unit])
            glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(to.boundTexture[unit]));
        if (Differ(from.texCoord[unit], to.texCoord[unit])) {
            if (gl.multiTexCoord4fv)
                gl.multiTexCoord4fv(static_cast<GLenum>(GL_TEXTURE0 + unit), to.texCoord[unit]);
            else
                glTexCoord4fv(to.texCoord[unit]);
        }
        if (Differ(from.texture[unit], to.texture[unit])) LoadMatrix(GL_TEXTURE, to.texture[unit]);
    }
    SelectUnit(to.activeTexture);
    glMatrixMode(static_cast<GLenum>(to.matrixMode));

    if (gl.useProgram && from.program != to.program) gl.useProgram(static_cast<GLuint>(to.program));
    if (gl.bindFramebuffer) {
        if (from.drawFramebuffer != to.drawFramebuffer)
            gl.bindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(to.drawFramebuffer));
        if (from.readFramebuffer != to.readFramebuffer)
            gl.bindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(to.readFramebuffer));
        if (from.renderbuffer != to.renderbuffer)
            gl.bindRenderbuffer(GL_RENDERBUFFER, static_cast<GLuint>(to.renderbuffer));
    }
    SwitchPixelStore(from, to);
}
