// The outline-font state kept in the Engine: per-glyph metrics and the first of 256 display lists.
#pragma once
#include <cstdint>

struct GlyphMetrics {
    float blackBoxX = 0, blackBoxY = 0;
    float originX = 0, originY = 0;
    float cellIncX = 0, cellIncY = 0;
};

struct OutlineFontState {
    GlyphMetrics glyphMetrics[256];
    uint32_t fontListBase = 0;
};
