// Checks of the tagged vector and 3 x 3 matrix operations: kind rules, rotation order, inversion.
// Depends on math/vec.h and GoogleTest.
#include "math/vec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

Vec V(int32_t kind, float x, float y, float z)
{
    Vec v;
    v.kind = kind;
    v.x = x;
    v.y = y;
    v.z = z;
    return v;
}

void ExpectVec(const Vec& v, int32_t kind, double x, double y, double z, double tolerance = 1e-6)
{
    EXPECT_EQ(v.kind, kind);
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

}  // namespace

TEST(VecKinds, EmptyInputsGiveZeroGeneralVectors)
{
    const Vec a = V(1, 1, 2, 3);
    const Vec empty;
    ExpectVec(VecAdd(a, empty), 1, 0, 0, 0);
    ExpectVec(VecAdd(empty, a), 1, 0, 0, 0);
    ExpectVec(VecSub(a, empty), 1, 0, 0, 0);
    ExpectVec(VecScale(empty, 5.0f), 1, 0, 0, 0);
    ExpectVec(a + empty, 1, 0, 0, 0);
}

TEST(VecKinds, ArithmeticAndKindOfTheResult)
{
    const Vec a = V(2, 0.6f, 0, 0.8f);
    const Vec b = V(1, 1, 2, 3);
    ExpectVec(VecAdd(a, b), 1, 1.6, 2, 3.8);
    ExpectVec(VecSub(b, a), 1, 0.4, 2, 2.2);
    // A scaled unit direction keeps its tag, even though it is no longer unit length.
    ExpectVec(VecScale(a, 10.0f), 2, 6, 0, 8);
    ExpectVec(a * 10.0f, 2, 6, 0, 8);
    ExpectVec(b * -2.0f, 1, -2, -4, -6);
}

TEST(VecKinds, NormalizeOnlyTouchesGeneralVectors)
{
    Vec v = V(1, 3, 0, 4);
    VecNormalize(v);
    ExpectVec(v, 2, 0.6, 0, 0.8);

    Vec zero = V(1, 0, 0, 0);
    VecNormalize(zero);
    ExpectVec(zero, 2, 0, 0, 0);

    Vec tiny = V(1, 1e-9f, 0, 0);
    VecNormalize(tiny);
    ExpectVec(tiny, 2, 0, 0, 0, 0);

    Vec unit = V(2, 3, 0, 4);
    VecNormalize(unit);
    ExpectVec(unit, 2, 3, 0, 4, 0);

    Vec empty = V(0, 3, 0, 4);
    VecNormalize(empty);
    ExpectVec(empty, 0, 3, 0, 4, 0);

    Vec broken = V(1, NAN, 0, 0);
    VecNormalize(broken);
    ExpectVec(broken, 2, 0, 0, 0, 0);
}

TEST(MatOperations, RotationOrderAndTransform)
{
    const double half = std::numbers::pi / 2;
    Vec v = V(1, 1, 0, 0);
    VecRotateEuler(v, 0, 0, half);
    ExpectVec(v, 1, 0, 1, 0);

    // Rx applied last: the z rotation moves x to y, then the x rotation moves y to z.
    Vec w = V(2, 1, 0, 0);
    VecRotateEuler(w, half, 0, half);
    ExpectVec(w, 1, 0, 0, 1);

    Vec u = V(1, 0, 0, 1);
    VecRotateEuler(u, 0, half, 0);
    ExpectVec(u, 1, 1, 0, 0);

    // The builder leaves row 3 and column 3 as they were.
    Mat4 m;
    for (double& e : m.m) e = 7.0;
    MatRotationEuler(m, 0.3, -0.4, 1.1);
    for (int i : {3, 7, 11, 12, 13, 14, 15}) EXPECT_EQ(m.m[i], 7.0) << i;
    // A rotation keeps lengths and ignores the tag of its input.
    const Vec r = MatTransform(m, V(0, 3, 0, 4));
    EXPECT_EQ(r.kind, 1);
    EXPECT_NEAR(std::sqrt(double(r.x) * r.x + double(r.y) * r.y + double(r.z) * r.z), 5.0, 1e-5);
}

TEST(MatOperations, SetScaleAndInverse)
{
    Mat4 m;
    MatSet(m, 2, 0, 0, 9, 0, 4, 0, 9, 0, 0, 8, 9, 9, 9, 9, 9);
    EXPECT_EQ(m.m[3], 9.0);
    EXPECT_EQ(m.m[5], 4.0);

    Mat4 scaled;
    MatScale(m, 0.5, scaled);
    EXPECT_EQ(scaled.m[0], 1.0);
    EXPECT_EQ(scaled.m[15], 4.5);
    MatScale(m, 2.0, m);
    EXPECT_EQ(m.m[10], 16.0);

    Mat4 rotation;
    MatIdentity(rotation);
    MatRotationEuler(rotation, 0.7, 0.2, -1.3);
    Mat4 general;
    MatSet(general, rotation.m[0] * 3, rotation.m[1], rotation.m[2], 0, rotation.m[4], rotation.m[5] * 2,
           rotation.m[6], 0, rotation.m[8] + 1, rotation.m[9], rotation.m[10], 0, 0, 0, 0, 1);
    Mat4 inverse;
    MatInverse3(general, inverse);
    const Vec p = V(1, 1.5f, -2, 0.25f);
    ExpectVec(MatTransform(inverse, MatTransform(general, p)), 1, 1.5, -2, 0.25, 1e-5);

    // In place gives the same answer.
    Mat4 copy = general;
    MatInverse3(copy, copy);
    for (int i : {0, 1, 2, 4, 5, 6, 8, 9, 10}) EXPECT_NEAR(copy.m[i], inverse.m[i], 1e-12);

    Mat4 singular;
    MatSet(singular, 1, 2, 3, 5, 2, 4, 6, 5, 0, 1, 1, 5, 5, 5, 5, 5);
    Mat4 result;
    MatSet(result, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3);
    MatInverse3(singular, result);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(result.m[i], (i % 5 == 0) ? 1.0 : 0.0) << i;
}
