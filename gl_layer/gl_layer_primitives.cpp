// Primitive conversion of the GL 1.x layer (see gl_layer_primitives.h).
#include "gl_layer/gl_layer_primitives.h"

#include <cmath>

namespace gllayer {

namespace {

void Quad(const LayerVertex& a, const LayerVertex& b, const LayerVertex& c, const LayerVertex& d,
          std::vector<LayerVertex>& out)
{
    // The diagonal b-d, as the rasterisers this layer stands in for split a quad.
    out.push_back(a);
    out.push_back(b);
    out.push_back(d);
    out.push_back(b);
    out.push_back(c);
    out.push_back(d);
}

LayerVertex Mix(const LayerVertex& a, const LayerVertex& b, float t)
{
    LayerVertex r;
    const float* pa = reinterpret_cast<const float*>(&a);
    const float* pb = reinterpret_cast<const float*>(&b);
    float* pr = reinterpret_cast<float*>(&r);
    for (size_t i = 0; i < sizeof(LayerVertex) / sizeof(float); ++i) pr[i] = pa[i] + (pb[i] - pa[i]) * t;
    return r;
}

void WideSegment(LayerVertex a, LayerVertex b, const Matrix4& transform, const ViewportBox& viewport,
                 float width, std::vector<LayerVertex>& out)
{
    float ca[4], cb[4];
    TransformPoint(transform, a.position, ca);
    TransformPoint(transform, b.position, cb);
    for (int i = 0; i < 4; ++i) a.position[i] = ca[i], b.position[i] = cb[i];
    // Near plane (z >= -w): what lies behind it has no window position to widen from.
    const float da = a.position[2] + a.position[3], db = b.position[2] + b.position[3];
    if (da < 0.0f && db < 0.0f) return;
    if (da < 0.0f) a = Mix(a, b, da / (da - db));
    if (db < 0.0f) b = Mix(b, a, db / (db - da));
    if (a.position[3] <= 0.0f || b.position[3] <= 0.0f) return;

    const float ax = a.position[0] / a.position[3] * 0.5f * viewport.width;
    const float ay = a.position[1] / a.position[3] * 0.5f * viewport.height;
    const float bx = b.position[0] / b.position[3] * 0.5f * viewport.width;
    const float by = b.position[1] / b.position[3] * 0.5f * viewport.height;
    // Half the width, in normalised device units along the minor axis.
    float offsetX = 0.0f, offsetY = 0.0f;
    if (std::fabs(bx - ax) >= std::fabs(by - ay)) {
        if (bx == ax) return;  // a point-long line covers nothing
        offsetY = viewport.height > 0 ? width / viewport.height : 0.0f;
    } else {
        offsetX = viewport.width > 0 ? width / viewport.width : 0.0f;
    }
    LayerVertex corners[4] = {a, a, b, b};  // a below, a above, b below, b above
    for (int i = 0; i < 4; ++i) {
        for (float& l : corners[i].line) l = 0.0f;
        const float sign = (i % 2 == 0) ? -1.0f : 1.0f;
        const float w = corners[i].position[3];
        corners[i].position[0] += sign * offsetX * w;
        corners[i].position[1] += sign * offsetY * w;
    }
    out.push_back(corners[0]);
    out.push_back(corners[2]);
    out.push_back(corners[3]);
    out.push_back(corners[0]);
    out.push_back(corners[3]);
    out.push_back(corners[1]);
}

void LineQuad(const LayerVertex& a, const LayerVertex& b, float width, std::vector<LayerVertex>& out)
{
    LayerVertex corners[4] = {a, a, b, b};  // a below, a above, b below, b above
    for (int i = 0; i < 4; ++i) {
        const LayerVertex& other = i < 2 ? b : a;
        for (int k = 0; k < 3; ++k) corners[i].line[k] = other.position[k] / other.position[3];
        corners[i].line[3] = (i % 2 == 0) ? -width : width;
    }
    out.push_back(corners[0]);
    out.push_back(corners[2]);
    out.push_back(corners[3]);
    out.push_back(corners[0]);
    out.push_back(corners[3]);
    out.push_back(corners[1]);
}

template <typename Segment>
void ForEachSegment(GLenum mode, const LayerVertex* v, size_t count, Segment segment)
{
    switch (mode) {
        case GL_LINES:
            for (size_t i = 0; i + 1 < count; i += 2) segment(v[i], v[i + 1]);
            break;
        case GL_LINE_STRIP:
        case GL_LINE_LOOP:
            for (size_t i = 0; i + 1 < count; ++i) segment(v[i], v[i + 1]);
            if (mode == GL_LINE_LOOP && count > 2) segment(v[count - 1], v[0]);
            break;
        default:
            break;
    }
}

}  // namespace

GLenum EsPrimitive(GLenum mode)
{
    switch (mode) {
        case GL_QUADS:
        case GL_QUAD_STRIP:
        case GL_POLYGON:
            return GL_TRIANGLES;
        default:
            return mode;
    }
}

bool IsLinePrimitive(GLenum mode)
{
    return mode == GL_LINES || mode == GL_LINE_STRIP || mode == GL_LINE_LOOP;
}

void AppendTriangles(GLenum mode, const LayerVertex* v, size_t count, std::vector<LayerVertex>& out)
{
    switch (mode) {
        case GL_QUADS:
            for (size_t i = 0; i + 3 < count; i += 4) Quad(v[i], v[i + 1], v[i + 2], v[i + 3], out);
            break;
        case GL_QUAD_STRIP:
            // Quad i runs v[2i], v[2i+1], v[2i+3], v[2i+2] around its edge.
            for (size_t i = 0; i + 3 < count; i += 2) Quad(v[i + 2], v[i], v[i + 1], v[i + 3], out);
            break;
        case GL_POLYGON:
            for (size_t i = 1; i + 1 < count; ++i) {
                out.push_back(v[0]);
                out.push_back(v[i]);
                out.push_back(v[i + 1]);
            }
            break;
        default:
            break;
    }
}

void AppendWideLines(GLenum mode, const LayerVertex* v, size_t count, const Matrix4& transform,
                     const ViewportBox& viewport, float width, std::vector<LayerVertex>& out)
{
    ForEachSegment(mode, v, count, [&](const LayerVertex& a, const LayerVertex& b) {
        WideSegment(a, b, transform, viewport, width, out);
    });
}

void AppendLineQuads(GLenum mode, const LayerVertex* v, size_t count, float width,
                     std::vector<LayerVertex>& out)
{
    ForEachSegment(mode, v, count,
                   [&](const LayerVertex& a, const LayerVertex& b) { LineQuad(a, b, width, out); });
}

}  // namespace gllayer
