// The OpenGL ES 3.0 functions the GL 1.x layer draws with, resolved by name when the layer starts (the
// program defines the GL 1.x names itself, so the real ones are reached only through this table).
// Main thread only; valid while the ES context that resolved them lives.
#pragma once
#include <GL/gl.h>
#include <GL/glext.h>

// X(return type, name without the "gl" prefix, parameter list)
#define QUARNEL_ES_FUNCTIONS(X)                                                                          \
    X(void, Enable, (GLenum))                                                                            \
    X(void, Disable, (GLenum))                                                                           \
    X(void, BlendFunc, (GLenum, GLenum))                                                                 \
    X(void, ClearColor, (GLfloat, GLfloat, GLfloat, GLfloat))                                            \
    X(void, ClearDepthf, (GLfloat))                                                                      \
    X(void, Clear, (GLbitfield))                                                                         \
    X(void, ColorMask, (GLboolean, GLboolean, GLboolean, GLboolean))                                     \
    X(void, DepthFunc, (GLenum))                                                                         \
    X(void, DepthMask, (GLboolean))                                                                      \
    X(void, DepthRangef, (GLfloat, GLfloat))                                                             \
    X(void, CullFace, (GLenum))                                                                          \
    X(void, FrontFace, (GLenum))                                                                         \
    X(void, PolygonOffset, (GLfloat, GLfloat))                                                           \
    X(void, Scissor, (GLint, GLint, GLsizei, GLsizei))                                                   \
    X(void, Viewport, (GLint, GLint, GLsizei, GLsizei))                                                  \
    X(void, ActiveTexture, (GLenum))                                                                     \
    X(void, BindTexture, (GLenum, GLuint))                                                               \
    X(void, GenTextures, (GLsizei, GLuint*))                                                             \
    X(void, DeleteTextures, (GLsizei, const GLuint*))                                                    \
    X(void, TexImage2D, (GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*))    \
    X(void, TexSubImage2D, (GLenum, GLint, GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, const void*)) \
    X(void, TexParameteri, (GLenum, GLenum, GLint))                                                      \
    X(void, TexParameterf, (GLenum, GLenum, GLfloat))                                                    \
    X(void, GetTexParameteriv, (GLenum, GLenum, GLint*))                                                 \
    X(void, CopyTexSubImage2D, (GLenum, GLint, GLint, GLint, GLint, GLint, GLsizei, GLsizei))            \
    X(void, PixelStorei, (GLenum, GLint))                                                                \
    X(void, ReadPixels, (GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*))                         \
    X(void, ReadBuffer, (GLenum))                                                                        \
    X(void, DrawBuffers, (GLsizei, const GLenum*))                                                       \
    X(void, Finish, ())                                                                                  \
    X(void, Flush, ())                                                                                   \
    X(GLenum, GetError, ())                                                                              \
    X(const GLubyte*, GetString, (GLenum))                                                               \
    X(void, GetIntegerv, (GLenum, GLint*))                                                               \
    X(void, GetFloatv, (GLenum, GLfloat*))                                                               \
    X(void, GenBuffers, (GLsizei, GLuint*))                                                              \
    X(void, DeleteBuffers, (GLsizei, const GLuint*))                                                     \
    X(void, BindBuffer, (GLenum, GLuint))                                                                \
    X(void, BufferData, (GLenum, GLsizeiptr, const void*, GLenum))                                       \
    X(void, BufferSubData, (GLenum, GLintptr, GLsizeiptr, const void*))                                  \
    X(void, GenVertexArrays, (GLsizei, GLuint*))                                                         \
    X(void, DeleteVertexArrays, (GLsizei, const GLuint*))                                                \
    X(void, BindVertexArray, (GLuint))                                                                   \
    X(void, VertexAttribPointer, (GLuint, GLint, GLenum, GLboolean, GLsizei, const void*))               \
    X(void, EnableVertexAttribArray, (GLuint))                                                           \
    X(void, DisableVertexAttribArray, (GLuint))                                                          \
    X(void, VertexAttrib4fv, (GLuint, const GLfloat*))                                                   \
    X(void, DrawArrays, (GLenum, GLint, GLsizei))                                                        \
    X(GLuint, CreateShader, (GLenum))                                                                    \
    X(void, DeleteShader, (GLuint))                                                                      \
    X(void, ShaderSource, (GLuint, GLsizei, const GLchar* const*, const GLint*))                         \
    X(void, CompileShader, (GLuint))                                                                     \
    X(void, GetShaderiv, (GLuint, GLenum, GLint*))                                                       \
    X(void, GetShaderInfoLog, (GLuint, GLsizei, GLsizei*, GLchar*))                                      \
    X(GLuint, CreateProgram, ())                                                                         \
    X(void, DeleteProgram, (GLuint))                                                                     \
    X(void, AttachShader, (GLuint, GLuint))                                                              \
    X(void, BindAttribLocation, (GLuint, GLuint, const GLchar*))                                         \
    X(void, LinkProgram, (GLuint))                                                                       \
    X(void, GetProgramiv, (GLuint, GLenum, GLint*))                                                      \
    X(void, GetProgramInfoLog, (GLuint, GLsizei, GLsizei*, GLchar*))                                     \
    X(void, UseProgram, (GLuint))                                                                        \
    X(GLint, GetUniformLocation, (GLuint, const GLchar*))                                                \
    X(void, Uniform1i, (GLint, GLint))                                                                   \
    X(void, Uniform1f, (GLint, GLfloat))                                                                 \
    X(void, Uniform2f, (GLint, GLfloat, GLfloat))                                                        \
    X(void, Uniform3f, (GLint, GLfloat, GLfloat, GLfloat))                                               \
    X(void, UniformMatrix4fv, (GLint, GLsizei, GLboolean, const GLfloat*))                               \
    X(void, GenFramebuffers, (GLsizei, GLuint*))                                                         \
    X(void, DeleteFramebuffers, (GLsizei, const GLuint*))                                                \
    X(void, BindFramebuffer, (GLenum, GLuint))                                                           \
    X(void, FramebufferTexture2D, (GLenum, GLenum, GLenum, GLuint, GLint))                               \
    X(void, FramebufferRenderbuffer, (GLenum, GLenum, GLenum, GLuint))                                   \
    X(GLenum, CheckFramebufferStatus, (GLenum))                                                          \
    X(void, GenRenderbuffers, (GLsizei, GLuint*))                                                        \
    X(void, DeleteRenderbuffers, (GLsizei, const GLuint*))                                               \
    X(void, BindRenderbuffer, (GLenum, GLuint))                                                          \
    X(void, RenderbufferStorage, (GLenum, GLenum, GLsizei, GLsizei))

namespace gllayer {

struct EsFunctions {
#define QUARNEL_ES_MEMBER(ret, name, params) ret(*name) params = nullptr;
    QUARNEL_ES_FUNCTIONS(QUARNEL_ES_MEMBER)
#undef QUARNEL_ES_MEMBER
};

extern EsFunctions es;

using EsLookup = void* (*)(const char* name);
// Fills the table; false (naming the first missing function on standard error) when one is missing.
bool LoadEsFunctions(EsLookup lookup);

}  // namespace gllayer
