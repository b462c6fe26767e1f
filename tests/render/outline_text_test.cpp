// Outline text on Mesa: the font's lists and metrics, the synthetic bold and the width against the
// regular outline, centring and pen steps seen in pixels, the dissolving rules, the 255-character limit,
// codes without glyphs, extrusion and culling, and the shared lists in the off-screen target.
#include "render/outline_text.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "math/random.h"
#include "render/billboards.h"
#include "render/engine.h"
#include "render/font_outlines.h"
#include "render/render_target.h"
#include "tests/render/pixels.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/show_font.h"

namespace {

const std::string kFont = ShowFontFile();
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
        SetOutlineFontFile(kFont.c_str());
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

// The face's lists at the show's height and width in the given weight, on lists of their own.
uint32_t BuildWeight(int weight, GlyphOutlineMetrics (&metrics)[kOutlineFontGlyphs])
{
    const uint32_t base = glGenLists(kOutlineFontLists);
    FontOutlineRequest request;
    request.file = kFont.c_str();
    request.count = kOutlineFontGlyphs;
    request.listBase = base;
    request.deviation = 100.0f;
    request.height = 24.0f;
    request.averageWidth = 12.0f;
    request.weight = weight;
    return BuildFontOutlineLists(request, metrics) ? base : 0;
}

// Draws the glyphs' lists one after the other (each advances by its own cell increment) from the origin.
Picture DrawGlyphs(uint32_t base, const char* text, double pixelsPerUnit)
{
    BeginFrame(pixelsPerUnit);
    for (const char* c = text; *c; ++c) glCallList(base + static_cast<unsigned char>(*c));
    return ReadFramebuffer(kWidth, kHeight);
}

TEST_F(OutlineTextTest, BoldThickensEveryStrokeAndAdvancesByTheSameAmount)
{
    static GlyphOutlineMetrics regular[kOutlineFontGlyphs], bold[kOutlineFontGlyphs];
    const uint32_t regularBase = BuildWeight(400, regular);
    const uint32_t boldBase = BuildWeight(700, bold);
    ASSERT_NE(regularBase, 0u);
    ASSERT_NE(boldBase, 0u);
    const double scale = 500.0, strength = scale / 24.0;  // 1/24 em in pixels

    // Width 12 at height 24 asks for an average character width of 0.5 em; the face's own is 0.511 em.
    const Picture thin = DrawGlyphs(regularBase, "H", scale);
    const Box thinBox = LitBox(thin);
    EXPECT_NEAR(thinBox.right - thinBox.left + 1, 0.45 * 0.5 / 0.511 * scale, 1.5);

    // Each stroke keeps its lower-left edge and grows right and up by the strength; counters stay open.
    for (const char* glyph : {"H", "e", "8", "m"}) {
        const Picture regularInk = DrawGlyphs(regularBase, glyph, scale);
        const Picture boldInk = DrawGlyphs(boldBase, glyph, scale);
        const Box r = LitBox(regularInk), b = LitBox(boldInk);
        SavePicture(boldInk, std::string("text_bold_") + glyph);
        EXPECT_NEAR(b.left, r.left, 1) << glyph;
        EXPECT_NEAR(b.bottom, r.bottom, 1) << glyph;
        EXPECT_NEAR(b.right - r.right, strength, 1.5) << glyph;
        EXPECT_NEAR(b.top - r.top, strength, 1.5) << glyph;
        const double growth = static_cast<double>(boldInk.CountLit()) / regularInk.CountLit();
        std::printf("glyph %s: covered area x %.3f in bold\n", glyph, growth);
        EXPECT_GT(growth, 1.2) << glyph;
        const int boxArea = (b.right - b.left + 1) * (b.top - b.bottom + 1);
        EXPECT_GT(boxArea - boldInk.CountLit(), 0.02 * boxArea) << glyph << ": the counters stay open";
    }

    // Cell increments grow by the strength too, in the metrics and in the lists' own pen steps, so the
    // space between two glyphs' ink stays what the regular face has.
    EXPECT_NEAR(bold['H'].cellIncX - regular['H'].cellIncX, 1.0 / 24.0, 1e-4);
    EXPECT_NEAR(bold[' '].cellIncX - regular[' '].cellIncX, 1.0 / 24.0, 1e-4);
    EXPECT_NEAR(bold['H'].blackBoxX - regular['H'].blackBoxX, 1.0 / 24.0, 1e-4);
    const Box one = LitBox(DrawGlyphs(boldBase, "H", scale / 4));
    const Box two = LitBox(DrawGlyphs(boldBase, "HH", scale / 4));
    const Box regularTwo = LitBox(DrawGlyphs(regularBase, "HH", scale / 4));
    const Box regularOne = LitBox(DrawGlyphs(regularBase, "H", scale / 4));
    EXPECT_NEAR(two.right - one.right, bold['H'].cellIncX * scale / 4, 1.0);
    EXPECT_NEAR((two.right - two.left) - 2 * (one.right - one.left),
                (regularTwo.right - regularTwo.left) - 2 * (regularOne.right - regularOne.left), 1.0)
        << "the gap between glyphs";
    glDeleteLists(regularBase, kOutlineFontLists);
    glDeleteLists(boldBase, kOutlineFontLists);
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
