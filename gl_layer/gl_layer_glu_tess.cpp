// The GLU tessellator calls the outline font makes (gluNewTess ... gluTessEndPolygon), over the project's
// own polygon tessellation, since no GLU comes with the browser's GL. Hands out plain triangles (as GLU
// does once an edge-flag callback is set) made of the caller's own vertices: no vertex is ever combined.
#include <GL/glu.h>

#include <cmath>
#include <vector>

#include "gl_layer/polygon_tessellator.h"

struct GLUtesselator {
    _GLUfuncptr begin = nullptr, vertex = nullptr, end = nullptr, error = nullptr, edgeFlag = nullptr;
    bool beginData = false, vertexData = false, endData = false, errorData = false, edgeFlagData = false;
    void* polygonData = nullptr;
    double normal[3] = {0, 0, 0};
    std::vector<std::vector<TessPoint>> contours;
    std::vector<std::vector<void*>> data;
    bool inPolygon = false, inContour = false;
};

namespace {

void Error(GLUtesselator* tess, GLenum code)
{
    if (!tess->error) return;
    if (tess->errorData)
        reinterpret_cast<void (*)(GLenum, void*)>(tess->error)(code, tess->polygonData);
    else
        reinterpret_cast<void (*)(GLenum)>(tess->error)(code);
}

// The two coordinates that keep the polygon's shape: drop the axis the normal points along most.
TessPoint Project(const GLUtesselator* tess, const GLdouble* c)
{
    const double nx = std::fabs(tess->normal[0]), ny = std::fabs(tess->normal[1]),
                 nz = std::fabs(tess->normal[2]);
    if (nx > ny && nx > nz) return {c[1], c[2]};
    if (ny > nx && ny > nz) return {c[2], c[0]};
    return {c[0], c[1]};
}

}  // namespace

GLUtesselator* gluNewTess()
{
    return new GLUtesselator;
}

void gluDeleteTess(GLUtesselator* tess)
{
    delete tess;
}

void gluTessCallback(GLUtesselator* tess, GLenum which, _GLUfuncptr callback)
{
    if (!tess) return;
    switch (which) {
        case GLU_TESS_BEGIN:
            tess->begin = callback, tess->beginData = false;
            break;
        case GLU_TESS_BEGIN_DATA:
            tess->begin = callback, tess->beginData = true;
            break;
        case GLU_TESS_VERTEX:
            tess->vertex = callback, tess->vertexData = false;
            break;
        case GLU_TESS_VERTEX_DATA:
            tess->vertex = callback, tess->vertexData = true;
            break;
        case GLU_TESS_END:
            tess->end = callback, tess->endData = false;
            break;
        case GLU_TESS_END_DATA:
            tess->end = callback, tess->endData = true;
            break;
        case GLU_TESS_ERROR:
            tess->error = callback, tess->errorData = false;
            break;
        case GLU_TESS_ERROR_DATA:
            tess->error = callback, tess->errorData = true;
            break;
        case GLU_TESS_EDGE_FLAG:
            tess->edgeFlag = callback, tess->edgeFlagData = false;
            break;
        case GLU_TESS_EDGE_FLAG_DATA:
            tess->edgeFlag = callback, tess->edgeFlagData = true;
            break;
        default:
            break;  // combining is never needed: no new vertices are made
    }
}

void gluTessProperty(GLUtesselator* tess, GLenum which, GLdouble value)
{
    // Nested, non-crossing contours fill the same under every winding rule but "abs_geq_two"; the
    // tolerance only ever merged vertices, which this tessellation never does.
    if (which == GLU_TESS_BOUNDARY_ONLY && value != 0.0) Error(tess, GLU_INVALID_VALUE);
}

void gluTessNormal(GLUtesselator* tess, GLdouble x, GLdouble y, GLdouble z)
{
    if (!tess) return;
    tess->normal[0] = x, tess->normal[1] = y, tess->normal[2] = z;
}

void gluTessBeginPolygon(GLUtesselator* tess, GLvoid* data)
{
    if (!tess) return;
    tess->polygonData = data;
    tess->contours.clear();
    tess->data.clear();
    tess->inPolygon = true;
}

void gluTessBeginContour(GLUtesselator* tess)
{
    if (!tess || !tess->inPolygon) return;
    tess->contours.emplace_back();
    tess->data.emplace_back();
    tess->inContour = true;
}

void gluTessVertex(GLUtesselator* tess, GLdouble* location, GLvoid* data)
{
    if (!tess || !tess->inContour) return;
    tess->contours.back().push_back(Project(tess, location));
    tess->data.back().push_back(data);
}

void gluTessEndContour(GLUtesselator* tess)
{
    if (tess) tess->inContour = false;
}

void gluTessEndPolygon(GLUtesselator* tess)
{
    if (!tess || !tess->inPolygon) return;
    tess->inPolygon = false;
    std::vector<int> triangles;
    if (!TessellatePolygon(tess->contours, triangles)) Error(tess, GLU_TESS_NEED_COMBINE_CALLBACK);
    if (triangles.empty()) return;
    std::vector<void*> vertexData;
    std::vector<std::pair<int, int>> where;  // contour and position of each flat index
    for (size_t c = 0; c < tess->data.size(); ++c)
        for (size_t i = 0; i < tess->data[c].size(); ++i) {
            vertexData.push_back(tess->data[c][i]);
            where.emplace_back(static_cast<int>(c), static_cast<int>(i));
        }
    // An edge lies on the outline when its ends follow each other along one contour.
    const auto boundary = [&](int a, int b) {
        if (where[a].first != where[b].first) return false;
        const int n = static_cast<int>(tess->data[where[a].first].size());
        const int d = (where[b].second - where[a].second + n) % n;
        return d == 1 || d == n - 1;
    };
    void* user = tess->polygonData;
    if (tess->begin) {
        if (tess->beginData)
            reinterpret_cast<void (*)(GLenum, void*)>(tess->begin)(GL_TRIANGLES, user);
        else
            reinterpret_cast<void (*)(GLenum)>(tess->begin)(GL_TRIANGLES);
    }
    for (size_t t = 0; t < triangles.size(); ++t) {
        const int index = triangles[t];
        if (tess->edgeFlag) {
            const int next = triangles[t % 3 == 2 ? t - 2 : t + 1];
            const GLboolean flag = boundary(index, next) ? GL_TRUE : GL_FALSE;
            if (tess->edgeFlagData)
                reinterpret_cast<void (*)(GLboolean, void*)>(tess->edgeFlag)(flag, user);
            else
                reinterpret_cast<void (*)(GLboolean)>(tess->edgeFlag)(flag);
        }
        if (tess->vertex) {
            if (tess->vertexData)
                reinterpret_cast<void (*)(void*, void*)>(tess->vertex)(vertexData[index], user);
            else
                reinterpret_cast<void (*)(void*)>(tess->vertex)(vertexData[index]);
        }
    }
    if (tess->end) {
        if (tess->endData)
            reinterpret_cast<void (*)(void*)>(tess->end)(user);
        else
            reinterpret_cast<void (*)()>(tess->end)();
    }
}
