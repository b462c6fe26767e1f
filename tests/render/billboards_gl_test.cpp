// Billboards and the film overlay drawn on a real GL context, with the pixels read back.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "math/random.h"
#include "render/billboards.h"
#include "render/engine.h"
#include "tests/support/gl_test_window.h"

namespace {

struct GlCanvas : testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(OpenTestGlWindow(200, 200));
        glViewport(0, 0, 200, 200);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-10, 10, -10, 10, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
        glDisable(GL_DEPTH_TEST);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(1, 1, 1);
    }
    // Bounding box of the lit pixels.
    void LitBox(int& x0, int& y0, int& x1, int& y1)
    {
        std::vector<unsigned char> p(200 * 200 * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, 200, 200, GL_RGB, GL_UNSIGNED_BYTE, p.data());
        x0 = y0 = 1000;
        x1 = y1 = -1;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x)
                if (p[(y * 200 + x) * 3] > 128) {
                    x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
                }
    }
};

}  // namespace

TEST_F(GlCanvas, BillboardIgnoresRotationAndScaleButKeepsPosition)
{
    glTranslatef(3.0f, -2.0f, 0.0f);
    glRotatef(40.0f, 0.3f, 1.0f, 0.2f);
    glScalef(3.0f, 0.2f, 5.0f);
    DrawBillboard(0.0, 2.0, 1.0);
    int x0, y0, x1, y1;
    LitBox(x0, y0, x1, y1);
    // 10 pixels a unit: centre (3, -2) -> (130, 80); half-extents 2 x 1 -> 40 x 20 pixels.
    EXPECT_NEAR(x0, 110, 1);
    EXPECT_NEAR(x1, 149, 1);
    EXPECT_NEAR(y0, 70, 1);
    EXPECT_NEAR(y1, 89, 1);
}

TEST_F(GlCanvas, RotatedBillboardIsShearedAlongTheScreenAxes)
{
    DrawBillboard(45.0, 4.0, 1.0);  // rotated first, then stretched: reaches 4 * sqrt(2) across
    int x0, y0, x1, y1;
    LitBox(x0, y0, x1, y1);
    EXPECT_NEAR(x1 - x0 + 1, 113, 5);  // the thin tips cover few pixels
    EXPECT_NEAR(y1 - y0 + 1, 28, 3);
}

TEST_F(GlCanvas, FilmOverlayClampsAlphaAndLeavesBlendingOn)
{
    Engine& engine = *new Engine();
    SeedRandom(5);
    DrawFilmOverlay(1.7, 0.18, engine);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[3], 1.0f);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    DrawFilmOverlay(-0.2, 0.18, engine);
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[3], 0.0f);
    delete &engine;
}
