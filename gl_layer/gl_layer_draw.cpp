// Drawing of the GL 1.x layer: immediate mode streamed per glEnd, the current vertex attributes, display
// lists in ranges of one static buffer, and the program and transform of every draw. Depends on the
// layer's state, programs and primitive conversion.
//
// Display lists record geometry, current attributes, matrix operations and nested calls; other state
// commands run at once while a list is compiled. Vertices take an attribute from the current value when
// the list is called (as the glyph lists take the caller's colour) unless their batch sets it, in which
// case the batch's values are recorded with them (vertices of a batch before its first setting get the
// value current when the list was compiled).
#include <cstddef>
#include <cstring>

#include "gl_layer/gl_layer_internal.h"
#include "gl_layer/gl_layer_shaders.h"

namespace gllayer {

namespace {

constexpr size_t kStreamBytes = size_t{4} << 20;
constexpr int kMaxListNesting = 64;
size_t streamCapacity = 0;
GLuint boundBuffer = 0;

void BindArray(GLuint array)
{
    if (gLayer->boundArray != array) es.BindVertexArray(array);
    gLayer->boundArray = array;
}

void BindBuffer(GLuint buffer)
{
    if (boundBuffer != buffer) es.BindBuffer(GL_ARRAY_BUFFER, buffer);
    boundBuffer = buffer;
}

void SetUpArray(GLuint array, GLuint buffer)
{
    BindArray(array);
    BindBuffer(buffer);
    const GLsizei stride = sizeof(LayerVertex);
    es.VertexAttribPointer(kAttributePosition, 4, GL_FLOAT, GL_FALSE, stride,
                           reinterpret_cast<const void*>(offsetof(LayerVertex, position)));
    es.VertexAttribPointer(kAttributeColour, 4, GL_FLOAT, GL_FALSE, stride,
                           reinterpret_cast<const void*>(offsetof(LayerVertex, colour)));
    es.VertexAttribPointer(kAttributeSecondary, 3, GL_FLOAT, GL_FALSE, stride,
                           reinterpret_cast<const void*>(offsetof(LayerVertex, secondary)));
    for (unsigned unit = 0; unit < kLayerTextureUnits; ++unit)
        es.VertexAttribPointer(
            kAttributeTexCoord0 + unit, 2, GL_FLOAT, GL_FALSE, stride,
            reinterpret_cast<const void*>(offsetof(LayerVertex, texCoord) + unit * 2 * sizeof(float)));
    es.VertexAttribPointer(kAttributeLine, 4, GL_FLOAT, GL_FALSE, stride,
                           reinterpret_cast<const void*>(offsetof(LayerVertex, line)));
    for (unsigned a = 0; a <= kAttributeLine; ++a) es.EnableVertexAttribArray(a);
}

// What the next draw would be made with, from the current block.
DrawKey CurrentKey(bool clipSpace)
{
    StateBlock& s = S();
    DrawKey key;
    key.program = s.program;
    if (key.program == 0) {
        unsigned units = 0;
        for (int unit = 0; unit < kLayerTextureUnits; ++unit)
            if ((s.a.texture2D & (1u << unit)) && TextureComplete(s.a.boundTexture[unit]))
                units |= 1u << unit;
        key.program = FixedFunctionProgram(units, (s.a.enabled & kCapColorSum) != 0);
    }
    key.clipSpace = clipSpace;
    key.projection = clipSpace ? 0 : s.projection.Serial();
    key.modelview = clipSpace ? 0 : s.modelview.Serial();
    for (int unit = 0; unit < kLayerTextureUnits; ++unit) key.texture[unit] = s.texture[unit].Serial();
    key.viewport = s.a.viewport;
    return key;
}

// Runs the key's program with the layer's uniforms set to the given matrices and the key's viewport.
void PrepareProgram(const DrawKey& key, const Matrix4& transform, const Matrix4* texture)
{
    UseEsProgram(key.program);
    ProgramInfo& info = ProgramInfoFor(key.program);
    if (info.modelViewProjection >= 0 &&
        (info.projectionSerial != key.projection || info.modelviewSerial != key.modelview)) {
        es.UniformMatrix4fv(info.modelViewProjection, 1, GL_FALSE, transform.m);
        info.projectionSerial = key.projection, info.modelviewSerial = key.modelview;
    }
    for (int unit = 0; unit < kLayerTextureUnits; ++unit) {
        if (info.textureMatrices[unit] < 0 || info.textureSerial[unit] == key.texture[unit]) continue;
        es.UniformMatrix4fv(info.textureMatrices[unit], 1, GL_FALSE, texture[unit].m);
        info.textureSerial[unit] = key.texture[unit];
    }
    const ViewportBox& v = key.viewport;
    if (info.viewportSize >= 0 && (info.viewport.width != v.width || info.viewport.height != v.height)) {
        es.Uniform2f(info.viewportSize, static_cast<float>(v.width), static_cast<float>(v.height));
        info.viewport = v;
    }
}

Matrix4 CurrentTransform()
{
    return MultiplyMatrices(S().projection.Top(), S().modelview.Top());
}

LayerVertex VertexFromCurrent(float x, float y, float z, float w)
{
    const Attributes& c = CurrentAttributes();
    LayerVertex v;
    v.position[0] = x, v.position[1] = y, v.position[2] = z, v.position[3] = w;
    v.line[0] = v.line[1] = v.line[2] = v.line[3] = 0.0f;
    std::memcpy(v.colour, c.colour, sizeof v.colour);
    std::memcpy(v.secondary, c.secondary, sizeof v.secondary);
    for (int unit = 0; unit < kLayerTextureUnits; ++unit)
        v.texCoord[unit][0] = c.texCoord[unit][0], v.texCoord[unit][1] = c.texCoord[unit][1];
    return v;
}

void Vertex(float x, float y, float z)
{
    if (!gLayer || !gLayer->inBegin) return;
    gLayer->batch.push_back(VertexFromCurrent(x, y, z, 1.0f));
}

const float* CurrentAttribute(const Attributes& a, uint32_t bit);

void CopyAttribute(float* to, const Attributes& a, uint32_t bit)
{
    const size_t floats = (bit == kArraySecondary || bit == kArrayNormal) ? 3 : 4;
    std::memcpy(to, CurrentAttribute(a, bit), floats * sizeof(float));
}

// While compiling: a value set between batches becomes a step of the list; one set within a batch goes
// with the batch's vertices, and the list sets it current after the batch.
void NoteAttributeSet(uint32_t bit)
{
    Layer& layer = *gLayer;
    if (!layer.compiling) return;
    if (layer.inBegin) {
        layer.batchAttributesSet |= bit;
        return;
    }
    ListOp op{};
    op.kind = ListOp::SetCurrent;
    op.arrays = bit;
    CopyAttribute(op.values, layer.recordCurrent, bit);
    layer.building.ops.push_back(op);
}

// Gives attributes a list left unset the values current at the call.
void FillUnsetAttributes(LayerVertex& v, uint32_t arrays)
{
    const Attributes& a = S().a;
    if (!(arrays & kArrayColour)) std::memcpy(v.colour, a.colour, sizeof v.colour);
    if (!(arrays & kArraySecondary)) std::memcpy(v.secondary, a.secondary, sizeof v.secondary);
    for (int unit = 0; unit < kLayerTextureUnits; ++unit)
        if (!(arrays & (kArrayTexCoord0 << unit)))
            v.texCoord[unit][0] = a.texCoord[unit][0], v.texCoord[unit][1] = a.texCoord[unit][1];
}

void DrawListRange(const ListOp& op)
{
    FlushDraws();
    Layer& layer = *gLayer;
    BindArray(layer.listArray);
    if (layer.listVerticesUploaded != layer.listVertices.size()) {
        BindBuffer(layer.listBuffer);
        es.BufferData(GL_ARRAY_BUFFER,
                      static_cast<GLsizeiptr>(layer.listVertices.size() * sizeof(LayerVertex)),
                      layer.listVertices.data(), GL_STATIC_DRAW);
        layer.listVerticesUploaded = layer.listVertices.size();
    }
    const Attributes& a = S().a;
    const auto source = [&](unsigned location, uint32_t bit, const float* current) {
        if (op.arrays & bit) {
            es.EnableVertexAttribArray(location);
        } else {
            es.DisableVertexAttribArray(location);
            const float value[4] = {current[0], current[1], current[2],
                                    location == kAttributeColour ? current[3] : 0.0f};
            es.VertexAttrib4fv(location, value);
        }
    };
    source(kAttributeColour, kArrayColour, a.colour);
    source(kAttributeSecondary, kArraySecondary, a.secondary);
    for (unsigned unit = 0; unit < kLayerTextureUnits; ++unit) {
        float coord[4] = {a.texCoord[unit][0], a.texCoord[unit][1], 0.0f, 1.0f};
        if (op.arrays & (kArrayTexCoord0 << unit)) {
            es.EnableVertexAttribArray(kAttributeTexCoord0 + unit);
        } else {
            es.DisableVertexAttribArray(kAttributeTexCoord0 + unit);
            es.VertexAttrib4fv(kAttributeTexCoord0 + unit, coord);
        }
    }
    const DrawKey key = CurrentKey(false);
    Matrix4 texture[kLayerTextureUnits];
    for (int unit = 0; unit < kLayerTextureUnits; ++unit) texture[unit] = S().texture[unit].Top();
    PrepareProgram(key, CurrentTransform(), texture);
    es.DrawArrays(op.mode, static_cast<GLint>(op.first), static_cast<GLsizei>(op.count));
}

void SetCurrentAttribute(Attributes& a, uint32_t bit, const float* v)
{
    if (bit == kArrayColour) std::memcpy(a.colour, v, sizeof a.colour);
    if (bit == kArraySecondary) std::memcpy(a.secondary, v, sizeof a.secondary);
    if (bit == kArrayNormal) std::memcpy(a.normal, v, sizeof a.normal);
    for (int unit = 0; unit < kLayerTextureUnits; ++unit)
        if (bit == (kArrayTexCoord0 << unit)) std::memcpy(a.texCoord[unit], v, sizeof a.texCoord[unit]);
}

const float* CurrentAttribute(const Attributes& a, uint32_t bit)
{
    if (bit == kArrayColour) return a.colour;
    if (bit == kArraySecondary) return a.secondary;
    if (bit == kArrayNormal) return a.normal;
    for (int unit = 0; unit < kLayerTextureUnits; ++unit)
        if (bit == (kArrayTexCoord0 << unit)) return a.texCoord[unit];
    return nullptr;
}

void RecordBatch()
{
    Layer& layer = *gLayer;
    ListOp op{};
    op.mode = layer.mode;
    op.arrays = layer.batchAttributesSet;
    if (IsLinePrimitive(layer.mode)) {
        op.kind = ListOp::Lines;
        op.first = static_cast<uint32_t>(layer.listLines.size());
        op.count = static_cast<uint32_t>(layer.batch.size());
        layer.listLines.insert(layer.listLines.end(), layer.batch.begin(), layer.batch.end());
    } else {
        op.kind = ListOp::Draw;
        op.mode = EsPrimitive(layer.mode);
        op.first = static_cast<uint32_t>(layer.listVertices.size());
        if (op.mode != layer.mode)
            AppendTriangles(layer.mode, layer.batch.data(), layer.batch.size(), layer.listVertices);
        else
            layer.listVertices.insert(layer.listVertices.end(), layer.batch.begin(), layer.batch.end());
        op.count = static_cast<uint32_t>(layer.listVertices.size()) - op.first;
    }
    if (op.count > 0) layer.building.ops.push_back(op);
    for (uint32_t bit = kArrayColour; bit <= kArrayNormal; bit <<= 1) {
        if (!(layer.batchAttributesSet & bit)) continue;
        ListOp set{};
        set.kind = ListOp::SetCurrent;
        set.arrays = bit;
        CopyAttribute(set.values, layer.recordCurrent, bit);
        layer.building.ops.push_back(set);
    }
}

ListOp MatrixOp(ListOp::Kind kind, std::initializer_list<float> values)
{
    ListOp op{};
    op.kind = kind;
    int i = 0;
    for (float v : values) op.values[i++] = v;
    return op;
}

}  // namespace

void CreateDrawingObjects()
{
    Layer& layer = *gLayer;
    es.GenVertexArrays(1, &layer.streamArray);
    es.GenBuffers(1, &layer.streamBuffer);
    es.GenVertexArrays(1, &layer.listArray);
    es.GenBuffers(1, &layer.listBuffer);
    BindBuffer(layer.streamBuffer);
    streamCapacity = kStreamBytes;
    es.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(streamCapacity), nullptr, GL_STREAM_DRAW);
    SetUpArray(layer.listArray, layer.listBuffer);
    SetUpArray(layer.streamArray, layer.streamBuffer);
}

void DeleteDrawingObjects()
{
    Layer& layer = *gLayer;
    es.BindVertexArray(0);
    es.DeleteVertexArrays(1, &layer.streamArray);
    es.DeleteVertexArrays(1, &layer.listArray);
    es.DeleteBuffers(1, &layer.streamBuffer);
    es.DeleteBuffers(1, &layer.listBuffer);
    for (GLuint program : layer.fixedFunction)
        if (program) es.DeleteProgram(program);
    if (layer.vertexShader) es.DeleteShader(layer.vertexShader);
    layer.esProgram = 0;
    es.UseProgram(0);
    boundBuffer = 0;
}

void UseEsProgram(GLuint program)
{
    if (gLayer->esProgram == program) return;
    es.UseProgram(program);
    gLayer->esProgram = program;
}

bool DrawKey::operator==(const DrawKey& o) const
{
    for (int unit = 0; unit < kLayerTextureUnits; ++unit)
        if (texture[unit] != o.texture[unit]) return false;
    return program == o.program && clipSpace == o.clipSpace && projection == o.projection &&
           modelview == o.modelview && viewport.x == o.viewport.x && viewport.y == o.viewport.y &&
           viewport.width == o.viewport.width && viewport.height == o.viewport.height;
}

namespace {

// Vertices into the stream buffer and drawn from there, with the program prepared.
void StreamAndDraw(GLenum mode, const LayerVertex* vertices, size_t count)
{
    Layer& layer = *gLayer;
    BindArray(layer.streamArray);
    BindBuffer(layer.streamBuffer);
    const size_t bytes = count * sizeof(LayerVertex);
    if (layer.streamOffset + bytes > streamCapacity) {
        // A fresh store: the driver keeps the old one for the draws that still read it.
        if (bytes > streamCapacity) streamCapacity = bytes * 2;
        es.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(streamCapacity), nullptr, GL_STREAM_DRAW);
        layer.streamOffset = 0;
    }
    es.BufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(layer.streamOffset),
                     static_cast<GLsizeiptr>(bytes), vertices);
    es.DrawArrays(mode, static_cast<GLint>(layer.streamOffset / sizeof(LayerVertex)),
                  static_cast<GLsizei>(count));
    layer.streamOffset += bytes;
}

}  // namespace

void FlushDraws()
{
    Layer& layer = *gLayer;
    if (layer.pending.empty()) return;
    PrepareProgram(layer.pendingKey, layer.pendingTransform, layer.pendingTexture);
    StreamAndDraw(GL_TRIANGLES, layer.pending.data(), layer.pending.size());
    layer.pending.clear();
}

namespace {

// Appends triangles to what waits, after drawing what waits if it was made with another key.
void Queue(const std::vector<LayerVertex>& triangles, bool clipSpace)
{
    if (triangles.empty()) return;
    Layer& layer = *gLayer;
    const DrawKey key = CurrentKey(clipSpace);
    if (!layer.pending.empty() && !(key == layer.pendingKey)) FlushDraws();
    if (layer.pending.empty()) {
        layer.pendingKey = key;
        layer.pendingTransform = clipSpace ? IdentityMatrix() : CurrentTransform();
        for (int unit = 0; unit < kLayerTextureUnits; ++unit)
            layer.pendingTexture[unit] = S().texture[unit].Top();
    }
    layer.pending.insert(layer.pending.end(), triangles.begin(), triangles.end());
}

// True when every point lies in front of the near plane, where the vertex stage can widen lines.
bool InFrontOfNearPlane(const LayerVertex* vertices, size_t count, const Matrix4& transform)
{
    for (size_t i = 0; i < count; ++i) {
        float clip[4];
        TransformPoint(transform, vertices[i].position, clip);
        if (clip[2] < -clip[3] || clip[3] <= 0.0f) return false;
    }
    return true;
}

}  // namespace

void DrawBatch(GLenum mode, const LayerVertex* vertices, size_t count)
{
    Layer& layer = *gLayer;
    StateBlock& s = S();
    layer.converted.clear();
    bool clipSpace = false;
    if (IsLinePrimitive(mode) && s.a.lineWidth > 1.0f) {
        const Matrix4 transform = CurrentTransform();
        if (InFrontOfNearPlane(vertices, count, transform)) {
            AppendLineQuads(mode, vertices, count, s.a.lineWidth, layer.converted);
        } else {
            AppendWideLines(mode, vertices, count, transform, s.a.viewport, s.a.lineWidth, layer.converted);
            clipSpace = true;
        }
    } else if (EsPrimitive(mode) == GL_TRIANGLES) {
        if (mode == GL_TRIANGLES)
            layer.converted.assign(vertices, vertices + count - count % 3);
        else
            AppendTriangles(mode, vertices, count, layer.converted);
    } else if (mode == GL_TRIANGLE_FAN || mode == GL_TRIANGLE_STRIP) {
        for (size_t i = 2; i < count; ++i) {
            // A strip's odd triangles swap their first two corners to keep the strip's winding.
            const bool fan = mode == GL_TRIANGLE_FAN, odd = (i % 2) == 1;
            layer.converted.push_back(fan ? vertices[0] : vertices[odd ? i - 1 : i - 2]);
            layer.converted.push_back(fan ? vertices[i - 1] : vertices[odd ? i - 2 : i - 1]);
            layer.converted.push_back(vertices[i]);
        }
    } else {
        // Thin lines and points: drawn as they are, after what waits.
        FlushDraws();
        const DrawKey key = CurrentKey(false);
        Matrix4 texture[kLayerTextureUnits];
        for (int unit = 0; unit < kLayerTextureUnits; ++unit) texture[unit] = s.texture[unit].Top();
        PrepareProgram(key, CurrentTransform(), texture);
        StreamAndDraw(mode, vertices, count);
        return;
    }
    Queue(layer.converted, clipSpace);
}

Attributes& CurrentAttributes()
{
    return gLayer->compiling ? gLayer->recordCurrent : S().a;
}

bool Record(const ListOp& op)
{
    if (!gLayer || !gLayer->compiling) return false;
    gLayer->building.ops.push_back(op);
    return true;
}

void CallList(GLuint list, int depth)
{
    if (depth >= kMaxListNesting) return;
    const auto found = gLayer->lists.find(list);
    if (found == gLayer->lists.end()) return;
    // The list may not change while it runs: nothing records while a list is called.
    for (const ListOp& op : found->second.ops) {
        MatrixStack& stack = S().CurrentStack();
        switch (op.kind) {
            case ListOp::Draw:
                DrawListRange(op);
                break;
            case ListOp::Lines: {
                std::vector<LayerVertex> lines(gLayer->listLines.begin() + op.first,
                                               gLayer->listLines.begin() + op.first + op.count);
                for (LayerVertex& v : lines) FillUnsetAttributes(v, op.arrays);
                DrawBatch(op.mode, lines.data(), lines.size());
                break;
            }
            case ListOp::Translate:
                stack.Translate(op.values[0], op.values[1], op.values[2]);
                break;
            case ListOp::Scale:
                stack.Scale(op.values[0], op.values[1], op.values[2]);
                break;
            case ListOp::Rotate:
                stack.Rotate(op.values[0], op.values[1], op.values[2], op.values[3]);
                break;
            case ListOp::Multiply: {
                Matrix4 m;
                std::memcpy(m.m, op.values, sizeof m.m);
                stack.Multiply(m);
                break;
            }
            case ListOp::LoadIdentity:
                stack.LoadIdentity();
                break;
            case ListOp::Push:
                if (!stack.Push()) SetError(GL_STACK_OVERFLOW);
                break;
            case ListOp::Pop:
                if (!stack.Pop()) SetError(GL_STACK_UNDERFLOW);
                break;
            case ListOp::SetCurrent:
                SetCurrentAttribute(S().a, op.arrays, op.values);
                break;
            case ListOp::Call:
                CallList(static_cast<GLuint>(op.values[0]), depth + 1);
                break;
        }
    }
}

void* DrawProcAddress(const char* name);

}  // namespace gllayer

using namespace gllayer;

// Immediate mode.

void glBegin(GLenum mode)
{
    if (!gLayer) return;
    if (gLayer->inBegin) return SetError(GL_INVALID_OPERATION);
    gLayer->inBegin = true;
    gLayer->mode = mode;
    gLayer->batch.clear();
    gLayer->batchAttributesSet = 0;
}

void glEnd()
{
    if (!gLayer) return;
    if (!gLayer->inBegin) return SetError(GL_INVALID_OPERATION);
    gLayer->inBegin = false;
    if (gLayer->compiling)
        RecordBatch();
    else
        DrawBatch(gLayer->mode, gLayer->batch.data(), gLayer->batch.size());
}

void glVertex2f(GLfloat x, GLfloat y)
{
    Vertex(x, y, 0.0f);
}

void glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    Vertex(x, y, z);
}

void glVertex3fv(const GLfloat* v)
{
    Vertex(v[0], v[1], v[2]);
}

void glVertex3d(GLdouble x, GLdouble y, GLdouble z)
{
    Vertex(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat alpha)
{
    if (!gLayer) return;
    float* c = CurrentAttributes().colour;
    c[0] = r, c[1] = g, c[2] = b, c[3] = alpha;
    NoteAttributeSet(kArrayColour);
}

void glColor3f(GLfloat r, GLfloat g, GLfloat b)
{
    glColor4f(r, g, b, 1.0f);
}

void glColor3fv(const GLfloat* v)
{
    glColor4f(v[0], v[1], v[2], 1.0f);
}

void glColor4fv(const GLfloat* v)
{
    glColor4f(v[0], v[1], v[2], v[3]);
}

void glTexCoord2f(GLfloat s, GLfloat t)
{
    if (!gLayer) return;
    float* c = CurrentAttributes().texCoord[0];
    c[0] = s, c[1] = t, c[2] = 0.0f, c[3] = 1.0f;
    NoteAttributeSet(kArrayTexCoord0);
}

void glTexCoord2fv(const GLfloat* v)
{
    glTexCoord2f(v[0], v[1]);
}

void glNormal3f(GLfloat x, GLfloat y, GLfloat z)
{
    if (!gLayer) return;
    float* n = CurrentAttributes().normal;
    n[0] = x, n[1] = y, n[2] = z;
    NoteAttributeSet(kArrayNormal);
}

void glNormal3d(GLdouble x, GLdouble y, GLdouble z)
{
    glNormal3f(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

// Display lists.

GLuint glGenLists(GLsizei range)
{
    if (!gLayer || range <= 0) return 0;
    const GLuint first = gLayer->nextList;
    gLayer->nextList += static_cast<GLuint>(range);
    for (GLuint i = first; i < gLayer->nextList; ++i) gLayer->lists[i];  // names in use, lists empty
    return first;
}

GLboolean glIsList(GLuint list)
{
    return gLayer && gLayer->lists.count(list) ? GL_TRUE : GL_FALSE;
}

void glDeleteLists(GLuint list, GLsizei range)
{
    if (!gLayer) return;
    for (GLsizei i = 0; i < range; ++i) gLayer->lists.erase(list + static_cast<GLuint>(i));
}

void glNewList(GLuint list, GLenum mode)
{
    if (!gLayer) return;
    if (gLayer->compiling || gLayer->inBegin) return SetError(GL_INVALID_OPERATION);
    if (list == 0 || (mode != GL_COMPILE && mode != GL_COMPILE_AND_EXECUTE))
        return SetError(GL_INVALID_VALUE);
    gLayer->compiling = list;
    gLayer->compileMode = mode;
    gLayer->building = DisplayList{};
    gLayer->recordCurrent = S().a;
}

void glEndList()
{
    if (!gLayer) return;
    if (!gLayer->compiling || gLayer->inBegin) return SetError(GL_INVALID_OPERATION);
    Layer& layer = *gLayer;
    const GLuint list = layer.compiling;
    layer.lists[list] = std::move(layer.building);
    layer.compiling = 0;
    if (layer.compileMode == GL_COMPILE_AND_EXECUTE) CallList(list, 0);
}

void glCallList(GLuint list)
{
    if (!gLayer) return;
    ListOp op = MatrixOp(ListOp::Call, {static_cast<float>(list)});
    if (!Record(op)) CallList(list, 0);
}

void glListBase(GLuint base)
{
    if (gLayer) S().a.listBase = base;
}

// Beyond GL 1.1: reached by name.

namespace {

void LayerActiveTexture(GLenum unit)
{
    if (!gLayer) return;
    if (unit < GL_TEXTURE0 || unit >= GL_TEXTURE0 + kLayerTextureUnits) return SetError(GL_INVALID_ENUM);
    S().a.activeTexture = unit - GL_TEXTURE0;
    es.ActiveTexture(unit);
}

void LayerMultiTexCoord2f(GLenum unit, GLfloat s, GLfloat t)
{
    if (!gLayer) return;
    if (unit < GL_TEXTURE0 || unit >= GL_TEXTURE0 + kLayerTextureUnits) return SetError(GL_INVALID_ENUM);
    float* c = CurrentAttributes().texCoord[unit - GL_TEXTURE0];
    c[0] = s, c[1] = t, c[2] = 0.0f, c[3] = 1.0f;
    NoteAttributeSet(kArrayTexCoord0 << (unit - GL_TEXTURE0));
}

void LayerSecondaryColor3f(GLfloat r, GLfloat g, GLfloat b)
{
    if (!gLayer) return;
    float* c = CurrentAttributes().secondary;
    c[0] = r, c[1] = g, c[2] = b;
    NoteAttributeSet(kArraySecondary);
}

}  // namespace

void* gllayer::DrawProcAddress(const char* name)
{
    if (std::strcmp(name, "glActiveTexture") == 0) return reinterpret_cast<void*>(&LayerActiveTexture);
    if (std::strcmp(name, "glMultiTexCoord2f") == 0) return reinterpret_cast<void*>(&LayerMultiTexCoord2f);
    if (std::strcmp(name, "glSecondaryColor3f") == 0) return reinterpret_cast<void*>(&LayerSecondaryColor3f);
    return nullptr;
}
