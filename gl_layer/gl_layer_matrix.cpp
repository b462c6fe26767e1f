// Matrix stacks of the GL 1.x layer (see gl_layer_matrix.h). The arithmetic follows what a GL driver does
// with these calls: single precision on the stack, GLU's projections built in double and multiplied in
// as single precision, so that pictures drawn through the layer land on the same pixels.
#include "gl_layer/gl_layer_matrix.h"

#include <cmath>
#include <numbers>

namespace gllayer {

namespace {

uint64_t nextSerial = 1;  // serials are unique over all stacks; 0 is never handed out

Matrix4 FromDouble(const double d[16])
{
    Matrix4 r;
    for (int i = 0; i < 16; ++i) r.m[i] = static_cast<float>(d[i]);
    return r;
}

void Normalise(float v[3])
{
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length == 0.0f) return;
    v[0] /= length, v[1] /= length, v[2] /= length;
}

void Cross(const float a[3], const float b[3], float out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

}  // namespace

Matrix4 IdentityMatrix()
{
    Matrix4 r{};
    r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1.0f;
    return r;
}

Matrix4 MultiplyMatrices(const Matrix4& a, const Matrix4& b)
{
    Matrix4 r;
    for (int row = 0; row < 4; ++row) {
        const float a0 = a.m[row], a1 = a.m[4 + row], a2 = a.m[8 + row], a3 = a.m[12 + row];
        for (int column = 0; column < 4; ++column) {
            const float* bc = b.m + column * 4;
            r.m[column * 4 + row] = a0 * bc[0] + a1 * bc[1] + a2 * bc[2] + a3 * bc[3];
        }
    }
    return r;
}

Matrix4 RotationMatrix(float angle, float x, float y, float z)
{
    const float s = static_cast<float>(std::sin(angle * std::numbers::pi / 180.0));
    const float c = static_cast<float>(std::cos(angle * std::numbers::pi / 180.0));
    Matrix4 r = IdentityMatrix();
    // Rotations about a coordinate axis are built exactly, so that the other two axes stay untouched to
    // the last bit (billboards and text turn about z all the time).
    if (x == 0.0f && y == 0.0f && z != 0.0f) {
        const float sz = z < 0.0f ? -s : s;
        r.m[0] = c, r.m[1] = sz, r.m[4] = -sz, r.m[5] = c;
        return r;
    }
    if (x == 0.0f && z == 0.0f && y != 0.0f) {
        const float sy = y < 0.0f ? -s : s;
        r.m[0] = c, r.m[2] = -sy, r.m[8] = sy, r.m[10] = c;
        return r;
    }
    if (y == 0.0f && z == 0.0f && x != 0.0f) {
        const float sx = x < 0.0f ? -s : s;
        r.m[5] = c, r.m[6] = sx, r.m[9] = -sx, r.m[10] = c;
        return r;
    }
    const float length = std::sqrt(x * x + y * y + z * z);
    if (length <= 1.0e-4f) return r;  // no axis: GL leaves the matrix as it is
    x /= length, y /= length, z /= length;
    const float oneMinusC = 1.0f - c;
    r.m[0] = x * x * oneMinusC + c;
    r.m[1] = y * x * oneMinusC + z * s;
    r.m[2] = x * z * oneMinusC - y * s;
    r.m[4] = x * y * oneMinusC - z * s;
    r.m[5] = y * y * oneMinusC + c;
    r.m[6] = y * z * oneMinusC + x * s;
    r.m[8] = x * z * oneMinusC + y * s;
    r.m[9] = y * z * oneMinusC - x * s;
    r.m[10] = z * z * oneMinusC + c;
    return r;
}

Matrix4 PerspectiveMatrix(double fovY, double aspect, double zNear, double zFar)
{
    const double half = fovY / 2.0 * std::numbers::pi / 180.0;
    const double depth = zFar - zNear;
    const double sine = std::sin(half);
    if (depth == 0.0 || sine == 0.0 || aspect == 0.0) return IdentityMatrix();  // GLU leaves it alone
    const double cotangent = std::cos(half) / sine;
    double d[16] = {};
    d[0] = cotangent / aspect;
    d[5] = cotangent;
    d[10] = -(zFar + zNear) / depth;
    d[11] = -1.0;
    d[14] = -2.0 * zNear * zFar / depth;
    return FromDouble(d);
}

Matrix4 FrustumMatrix(double left, double right, double bottom, double top, double zNear, double zFar)
{
    double d[16] = {};
    d[0] = 2.0 * zNear / (right - left);
    d[5] = 2.0 * zNear / (top - bottom);
    d[8] = (right + left) / (right - left);
    d[9] = (top + bottom) / (top - bottom);
    d[10] = -(zFar + zNear) / (zFar - zNear);
    d[11] = -1.0;
    d[14] = -2.0 * zFar * zNear / (zFar - zNear);
    return FromDouble(d);
}

Matrix4 OrthoMatrix(double left, double right, double bottom, double top, double zNear, double zFar)
{
    double d[16] = {};
    d[0] = 2.0 / (right - left);
    d[5] = 2.0 / (top - bottom);
    d[10] = -2.0 / (zFar - zNear);
    d[12] = -(right + left) / (right - left);
    d[13] = -(top + bottom) / (top - bottom);
    d[14] = -(zFar + zNear) / (zFar - zNear);
    d[15] = 1.0;
    return FromDouble(d);
}

Matrix4 LookAtRotation(double eyeX, double eyeY, double eyeZ, double centreX, double centreY, double centreZ,
                       double upX, double upY, double upZ)
{
    // GLU works in single precision here.
    float forward[3] = {static_cast<float>(centreX - eyeX), static_cast<float>(centreY - eyeY),
                        static_cast<float>(centreZ - eyeZ)};
    float up[3] = {static_cast<float>(upX), static_cast<float>(upY), static_cast<float>(upZ)};
    Normalise(forward);
    float side[3];
    Cross(forward, up, side);
    Normalise(side);
    Cross(side, forward, up);
    Matrix4 r = IdentityMatrix();
    r.m[0] = side[0], r.m[4] = side[1], r.m[8] = side[2];
    r.m[1] = up[0], r.m[5] = up[1], r.m[9] = up[2];
    r.m[2] = -forward[0], r.m[6] = -forward[1], r.m[10] = -forward[2];
    return r;
}

void TransformPoint(const Matrix4& a, const float in[4], float out[4])
{
    for (int row = 0; row < 4; ++row)
        out[row] = a.m[row] * in[0] + a.m[4 + row] * in[1] + a.m[8 + row] * in[2] + a.m[12 + row] * in[3];
}

MatrixStack::MatrixStack(int maxDepth) : maxDepth_(maxDepth)
{
    entries_.reserve(static_cast<size_t>(maxDepth));
    entries_.push_back(Entry{IdentityMatrix(), nextSerial++});
}

void MatrixStack::Changed()
{
    entries_.back().serial = nextSerial++;
}

bool MatrixStack::Push()
{
    if (Depth() >= maxDepth_) return false;
    entries_.push_back(entries_.back());  // the same matrix, so the same serial
    return true;
}

bool MatrixStack::Pop()
{
    if (Depth() <= 1) return false;
    entries_.pop_back();
    return true;
}

void MatrixStack::LoadIdentity()
{
    entries_.back().matrix = IdentityMatrix();
    Changed();
}

void MatrixStack::Load(const Matrix4& matrix)
{
    entries_.back().matrix = matrix;
    Changed();
}

void MatrixStack::Multiply(const Matrix4& matrix)
{
    entries_.back().matrix = MultiplyMatrices(entries_.back().matrix, matrix);
    Changed();
}

void MatrixStack::Translate(float x, float y, float z)
{
    float* m = entries_.back().matrix.m;
    for (int row = 0; row < 4; ++row)
        m[12 + row] = m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row];
    Changed();
}

void MatrixStack::Scale(float x, float y, float z)
{
    float* m = entries_.back().matrix.m;
    for (int row = 0; row < 4; ++row) m[row] *= x, m[4 + row] *= y, m[8 + row] *= z;
    Changed();
}

void MatrixStack::Rotate(float angle, float x, float y, float z)
{
    if (angle == 0.0f) return;  // the identity: nothing changes, not even the serial
    Multiply(RotationMatrix(angle, x, y, z));
}

}  // namespace gllayer
