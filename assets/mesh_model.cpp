// The mesh model's lookups and its post-processing: keyframe sampling, local space, face and vertex
// normals with the smoothing-group split, tangent frames and index triples. Depends on math/vec.h.
#include "assets/mesh_model.h"

#include <algorithm>
#include <cmath>

#include "math/vec.h"

namespace {

struct Double3 {
    double x = 0.0, y = 0.0, z = 0.0;
};

Double3 ToDouble(const Vec3& v)
{
    return {v.x, v.y, v.z};
}

Double3 Minus(const Double3& a, const Double3& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

Double3 Cross(const Double3& a, const Double3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Divides by the length; a zero vector stays zero, and a vector that is not finite (damaged positions in
// the file) becomes zero so that it never reaches a vertex.
Vec3 Normalized(const Double3& v)
{
    const double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (!std::isfinite(length)) return {};
    if (length == 0.0) return {float(v.x), float(v.y), float(v.z)};
    const Vec3 result{float(v.x / length), float(v.y / length), float(v.z / length)};
    if (!std::isfinite(result.x) || !std::isfinite(result.y) || !std::isfinite(result.z)) return {};
    return result;
}

// For every vertex, the faces that use it, in face order: counts, prefix sums, one pass to fill, so the
// whole build is linear in the number of faces. A face that names a vertex twice is listed once.
struct VertexFaces {
    std::vector<uint32_t> start;  // vertex count + 1 entries
    std::vector<uint32_t> faces;

    void Build(const Mesh& mesh)
    {
        const size_t vertexCount = mesh.VertexCount();
        start.assign(vertexCount + 1, 0);
        auto forEachCorner = [&](const Face& face, auto&& visit) {
            visit(face.a);
            if (face.b != face.a) visit(face.b);
            if (face.c != face.a && face.c != face.b) visit(face.c);
        };
        for (const Face& face : mesh.faces) {
            forEachCorner(face, [&](uint16_t v) {
                if (v < vertexCount) ++start[v + 1];
            });
        }
        for (size_t v = 0; v < vertexCount; ++v) start[v + 1] += start[v];
        faces.assign(start[vertexCount], 0);
        std::vector<uint32_t> fill(start.begin(), start.end() - 1);
        for (uint32_t f = 0; f < mesh.faces.size(); ++f) {
            forEachCorner(mesh.faces[f], [&](uint16_t v) {
                if (v < vertexCount) faces[fill[v]++] = f;
            });
        }
    }

    uint32_t Begin(size_t v) const { return start[v]; }
    uint32_t End(size_t v) const { return start[v + 1]; }
};

void RenumberCorner(Face& face, uint16_t from, uint16_t to)
{
    if (face.a == from) face.a = to;
    if (face.b == from) face.b = to;
    if (face.c == from) face.c = to;
}

// Gives every smoothing group of a vertex after the first its own copy of the vertex.
void SplitBySmoothingGroups(Mesh& mesh, const VertexFaces& lists)
{
    const size_t originalCount = mesh.VertexCount();
    std::vector<std::pair<uint32_t, uint32_t>> byMask;  // (mask, position in the vertex's face list)
    std::vector<std::pair<uint32_t, uint32_t>> groups;  // (first position, index of first entry in byMask)
    for (size_t v = 0; v < originalCount; ++v) {
        const uint32_t begin = lists.Begin(v), end = lists.End(v);
        if (begin == end) continue;
        const uint32_t firstMask = mesh.faces[lists.faces[begin]].smoothingGroup;
        bool single = true;
        for (uint32_t i = begin + 1; i < end && single; ++i)
            single = mesh.faces[lists.faces[i]].smoothingGroup == firstMask;
        if (single) continue;

        // Sorting keeps the work per vertex at k log k even for a vertex shared by thousands of faces.
        byMask.clear();
        for (uint32_t i = begin; i < end; ++i)
            byMask.emplace_back(mesh.faces[lists.faces[i]].smoothingGroup, i - begin);
        std::sort(byMask.begin(), byMask.end());
        groups.clear();
        for (uint32_t i = 0; i < byMask.size(); ++i) {
            if (i == 0 || byMask[i].first != byMask[i - 1].first) groups.emplace_back(byMask[i].second, i);
        }
        std::sort(groups.begin(), groups.end());  // order of first appearance
        for (size_t g = 1; g < groups.size(); ++g) {
            // Vertex numbers are 16-bit: past the limit the remaining faces keep their shared vertices.
            if (mesh.VertexCount() >= kMaxMeshVertices) return;
            const uint16_t copy = uint16_t(mesh.VertexCount());
            const Vec3 position = mesh.positions[v], normal = mesh.normals[v];
            const Vec3 binormal = mesh.binormals[v], tangent = mesh.tangents[v];
            const Vec2 uv = mesh.texCoords[v], uv2 = mesh.texCoords2[v];
            mesh.positions.push_back(position);
            mesh.normals.push_back(normal);
            mesh.binormals.push_back(binormal);
            mesh.tangents.push_back(tangent);
            mesh.texCoords.push_back(uv);
            mesh.texCoords2.push_back(uv2);
            const uint32_t mask = byMask[groups[g].second].first;
            for (uint32_t i = groups[g].second; i < byMask.size() && byMask[i].first == mask; ++i)
                RenumberCorner(mesh.faces[lists.faces[begin + byMask[i].second]], uint16_t(v), copy);
        }
    }
}

// Linear interpolation of `count` values for the frames [first, end) of one key segment.
void FillSegment(std::vector<float>& samples, int stride, const double* from, const double* to,
                 uint64_t first, uint64_t end, double span)
{
    for (uint64_t f = first; f < end; ++f) {
        const double t = double(f - first) / span;
        for (int i = 0; i < stride; ++i) samples[f * stride + i] = float(from[i] + (to[i] - from[i]) * t);
    }
}

}  // namespace

Mesh::Mesh()
{
    for (int i = 0; i < 16; ++i) matrix[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

void Mesh::ResizeVertices(size_t count)
{
    positions.resize(count);
    normals.resize(count);
    binormals.resize(count);
    tangents.resize(count);
    texCoords.resize(count);
    texCoords2.resize(count);
}

void Model::Clear()
{
    meshes = {};
    lights = {};
    materials = {};
    normalMode = 2;
}

const Material* Model::FindMaterial(const std::string& name) const
{
    for (const Material& material : materials)
        if (material.name == name) return &material;
    return nullptr;
}

const Mesh* Model::FindMesh(const std::string& name) const
{
    for (const Mesh& mesh : meshes)
        if (mesh.name == name) return &mesh;
    return nullptr;
}

void SampleKeyNode(KeyNode& node, uint32_t frameCount)
{
    const uint64_t frames = frameCount;
    node.rotationSamples.assign(frames * 4, 0.0f);
    node.positionSamples.assign(frames * 3, 0.0f);
    node.pivot = node.pivots.empty() ? Vec3{} : Vec3{node.pivots[0].x, node.pivots[0].y, node.pivots[0].z};

    // Rotation: each segment turns from its start axis and accumulated angle towards the next key.
    const std::vector<RotationKey>& rotations = node.rotationKeys;
    double accumulated = 0.0;
    for (size_t k = 0; k < rotations.size(); ++k) {
        const RotationKey& key = rotations[k];
        const bool last = k + 1 == rotations.size();
        const uint64_t next = last ? frames : rotations[k + 1].frame;
        const uint64_t end = std::min(next, frames);
        double from[4] = {0.0, 0.0, 0.0, 0.0};
        if (k == 0) {
            node.firstRotation[0] = key.x;
            node.firstRotation[1] = key.y;
            node.firstRotation[2] = key.z;
            node.firstRotation[3] = key.angle;
        } else {
            from[0] = key.x;
            from[1] = key.y;
            from[2] = key.z;
            from[3] = accumulated;
        }
        const RotationKey& target = last ? key : rotations[k + 1];
        const double to[4] = {target.x, target.y, target.z, accumulated + target.angle};
        accumulated = to[3];
        // The ramp runs over the whole segment, so a next key beyond the last frame is not reached early.
        if (next > key.frame)
            FillSegment(node.rotationSamples, 4, from, to, key.frame, end, double(next - key.frame));
    }

    // Position: the first key holds until the keys take over, each segment moves towards the next key.
    const std::vector<PositionKey>& positions = node.positionKeys;
    if (!positions.empty()) {
        for (uint64_t f = 0; f < frames; ++f) {
            node.positionSamples[f * 3 + 0] = positions[0].x;
            node.positionSamples[f * 3 + 1] = positions[0].y;
            node.positionSamples[f * 3 + 2] = positions[0].z;
        }
    }
    for (size_t k = 0; k < positions.size(); ++k) {
        const PositionKey& key = positions[k];
        const bool last = k + 1 == positions.size();
        const uint64_t next = last ? frames : positions[k + 1].frame;
        const uint64_t end = std::min(next, frames);
        const PositionKey& target = last ? key : positions[k + 1];
        const double from[3] = {key.x, key.y, key.z};
        const double to[3] = {target.x, target.y, target.z};
        if (next > key.frame)
            FillSegment(node.positionSamples, 3, from, to, key.frame, end, double(next - key.frame));
    }

    node.rotationKeys = {};
    node.positionKeys = {};
}

void MoveMeshToLocalSpace(Mesh& mesh, KeyNode& node)
{
    const float* m = mesh.matrix;
    const double sx = std::sqrt(double(m[0]) * m[0] + double(m[1]) * m[1] + double(m[2]) * m[2]);
    const double sy = std::sqrt(double(m[4]) * m[4] + double(m[5]) * m[5] + double(m[6]) * m[6]);
    const double sz = std::sqrt(double(m[8]) * m[8] + double(m[9]) * m[9] + double(m[10]) * m[10]);
    node.pivot = {float(-sx * node.pivot.x), float(-sy * node.pivot.y), float(-sz * node.pivot.z)};

    Mat4 axes;  // columns X, Y, Z
    MatSet(axes, m[0], m[4], m[8], 0.0, m[1], m[5], m[9], 0.0, m[2], m[6], m[10], 0.0, 0.0, 0.0, 0.0, 1.0);
    Mat4 inverse;
    MatInverse3(axes, inverse);
    Vec origin;
    origin.kind = 1;
    origin.x = m[12];
    origin.y = m[13];
    origin.z = m[14];
    for (Vec3& p : mesh.positions) {
        Vec point;
        point.kind = 1;
        point.x = p.x;
        point.y = p.y;
        point.z = p.z;
        const Vec q = MatTransform(inverse, VecSub(point, origin));
        p = {float(sx * q.x), float(sy * q.y), float(sz * q.z)};
    }
}

void ComputeMeshNormals(Mesh& mesh)
{
    for (Face& face : mesh.faces) {
        const Double3 a = ToDouble(mesh.positions[face.a]);
        const Double3 b = ToDouble(mesh.positions[face.b]);
        const Double3 c = ToDouble(mesh.positions[face.c]);
        face.normal = Normalized(Cross(Minus(c, b), Minus(a, b)));
    }

    VertexFaces lists;
    lists.Build(mesh);
    SplitBySmoothingGroups(mesh, lists);
    lists.Build(mesh);
    for (size_t v = 0; v < mesh.VertexCount(); ++v) {
        Double3 sum;
        for (uint32_t i = lists.Begin(v); i < lists.End(v); ++i) {
            const Vec3& n = mesh.faces[lists.faces[i]].normal;
            sum = {sum.x + n.x, sum.y + n.y, sum.z + n.z};
        }
        mesh.normals[v] = Normalized(sum);
    }
}

void ComputeMeshTangents(Mesh& mesh)
{
    for (Face& face : mesh.faces) {
        const Vec3 &pa = mesh.positions[face.a], &pb = mesh.positions[face.b], &pc = mesh.positions[face.c];
        const Vec2 &ta = mesh.texCoords[face.a], &tb = mesh.texCoords[face.b], &tc = mesh.texCoords[face.c];
        const double du1 = double(tb.u) - ta.u, dv1 = double(tb.v) - ta.v;
        const double du2 = double(tc.u) - ta.u, dv2 = double(tc.v) - ta.v;
        // The first component of e1 x e2 is the same for every axis: twice the face's area in uv space.
        const double area = du1 * dv2 - dv1 * du2;
        const double dp1[3] = {double(pb.x) - pa.x, double(pb.y) - pa.y, double(pb.z) - pa.z};
        const double dp2[3] = {double(pc.x) - pa.x, double(pc.y) - pa.y, double(pc.z) - pa.z};
        double tangent[3] = {}, binormal[3] = {};
        bool usable = area != 0.0;
        for (int k = 0; k < 3 && usable; ++k) {
            const double b = dv1 * dp2[k] - dp1[k] * dv2;
            const double c = dp1[k] * du2 - du1 * dp2[k];
            tangent[k] = -b / area;
            binormal[k] = -c / area;
            usable = std::isfinite(float(tangent[k])) && std::isfinite(float(binormal[k]));
        }
        // A face without a usable uv mapping adds nothing to its vertices' frames.
        if (!usable) {
            face.tangent = {};
            face.binormal = {};
            continue;
        }
        face.tangent = {float(tangent[0]), float(tangent[1]), float(tangent[2])};
        face.binormal = {float(binormal[0]), float(binormal[1]), float(binormal[2])};
    }

    VertexFaces lists;
    lists.Build(mesh);
    for (size_t v = 0; v < mesh.VertexCount(); ++v) {
        Double3 sum;
        for (uint32_t i = lists.Begin(v); i < lists.End(v); ++i) {
            const Vec3& t = mesh.faces[lists.faces[i]].tangent;
            sum = {sum.x + t.x, sum.y + t.y, sum.z + t.z};
        }
        mesh.tangents[v] = Normalized(sum);
        mesh.binormals[v] = Normalized(Cross(ToDouble(mesh.tangents[v]), ToDouble(mesh.normals[v])));
    }
}

void DropFacesWithMissingVertices(Mesh& mesh)
{
    const size_t count = mesh.VertexCount();
    std::erase_if(mesh.faces, [count](const Face& face) {
        return face.a >= count || face.b >= count || face.c >= count;
    });
}

void FillIndexTriples(Mesh& mesh)
{
    mesh.indexTriples.resize(mesh.faces.size());
    for (size_t f = 0; f < mesh.faces.size(); ++f)
        mesh.indexTriples[f] = {mesh.faces[f].a, mesh.faces[f].b, mesh.faces[f].c};
}

bool Model::PostProcess()
{
    const size_t paired = std::min(nodes.size(), meshes.size());
    if (uint64_t(paired) * frameCount * 7 > kMaxKeyframeSampleFloats) return false;
    for (size_t i = 0; i < paired; ++i) SampleKeyNode(nodes[i], frameCount);
    // Nodes without a mesh of their own are not sampled; their keys are of no further use.
    for (size_t i = paired; i < nodes.size(); ++i) {
        nodes[i].rotationKeys = {};
        nodes[i].positionKeys = {};
    }
    for (size_t i = 0; i < paired; ++i) MoveMeshToLocalSpace(meshes[i], nodes[i]);
    for (Mesh& mesh : meshes) {
        DropFacesWithMissingVertices(mesh);
        ComputeMeshNormals(mesh);
        ComputeMeshTangents(mesh);
        FillIndexTriples(mesh);
    }
    return true;
}
