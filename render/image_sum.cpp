// One-pass sum of additive image draws (see image_sum.h): a GLSL program built on first use, shared by
// both contexts.
#include "render/image_sum.h"

#include <GL/gl.h>

#include <cstdio>
#include <string>

#include "render/entry_points.h"
#include "render/shader_compiler.h"

namespace {

constexpr uint32_t kCurrentProgram = 0x8B8D;
constexpr uint32_t kTextureUnit0 = 0x84C0;
constexpr uint32_t kCurrentSecondaryColour = 0x8459;

const char* const kSource = R"(#version 120
uniform sampler2D image0;
uniform sampler2D image1;
uniform sampler2D image2;
uniform float countA;
uniform float countB;

// What one additive draw hands to the blending: colour x texel, rounded to the nearest byte, ties to
// even, as the driver turns a fragment's colour into a byte.
vec4 Drawn(vec3 colour, vec4 texel)
{
    vec4 x = clamp(vec4(colour, 1.0) * texel, 0.0, 1.0) * 255.0;
    vec4 r = floor(x + 0.5);
    r -= vec4(equal(r - x, vec4(0.5))) * mod(r, 2.0);
    return r / 255.0;
}

vec4 Image(sampler2D image, vec4 uv)
{
    vec4 texel = texture2DProj(image, uv);
    return countA * Drawn(gl_Color.rgb, texel) + countB * Drawn(gl_SecondaryColor.rgb, texel);
}

void main()
{
    gl_FragColor = Image(image0, gl_TexCoord[0]) + Image(image1, gl_TexCoord[1]) + Image(image2, gl_TexCoord[2]);
}
)";

enum class State { Unbuilt, Ready, Failed };
State state = State::Unbuilt;
uint32_t program = 0;
int countA = -1, countB = -1;

bool Ready()
{
    if (state != State::Unbuilt) return state == State::Ready;
    state = State::Failed;
    // Resolved here, outside glBegin/glEnd, where the driver may not be asked what it offers.
    MultiTexCoord2f(kTextureUnit0 + kImageSumImages - 1, 0.0f, 0.0f);
    float secondary[4] = {};
    glGetFloatv(kCurrentSecondaryColour, secondary);
    SecondaryColor3f(secondary[0], secondary[1], secondary[2]);
    if (!EntryPointResolved(kEntryMultiTexCoord2f) || !EntryPointResolved(kEntrySecondaryColor3f))
        return false;
    std::string log;
    program = CompileFragmentProgram(kSource, &log);
    if (!program) {
        std::fprintf(stderr, "image sum: the program does not compile; drawing image by image\n%s\n",
                     log.c_str());
        return false;
    }
    int running = 0;
    glGetIntegerv(kCurrentProgram, &running);
    UseProgram(program);
    const char* samplers[kImageSumImages] = {"image0", "image1", "image2"};
    for (int i = 0; i < kImageSumImages; ++i) Uniform1i(GetUniformLocation(program, samplers[i]), i);
    countA = GetUniformLocation(program, "countA");
    countB = GetUniformLocation(program, "countB");
    UseProgram(static_cast<uint32_t>(running));
    state = State::Ready;
    return true;
}

}  // namespace

bool DrawImageSum(const ImageSumQuad& quad)
{
    return DrawImageSums(quad, &quad.corners, 1);
}

bool DrawImageSums(const ImageSumQuad& quad, const float (*corners)[4][3], int count)
{
    if (!Ready()) return false;
    int running = 0;
    glGetIntegerv(kCurrentProgram, &running);
    UseProgram(program);
    // The colours reach the program as the two interpolated colours, exactly as a draw's colour would.
    glColor3fv(quad.colourA);
    SecondaryColor3f(quad.colourB[0], quad.colourB[1], quad.colourB[2]);
    Uniform1f(countA, static_cast<float>(quad.countA));
    Uniform1f(countB, static_cast<float>(quad.countB));
    for (int i = kImageSumImages - 1; i >= 0; --i) {
        ActiveTexture(kTextureUnit0 + static_cast<uint32_t>(i));
        glBindTexture(GL_TEXTURE_2D, quad.textures[i]);
    }
    glBegin(GL_QUADS);
    for (int q = 0; q < count; ++q) {
        for (int corner = 0; corner < 4; ++corner) {
            for (int i = 0; i < kImageSumImages; ++i)
                MultiTexCoord2f(kTextureUnit0 + static_cast<uint32_t>(i), quad.texCoords[i][corner][0],
                                quad.texCoords[i][corner][1]);
            glVertex3fv(corners[q][corner]);
        }
    }
    glEnd();
    glBindTexture(GL_TEXTURE_2D, quad.textures[kImageSumImages - 1]);
    UseProgram(static_cast<uint32_t>(running));
    return true;
}
