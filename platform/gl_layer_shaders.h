// The programs of the GL 1.x layer: its one vertex shader (the fixed-function vertex stage: transform,
// colour clamping, texture matrices), the fixed-function fragment shader (texture units in modulate mode,
// colour sum) in one variant per set of enabled units, and the conversion of the show's GLSL 1.20
// fragment shaders into GLSL ES 3.00, done at load time so the effect files stay as they are.
#pragma once
#include <string>

namespace gllayer {

// Attribute locations every layer program is linked with.
enum LayerAttribute : unsigned {
    kAttributePosition = 0,
    kAttributeColour,
    kAttributeSecondary,
    kAttributeTexCoord0,  // then one per texture unit
};

const char* VertexShaderSource();
// textureUnits: bit n set = unit n modulates the colour; colourSum adds the secondary colour.
std::string FixedFunctionFragmentSource(unsigned textureUnits, bool colourSum);

// A GLSL 1.20 fragment shader rewritten for GLSL ES 3.00 and the layer's vertex shader: the version line,
// default precisions, gl_TexCoord, gl_Color, gl_SecondaryColor and gl_FragColor as the layer's inputs and
// output, texture2D / texture2DProj as texture / textureProj, varying as in. Identifiers are replaced
// whole only, comments and all.
std::string ConvertFragmentShader(const std::string& source);

}  // namespace gllayer
