// The GL 1.x layer's primitive conversion: wide lines as the parallelograms of GL's wide-line rule (the
// width in window pixels, along the minor axis, whatever the depth), clipped at the near plane, and quads
// and quad strips as triangles that cover exactly the quads.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "gl_layer/gl_layer_primitives.h"

using namespace gllayer;

namespace {

LayerVertex At(float x, float y, float z, float red = 1.0f)
{
    LayerVertex v{};
    v.position[0] = x, v.position[1] = y, v.position[2] = z, v.position[3] = 1.0f;
    v.colour[0] = red, v.colour[3] = 1.0f;
    return v;
}

struct Window {
    float x, y;
};

Window ToWindow(const LayerVertex& v, const ViewportBox& vp)
{
    return {(v.position[0] / v.position[3] * 0.5f + 0.5f) * vp.width + vp.x,
            (v.position[1] / v.position[3] * 0.5f + 0.5f) * vp.height + vp.y};
}

// The corners of the two triangles of each segment, in window pixels.
std::vector<Window> Corners(const std::vector<LayerVertex>& out, const ViewportBox& vp)
{
    std::vector<Window> w;
    for (const LayerVertex& v : out) w.push_back(ToWindow(v, vp));
    return w;
}

float Area(const std::vector<LayerVertex>& triangles)
{
    float sum = 0;
    for (size_t i = 0; i + 2 < triangles.size(); i += 3) {
        const float* a = triangles[i].position;
        const float* b = triangles[i + 1].position;
        const float* c = triangles[i + 2].position;
        sum += 0.5f * ((b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]));
    }
    return sum;
}

TEST(GlLayerWideLines, AnXMajorLineGrowsAlongYByHalfTheWidthEachWay)
{
    const ViewportBox vp{0, 0, 100, 100};
    // Window (10, 20) to (50, 30): identity transform, so NDC = window / 50 - 1.
    const LayerVertex line[2] = {At(-0.8f, -0.6f, 0), At(0.0f, -0.4f, 0)};
    std::vector<LayerVertex> out;
    AppendWideLines(GL_LINES, line, 2, IdentityMatrix(), vp, 6.0f, out);
    ASSERT_EQ(out.size(), 6u);
    float minX = 1e9, maxX = -1e9;
    for (const Window& w : Corners(out, vp)) {
        minX = std::fmin(minX, w.x), maxX = std::fmax(maxX, w.x);
        // Each corner lies 3 pixels above or below the line, straight up or down from an end.
        const float onLine = 20.0f + (w.x - 10.0f) * 0.25f;
        EXPECT_NEAR(std::fabs(w.y - onLine), 3.0f, 1e-4f);
        EXPECT_TRUE(std::fabs(w.x - 10.0f) < 1e-4f || std::fabs(w.x - 50.0f) < 1e-4f);
    }
    EXPECT_NEAR(minX, 10.0f, 1e-4f);
    EXPECT_NEAR(maxX, 50.0f, 1e-4f);
    // The parallelogram: 40 pixels long, 6 pixels tall.
    std::vector<LayerVertex> windowed = out;
    for (LayerVertex& v : windowed) {
        const Window w = ToWindow(v, vp);
        v.position[0] = w.x, v.position[1] = w.y;
    }
    EXPECT_NEAR(std::fabs(Area(windowed)), 240.0f, 1e-2f);
}

TEST(GlLayerWideLines, AYMajorLineGrowsAlongXOnAViewportThatIsNotSquare)
{
    const ViewportBox vp{8, 4, 200, 50};
    const LayerVertex line[2] = {At(0.1f, -0.5f, 0), At(0.12f, 0.5f, 0)};  // 2 px across, 25 px up
    std::vector<LayerVertex> out;
    AppendWideLines(GL_LINE_STRIP, line, 2, IdentityMatrix(), vp, 3.0f, out);
    ASSERT_EQ(out.size(), 6u);
    const Window a = ToWindow(line[0], vp);
    for (const Window& w : Corners(out, vp)) {
        const float t = (w.y - a.y) / 25.0f;
        const float onLine = a.x + t * 2.0f;
        EXPECT_NEAR(std::fabs(w.x - onLine), 1.5f, 1e-3f);
    }
}

TEST(GlLayerWideLines, TheWidthIsInPixelsAtEveryDepthOfAPerspectiveView)
{
    const ViewportBox vp{0, 0, 512, 512};
    const Matrix4 projection = PerspectiveMatrix(75.0, 1.0, 0.01, 80.0);
    const LayerVertex line[2] = {At(-1.0f, 0.0f, -1.3f), At(1.0f, 0.3f, -6.0f)};
    std::vector<LayerVertex> out;
    AppendWideLines(GL_LINES, line, 2, projection, vp, 6.0f, out);
    ASSERT_EQ(out.size(), 6u);
    // Corners of the first end sit 3 pixels above and below that end's window position, and so for the
    // far end, although one unit there covers far fewer pixels.
    LayerVertex ends[2];
    for (int e = 0; e < 2; ++e) {
        ends[e] = line[e];
        TransformPoint(projection, line[e].position, ends[e].position);
    }
    for (const Window& w : Corners(out, vp)) {
        const Window a = ToWindow(ends[0], vp), b = ToWindow(ends[1], vp);
        const Window& end = std::fabs(w.x - a.x) < 1e-2f ? a : b;
        EXPECT_NEAR(w.x, end.x, 1e-2f);
        EXPECT_NEAR(std::fabs(w.y - end.y), 3.0f, 1e-2f);
    }
}

TEST(GlLayerWideLines, ASegmentThroughTheNearPlaneIsCutThereWithItsColourInterpolated)
{
    const ViewportBox vp{0, 0, 100, 100};
    const Matrix4 projection = PerspectiveMatrix(90.0, 1.0, 1.0, 10.0);
    // From 2 units in front of the eye to 2 units behind it: the near plane (z = -1) is a quarter of
    // the way along, where the red channel has gone from 0 to 0.25.
    const LayerVertex line[2] = {At(0.0f, 0.0f, -2.0f, 0.0f), At(0.4f, 0.0f, 2.0f, 1.0f)};
    std::vector<LayerVertex> out;
    AppendWideLines(GL_LINES, line, 2, projection, vp, 4.0f, out);
    ASSERT_EQ(out.size(), 6u);
    bool sawCut = false;
    for (const LayerVertex& v : out) {
        EXPECT_GE(v.position[2] + v.position[3], -1e-5f);
        EXPECT_GT(v.position[3], 0.0f);
        if (std::fabs(v.colour[0] - 0.25f) < 1e-5f) sawCut = true;
    }
    EXPECT_TRUE(sawCut);
    std::vector<LayerVertex> behind;
    const LayerVertex both[2] = {At(0, 0, 2), At(1, 0, 3)};
    AppendWideLines(GL_LINES, both, 2, projection, vp, 4.0f, behind);
    EXPECT_TRUE(behind.empty());
}

TEST(GlLayerWideLines, StripsJoinTheirPointsAndLoopsCloseThemselves)
{
    const ViewportBox vp{0, 0, 64, 64};
    const LayerVertex square[5] = {At(-0.5f, -0.5f, 0), At(0.5f, -0.5f, 0), At(0.5f, 0.5f, 0),
                                   At(-0.5f, 0.5f, 0), At(-0.5f, -0.5f, 0)};
    std::vector<LayerVertex> strip, loop, lines;
    AppendWideLines(GL_LINE_STRIP, square, 5, IdentityMatrix(), vp, 6.0f, strip);
    AppendWideLines(GL_LINE_LOOP, square, 4, IdentityMatrix(), vp, 6.0f, loop);
    AppendWideLines(GL_LINES, square, 5, IdentityMatrix(), vp, 6.0f, lines);
    EXPECT_EQ(strip.size(), 24u);
    EXPECT_EQ(loop.size(), 24u);
    EXPECT_EQ(lines.size(), 12u);  // two segments; the fifth point has no partner
}

TEST(GlLayerPrimitives, QuadsAndQuadStripsBecomeTrianglesCoveringTheirQuads)
{
    // A quad that is not a parallelogram, split along its b-d diagonal.
    const LayerVertex quad[4] = {At(0, 0, 0), At(4, 0, 0), At(3, 2, 0), At(1, 3, 0)};
    std::vector<LayerVertex> out;
    AppendTriangles(GL_QUADS, quad, 4, out);
    ASSERT_EQ(out.size(), 6u);
    EXPECT_FLOAT_EQ(out[2].position[0], 1.0f);  // a, b, d
    EXPECT_FLOAT_EQ(out[3].position[0], 4.0f);  // b, c, d
    EXPECT_NEAR(Area(out), 0.5f * (4 * 2 - 0 + 3 * 3 - 1 * 2), 1e-5f);

    // Rows of a strip: (0,0)-(2,0), (0.5,1)-(2.5,1), (0,2)-(2,2): two parallelograms of area 2 each.
    const LayerVertex strip[7] = {At(0, 0, 0), At(2, 0, 0), At(0.5f, 1, 0), At(2.5f, 1, 0),
                                  At(0, 2, 0), At(2, 2, 0), At(9, 9, 0)};
    out.clear();
    AppendTriangles(GL_QUAD_STRIP, strip, 7, out);
    ASSERT_EQ(out.size(), 12u);  // the odd last vertex starts no quad
    EXPECT_NEAR(Area(out), 4.0f, 1e-5f);
    EXPECT_EQ(EsPrimitive(GL_QUAD_STRIP), static_cast<GLenum>(GL_TRIANGLES));
    EXPECT_EQ(EsPrimitive(GL_TRIANGLE_FAN), static_cast<GLenum>(GL_TRIANGLE_FAN));
}

}  // namespace
