// TrueType glyph outlines as extruded geometry in display lists: FreeType reads the outlines (em square
// = 1.0 unit), scaled to the asked width and emboldened when a bold weight is asked of a regular face;
// curves are flattened, faces tessellated with the GLU tessellator, and the sides joined along the
// outline. Each list draws its glyph (front face at z = 0, back face at -depth) and then translates by
// the glyph's advance. Needs a current GL context.
#pragma once
#include <cstdint>

struct GlyphOutlineMetrics {
    float blackBoxX = 0, blackBoxY = 0;  // extent of the glyph's outline
    float originX = 0, originY = 0;      // top-left of that extent relative to the pen
    float cellIncX = 0, cellIncY = 0;    // advance to the next glyph
};

struct FontOutlineRequest {
    const char* file = nullptr;
    uint32_t firstCode = 0;
    int count = 0;
    uint32_t listBase = 0;  // lists listBase + firstCode ... must exist (glGenLists)
    float deviation = 0;    // chordal deviation of flattened curves in em units (0 = one design unit)
    float extrusion = 0.1f;
    // The font asked for, as a Windows font is: its character height, its average character width
    // (0 = the face's own proportions) and its weight (400 regular, 700 bold). A width scales the glyphs
    // horizontally so that the face's average character width comes out at width / height em. A weight
    // above 550 asked of a face that has no bold weight is synthesised: every stroke grows by 1/24 em.
    float height = 0;
    float averageWidth = 0;
    int weight = 400;
};

// Fills count lists and metrics (metrics[i] for code firstCode + i); false when the font cannot be read,
// with the reason on standard error. Codes the font has no glyph for get empty geometry but their advance.
bool BuildFontOutlineLists(const FontOutlineRequest& request, GlyphOutlineMetrics* metrics);
