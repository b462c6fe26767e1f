// The fixed-function matrix stacks of the GL 1.x layer: single-precision 4 x 4 matrices (column-major, as
// GL stores them) with the operations GL and GLU apply to a stack's top. Plain C++, no GL calls.
//
// Every change of a top gets a new serial number, so that a program knows whether its uniform already
// holds the matrix it is about to draw with.
#pragma once
#include <cstdint>
#include <vector>

namespace gllayer {

struct Matrix4 {
    float m[16];  // column-major: m[column * 4 + row]
};

Matrix4 IdentityMatrix();
Matrix4 MultiplyMatrices(const Matrix4& a, const Matrix4& b);  // a x b
// The matrices the GL and GLU calls multiply the top by. Angles in degrees.
Matrix4 RotationMatrix(float angle, float x, float y, float z);
Matrix4 PerspectiveMatrix(double fovY, double aspect, double zNear, double zFar);  // gluPerspective
Matrix4 FrustumMatrix(double left, double right, double bottom, double top, double zNear, double zFar);
Matrix4 OrthoMatrix(double left, double right, double bottom, double top, double zNear, double zFar);
// gluLookAt: the rotation part only (the eye translation follows as its own step, as in GLU).
Matrix4 LookAtRotation(double eyeX, double eyeY, double eyeZ, double centreX, double centreY, double centreZ,
                       double upX, double upY, double upZ);
void TransformPoint(const Matrix4& matrix, const float in[4], float out[4]);

class MatrixStack {
public:
    explicit MatrixStack(int maxDepth);

    const Matrix4& Top() const { return entries_.back().matrix; }
    uint64_t Serial() const { return entries_.back().serial; }
    int Depth() const { return static_cast<int>(entries_.size()); }

    bool Push();  // false (nothing changed) when the stack is full
    bool Pop();   // false (nothing changed) when only one matrix is left
    void LoadIdentity();
    void Load(const Matrix4& matrix);
    void Multiply(const Matrix4& matrix);  // top = top x matrix
    void Translate(float x, float y, float z);
    void Scale(float x, float y, float z);
    void Rotate(float angle, float x, float y, float z);

private:
    struct Entry {
        Matrix4 matrix;
        uint64_t serial;
    };
    void Changed();
    std::vector<Entry> entries_;
    int maxDepth_;
};

}  // namespace gllayer
