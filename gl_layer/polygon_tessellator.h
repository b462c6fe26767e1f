// Triangles that fill a plane polygon with holes, as glyph outlines are: holes bridged into their outline,
// the result ear-clipped. Plain C++.
//
// Every contour is a simple closed polyline; contours nest but do not cross. Contours at an even depth of
// nesting are filled, those at an odd depth are holes (for glyphs, whose holes turn against their
// outlines, the same as GL's nonzero rule).
#pragma once
#include <vector>

struct TessPoint {
    double x = 0, y = 0;
};

// `triangles` receives three indices per triangle into the points of all contours counted in order,
// each triangle counter-clockwise. False when some part could not be clipped cleanly (the triangles
// found are still there).
bool TessellatePolygon(const std::vector<std::vector<TessPoint>>& contours, std::vector<int>& triangles);
