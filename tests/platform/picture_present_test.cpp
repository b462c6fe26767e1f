// The picture's present: in a window of another size the show's picture is drawn off screen and each
// present shows it centred at its shape with black bars (1:1 exact, scaled filtered); the show's GL state
// is as it was after a present; reading back gives the picture; a window of the picture's size draws
// straight into the window.
#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/sdl/sdl_window.h"
#include "platform/window.h"
#include "tests/support/gl_test_window.h"

namespace {

constexpr GLenum kReadFramebuffer = 0x8CA8, kDrawFramebufferBinding = 0x8CA6;

struct Rgb {
    int r, g, b;
};

// The window's own back buffer (framebuffer 0) at (x, y), counted from the top left corner.
class WindowPixels {
public:
    WindowPixels(int width, int height) : width_(width), height_(height), pixels_(width * height * 3)
    {
        using Bind = void (*)(GLenum, GLuint);
        auto bind = reinterpret_cast<Bind>(SDL_GL_GetProcAddress("glBindFramebuffer"));
        GLint before = 0;
        glGetIntegerv(0x8CAA, &before);  // GL_READ_FRAMEBUFFER_BINDING
        bind(kReadFramebuffer, 0);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels_.data());
        bind(kReadFramebuffer, static_cast<GLuint>(before));
    }
    Rgb At(int x, int y) const
    {
        const unsigned char* p = &pixels_[((height_ - 1 - y) * width_ + x) * 3];
        return Rgb{p[0], p[1], p[2]};
    }
    bool Black(int x, int y) const
    {
        const Rgb c = At(x, y);
        return c.r == 0 && c.g == 0 && c.b == 0;
    }
    bool Red(int x, int y) const
    {
        const Rgb c = At(x, y);
        return c.r == 255 && c.g == 0 && c.b == 0;
    }

private:
    int width_, height_;
    std::vector<unsigned char> pixels_;
};

// A red picture with one blue pixel in its bottom left corner, drawn as the show would draw: into
// whatever the window's context has bound. Leaves a scissor box on and a blue clear colour behind.
void DrawPicture()
{
    glDisable(GL_SCISSOR_TEST);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glScissor(0, 0, 1, 1);
    glEnable(GL_SCISSOR_TEST);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

class PicturePresent : public ::testing::Test {
protected:
    void Open(int width, int height)
    {
        ASSERT_TRUE(OpenTestGlWindow(width, height));
        window_ = MainSdlWindow();
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override
    {
        ForgetPicture(true);
        CloseTestGlWindow();
    }
    SDL_Window* window_ = nullptr;
};

TEST_F(PicturePresent, AWiderWindowShowsThePictureOneToOneBetweenBarsAndTheShowsStateStays)
{
    Open(1000, 600);
    FollowWindowSizeAfterSwap(window_);
    ASSERT_TRUE(PictureIsOffscreen());
    DrawPicture();
    GLint drawBinding = 0;
    glGetIntegerv(kDrawFramebufferBinding, &drawBinding);
    EXPECT_NE(drawBinding, 0) << "the show draws into the off-screen picture";

    PresentPictureBeforeSwap(window_);
    // What the show set is as it set it.
    GLint binding = 0, box[4] = {};
    GLfloat clear[4] = {};
    glGetIntegerv(kDrawFramebufferBinding, &binding);
    glGetIntegerv(GL_SCISSOR_BOX, box);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(binding, drawBinding);
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_EQ(box[2], 1);
    EXPECT_EQ(clear[2], 1.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    const WindowPixels shown(1000, 600);
    for (int y : {0, 299, 599}) {
        EXPECT_TRUE(shown.Black(0, y) && shown.Black(99, y)) << y;     // the left bar
        EXPECT_TRUE(shown.Black(900, y) && shown.Black(999, y)) << y;  // the right bar
        EXPECT_TRUE(shown.Red(101, y) && shown.Red(899, y)) << y;
    }
    const Rgb corner = shown.At(100, 599);  // the picture's bottom left pixel, exactly
    EXPECT_TRUE(corner.r == 0 && corner.g == 0 && corner.b == 255);
    EXPECT_TRUE(shown.Red(101, 599) && shown.Red(100, 598));

    // Reading back gives the picture itself, top row first.
    std::vector<unsigned char> picture(kPictureWidth * kPictureHeight * 3);
    ReadWindowPixels(kPictureWidth, kPictureHeight, picture.data());
    const unsigned char* bottomLeft = &picture[(kPictureHeight - 1) * kPictureWidth * 3];
    EXPECT_EQ(bottomLeft[2], 255);
    EXPECT_EQ(picture[0], 255);
    EXPECT_EQ(picture[2], 0);
}

TEST_F(PicturePresent, AWindowOfAnotherShapeShowsThePictureScaledAtFourToThree)
{
    Open(1600, 900);
    FollowWindowSizeAfterSwap(window_);
    ASSERT_TRUE(PictureIsOffscreen());
    DrawPicture();
    PresentPictureBeforeSwap(window_);
    const WindowPixels shown(1600, 900);
    for (int y : {0, 450, 899}) {
        EXPECT_TRUE(shown.Black(199, y) && shown.Black(1400, y)) << y;  // 1200 x 900 in the middle
        EXPECT_TRUE(shown.Red(202, y) && shown.Red(800, y) && shown.Red(1399, y)) << y;
    }
    const ScreenBox box = PictureBoxInWindow(window_);
    EXPECT_EQ(box.x, 200);
    EXPECT_EQ(box.width, 1200);
    EXPECT_EQ(box.height, 900);
}

TEST_F(PicturePresent, AWindowOfThePicturesSizeIsDrawnDirectly)
{
    Open(kPictureWidth, kPictureHeight);
    FollowWindowSizeAfterSwap(window_);
    EXPECT_FALSE(PictureIsOffscreen());
    GLint binding = -1;
    glGetIntegerv(kDrawFramebufferBinding, &binding);
    EXPECT_EQ(binding, 0);
    const ScreenBox box = PictureBoxInWindow(window_);
    EXPECT_EQ(box.width, kPictureWidth);
    EXPECT_EQ(box.x, 0);
}

}  // namespace
