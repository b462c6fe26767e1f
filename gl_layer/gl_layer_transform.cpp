// The matrix calls of the GL 1.x layer and the GLU projections the show uses (gluPerspective, gluLookAt,
// gluOrtho2D), on the current block's stacks. Inside a display list they are recorded.
#include <GL/glu.h>

#include "gl_layer/gl_layer_internal.h"

using namespace gllayer;

namespace {

bool Ready()
{
    return gLayer && gLayer->current;
}

MatrixStack& Stack()
{
    return S().CurrentStack();
}

ListOp Op(ListOp::Kind kind, float a = 0, float b = 0, float c = 0, float d = 0)
{
    ListOp op{};
    op.kind = kind;
    op.values[0] = a, op.values[1] = b, op.values[2] = c, op.values[3] = d;
    return op;
}

void Multiply(const Matrix4& m)
{
    ListOp op = Op(ListOp::Multiply);
    for (int i = 0; i < 16; ++i) op.values[i] = m.m[i];
    if (!Record(op)) Stack().Multiply(m);
}

}  // namespace

void glMatrixMode(GLenum mode)
{
    if (!Ready()) return;
    if (mode != GL_MODELVIEW && mode != GL_PROJECTION && mode != GL_TEXTURE) return SetError(GL_INVALID_ENUM);
    S().a.matrixMode = mode;
}

void glLoadIdentity()
{
    if (Ready() && !Record(Op(ListOp::LoadIdentity))) Stack().LoadIdentity();
}

void glLoadMatrixf(const GLfloat* m)
{
    if (!Ready()) return;
    Matrix4 matrix;
    for (int i = 0; i < 16; ++i) matrix.m[i] = m[i];
    Stack().Load(matrix);
}

void glLoadMatrixd(const GLdouble* m)
{
    float f[16];
    for (int i = 0; i < 16; ++i) f[i] = static_cast<float>(m[i]);
    glLoadMatrixf(f);
}

void glMultMatrixf(const GLfloat* m)
{
    if (!Ready()) return;
    Matrix4 matrix;
    for (int i = 0; i < 16; ++i) matrix.m[i] = m[i];
    Multiply(matrix);
}

void glMultMatrixd(const GLdouble* m)
{
    float f[16];
    for (int i = 0; i < 16; ++i) f[i] = static_cast<float>(m[i]);
    glMultMatrixf(f);
}

void glPushMatrix()
{
    if (!Ready() || Record(Op(ListOp::Push))) return;
    if (!Stack().Push()) SetError(GL_STACK_OVERFLOW);
}

void glPopMatrix()
{
    if (!Ready() || Record(Op(ListOp::Pop))) return;
    if (!Stack().Pop()) SetError(GL_STACK_UNDERFLOW);
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z)
{
    if (Ready() && !Record(Op(ListOp::Translate, x, y, z))) Stack().Translate(x, y, z);
}

void glTranslated(GLdouble x, GLdouble y, GLdouble z)
{
    glTranslatef(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

void glScalef(GLfloat x, GLfloat y, GLfloat z)
{
    if (Ready() && !Record(Op(ListOp::Scale, x, y, z))) Stack().Scale(x, y, z);
}

void glScaled(GLdouble x, GLdouble y, GLdouble z)
{
    glScalef(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z)
{
    if (Ready() && !Record(Op(ListOp::Rotate, angle, x, y, z))) Stack().Rotate(angle, x, y, z);
}

void glRotated(GLdouble angle, GLdouble x, GLdouble y, GLdouble z)
{
    glRotatef(static_cast<float>(angle), static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar)
{
    if (!Ready()) return;
    if (left == right || bottom == top || zNear == zFar) return SetError(GL_INVALID_VALUE);
    Multiply(OrthoMatrix(left, right, bottom, top, zNear, zFar));
}

void glFrustum(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar)
{
    if (!Ready()) return;
    if (zNear <= 0.0 || zFar <= 0.0 || left == right || bottom == top || zNear == zFar)
        return SetError(GL_INVALID_VALUE);
    Multiply(FrustumMatrix(left, right, bottom, top, zNear, zFar));
}

void gluPerspective(GLdouble fovY, GLdouble aspect, GLdouble zNear, GLdouble zFar)
{
    if (!Ready()) return;
    const double half = fovY / 2.0;
    if (zFar == zNear || aspect == 0.0 || half == 0.0 || half == 180.0) return;  // as GLU: nothing happens
    Multiply(PerspectiveMatrix(fovY, aspect, zNear, zFar));
}

void gluOrtho2D(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top)
{
    glOrtho(left, right, bottom, top, -1.0, 1.0);
}

void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centreX, GLdouble centreY,
               GLdouble centreZ, GLdouble upX, GLdouble upY, GLdouble upZ)
{
    if (!Ready()) return;
    Multiply(LookAtRotation(eyeX, eyeY, eyeZ, centreX, centreY, centreZ, upX, upY, upZ));
    glTranslated(-eyeX, -eyeY, -eyeZ);
}
