// Shader sources and the GLSL 1.20 to GLSL ES 3.00 conversion of the GL 1.x layer (see gl_layer_shaders.h).
#include "gl_layer/gl_layer_shaders.h"

#include <cctype>
#include <cstring>

namespace gllayer {

namespace {

const char* const kVertexShader = R"(#version 300 es
// The fixed-function vertex stage as the show uses it: no lighting, colours clamped to [0, 1].
in vec4 ql_Vertex;
in vec4 ql_VertexColor;
in vec3 ql_VertexSecondaryColor;
in vec4 ql_VertexTexCoord0;
in vec4 ql_VertexTexCoord1;
in vec4 ql_VertexTexCoord2;
in vec4 ql_VertexLine;  // a wide line's corner: the other end of its segment and the signed width
uniform mat4 ql_ModelViewProjection;
uniform mat4 ql_TextureMatrix[3];
uniform vec2 ql_ViewportSize;
out vec4 ql_TexCoord[3];
out vec4 ql_Color;
out vec4 ql_SecondaryColor;
void main()
{
    gl_Position = ql_ModelViewProjection * ql_Vertex;
    if (ql_VertexLine.w != 0.0) {
        // GL widens a line along the window's minor axis of the segment by its width in pixels; both
        // ends of a segment decide the axis from the same two numbers.
        vec4 other = ql_ModelViewProjection * vec4(ql_VertexLine.xyz, 1.0);
        vec2 here = gl_Position.xy / gl_Position.w * ql_ViewportSize;
        vec2 there = other.xy / other.w * ql_ViewportSize;
        vec2 across = abs(there.x - here.x) >= abs(there.y - here.y) ? vec2(0.0, 1.0 / ql_ViewportSize.y)
                                                                     : vec2(1.0 / ql_ViewportSize.x, 0.0);
        gl_Position.xy += across * ql_VertexLine.w * gl_Position.w;
    }
    ql_Color = clamp(ql_VertexColor, 0.0, 1.0);
    ql_SecondaryColor = vec4(clamp(ql_VertexSecondaryColor, 0.0, 1.0), 0.0);
    ql_TexCoord[0] = ql_TextureMatrix[0] * ql_VertexTexCoord0;
    ql_TexCoord[1] = ql_TextureMatrix[1] * ql_VertexTexCoord1;
    ql_TexCoord[2] = ql_TextureMatrix[2] * ql_VertexTexCoord2;
}
)";

// What every fragment shader of the layer starts with: the vertex stage's outputs as inputs.
const char* const kFragmentPrelude = R"(#version 300 es
precision highp float;
precision highp int;
precision highp sampler2D;
in vec4 ql_TexCoord[3];
in vec4 ql_Color;
in vec4 ql_SecondaryColor;
out vec4 ql_FragColor;
)";

struct Rename {
    const char* from;
    const char* to;
};

constexpr Rename kRenames[] = {
    {"gl_TexCoord", "ql_TexCoord"},
    {"gl_Color", "ql_Color"},
    {"gl_SecondaryColor", "ql_SecondaryColor"},
    {"gl_FragColor", "ql_FragColor"},
    {"texture2D", "texture"},
    {"texture2DProj", "textureProj"},
    {"varying", "in"},
};

bool IdentifierChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

}  // namespace

const char* VertexShaderSource()
{
    return kVertexShader;
}

std::string FixedFunctionFragmentSource(unsigned textureUnits, bool colourSum)
{
    std::string s = kFragmentPrelude;
    s += "uniform sampler2D ql_Texture0;\nuniform sampler2D ql_Texture1;\nuniform sampler2D ql_Texture2;\n";
    s += "void main()\n{\n    vec4 c = ql_Color;\n";
    for (unsigned unit = 0; unit < 3; ++unit) {
        if ((textureUnits & (1u << unit)) == 0) continue;
        const std::string u = std::to_string(unit);
        // GL_MODULATE: the texel times the incoming colour, coordinates divided by q.
        s += "    c *= texture(ql_Texture" + u + ", ql_TexCoord[" + u + "].xy / ql_TexCoord[" + u + "].w);\n";
    }
    if (colourSum) s += "    c.rgb += ql_SecondaryColor.rgb;\n";
    s += "    ql_FragColor = c;\n}\n";
    return s;
}

std::string ConvertFragmentShader(const std::string& source)
{
    std::string out = kFragmentPrelude;
    out.reserve(source.size() + out.size() + 64);
    size_t i = 0;
    while (i < source.size()) {
        // The version line gives way to the prelude's; the line itself stays (empty) so that the
        // compiler's line numbers still point into the file, counted from the end of the prelude.
        if (source.compare(i, 8, "#version") == 0 && (i == 0 || source[i - 1] == '\n')) {
            while (i < source.size() && source[i] != '\n') ++i;
            continue;
        }
        if (IdentifierChar(source[i]) && (i == 0 || !IdentifierChar(source[i - 1]))) {
            size_t end = i;
            while (end < source.size() && IdentifierChar(source[end])) ++end;
            const std::string word = source.substr(i, end - i);
            const char* replacement = nullptr;
            for (const Rename& r : kRenames)
                if (word == r.from) replacement = r.to;
            out += replacement ? replacement : word;
            i = end;
            continue;
        }
        out += source[i++];
    }
    return out;
}

}  // namespace gllayer
