// The GL 1.x layer's matrix stacks: GL's order of composition, the stack limits, the serials that tell a
// program whether it holds the current matrix, and gluPerspective / gluLookAt by what they must map where.
#include "gl_layer/gl_layer_matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace gllayer;

namespace {

void Apply(const Matrix4& m, float x, float y, float z, float out[4])
{
    const float in[4] = {x, y, z, 1.0f};
    TransformPoint(m, in, out);
}

TEST(GlLayerMatrixStack, ComposesInGlOrderAndPopsBackToThePushedMatrix)
{
    MatrixStack stack(4);
    stack.Translate(1, 0, 0);
    ASSERT_TRUE(stack.Push());
    stack.Scale(2, 2, 2);  // applied to the vertex first: (1, 0, 0) -> (2, 0, 0) -> (3, 0, 0)
    stack.Rotate(90, 0, 0, 1);
    float p[4];
    Apply(stack.Top(), 1, 0, 0, p);
    EXPECT_NEAR(p[0], 1.0f, 1e-6f);
    EXPECT_NEAR(p[1], 2.0f, 1e-6f);
    ASSERT_TRUE(stack.Pop());
    Apply(stack.Top(), 1, 0, 0, p);
    EXPECT_FLOAT_EQ(p[0], 2.0f);
    EXPECT_FLOAT_EQ(p[1], 0.0f);
}

TEST(GlLayerMatrixStack, LimitsLeaveTheStackAsItWas)
{
    MatrixStack stack(2);
    EXPECT_FALSE(stack.Pop());
    EXPECT_EQ(stack.Depth(), 1);
    EXPECT_TRUE(stack.Push());
    stack.Translate(5, 0, 0);
    EXPECT_FALSE(stack.Push());
    EXPECT_EQ(stack.Depth(), 2);
    EXPECT_FLOAT_EQ(stack.Top().m[12], 5.0f);
}

TEST(GlLayerMatrixStack, SerialsChangeWithTheTopAndComeBackWithAPop)
{
    MatrixStack stack(8);
    const uint64_t start = stack.Serial();
    ASSERT_TRUE(stack.Push());
    EXPECT_EQ(stack.Serial(), start);  // the same matrix, nothing to upload again
    stack.Translate(0, 1, 0);
    const uint64_t moved = stack.Serial();
    EXPECT_NE(moved, start);
    stack.Rotate(0, 0, 0, 1);  // the identity: nothing changes
    EXPECT_EQ(stack.Serial(), moved);
    stack.LoadIdentity();  // the same values as at the start, but a new matrix as far as anyone knows
    EXPECT_NE(stack.Serial(), start);
    EXPECT_NE(stack.Serial(), moved);
    ASSERT_TRUE(stack.Pop());
    EXPECT_EQ(stack.Serial(), start);
    MatrixStack other(8);
    EXPECT_NE(other.Serial(), start);  // serials are never shared between stacks (or blocks)
}

TEST(GlLayerMatrixStack, AxisRotationsLeaveTheOtherAxesExactAndOthersFollowRodrigues)
{
    const Matrix4 z = RotationMatrix(37.0f, 0, 0, -2);
    EXPECT_EQ(z.m[10], 1.0f);
    EXPECT_EQ(z.m[2], 0.0f);
    EXPECT_EQ(z.m[8], 0.0f);
    EXPECT_NEAR(z.m[1], -std::sin(37.0 * std::numbers::pi / 180.0),
                1e-7);  // negative axis: the other way round

    const double angle = 50.0 * std::numbers::pi / 180.0, ax = 0.0, ay = 0.6, az = 1.0;
    const Matrix4 r = RotationMatrix(50.0f, 0.0f, 0.6f, 1.0f);
    const double length = std::sqrt(ax * ax + ay * ay + az * az);
    const double k[3] = {ax / length, ay / length, az / length};
    const double v[3] = {1.0, 0.5, -0.25};
    const double kv = k[0] * v[0] + k[1] * v[1] + k[2] * v[2];
    const double cross[3] = {k[1] * v[2] - k[2] * v[1], k[2] * v[0] - k[0] * v[2], k[0] * v[1] - k[1] * v[0]};
    float p[4];
    Apply(r, 1.0f, 0.5f, -0.25f, p);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(p[i],
                    v[i] * std::cos(angle) + cross[i] * std::sin(angle) + k[i] * kv * (1 - std::cos(angle)),
                    1e-6);
}

TEST(GlLayerMatrixStack, PerspectiveMapsTheNearAndFarPlanesAndTheFieldOfView)
{
    const Matrix4 p = PerspectiveMatrix(90.0, 2.0, 1.0, 10.0);
    float c[4];
    Apply(p, 0, 0, -1, c);
    EXPECT_NEAR(c[2] / c[3], -1.0f, 1e-6f);
    Apply(p, 0, 0, -10, c);
    EXPECT_NEAR(c[2] / c[3], 1.0f, 1e-6f);
    Apply(p, 2, 1, -1, c);  // 45 degrees up at the near plane, and twice as wide across
    EXPECT_NEAR(c[0] / c[3], 1.0f, 1e-6f);
    EXPECT_NEAR(c[1] / c[3], 1.0f, 1e-6f);
}

TEST(GlLayerMatrixStack, LookAtPutsTheEyeAtTheOriginLookingDownMinusZWithUpAlongY)
{
    // The feedback passes look down -y from 2.03 with x up.
    MatrixStack stack(4);
    stack.Multiply(LookAtRotation(0, 2.03, 0, 0, 0, 0, 1, 0, 0));
    stack.Translate(0.0f, -2.03f, 0.0f);
    float c[4];
    Apply(stack.Top(), 0, 2.03f, 0, c);
    EXPECT_NEAR(c[0], 0, 1e-6f);
    EXPECT_NEAR(c[1], 0, 1e-6f);
    EXPECT_NEAR(c[2], 0, 1e-6f);
    Apply(stack.Top(), 0, 0, 0, c);
    EXPECT_NEAR(c[2], -2.03f, 1e-6f);
    Apply(stack.Top(), 1, 2.03f, 0, c);  // the up direction
    EXPECT_NEAR(c[0], 0, 1e-6f);
    EXPECT_NEAR(c[1], 1, 1e-6f);
}

TEST(GlLayerMatrixStack, OrthoAndFrustumMapTheirBoxCornersToTheUnitCube)
{
    const Matrix4 o = OrthoMatrix(-2, 6, 1, 3, -1, 5);
    float c[4];
    Apply(o, 6, 1, -5, c);
    EXPECT_NEAR(c[0], 1, 1e-6f);
    EXPECT_NEAR(c[1], -1, 1e-6f);
    EXPECT_NEAR(c[2], 1, 1e-6f);
    const Matrix4 f = FrustumMatrix(-1, 3, -2, 2, 2, 8);
    Apply(f, 3, 2, -2, c);
    EXPECT_NEAR(c[0] / c[3], 1, 1e-6f);
    EXPECT_NEAR(c[1] / c[3], 1, 1e-6f);
    EXPECT_NEAR(c[2] / c[3], -1, 1e-6f);
}

}  // namespace
