// Ear clipping with hole bridging (see polygon_tessellator.h). Small inputs (glyph contours of tens of
// points) at start-up: clarity over speed, quadratic searches are fine.
#include "gl_layer/polygon_tessellator.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace {

struct Contour {
    std::vector<int> indices;  // into the flat point list
    double area = 0;           // signed: positive counter-clockwise
    int depth = 0;
};

double Cross(const TessPoint& o, const TessPoint& a, const TessPoint& b)
{
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

bool Same(const TessPoint& a, const TessPoint& b)
{
    return a.x == b.x && a.y == b.y;
}

double SignedArea(const std::vector<TessPoint>& p, const std::vector<int>& ring)
{
    double sum = 0;
    for (size_t i = 0; i < ring.size(); ++i) {
        const TessPoint& a = p[ring[i]];
        const TessPoint& b = p[ring[(i + 1) % ring.size()]];
        sum += a.x * b.y - b.x * a.y;
    }
    return sum / 2;
}

// Crossing test: true when q lies inside the ring (points on the boundary count either way).
bool Inside(const std::vector<TessPoint>& p, const std::vector<int>& ring, const TessPoint& q)
{
    bool inside = false;
    for (size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const TessPoint& a = p[ring[i]];
        const TessPoint& b = p[ring[j]];
        if ((a.y > q.y) != (b.y > q.y) && q.x < (b.x - a.x) * (q.y - a.y) / (b.y - a.y) + a.x)
            inside = !inside;
    }
    return inside;
}

// A point well inside the contour, to test its nesting with: the middle of its first edge moved a
// little to the inner side. (A vertex could lie on another contour's edge.)
TessPoint InnerPoint(const std::vector<TessPoint>& p, const Contour& c)
{
    const TessPoint& a = p[c.indices[0]];
    const TessPoint& b = p[c.indices[1]];
    const double dx = b.x - a.x, dy = b.y - a.y, length = std::hypot(dx, dy);
    const double side = (c.area > 0 ? 1.0 : -1.0) * 1e-7 / std::max(length, 1e-300);
    return {(a.x + b.x) / 2 - dy * side, (a.y + b.y) / 2 + dx * side};
}

bool InTriangle(const TessPoint& a, const TessPoint& b, const TessPoint& c, const TessPoint& q)
{
    return Cross(a, b, q) >= 0 && Cross(b, c, q) >= 0 && Cross(c, a, q) >= 0;
}

// Joins a hole (clockwise) into the outline ring (counter-clockwise) along a bridge from the hole's
// rightmost point to an outline vertex it can see.
bool Bridge(const std::vector<TessPoint>& p, std::vector<int>& ring, const std::vector<int>& hole)
{
    const size_t h = static_cast<size_t>(std::max_element(hole.begin(), hole.end(),
                                                          [&](int a, int b) {
                                                              return p[a].x < p[b].x ||
                                                                     (p[a].x == p[b].x && p[a].y < p[b].y);
                                                          }) -
                                         hole.begin());
    const TessPoint m = p[hole[h]];
    // Nearest crossing of the ray from m towards +x with an edge of the ring.
    double nearest = INFINITY;
    size_t candidate = ring.size();
    for (size_t i = 0; i < ring.size(); ++i) {
        const TessPoint& a = p[ring[i]];
        const TessPoint& b = p[ring[(i + 1) % ring.size()]];
        if ((a.y > m.y) == (b.y > m.y) && a.y != m.y && b.y != m.y) continue;
        if (a.y == b.y) continue;
        const double t = (m.y - a.y) / (b.y - a.y);
        if (t < 0 || t > 1) continue;
        const double x = a.x + t * (b.x - a.x);
        if (x < m.x || x >= nearest) continue;
        nearest = x;
        candidate = a.x > b.x ? i : (i + 1) % ring.size();
        if (x == a.x && a.y == m.y) candidate = i;
        if (x == b.x && b.y == m.y) candidate = (i + 1) % ring.size();
    }
    if (candidate == ring.size()) return false;
    // A reflex vertex inside the triangle (m, crossing, candidate) would hide the candidate: take the one
    // closest in angle to the ray instead.
    const TessPoint crossing{nearest, m.y};
    const TessPoint c = p[ring[candidate]];
    double best = INFINITY;
    for (size_t i = 0; i < ring.size(); ++i) {
        const TessPoint& q = p[ring[i]];
        if (i == candidate || Same(q, m) || q.x < m.x) continue;
        const TessPoint& before = p[ring[(i + ring.size() - 1) % ring.size()]];
        const TessPoint& after = p[ring[(i + 1) % ring.size()]];
        if (Cross(before, q, after) > 0) continue;  // convex
        const bool inside = c.y >= m.y ? InTriangle(m, crossing, c, q) : InTriangle(m, c, crossing, q);
        if (!inside) continue;
        const double angle = std::fabs(std::atan2(q.y - m.y, q.x - m.x));
        if (angle < best || (angle == best && q.x < p[ring[candidate]].x)) {
            best = angle;
            candidate = i;
        }
    }
    // The candidate may stand in the ring more than once (an earlier bridge ends there too): join at the
    // copy whose corner the bridge leaves into, or the two bridges would cross.
    const TessPoint v = p[ring[candidate]];
    for (size_t i = 0; i < ring.size(); ++i) {
        if (!Same(p[ring[i]], v)) continue;
        const TessPoint& before = p[ring[(i + ring.size() - 1) % ring.size()]];
        const TessPoint& after = p[ring[(i + 1) % ring.size()]];
        const double out = std::atan2(after.y - v.y, after.x - v.x);
        const auto turn = [&](const TessPoint& q) {  // counter-clockwise from the outgoing edge, [0, 2 pi)
            double a = std::atan2(q.y - v.y, q.x - v.x) - out;
            while (a < 0) a += 2 * std::numbers::pi;
            while (a >= 2 * std::numbers::pi) a -= 2 * std::numbers::pi;
            return a;
        };
        double back = turn(before);
        if (back == 0) back = 2 * std::numbers::pi;
        if (turn(m) < back) {
            candidate = i;
            break;
        }
    }
    std::vector<int> joined(ring.begin(), ring.begin() + static_cast<long>(candidate) + 1);
    for (size_t k = 0; k <= hole.size(); ++k) joined.push_back(hole[(h + k) % hole.size()]);
    joined.insert(joined.end(), ring.begin() + static_cast<long>(candidate), ring.end());
    ring = std::move(joined);
    return true;
}

// Only a reflex (or straight) vertex can lie in a candidate ear without a reflex one lying there too, so
// only those are tested; copies of the ear's own corners (a bridge's two ends) never block it.
bool IsEar(const std::vector<TessPoint>& p, const std::vector<int>& ring, size_t i)
{
    const size_t n = ring.size();
    const TessPoint& a = p[ring[(i + n - 1) % n]];
    const TessPoint& b = p[ring[i]];
    const TessPoint& c = p[ring[(i + 1) % n]];
    if (Cross(a, b, c) <= 0) return false;
    for (size_t k = 0; k < n; ++k) {
        const TessPoint& q = p[ring[k]];
        if (Same(q, a) || Same(q, b) || Same(q, c)) continue;
        if (Cross(p[ring[(k + n - 1) % n]], q, p[ring[(k + 1) % n]]) > 0) continue;
        if (InTriangle(a, b, c, q)) return false;
    }
    return true;
}

double RingArea(const std::vector<TessPoint>& p, const std::vector<int>& ring)
{
    return SignedArea(p, ring);
}

bool ClipEars(const std::vector<TessPoint>& p, std::vector<int> ring, std::vector<int>& triangles)
{
    // What counts as no area left: far below anything a glyph of an em or a bit more could hold.
    double extent = 0;
    for (int i : ring) extent = std::max({extent, std::fabs(p[i].x), std::fabs(p[i].y)});
    const double nothing = 1e-12 * std::max(extent * extent, 1e-300);
    bool clean = true;
    while (ring.size() >= 3) {
        const size_t n = ring.size();
        bool clipped = false;
        for (size_t i = 0; i < n && !clipped; ++i) {
            if (!IsEar(p, ring, i)) continue;
            triangles.insert(triangles.end(), {ring[(i + n - 1) % n], ring[i], ring[(i + 1) % n]});
            ring.erase(ring.begin() + static_cast<long>(i));
            clipped = true;
        }
        if (clipped) continue;
        // Left: points on a line (no area), or a ring that crosses itself, which has no ear: cut its
        // flattest corner and go on.
        if (std::fabs(RingArea(p, ring)) <= nothing) break;
        clean = false;
        size_t flattest = 0;
        double smallest = INFINITY;
        for (size_t i = 0; i < n; ++i) {
            const double area = std::fabs(Cross(p[ring[(i + n - 1) % n]], p[ring[i]], p[ring[(i + 1) % n]]));
            if (area < smallest) smallest = area, flattest = i;
        }
        if (Cross(p[ring[(flattest + n - 1) % n]], p[ring[flattest]], p[ring[(flattest + 1) % n]]) > 0)
            triangles.insert(triangles.end(),
                             {ring[(flattest + n - 1) % n], ring[flattest], ring[(flattest + 1) % n]});
        ring.erase(ring.begin() + static_cast<long>(flattest));
    }
    return clean;
}

}  // namespace

bool TessellatePolygon(const std::vector<std::vector<TessPoint>>& input, std::vector<int>& triangles)
{
    std::vector<TessPoint> points;
    std::vector<Contour> contours;
    for (const std::vector<TessPoint>& in : input) {
        Contour c;
        for (const TessPoint& q : in) {
            c.indices.push_back(static_cast<int>(points.size()));
            points.push_back(q);
        }
        if (c.indices.size() < 3) continue;
        c.area = SignedArea(points, c.indices);
        if (c.area != 0) contours.push_back(std::move(c));
    }
    for (Contour& c : contours) {
        const TessPoint q = InnerPoint(points, c);
        for (const Contour& other : contours)
            if (&other != &c && Inside(points, other.indices, q)) ++c.depth;
    }
    bool clean = true;
    for (const Contour& outer : contours) {
        if (outer.depth % 2 != 0) continue;
        std::vector<int> ring = outer.indices;
        if (outer.area < 0) std::reverse(ring.begin(), ring.end());
        // Its holes: one level deeper and inside it; the rightmost is bridged first, so that later bridges
        // never cross earlier ones.
        std::vector<const Contour*> holes;
        for (const Contour& hole : contours)
            if (hole.depth == outer.depth + 1 && Inside(points, outer.indices, InnerPoint(points, hole)))
                holes.push_back(&hole);
        const auto rightmost = [&](const Contour* c) {
            double x = -INFINITY;
            for (int i : c->indices) x = std::max(x, points[i].x);
            return x;
        };
        std::sort(holes.begin(), holes.end(),
                  [&](const Contour* a, const Contour* b) { return rightmost(a) > rightmost(b); });
        for (const Contour* hole : holes) {
            std::vector<int> h = hole->indices;
            if (hole->area > 0) std::reverse(h.begin(), h.end());
            if (!Bridge(points, ring, h)) clean = false;
        }
        if (!ClipEars(points, ring, triangles)) clean = false;
    }
    return clean;
}
