// Programs of the GL 1.x layer: the show's shader objects with their fragment shaders converted for
// GLSL ES 3.00 and linked with the layer's vertex shader, the fixed-function programs, and the uniforms
// the layer feeds every program it draws with (transform, texture matrices). Depends on the ES table.
#include <cstdio>
#include <cstring>
#include <string>

#include "gl_layer/gl_layer_internal.h"
#include "gl_layer/gl_layer_shaders.h"

namespace gllayer {

namespace {

const char* const kAttributeNames[] = {"ql_Vertex",          "ql_VertexColor",     "ql_VertexSecondaryColor",
                                       "ql_VertexTexCoord0", "ql_VertexTexCoord1", "ql_VertexTexCoord2",
                                       "ql_VertexLine"};

void PrintShaderLog(GLuint shader, const char* what)
{
    char log[2048] = {};
    GLsizei length = 0;
    es.GetShaderInfoLog(shader, sizeof log - 1, &length, log);
    std::fprintf(stderr, "GL layer: %s does not compile:\n%s\n", what, log);
}

GLuint CompileShader(GLenum type, const std::string& source, const char* what)
{
    const GLuint shader = es.CreateShader(type);
    const char* text = source.c_str();
    es.ShaderSource(shader, 1, &text, nullptr);
    es.CompileShader(shader);
    GLint compiled = 0;
    es.GetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (!compiled) PrintShaderLog(shader, what);
    return shader;
}

GLuint LayerVertexShader()
{
    if (gLayer->vertexShader == 0)
        gLayer->vertexShader =
            CompileShader(GL_VERTEX_SHADER, VertexShaderSource(), "the layer's vertex shader");
    return gLayer->vertexShader;
}

// Fills in the locations of the layer's uniforms once a program is linked.
void NoteLinked(GLuint program)
{
    ProgramInfo& info = gLayer->programs[program];
    const ProgramInfo stages = info;
    info = ProgramInfo{};
    info.ownVertexStage = stages.ownVertexStage;
    info.layerVertexStage = stages.layerVertexStage;
    info.modelViewProjection = es.GetUniformLocation(program, "ql_ModelViewProjection");
    info.viewportSize = es.GetUniformLocation(program, "ql_ViewportSize");
    for (int unit = 0; unit < kLayerTextureUnits; ++unit) {
        const std::string name = "ql_TextureMatrix[" + std::to_string(unit) + "]";
        info.textureMatrices[unit] = es.GetUniformLocation(program, name.c_str());
    }
}

void LinkWithLayer(GLuint program)
{
    for (GLuint i = 0; i < sizeof kAttributeNames / sizeof *kAttributeNames; ++i)
        es.BindAttribLocation(program, i, kAttributeNames[i]);
    es.LinkProgram(program);
    GLint linked = 0;
    es.GetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked) NoteLinked(program);
}

// The show's shader objects.

GLuint LayerCreateShader(GLenum type)
{
    if (!gLayer) return 0;
    const GLuint shader = es.CreateShader(type);
    if (shader) gLayer->shaderTypes[shader] = type;
    return shader;
}

void LayerDeleteShader(GLuint shader)
{
    if (!gLayer) return;
    gLayer->shaderTypes.erase(shader);
    es.DeleteShader(shader);
}

void LayerShaderSource(GLuint shader, GLsizei count, const GLchar* const* strings, const GLint* lengths)
{
    if (!gLayer) return;
    std::string source;
    for (GLsizei i = 0; i < count; ++i)
        source.append(strings[i],
                      lengths && lengths[i] >= 0 ? static_cast<size_t>(lengths[i]) : std::strlen(strings[i]));
    const auto type = gLayer->shaderTypes.find(shader);
    if (type != gLayer->shaderTypes.end() && type->second == GL_FRAGMENT_SHADER &&
        source.find("#version 300 es") == std::string::npos)
        source = ConvertFragmentShader(source);
    const char* text = source.c_str();
    es.ShaderSource(shader, 1, &text, nullptr);
}

void LayerAttachShader(GLuint program, GLuint shader)
{
    if (!gLayer) return;
    es.AttachShader(program, shader);
    const auto type = gLayer->shaderTypes.find(shader);
    if (type != gLayer->shaderTypes.end() && type->second == GL_VERTEX_SHADER)
        gLayer->programs[program].ownVertexStage = true;
}

void LayerLinkProgram(GLuint program)
{
    if (!gLayer) return;
    FlushDraws();
    // A program of fragment shaders only gets the fixed-function vertex stage, as GL 2.x gives it.
    ProgramInfo& info = gLayer->programs[program];
    if (!info.ownVertexStage && !info.layerVertexStage) {
        es.AttachShader(program, LayerVertexShader());
        info.layerVertexStage = true;
    }
    LinkWithLayer(program);
}

void LayerUseProgram(GLuint program)
{
    if (!gLayer) return;
    if (S().program != program) FlushDraws();
    S().program = program;
    if (program != 0) UseEsProgram(program);
}

void LayerDeleteProgram(GLuint program)
{
    if (!gLayer || program == 0) return;
    FlushDraws();
    gLayer->programs.erase(program);
    es.DeleteProgram(program);
}

// Uniforms go to the block's program, which the ES context runs whenever the block has one.
bool UniformTarget()
{
    if (!gLayer || S().program == 0) {
        SetError(GL_INVALID_OPERATION);
        return false;
    }
    FlushDraws();
    UseEsProgram(S().program);
    return true;
}

void LayerUniform1i(GLint location, GLint value)
{
    if (UniformTarget()) es.Uniform1i(location, value);
}

void LayerUniform1f(GLint location, GLfloat value)
{
    if (UniformTarget()) es.Uniform1f(location, value);
}

void LayerUniform3f(GLint location, GLfloat x, GLfloat y, GLfloat z)
{
    if (UniformTarget()) es.Uniform3f(location, x, y, z);
}

}  // namespace

GLuint FixedFunctionProgram(unsigned textureUnits, bool colourSum)
{
    const unsigned key = (textureUnits & 7u) | (colourSum ? 8u : 0u);
    GLuint& program = gLayer->fixedFunction[key];
    if (program) return program;
    const GLuint fragment = CompileShader(
        GL_FRAGMENT_SHADER, FixedFunctionFragmentSource(textureUnits, colourSum), "a fixed-function shader");
    program = es.CreateProgram();
    es.AttachShader(program, LayerVertexShader());
    gLayer->programs[program].layerVertexStage = true;
    es.AttachShader(program, fragment);
    LinkWithLayer(program);
    es.DeleteShader(fragment);
    const GLuint running = gLayer->esProgram;
    UseEsProgram(program);
    for (int unit = 0; unit < kLayerTextureUnits; ++unit) {
        const std::string name = "ql_Texture" + std::to_string(unit);
        const GLint location = es.GetUniformLocation(program, name.c_str());
        if (location >= 0) es.Uniform1i(location, unit);
    }
    if (running) UseEsProgram(running);
    return program;
}

ProgramInfo& ProgramInfoFor(GLuint program)
{
    return gLayer->programs[program];
}

bool TextureComplete(GLuint texture)
{
    const auto found = gLayer->textures.find(texture);
    if (found == gLayer->textures.end()) return false;
    const TextureInfo& t = found->second;
    // The layer never makes mipmaps, so only the non-mipmapped filters leave a texture complete.
    return t.width > 0 && t.height > 0 && (t.minFilter == GL_NEAREST || t.minFilter == GL_LINEAR);
}

void* ProgramProcAddress(const char* name)
{
    const struct {
        const char* name;
        void* address;
    } table[] = {
        {"glCreateShader", reinterpret_cast<void*>(&LayerCreateShader)},
        {"glDeleteShader", reinterpret_cast<void*>(&LayerDeleteShader)},
        {"glShaderSource", reinterpret_cast<void*>(&LayerShaderSource)},
        {"glCompileShader", reinterpret_cast<void*>(es.CompileShader)},
        {"glGetShaderiv", reinterpret_cast<void*>(es.GetShaderiv)},
        {"glGetShaderInfoLog", reinterpret_cast<void*>(es.GetShaderInfoLog)},
        {"glCreateProgram", reinterpret_cast<void*>(es.CreateProgram)},
        {"glDeleteProgram", reinterpret_cast<void*>(&LayerDeleteProgram)},
        {"glAttachShader", reinterpret_cast<void*>(&LayerAttachShader)},
        {"glLinkProgram", reinterpret_cast<void*>(&LayerLinkProgram)},
        {"glGetProgramiv", reinterpret_cast<void*>(es.GetProgramiv)},
        {"glGetProgramInfoLog", reinterpret_cast<void*>(es.GetProgramInfoLog)},
        {"glUseProgram", reinterpret_cast<void*>(&LayerUseProgram)},
        {"glGetUniformLocation", reinterpret_cast<void*>(es.GetUniformLocation)},
        {"glUniform1i", reinterpret_cast<void*>(&LayerUniform1i)},
        {"glUniform1f", reinterpret_cast<void*>(&LayerUniform1f)},
        {"glUniform3f", reinterpret_cast<void*>(&LayerUniform3f)},
    };
    for (const auto& entry : table)
        if (std::strcmp(entry.name, name) == 0) return entry.address;
    return nullptr;
}

}  // namespace gllayer
