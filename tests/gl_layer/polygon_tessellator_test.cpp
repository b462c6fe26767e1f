// The polygon tessellation that fills the outline font's glyphs through the GL 1.x layer: its triangles
// must cover exactly what the outlines enclose (holes left open), for every glyph the show builds, plain
// and emboldened as the show asks for them.
#include <ft2build.h>
#include <gtest/gtest.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cmath>
#include <vector>

#include "gl_layer/polygon_tessellator.h"
#include "tests/support/show_font.h"

namespace {

using Contours = std::vector<std::vector<TessPoint>>;

double TriangleArea(const Contours& contours, const std::vector<int>& triangles, bool* allCounterClockwise)
{
    std::vector<TessPoint> flat;
    for (const auto& c : contours) flat.insert(flat.end(), c.begin(), c.end());
    double sum = 0;
    *allCounterClockwise = true;
    for (size_t i = 0; i + 2 < triangles.size(); i += 3) {
        const TessPoint& a = flat[triangles[i]];
        const TessPoint& b = flat[triangles[i + 1]];
        const TessPoint& c = flat[triangles[i + 2]];
        const double area = 0.5 * ((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x));
        if (area < 0) *allCounterClockwise = false;
        sum += area;
    }
    return sum;
}

double EnclosedArea(const Contours& contours)
{
    double sum = 0;
    for (const auto& c : contours)
        for (size_t i = 0; i < c.size(); ++i) {
            const TessPoint& a = c[i];
            const TessPoint& b = c[(i + 1) % c.size()];
            sum += 0.5 * (a.x * b.y - b.x * a.y);
        }
    return std::fabs(sum);
}

TEST(PolygonTessellator, FillsAnOutlineAroundTwoHolesOfEitherTurn)
{
    const Contours shape = {
        {{0, 0}, {10, 0}, {10, 6}, {0, 6}},  // outline, counter-clockwise
        {{1, 1}, {1, 5}, {4, 5}, {4, 1}},    // hole, clockwise
        {{6, 1}, {9, 1}, {9, 5}, {6, 5}},    // hole, counter-clockwise like its outline
        {{7, 2}, {8, 2}, {8, 4}, {7, 4}},    // an island inside the second hole
    };
    std::vector<int> triangles;
    EXPECT_TRUE(TessellatePolygon(shape, triangles));
    bool ccw = false;
    EXPECT_NEAR(TriangleArea(shape, triangles, &ccw), 60 - 12 - 12 + 2, 1e-9);
    EXPECT_TRUE(ccw);
}

TEST(PolygonTessellator, ConcaveOutlinesWithCollinearPointsKeepTheirNotches)
{
    // An E: three prongs, points along straight edges, clockwise like a TrueType outline.
    const Contours e = {{{0, 0},
                         {0, 5},
                         {4, 5},
                         {4, 4},
                         {1, 4},
                         {1, 3},
                         {3, 3},
                         {3, 2},
                         {1, 2},
                         {1, 1},
                         {2.5, 1},
                         {4, 1},
                         {4, 0},
                         {2, 0}}};
    std::vector<int> triangles;
    EXPECT_TRUE(TessellatePolygon(e, triangles));
    bool ccw = false;
    EXPECT_NEAR(TriangleArea(e, triangles, &ccw), EnclosedArea(e), 1e-9);
    EXPECT_TRUE(ccw);
}

// The glyph's outline in em units, curves cut into short chords.
struct Collector {
    Contours contours;
    TessPoint pen;
    double scale;
};

TessPoint Em(const FT_Vector* v, double scale)
{
    return {v->x * scale, v->y * scale};
}

int MoveTo(const FT_Vector* to, void* user)
{
    auto* c = static_cast<Collector*>(user);
    c->pen = Em(to, c->scale);
    c->contours.push_back({c->pen});
    return 0;
}

int LineTo(const FT_Vector* to, void* user)
{
    auto* c = static_cast<Collector*>(user);
    c->pen = Em(to, c->scale);
    c->contours.back().push_back(c->pen);
    return 0;
}

int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user)
{
    auto* c = static_cast<Collector*>(user);
    const TessPoint p0 = c->pen, p1 = Em(control, c->scale), p2 = Em(to, c->scale);
    for (int i = 1; i <= 6; ++i) {
        const double t = i / 6.0, u = 1 - t;
        c->contours.back().push_back(
            {u * u * p0.x + 2 * u * t * p1.x + t * t * p2.x, u * u * p0.y + 2 * u * t * p1.y + t * t * p2.y});
    }
    c->pen = p2;
    return 0;
}

int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user)
{
    auto* c = static_cast<Collector*>(user);
    const TessPoint p0 = c->pen, p1 = Em(c1, c->scale), p2 = Em(c2, c->scale), p3 = Em(to, c->scale);
    for (int i = 1; i <= 8; ++i) {
        const double t = i / 8.0, u = 1 - t;
        c->contours.back().push_back(
            {u * u * u * p0.x + 3 * u * u * t * p1.x + 3 * u * t * t * p2.x + t * t * t * p3.x,
             u * u * u * p0.y + 3 * u * u * t * p1.y + 3 * u * t * t * p2.y + t * t * t * p3.y});
    }
    c->pen = p3;
    return 0;
}

void DropRepeats(Contours& contours)
{
    for (auto& c : contours) {
        std::vector<TessPoint> clean;
        for (const TessPoint& p : c)
            if (clean.empty() || std::hypot(p.x - clean.back().x, p.y - clean.back().y) > 1e-9)
                clean.push_back(p);
        while (clean.size() > 1 &&
               std::hypot(clean[0].x - clean.back().x, clean[0].y - clean.back().y) <= 1e-9)
            clean.pop_back();
        c = clean;
    }
}

TEST(PolygonTessellator, FillsEveryGlyphOfTheShowsFontPlainAndEmboldened)
{
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    const std::string font = ShowFontFile();
    ASSERT_EQ(FT_New_Face(library, font.c_str(), 0, &face), 0) << font;
    FT_Outline_Funcs funcs{};
    funcs.move_to = &MoveTo;
    funcs.line_to = &LineTo;
    funcs.conic_to = &ConicTo;
    funcs.cubic_to = &CubicTo;
    int glyphs = 0;
    for (FT_ULong code = 33; code <= 122; ++code) {
        const FT_UInt glyph = FT_Get_Char_Index(face, code);
        if (glyph == 0) continue;
        for (bool bold : {false, true}) {
            ASSERT_EQ(FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP), 0);
            FT_Outline& outline = face->glyph->outline;
            if (bold) FT_Outline_Embolden(&outline, face->units_per_EM / 24);  // as the show's synthetic bold
            Collector collector;
            collector.scale = 1.0 / face->units_per_EM;
            FT_Outline_Decompose(&outline, &funcs, &collector);
            DropRepeats(collector.contours);
            std::vector<int> triangles;
            const bool clean = TessellatePolygon(collector.contours, triangles);
            bool ccw = false;
            const double filled = TriangleArea(collector.contours, triangles, &ccw);
            const double enclosed = EnclosedArea(collector.contours);
            EXPECT_TRUE(clean) << "glyph " << static_cast<char>(code) << (bold ? " (bold)" : "");
            EXPECT_TRUE(ccw) << "glyph " << static_cast<char>(code);
            EXPECT_NEAR(filled, enclosed, 1e-9 + enclosed * 1e-9)
                << "glyph " << static_cast<char>(code) << (bold ? " (bold)" : "");
        }
        ++glyphs;
    }
    EXPECT_GT(glyphs, 60);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}

}  // namespace
