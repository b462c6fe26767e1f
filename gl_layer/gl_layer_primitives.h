// Turning GL 1.x primitives into what OpenGL ES 3.0 draws: quads, quad strips and polygons as triangles,
// lines wider than a pixel as quads. Plain C++, no GL calls, so the geometry can be checked without a
// context.
//
// GL fills a wide line as a parallelogram: an x-major line is widened along y, a y-major one along x, by
// the width in window pixels, whatever the depth.
#pragma once
#include <GL/gl.h>

#include <cstddef>
#include <vector>

#include "gl_layer/gl_layer_matrix.h"

namespace gllayer {

constexpr int kLayerTextureUnits = 3;

// One vertex as the layer's programs read it (attribute locations in gl_layer_shaders.h).
struct LayerVertex {
    float position[4];
    float colour[4];
    float secondary[3];
    float texCoord[kLayerTextureUnits][2];
    float line[4];  // of a wide line's corner: the segment's other end (xyz), the signed width (w); else 0
};

struct ViewportBox {
    int x = 0, y = 0, width = 0, height = 0;
};

// The ES primitive that draws `mode`; quads, quad strips and polygons come out as GL_TRIANGLES.
GLenum EsPrimitive(GLenum mode);
bool IsLinePrimitive(GLenum mode);
// Appends the triangles of a quad, quad-strip or polygon batch (whole primitives only; a trailing
// incomplete quad is dropped, as GL drops it). Quads split along the diagonal from their second to their
// fourth corner.
void AppendTriangles(GLenum mode, const LayerVertex* vertices, size_t count, std::vector<LayerVertex>& out);
// Appends two triangles per segment of a GL_LINES, GL_LINE_STRIP or GL_LINE_LOOP batch, in clip
// coordinates (draw them with an identity transform): `transform` takes the vertices to clip space, the
// viewport to window pixels. Segments are clipped at the near plane first.
void AppendWideLines(GLenum mode, const LayerVertex* vertices, size_t count, const Matrix4& transform,
                     const ViewportBox& viewport, float width, std::vector<LayerVertex>& out);
// The same quads for the vertex stage to widen: two triangles per segment whose corners keep their
// end's position and carry the other end and the signed width (line[]), so that they are drawn in the
// same transform as the triangles around them. Only for segments in front of the near plane.
void AppendLineQuads(GLenum mode, const LayerVertex* vertices, size_t count, float width,
                     std::vector<LayerVertex>& out);

}  // namespace gllayer
