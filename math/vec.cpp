// The vector and matrix operations declared in math/vec.h.
// Depends on <cmath> only.
#include "math/vec.h"

#include <cmath>

namespace {

Vec MakeVec(int32_t kind, double x, double y, double z)
{
    Vec v;
    v.kind = kind;
    v.x = static_cast<float>(x);
    v.y = static_cast<float>(y);
    v.z = static_cast<float>(z);
    return v;
}

}  // namespace

Vec VecAdd(const Vec& a, const Vec& b)
{
    if (a.kind == 0 || b.kind == 0) return MakeVec(1, 0.0, 0.0, 0.0);
    return MakeVec(1, double(a.x) + b.x, double(a.y) + b.y, double(a.z) + b.z);
}

Vec VecSub(const Vec& a, const Vec& b)
{
    if (a.kind == 0 || b.kind == 0) return MakeVec(1, 0.0, 0.0, 0.0);
    return MakeVec(1, double(a.x) - b.x, double(a.y) - b.y, double(a.z) - b.z);
}

Vec VecScale(const Vec& a, float s)
{
    if (a.kind == 0) return MakeVec(1, 0.0, 0.0, 0.0);
    return MakeVec(a.kind, double(a.x) * s, double(a.y) * s, double(a.z) * s);
}

void VecNormalize(Vec& a)
{
    if (a.kind != 1) return;
    const double length = std::sqrt(double(a.x) * a.x + double(a.y) * a.y + double(a.z) * a.z);
    // Also catches NaN lengths, so a broken input never spreads into a "unit" direction.
    if (!(length >= 1e-8)) {
        a = MakeVec(2, 0.0, 0.0, 0.0);
        return;
    }
    const double inverse = 1.0 / length;
    a = MakeVec(2, a.x * inverse, a.y * inverse, a.z * inverse);
}

void VecRotateEuler(Vec& v, double ax, double ay, double az)
{
    Mat4 rotation;
    MatIdentity(rotation);
    MatRotationEuler(rotation, ax, ay, az);
    v = MatTransform(rotation, v);
}

void MatIdentity(Mat4& m)
{
    for (int i = 0; i < 16; ++i) m.m[i] = (i % 5 == 0) ? 1.0 : 0.0;
}

void MatSet(Mat4& m, double m00, double m01, double m02, double m03, double m10, double m11, double m12,
            double m13, double m20, double m21, double m22, double m23, double m30, double m31, double m32,
            double m33)
{
    const double values[16] = {m00, m01, m02, m03, m10, m11, m12, m13,
                               m20, m21, m22, m23, m30, m31, m32, m33};
    for (int i = 0; i < 16; ++i) m.m[i] = values[i];
}

void MatRotationEuler(Mat4& m, double ax, double ay, double az)
{
    const double sx = std::sin(ax), cx = std::cos(ax);
    const double sy = std::sin(ay), cy = std::cos(ay);
    const double sz = std::sin(az), cz = std::cos(az);
    m.m[0] = cy * cz;
    m.m[1] = -cy * sz;
    m.m[2] = sy;
    m.m[4] = cz * sy * sx + sz * cx;
    m.m[5] = cz * cx - sz * sy * sx;
    m.m[6] = -cy * sx;
    m.m[8] = sz * sx - cz * sy * cx;
    m.m[9] = sz * sy * cx + cz * sx;
    m.m[10] = cy * cx;
}

void MatScale(const Mat4& m, double s, Mat4& destination)
{
    for (int i = 0; i < 16; ++i) destination.m[i] = m.m[i] * s;
}

void MatInverse3(const Mat4& m, Mat4& destination)
{
    const double* a = m.m;
    // Cofactors of the 3 x 3 part, a[row * 4 + column].
    const double c00 = a[5] * a[10] - a[6] * a[9];
    const double c01 = -(a[4] * a[10] - a[6] * a[8]);
    const double c02 = a[4] * a[9] - a[5] * a[8];
    const double c10 = -(a[1] * a[10] - a[2] * a[9]);
    const double c11 = a[0] * a[10] - a[2] * a[8];
    const double c12 = -(a[0] * a[9] - a[1] * a[8]);
    const double c20 = a[1] * a[6] - a[2] * a[5];
    const double c21 = -(a[0] * a[6] - a[2] * a[4]);
    const double c22 = a[0] * a[5] - a[1] * a[4];
    const double determinant = a[0] * c00 + a[1] * c01 + a[2] * c02;
    // The negated test also turns a NaN determinant into the identity.
    if (!(std::fabs(determinant) >= 1e-8)) {
        MatIdentity(destination);
        return;
    }
    // Written only after all cofactors are known, so destination may be m.
    destination.m[0] = c00;
    destination.m[1] = c10;
    destination.m[2] = c20;
    destination.m[4] = c01;
    destination.m[5] = c11;
    destination.m[6] = c21;
    destination.m[8] = c02;
    destination.m[9] = c12;
    destination.m[10] = c22;
    MatScale(destination, 1.0 / determinant, destination);
}

Vec MatTransform(const Mat4& m, const Vec& v)
{
    const double* a = m.m;
    const double x = v.x, y = v.y, z = v.z;
    return MakeVec(1, a[0] * x + a[1] * y + a[2] * z, a[4] * x + a[5] * y + a[6] * z,
                   a[8] * x + a[9] * y + a[10] * z);
}
