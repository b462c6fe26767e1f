// Outline text on Mesa: the font's lists and metrics, centring and pen steps seen in pixels, the
// dissolving rules, the 255-character limit, codes without glyphs, extrusion and culling, and the shared
// lists in the off-screen target.
#include "render/outline_text.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "render/billboards.h"
#include "render/engine.h"
#include "render/render_target.h"
#include "math/random.h"
#include "tests/render/pixels.h"
#include "tests/support/gl_test_window.h"

namespace {

constexpr const char* kFont = "/usr/share/fonts/truetype/aenigma/acknowtt.ttf";
constexpr int kWidth = 800, kHeight = 600;

// Orthographic view with `unitsPerPixel`, origin at the picture's centre, white text on black.
void BeginFrame(double pixelsPerUnit)
{
    glViewport(0, 0, kWidth, kHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double hw = kWidth / 2.0 / pixelsPerUnit, hh = kHeight / 2.0 / pixelsPerUnit;
    glOrtho(-hw, hw, -hh, hh, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glColor3f(1, 1, 1);
}

// Pixel column of a unit x coordinate in BeginFrame's view.
double ColumnOf(double x, double pixelsPerUnit)
{
    return kWidth / 2.0 + x * pixelsPerUnit;
}

class OutlineTextTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(OpenTestGlWindow());
        SetOutlineFontFile(kFont);
        built = BuildOutlineFont(gEngine);
    }
    static inline bool built = false;
};

TEST_F(OutlineTextTest, FontBuildsListsAndMetricsInEmUnits)
{
    ASSERT_TRUE(built);
    const OutlineFontState& font = gEngine.font;
    ASSERT_NE(font.fontListBase, 0u);
    EXPECT_TRUE(glIsList(font.fontListBase + 'A'));
    EXPECT_TRUE(glIsList(font.fontListBase + 'z'));
    EXPECT_TRUE(glIsList(font.fontListBase + 0));
    const GlyphMetrics& a = font.glyphMetrics['A'];
    EXPECT_GT(a.cellIncX, 0.2f);
    EXPECT_LT(a.cellIncX, 1.5f) << "advances are in em units";
    EXPECT_EQ(a.cellIncY, 0.0f);
    EXPECT_GT(a.blackBoxY, 0.3f);
    EXPECT_LT(a.blackBoxY, 1.2f);
    EXPECT_GT(font.glyphMetrics[' '].cellIncX, 0.0f) << "a space advances without drawing";
    EXPECT_EQ(font.glyphMetrics['{'].cellIncX, 0.0f);
    EXPECT_DOUBLE_EQ(OutlineTextWidth(gEngine, "AA"), 2.0 * a.cellIncX);
}

TEST_F(OutlineTextTest, TextIsCentredOnTheOriginAlongTheBaseline)
{
    ASSERT_TRUE(built);
    const double scale = 60.0;
    BeginFrame(scale);
    PrintText(gEngine, "Score:%d", 12);
    const Picture picture = ReadFramebuffer(kWidth, kHeight);
    SavePicture(picture, "text_score");
    const Box box = LitBox(picture);
    ASSERT_FALSE(box.Empty()) << "\"Score:12\" draws visible pixels";
    // Centred by the cell increments, then shifted by 0.03 per character and tightened by 0.01 after each.
    const double width = OutlineTextWidth(gEngine, "Score:12");
    const double start = -0.5 * width + 0.03 * 8;
    const double end = start + width - 0.01 * 7;
    EXPECT_NEAR(box.left, ColumnOf(start, scale), 0.15 * scale);
    EXPECT_NEAR(box.right, ColumnOf(end, scale), 0.15 * scale);
    EXPECT_NEAR((box.left + box.right) / 2.0, kWidth / 2.0, 0.2 * scale);
    EXPECT_NEAR(box.bottom, kHeight / 2.0, 0.05 * scale) << "the baseline runs through the origin";
    EXPECT_GT(box.top, kHeight / 2.0 + 0.25 * scale) << "capitals stand a quarter em or more above it";
}

TEST_F(OutlineTextTest, CodesWithoutGlyphsDrawNothingButStepThePen)
{
    ASSERT_TRUE(built);
    const double scale = 100.0;
    BeginFrame(scale);
    PrintText(gEngine, "{|}~\x7f");
    EXPECT_EQ(ReadFramebuffer(kWidth, kHeight).CountLit(), 0);

    BeginFrame(scale);
    PrintText(gEngine, "I");
    const Box alone = LitBox(ReadFramebuffer(kWidth, kHeight));
    BeginFrame(scale);
    PrintText(gEngine, "{{{{I");
    const Box after = LitBox(ReadFramebuffer(kWidth, kHeight));
    ASSERT_FALSE(alone.Empty());
    // Four more characters: +0.12 from the per-character shift, -0.04 from four pen steps.
    EXPECT_NEAR(after.left - alone.left, 0.08 * scale, 1.5);

    // Codes from 128 on own empty lists as well; they neither draw nor read outside the tables.
    BeginFrame(scale);
    PrintText(gEngine, "\xe9\xff");
    EXPECT_EQ(ReadFramebuffer(kWidth, kHeight).CountLit(), 0);
}

TEST_F(OutlineTextTest, DissolvingTextFollowsItsAmount)
{
    ASSERT_TRUE(built);
    const double scale = 50.0;
    BeginFrame(scale);
    PrintText(gEngine, "Help! %s", "xyz");
    const Picture plain = ReadFramebuffer(kWidth, kHeight);
    for (double amount : {4.0, 7.5}) {
        BeginFrame(scale);
        PrintDissolvingText(gEngine, amount, "Help! %s", "xyz");
        EXPECT_EQ(ReadFramebuffer(kWidth, kHeight).rgba, plain.rgba) << "amount " << amount;
    }
    for (double amount : {0.0, -2.0}) {
        BeginFrame(scale);
        PrintDissolvingText(gEngine, amount, "Help! %s", "xyz");
        EXPECT_EQ(ReadFramebuffer(kWidth, kHeight).CountLit(), 0) << "amount " << amount;
    }
    // Part way, some glyphs show, smaller or turned, and the picture changes with the random values.
    SeedRandom(5);
    BeginFrame(scale);
    PrintDissolvingText(gEngine, 1.2, "Help! %s", "xyz");
    const Picture partial = ReadFramebuffer(kWidth, kHeight);
    SavePicture(partial, "text_dissolving");
    EXPECT_GT(partial.CountLit(), 0);
    EXPECT_NE(partial.rgba, plain.rgba);
    // Four random values per character, drawn or not.
    SeedRandom(5);
    for (int i = 0; i < 4 * 9; ++i) NextRandom();
    const int next = NextRandom();
    SeedRandom(5);
    PrintDissolvingText(gEngine, 1.2, "Help! %s", "xyz");
    EXPECT_EQ(NextRandom(), next);
}

TEST_F(OutlineTextTest, LongTextsArePrintedWholeUpTo255Characters)
{
    ASSERT_TRUE(built);
    const double scale = 3.0;
    std::string text(254, 'H');
    text += 'W';
    BeginFrame(scale);
    PrintText(gEngine, "%s", text.c_str());
    const Picture whole = ReadFramebuffer(kWidth, kHeight);
    const Box box = LitBox(whole);
    ASSERT_FALSE(box.Empty());
    const double width = OutlineTextWidth(gEngine, text.c_str()) - 0.01 * 254;
    EXPECT_NEAR(box.right - box.left, width * scale, 0.5 * scale) << "all 255 characters are laid out";

    // Anything longer is cut at 255 characters, safely.
    BeginFrame(scale);
    PrintText(gEngine, "%s%s", text.c_str(), std::string(1000, 'M').c_str());
    EXPECT_EQ(ReadFramebuffer(kWidth, kHeight).rgba, whole.rgba);
}

TEST_F(OutlineTextTest, NullFormatDrawsNothingAndKeepsTheMatrixStack)
{
    ASSERT_TRUE(built);
    BeginFrame(50.0);
    GLint depthBefore = 0, depthAfter = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
    PrintText(gEngine, nullptr);
    PrintDissolvingText(gEngine, 5.0, nullptr);
    PrintText(gEngine, "A");
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
    EXPECT_EQ(depthAfter, depthBefore);
    float matrix[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
    EXPECT_EQ(matrix[12], 0.0f) << "printing leaves the caller's matrix as it was";
    GLint listBase = -1;
    glGetIntegerv(GL_LIST_BASE, &listBase);
    EXPECT_EQ(listBase, 0);
}

TEST_F(OutlineTextTest, GlyphsAreExtrudedAndSurviveCullingFromEitherSide)
{
    ASSERT_TRUE(built);
    const double scale = 200.0;
    // Seen edge-on from the side, only the extruded sides show: 0.1 deep along -z.
    BeginFrame(scale);
    glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
    PrintText(gEngine, "I");
    const Box side = LitBox(ReadFramebuffer(kWidth, kHeight));
    ASSERT_FALSE(side.Empty());
    EXPECT_NEAR(side.right - side.left + 1, 0.1 * scale, 2.0);
    EXPECT_LE(side.right, kWidth / 2 + 1) << "extruded towards -z, which the turn maps to -x";

    for (float turn : {0.0f, 180.0f}) {
        BeginFrame(scale / 2);
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glRotatef(turn, 0.0f, 1.0f, 0.0f);
        PrintText(gEngine, "O8");
        const Picture culled = ReadFramebuffer(kWidth, kHeight);
        glDisable(GL_CULL_FACE);
        BeginFrame(scale / 2);
        glRotatef(turn, 0.0f, 1.0f, 0.0f);
        PrintText(gEngine, "O8");
        const Picture unculled = ReadFramebuffer(kWidth, kHeight);
        EXPECT_GT(culled.CountLit(), 1000);
        EXPECT_EQ(culled.CountLit(), unculled.CountLit()) << "faces point outward, turned " << turn;
    }
}

TEST_F(OutlineTextTest, TextDrawsWithTheSharedListsInTheTarget)
{
    ASSERT_TRUE(built);
    CreateRenderTarget(gEngine, gRenderTarget);
    MakeRenderTargetCurrent(gRenderTarget);
    BeginFrame(60.0);
    PrintText(gEngine, "1 0");
    const Picture picture = ReadFramebuffer(kWidth, kHeight);
    EXPECT_GT(picture.CountLit(), 100);
    RestoreWindowContext(gEngine, gRenderTarget);
}

TEST(OutlineTextMissingFont, BuildFailsAndTextsDrawNothing)
{
    ASSERT_TRUE(OpenTestGlWindow());
    Engine* engine = new Engine;
    SetOutlineFontFile("/nonexistent/quarnel/font.ttf");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(BuildOutlineFont(*engine));
    const std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_NE(messages.find("/nonexistent/quarnel/font.ttf"), std::string::npos) << messages;
    BeginFrame(60.0);
    PrintText(*engine, "Score:%d", 12);
    PrintDissolvingText(*engine, 9.0, "Time:%d", 3);
    EXPECT_EQ(ReadFramebuffer(kWidth, kHeight).CountLit(), 0);
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);

    // A font that was never built draws nothing, rather than calling whatever lists sit at 0 ... 255.
    Engine* unbuilt = new Engine;
    BeginFrame(60.0);
    PrintText(*unbuilt, "Score");
    EXPECT_EQ(ReadFramebuffer(kWidth, kHeight).CountLit(), 0);
    SetOutlineFontFile(nullptr);
    delete engine;
    delete unbuilt;
}

}  // namespace
