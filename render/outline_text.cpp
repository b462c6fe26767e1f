// Outline-font 3D text (see outline_text.h): 256 display lists of extruded glyphs built once, and the
// plain and dissolving print routines that lay them out centred on the current origin.
// Depends on the platform font-outline layer, OpenGL 1.1 and RandomUnit.
#include "render/outline_text.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "render/billboards.h"
#include "render/engine.h"
#include "render/font_outlines.h"

namespace {

// Like the Windows outline facility, the deviation is in em units: 100 turns every curve into its chord.
constexpr float kChordalDeviation = 100.0f;
constexpr float kExtrusion = 0.1f;
// The font is asked for at character height 24, average character width 12, bold (700).
constexpr float kFontHeight = 24.0f;
constexpr float kFontWidth = 12.0f;
constexpr int kFontWeight = 700;
constexpr float kLetterSpacing = 0.03f;   // added per character to the centring shift
constexpr float kPenTightening = -0.01f;  // after every character drawn

std::string fontFile = kOutlineFontFile;

// Codes are read as unsigned bytes: codes 128 ... 255 own empty lists and zero metrics, never the lists
// or memory in front of the table.
unsigned CharacterCode(char c)
{
    return static_cast<unsigned char>(c);
}

// Formats into the fixed buffer; false when there is nothing to draw with.
bool FormatLine(const Engine& engine, const char* format, va_list args, char (&text)[kPrintBufferSize])
{
    if (!format || engine.font.fontListBase == 0) return false;
    std::vsnprintf(text, sizeof text, format, args);
    return true;
}

// Moves the pen to the start of the centred line (the caller saves the matrix around the line).
void MoveToLineStart(const Engine& engine, const char* text)
{
    const double width = OutlineTextWidth(engine, text);
    glTranslatef(static_cast<float>(-0.5 * width), 0.0f, 0.0f);
    glTranslatef(kLetterSpacing * static_cast<float>(std::strlen(text)), 0.0f, 0.0f);
}

}  // namespace

void SetOutlineFontFile(const char* path)
{
    fontFile = path ? path : kOutlineFontFile;
}

bool BuildOutlineFont(Engine& engine)
{
    const GLuint base = glGenLists(kOutlineFontLists);
    if (base == 0) {
        std::fprintf(stderr, "font: no display lists available; texts will not be drawn\n");
        return false;
    }
    engine.font.fontListBase = base;
    FontOutlineRequest request;
    request.file = fontFile.c_str();
    request.firstCode = 0;
    request.count = kOutlineFontGlyphs;
    request.listBase = base;
    request.deviation = kChordalDeviation;
    request.extrusion = kExtrusion;
    request.height = kFontHeight;
    request.averageWidth = kFontWidth;
    request.weight = kFontWeight;
    GlyphOutlineMetrics metrics[kOutlineFontGlyphs];
    const bool built = BuildFontOutlineLists(request, metrics);
    for (int i = 0; i < kOutlineFontGlyphs; ++i) {
        GlyphMetrics& m = engine.font.glyphMetrics[i];
        m = GlyphMetrics{};
        if (!built) continue;
        m.blackBoxX = metrics[i].blackBoxX;
        m.blackBoxY = metrics[i].blackBoxY;
        m.originX = metrics[i].originX;
        m.originY = metrics[i].originY;
        m.cellIncX = metrics[i].cellIncX;
        m.cellIncY = metrics[i].cellIncY;
    }
    return built;
}

double OutlineTextWidth(const Engine& engine, const char* text)
{
    double width = 0.0;
    for (const char* c = text; c && *c; ++c) width += engine.font.glyphMetrics[CharacterCode(*c)].cellIncX;
    return width;
}

void PrintText(Engine& engine, const char* format, ...)
{
    char text[kPrintBufferSize];
    va_list args;
    va_start(args, format);
    const bool drawing = FormatLine(engine, format, args, text);
    va_end(args);
    if (!drawing) return;
    glPushMatrix();
    MoveToLineStart(engine, text);
    glPushAttrib(GL_LIST_BIT);
    glListBase(engine.font.fontListBase);
    // A glyph's list holds geometry, normals and its advance, and no attribute that a save around it
    // would restore (the current normal aside, which nothing lit reads): no per-glyph save.
    for (const char* c = text; *c; ++c) {
        glCallList(engine.font.fontListBase + CharacterCode(*c));
        glTranslatef(kPenTightening, 0.0f, 0.0f);
    }
    glPopAttrib();
    glPopMatrix();
}

void PrintDissolvingText(Engine& engine, double amount, const char* format, ...)
{
    char text[kPrintBufferSize];
    va_list args;
    va_start(args, format);
    const bool drawing = FormatLine(engine, format, args, text);
    va_end(args);
    if (!drawing) return;
    glPushMatrix();
    MoveToLineStart(engine, text);
    glPushAttrib(GL_LIST_BIT);
    glListBase(engine.font.fontListBase);
    for (const char* c = text; *c; ++c) {
        // Each glyph grows in and turns upright at its own random pace; from amount 4 on all are whole.
        const double r1 = RandomUnit();
        const double r2 = RandomUnit();
        const double scale = std::clamp((1.0 + r1) * amount - 3.0 * r2, 0.0, 1.0);
        const double r3 = RandomUnit();
        const double r4 = RandomUnit();
        const double upright = std::clamp((1.0 + r3) * amount - 3.0 * r4, 0.0, 1.0);
        const float angle = static_cast<float>((1.0 - upright) * 180.0);
        if (scale <= 0.001) continue;
        const float s = static_cast<float>(scale);
        glScalef(s, s, s);
        glRotatef(angle, 0.0f, 0.0f, 1.0f);
        glCallList(engine.font.fontListBase + CharacterCode(*c));
        glRotatef(-angle, 0.0f, 0.0f, 1.0f);
        glScalef(1.0f / s, 1.0f / s, 1.0f / s);
        glTranslatef(kPenTightening, 0.0f, 0.0f);
    }
    glPopAttrib();
    glPopMatrix();
}
