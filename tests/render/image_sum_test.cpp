// The one-pass image sum against the additive draws it stands for, on the GL driver at hand: the bytes
// must be the same, since the show's picture is held to its reference frames pixel for pixel. A driver
// that turned colour x texel into a byte some other way than the program does would fail here.
#include "render/image_sum.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/render/pixels.h"
#include "tests/support/gl_test_window.h"

namespace {

constexpr int kSize = 256;

struct ImageSumTest : testing::Test {
    GLuint textures[kImageSumImages] = {};

    void SetUp() override
    {
        ASSERT_TRUE(OpenTestGlWindow(kSize, kSize));
        glGenTextures(kImageSumImages, textures);
        std::mt19937 random(7);
        for (GLuint texture : textures) {
            // Mostly dark texels with bright specks, like the sprite images: many small products to round.
            std::vector<uint8_t> rgb(48 * 40 * 3);
            for (uint8_t& c : rgb)
                c = static_cast<uint8_t>(random() % 5 == 0 ? random() % 256 : random() % 12);
            glBindTexture(GL_TEXTURE_2D, texture);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 48, 40, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        }
    }
    void TearDown() override { glDeleteTextures(kImageSumImages, textures); }

    // A tilted quad in perspective over a grey background, additive, as the layers draw their sprites.
    void Begin()
    {
        glViewport(0, 0, kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(75.0, 1.0, 0.01, 80.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(0.1, 0.2, 1.3, 0.1, 0.2, 0.0, 0.0, 1.0, 0.0);
        glRotatef(23.0f, 0.1f, 0.3f, 1.0f);
        glClearColor(0.2f, 0.1f, 0.05f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE);
    }

    ImageSumQuad Quad() const
    {
        ImageSumQuad quad;
        const float corners[4][3] = {{-0.9f, -0.7f, 0}, {0.8f, -0.9f, 0}, {0.7f, 0.8f, 0}, {-0.8f, 0.9f, 0}};
        const float coords[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        for (int c = 0; c < 4; ++c) {
            for (int k = 0; k < 3; ++k) quad.corners[c][k] = corners[c][k];
            for (int i = 0; i < kImageSumImages; ++i) {
                quad.textures[i] = textures[i];
                // The middle image mirrored, as the detail layer's sprites may be.
                quad.texCoords[i][c][0] = i == 1 ? 1.0f - coords[c][0] : coords[c][0];
                quad.texCoords[i][c][1] = coords[c][1];
            }
        }
        return quad;
    }

    void DrawSeparately(const ImageSumQuad& quad, const float (&colour)[3], int times)
    {
        for (int n = 0; n < times; ++n) {
            for (int i = 0; i < kImageSumImages; ++i) {
                glBindTexture(GL_TEXTURE_2D, quad.textures[i]);
                glColor3fv(colour);
                glBegin(GL_QUADS);
                for (int c = 0; c < 4; ++c) {
                    glTexCoord2fv(quad.texCoords[i][c]);
                    glVertex3fv(quad.corners[c]);
                }
                glEnd();
            }
        }
    }
};

TEST_F(ImageSumTest, OnePassGivesTheBytesOfTheSeparateDraws)
{
    // The player's sprites: four dim trail copies and the current one; the detail sprites: one colour.
    const float dim[3] = {0.2f, 0.0f, 0.0f}, white[3] = {1.0f, 1.0f, 1.0f}, red[3] = {1.0f, 0.0f, 0.0f};
    struct Case {
        const float (*a)[3];
        int countA;
        const float (*b)[3];
        int countB;
    } cases[] = {{&dim, 4, &white, 1}, {&red, 1, &white, 0}, {&dim, 1, &dim, 0}};
    for (const Case& c : cases) {
        ImageSumQuad quad = Quad();
        for (int k = 0; k < 3; ++k) quad.colourA[k] = (*c.a)[k], quad.colourB[k] = (*c.b)[k];
        quad.countA = c.countA;
        quad.countB = c.countB;

        Begin();
        DrawSeparately(quad, *c.a, c.countA);
        DrawSeparately(quad, *c.b, c.countB);
        const Picture separate = ReadFramebuffer(kSize, kSize);
        Begin();
        ASSERT_TRUE(DrawImageSum(quad)) << "the driver cannot run the image-sum program";
        const Picture summed = ReadFramebuffer(kSize, kSize);

        int differing = 0;
        for (size_t i = 0; i < separate.rgba.size(); i += 4)
            for (size_t k = 0; k < 3; ++k) differing += separate.rgba[i + k] != summed.rgba[i + k] ? 1 : 0;
        EXPECT_EQ(differing, 0) << "colour A x " << c.countA << ", colour B x " << c.countB;
        EXPECT_GT(summed.CountLit(), kSize * kSize / 4) << "the quad should cover much of the view";
    }
}

}  // namespace
