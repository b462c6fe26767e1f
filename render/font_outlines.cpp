// TrueType glyph outlines turned into extruded display lists (see font_outlines.h): FreeType reads each
// outline in design units, scales it to the asked width and emboldens it for a synthetic bold, curves are
// flattened to the chordal deviation, the GLU tessellator fills the faces, and the sides follow every
// contour edge. Depends on FreeType, GLU and OpenGL 1.1.
#include "render/font_outlines.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "platform/input_file.h"

#ifndef CALLBACK
#define CALLBACK
#endif

namespace {

// What gluTessCallback takes, under one name on every system (Mesa's header calls it _GLUfuncptr).
using TessCallback = void(APIENTRY*)();

struct Point {
    double x = 0, y = 0;
};
using Contour = std::vector<Point>;

// Collects the contours of one outline in em units, flattening curves as they arrive.
struct OutlineCollector {
    double scale = 1.0;      // em units per design unit
    double tolerance = 1.0;  // allowed chordal deviation, em units
    std::vector<Contour> contours;
    Point pen;

    Point ToEm(const FT_Vector* v) const { return {v->x * scale, v->y * scale}; }

    // Segments for a curve whose second differences reach `bend`: the chord error of n equal steps
    // shrinks with 1/n^2.
    int Steps(double bend, double factor) const
    {
        const double n = std::ceil(std::sqrt(factor * bend / tolerance));
        return std::clamp(static_cast<int>(n), 1, 64);
    }
};

int MoveTo(const FT_Vector* to, void* user)
{
    auto* c = static_cast<OutlineCollector*>(user);
    c->pen = c->ToEm(to);
    c->contours.push_back({c->pen});
    return 0;
}

int LineTo(const FT_Vector* to, void* user)
{
    auto* c = static_cast<OutlineCollector*>(user);
    c->pen = c->ToEm(to);
    if (!c->contours.empty()) c->contours.back().push_back(c->pen);
    return 0;
}

int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user)
{
    auto* c = static_cast<OutlineCollector*>(user);
    const Point p0 = c->pen, p1 = c->ToEm(control), p2 = c->ToEm(to);
    const double bend = std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y);
    const int n = c->Steps(bend, 0.25);
    for (int i = 1; i <= n && !c->contours.empty(); ++i) {
        const double t = static_cast<double>(i) / n, u = 1.0 - t;
        c->contours.back().push_back(
            {u * u * p0.x + 2 * u * t * p1.x + t * t * p2.x, u * u * p0.y + 2 * u * t * p1.y + t * t * p2.y});
    }
    c->pen = p2;
    return 0;
}

int CubicTo(const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to, void* user)
{
    auto* c = static_cast<OutlineCollector*>(user);
    const Point p0 = c->pen, p1 = c->ToEm(control1), p2 = c->ToEm(control2), p3 = c->ToEm(to);
    const double bend = std::max(std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y),
                                 std::hypot(p1.x - 2 * p2.x + p3.x, p1.y - 2 * p2.y + p3.y));
    const int n = c->Steps(bend, 0.75);
    for (int i = 1; i <= n && !c->contours.empty(); ++i) {
        const double t = static_cast<double>(i) / n, u = 1.0 - t;
        const double a = u * u * u, b = 3 * u * u * t, d = 3 * u * t * t, e = t * t * t;
        c->contours.back().push_back(
            {a * p0.x + b * p1.x + d * p2.x + e * p3.x, a * p0.y + b * p1.y + d * p2.y + e * p3.y});
    }
    c->pen = p3;
    return 0;
}

// Drops the closing point that repeats the first, and repeated points that would make null edges.
void CleanContours(std::vector<Contour>& contours)
{
    for (Contour& contour : contours) {
        Contour clean;
        for (const Point& p : contour)
            if (clean.empty() || std::hypot(p.x - clean.back().x, p.y - clean.back().y) > 1e-9)
                clean.push_back(p);
        while (clean.size() > 1 &&
               std::hypot(clean.front().x - clean.back().x, clean.front().y - clean.back().y) <= 1e-9)
            clean.pop_back();
        contour = std::move(clean);
    }
    std::erase_if(contours, [](const Contour& contour) { return contour.size() < 3; });
}

// Triangles of the filled face, as the tessellator hands them out (forced to plain triangles).
struct FaceTessellation {
    std::deque<std::array<double, 3>> vertices;  // stable addresses for the tessellator
    std::vector<const double*> triangles;        // three entries per triangle
    bool failed = false;
};

void CALLBACK TessBegin(GLenum, void*) {}
void CALLBACK TessEdgeFlag(GLboolean, void*) {}  // its presence makes the tessellator emit GL_TRIANGLES only
void CALLBACK TessVertex(void* vertex, void* user)
{
    static_cast<FaceTessellation*>(user)->triangles.push_back(static_cast<const double*>(vertex));
}
void CALLBACK TessEnd(void*) {}
void CALLBACK TessError(GLenum, void* user)
{
    static_cast<FaceTessellation*>(user)->failed = true;
}
void CALLBACK TessCombine(GLdouble coords[3], void* [4], GLfloat[4], void** out, void* user)
{
    auto* face = static_cast<FaceTessellation*>(user);
    face->vertices.push_back({coords[0], coords[1], coords[2]});
    *out = face->vertices.back().data();
}

bool TessellateFace(GLUtesselator* tess, const std::vector<Contour>& contours, FaceTessellation* face)
{
    for (const Contour& contour : contours)
        for (const Point& p : contour) face->vertices.push_back({p.x, p.y, 0.0});
    gluTessBeginPolygon(tess, face);
    size_t next = 0;
    for (const Contour& contour : contours) {
        gluTessBeginContour(tess);
        for (size_t i = 0; i < contour.size(); ++i, ++next) {
            double* v = face->vertices[next].data();
            gluTessVertex(tess, v, v);
        }
        gluTessEndContour(tess);
    }
    gluTessEndPolygon(tess);
    return !face->failed && face->triangles.size() % 3 == 0;
}

// Emits the faces and sides of one glyph: front at z = 0 facing +z, back at -depth facing -z, sides
// facing out of the filled area. Triangles are reordered counter-clockwise as seen from their side, so
// the glyph survives back-face culling from any direction.
void EmitGlyph(const FaceTessellation& face, const std::vector<Contour>& contours, bool fillOnRight,
               float depth)
{
    glBegin(GL_TRIANGLES);
    for (int side = 0; side < 2; ++side) {
        const double z = side == 0 ? 0.0 : -depth;
        glNormal3f(0.0f, 0.0f, side == 0 ? 1.0f : -1.0f);
        for (size_t t = 0; t + 2 < face.triangles.size(); t += 3) {
            const double* a = face.triangles[t];
            const double* b = face.triangles[t + 1];
            const double* c = face.triangles[t + 2];
            const double area = (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
            if (area == 0.0) continue;
            const bool ccw = area > 0.0;
            if (ccw != (side == 0)) std::swap(b, c);
            glVertex3d(a[0], a[1], z);
            glVertex3d(b[0], b[1], z);
            glVertex3d(c[0], c[1], z);
        }
    }
    glEnd();
    if (depth == 0.0f) return;
    glBegin(GL_QUADS);
    for (const Contour& contour : contours) {
        for (size_t i = 0; i < contour.size(); ++i) {
            const Point& p0 = contour[i];
            const Point& p1 = contour[(i + 1) % contour.size()];
            const double ex = p1.x - p0.x, ey = p1.y - p0.y, length = std::hypot(ex, ey);
            // Outward is left of travel when the fill lies to the right, and the other way round.
            double nx = -ey / length, ny = ex / length;
            if (!fillOnRight) nx = -nx, ny = -ny;
            glNormal3d(nx, ny, 0.0);
            // (p0, 0), (p0, -d), (p1, -d) turns counter-clockwise around (ey, -ex): use it when that is out.
            if (ey * nx - ex * ny > 0.0) {
                glVertex3d(p0.x, p0.y, 0.0);
                glVertex3d(p0.x, p0.y, -depth);
                glVertex3d(p1.x, p1.y, -depth);
                glVertex3d(p1.x, p1.y, 0.0);
            } else {
                glVertex3d(p0.x, p0.y, 0.0);
                glVertex3d(p1.x, p1.y, 0.0);
                glVertex3d(p1.x, p1.y, -depth);
                glVertex3d(p0.x, p0.y, -depth);
            }
        }
    }
    glEnd();
}

// FreeType transforms and emboldens outlines in integer coordinates: work in 1/64 of a design unit, so
// the rounding stays far below anything the flattening keeps.
constexpr FT_Pos kSubUnits = 64;

// What a font system adds to every stroke when it synthesises bold from a regular face: 1/24 em, one
// device pixel at a 24-pixel font (FreeType's FT_GlyphSlot_Embolden takes the same amount). The show's
// blocky face has counters of only 0.075 em between its bars; they keep about 0.03 em open.
constexpr double kSyntheticBoldEm = 1.0 / 24.0;
constexpr int kBoldestRegularWeight = 550;  // heavier asked weights want a bold face

// The face's average character width in em: the OS/2 figure that fonts are matched by, else the mean
// advance of its printable ASCII glyphs. 0 when neither is known.
double AverageCharWidth(FT_Face face)
{
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && os2->xAvgCharWidth > 0)
        return static_cast<double>(os2->xAvgCharWidth) / face->units_per_EM;
    double sum = 0.0;
    int glyphs = 0;
    for (FT_ULong code = 32; code < 127; ++code) {
        const FT_UInt glyph = FT_Get_Char_Index(face, code);
        if (glyph == 0 || FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP) != 0) continue;
        sum += static_cast<double>(face->glyph->advance.x);
        ++glyphs;
    }
    return glyphs > 0 ? sum / glyphs / face->units_per_EM : 0.0;
}

// Horizontal scale that brings the face's average character width to the asked width at the asked
// height, as the Windows font mapper treats a width: 12 at height 24 asks for an average of 0.5 em.
double WidthScale(FT_Face face, const FontOutlineRequest& request)
{
    if (request.height <= 0.0f || request.averageWidth <= 0.0f) return 1.0;
    const double average = AverageCharWidth(face);
    if (average <= 0.0) return 1.0;
    return static_cast<double>(request.averageWidth) / request.height / average;
}

FT_Fixed ToFixed(double value)
{
    return static_cast<FT_Fixed>(std::lround(value * 65536.0));
}

constexpr size_t kLargestFontFile = 64u << 20;

struct FreeTypeFace {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~FreeTypeFace()
    {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

}  // namespace

bool BuildFontOutlineLists(const FontOutlineRequest& request, GlyphOutlineMetrics* metrics)
{
    FreeTypeFace ft;
    if (!request.file || FT_Init_FreeType(&ft.library) != 0) {
        std::fprintf(stderr, "font: cannot start FreeType\n");
        return false;
    }
    // FreeType opens the file itself: make sure first that it is a regular file, not a pipe that would
    // hang start-up.
    std::string cause;
    if (!CheckInputFile(request.file, kLargestFontFile, cause)) {
        std::fprintf(stderr, "font %s: cannot be read (%s); texts will not be drawn\n", request.file,
                     cause.c_str());
        return false;
    }
    if (FT_New_Face(ft.library, request.file, 0, &ft.face) != 0) {
        std::fprintf(stderr, "font %s: cannot be read; texts will not be drawn\n", request.file);
        return false;
    }
    FT_Face face = ft.face;
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
        std::fprintf(stderr, "font %s: has no outlines; texts will not be drawn\n", request.file);
        return false;
    }
    FT_Select_Charmap(face, FT_ENCODING_UNICODE);

    GLUtesselator* tess = gluNewTess();
    if (!tess) return false;
    gluTessCallback(tess, GLU_TESS_BEGIN_DATA, reinterpret_cast<TessCallback>(&TessBegin));
    gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<TessCallback>(&TessEdgeFlag));
    gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<TessCallback>(&TessVertex));
    gluTessCallback(tess, GLU_TESS_END_DATA, reinterpret_cast<TessCallback>(&TessEnd));
    gluTessCallback(tess, GLU_TESS_ERROR_DATA, reinterpret_cast<TessCallback>(&TessError));
    gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<TessCallback>(&TessCombine));
    gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
    gluTessNormal(tess, 0.0, 0.0, 1.0);

    const double designUnit = 1.0 / face->units_per_EM;                // em
    const double scale = designUnit / static_cast<double>(kSubUnits);  // em per outline unit
    const double widthScale = WidthScale(face, request);
    const bool synthesiseBold =
        request.weight > kBoldestRegularWeight && (face->style_flags & FT_STYLE_FLAG_BOLD) == 0;
    const FT_Pos bold = synthesiseBold ? std::lround(kSyntheticBoldEm * face->units_per_EM * kSubUnits) : 0;
    FT_Matrix shape{ToFixed(widthScale * kSubUnits), 0, 0, ToFixed(static_cast<double>(kSubUnits))};
    FT_Outline_Funcs funcs{};
    funcs.move_to = &MoveTo;
    funcs.line_to = &LineTo;
    funcs.conic_to = &ConicTo;
    funcs.cubic_to = &CubicTo;

    for (int i = 0; i < request.count; ++i) {
        const uint32_t code = request.firstCode + static_cast<uint32_t>(i);
        GlyphOutlineMetrics m;
        OutlineCollector collector;
        collector.scale = scale;
        collector.tolerance = request.deviation > 0.0f ? request.deviation : designUnit;
        bool fillOnRight = true;
        const FT_UInt glyph = FT_Get_Char_Index(face, code);
        if (glyph != 0 && FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP) == 0 &&
            face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
            FT_Outline& outline = face->glyph->outline;
            FT_Outline_Transform(&outline, &shape);
            // Emboldening keeps the lower-left of every stroke and grows it right and up by the
            // strength, so the advance grows by the same amount and the side bearings stay.
            if (bold > 0) FT_Outline_EmboldenXY(&outline, bold, bold);
            fillOnRight = FT_Outline_Get_Orientation(&outline) != FT_ORIENTATION_POSTSCRIPT;
            FT_Outline_Decompose(&outline, &funcs, &collector);
            m.cellIncX = static_cast<float>(face->glyph->advance.x * designUnit * widthScale + bold * scale);
            m.cellIncY = static_cast<float>(face->glyph->advance.y * designUnit);
            FT_BBox box;
            FT_Outline_Get_CBox(&outline, &box);
            if (outline.n_points > 0) {
                m.blackBoxX = static_cast<float>((box.xMax - box.xMin) * scale);
                m.blackBoxY = static_cast<float>((box.yMax - box.yMin) * scale);
                m.originX = static_cast<float>(box.xMin * scale);
                m.originY = static_cast<float>(box.yMax * scale);
            }
        }
        CleanContours(collector.contours);

        FaceTessellation tessellation;
        const bool filled =
            !collector.contours.empty() && TessellateFace(tess, collector.contours, &tessellation);
        glNewList(request.listBase + code, GL_COMPILE);
        if (filled) EmitGlyph(tessellation, collector.contours, fillOnRight, request.extrusion);
        glTranslatef(m.cellIncX, m.cellIncY, 0.0f);
        glEndList();
        if (metrics) metrics[i] = m;
    }
    gluDeleteTess(tess);
    return true;
}
