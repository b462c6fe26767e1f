// Shader sources of the GL 1.x layer: the fixed-function vertex and fragment stages in GLSL ES 3.00, and
// the conversion of the show's GLSL 1.20 fragment shaders, done when they load so the effect files stay
// as they are. Plain C++.
//
// The vertex stage transforms, clamps colours and applies the texture matrices; the fragment stage
// modulates by the enabled texture units and adds the secondary colour, one variant per combination.
#pragma once
#include <string>

namespace gllayer {

// Attribute locations every layer program is linked with.
enum LayerAttribute : unsigned {
    kAttributePosition = 0,
    kAttributeColour,
    kAttributeSecondary,
    kAttributeTexCoord0,  // then one per texture unit
    kAttributeLine = kAttributeTexCoord0 + 3,
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
