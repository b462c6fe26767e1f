// Tagged vectors and 4 x 4 matrices: positions and directions of the game, the layers and the mesh model.
// Depends on nothing. Every vector operation honours the kind tag; the matrix operations use only the
// 3 x 3 rotation part (rows and columns 0 to 2), and there is no translation.
#pragma once
#include <cstdint>

// kind: 0 empty, 1 point or general vector, 2 unit direction.
struct Vec {
    int32_t kind = 0;
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

// 16 doubles, row-major (row 0 first); the operations use the 3 x 3 rotation part.
struct Mat4 {
    double m[16] = {};
};

// Vector operations: arithmetic runs in double precision and is stored as floats.
Vec VecAdd(const Vec& a, const Vec& b);  // kind 1; (0, 0, 0) when either input is empty
Vec VecSub(const Vec& a, const Vec& b);  // kind 1; (0, 0, 0) when either input is empty
Vec VecScale(const Vec& a, float s);     // keeps a's kind; an empty input gives (0, 0, 0) kind 1
void VecNormalize(Vec& a);  // kind 1 only: becomes a unit direction (kind 2), tiny ones (0, 0, 0)
void VecRotateEuler(Vec& v, double ax, double ay, double az);  // radians, Rx * Ry * Rz; result kind 1

// Matrix operations.
void MatIdentity(Mat4& m);
void MatSet(Mat4& m, double m00, double m01, double m02, double m03, double m10, double m11, double m12,
            double m13, double m20, double m21, double m22, double m23, double m30, double m31, double m32,
            double m33);
void MatRotationEuler(Mat4& m, double ax, double ay, double az);  // sets only the 3 x 3 part
void MatScale(const Mat4& m, double s, Mat4& destination);        // all 16 entries; destination may be m
void MatInverse3(const Mat4& m, Mat4& destination);               // singular (|det| < 1e-8): identity
Vec MatTransform(const Mat4& m, const Vec& v);                    // 3 x 3 part times v, kind 1

inline Vec operator+(const Vec& a, const Vec& b)
{
    return VecAdd(a, b);
}
inline Vec operator-(const Vec& a, const Vec& b)
{
    return VecSub(a, b);
}
inline Vec operator*(const Vec& a, float s)
{
    return VecScale(a, s);
}
