// Checks of the mesh model's post-processing: keyframe sampling, local space, smoothing split and vertex
// normals, tangent frames, the vertex limit, index triples and the lookups by name.
// Depends on assets/mesh_model.h, the test chunk writer and GoogleTest.
#include "assets/mesh_model.h"

#include <gtest/gtest.h>

#include <cmath>

#include "assets/model3ds.h"
#include "tests/assets/model3ds_builder.h"

namespace {

Mesh MakeMesh(const std::vector<float>& xyz, const std::vector<BuiltFace>& faces,
              const std::vector<uint32_t>& smoothing = {})
{
    Mesh mesh;
    mesh.ResizeVertices(xyz.size() / 3);
    for (size_t v = 0; v < mesh.VertexCount(); ++v)
        mesh.positions[v] = {xyz[v * 3], xyz[v * 3 + 1], xyz[v * 3 + 2]};
    for (size_t f = 0; f < faces.size(); ++f) {
        Face face;
        face.a = faces[f].a;
        face.b = faces[f].b;
        face.c = faces[f].c;
        if (f < smoothing.size()) face.smoothingGroup = smoothing[f];
        mesh.faces.push_back(face);
    }
    return mesh;
}

void ExpectVec3(const Vec3& v, float x, float y, float z, float tolerance = 1e-5f)
{
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

bool Finite(const Vec3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

}  // namespace

TEST(KeyframeSampling, SingleRotationKeyGivesZeroSamplesAndTheFirstRotation)
{
    KeyNode node;
    node.rotationKeys.push_back({0.0f, 0.0f, -1.0f, 1.5f, 0});
    SampleKeyNode(node, 1);
    ASSERT_EQ(node.rotationSamples.size(), 4u);
    for (float s : node.rotationSamples) EXPECT_EQ(s, 0.0f);
    EXPECT_EQ(node.firstRotation[2], -1.0f);
    EXPECT_EQ(node.firstRotation[3], 1.5f);
    EXPECT_TRUE(node.rotationKeys.empty());
}

TEST(KeyframeSampling, TwoRotationKeysRampTheAccumulatedAngle)
{
    KeyNode node;
    node.rotationKeys.push_back({0.0f, 0.0f, 1.0f, 0.5f, 0});
    node.rotationKeys.push_back({0.0f, 1.0f, 0.0f, 1.0f, 10});
    SampleKeyNode(node, 20);
    ASSERT_EQ(node.rotationSamples.size(), 80u);
    auto angle = [&](int f) { return node.rotationSamples[f * 4 + 3]; };
    // Frames 0..9 turn from nothing towards key 1's axis and angle; 10..19 go on to twice that angle.
    EXPECT_FLOAT_EQ(angle(0), 0.0f);
    EXPECT_FLOAT_EQ(angle(5), 0.5f);
    EXPECT_FLOAT_EQ(angle(9), 0.9f);
    EXPECT_FLOAT_EQ(angle(10), 1.0f);
    EXPECT_FLOAT_EQ(angle(15), 1.5f);
    EXPECT_FLOAT_EQ(angle(19), 1.9f);
    EXPECT_FLOAT_EQ(node.rotationSamples[5 * 4 + 1], 0.5f);  // axis y half way to key 1
    EXPECT_FLOAT_EQ(node.rotationSamples[12 * 4 + 1], 1.0f);
    EXPECT_FLOAT_EQ(node.firstRotation[3], 0.5f);
}

TEST(KeyframeSampling, PositionsHoldTheFirstKeyThenInterpolate)
{
    KeyNode node;
    node.pivots.push_back({1.0f, 2.0f, 3.0f, 0});
    node.positionKeys.push_back({10.0f, 0.0f, 0.0f, 2});
    node.positionKeys.push_back({20.0f, 4.0f, 0.0f, 6});
    SampleKeyNode(node, 8);
    auto x = [&](int f) { return node.positionSamples[f * 3]; };
    EXPECT_FLOAT_EQ(x(0), 10.0f);
    EXPECT_FLOAT_EQ(x(1), 10.0f);
    EXPECT_FLOAT_EQ(x(2), 10.0f);
    EXPECT_FLOAT_EQ(x(4), 15.0f);
    EXPECT_FLOAT_EQ(node.positionSamples[4 * 3 + 1], 2.0f);
    EXPECT_FLOAT_EQ(x(6), 20.0f);
    EXPECT_FLOAT_EQ(x(7), 20.0f);
    ExpectVec3(node.pivot, 1.0f, 2.0f, 3.0f);
    EXPECT_TRUE(node.positionKeys.empty());

    // Keys beyond the last frame: the ramp keeps the pace of its real segment instead of arriving early.
    KeyNode late;
    late.positionKeys.push_back({0.0f, 0.0f, 0.0f, 0});
    late.positionKeys.push_back({100.0f, 0.0f, 0.0f, 100});
    SampleKeyNode(late, 4);
    EXPECT_FLOAT_EQ(late.positionSamples[3 * 3], 3.0f);
}

TEST(LocalSpace, ScaleOnlyMatrixKeepsVerticesAndRotatedMatrixIsUndone)
{
    Mesh scaled = MakeMesh({1, 2, 3, -4, 5, 6}, {});
    const float scale[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1};
    std::copy(scale, scale + 16, scaled.matrix);
    KeyNode node;
    node.pivot = {1.0f, -1.0f, 0.5f};
    MoveMeshToLocalSpace(scaled, node);
    ExpectVec3(scaled.positions[0], 1, 2, 3);
    ExpectVec3(scaled.positions[1], -4, 5, 6);
    ExpectVec3(node.pivot, -2.0f, 2.0f, -1.0f);

    Mesh rotated = MakeMesh({5, 1, 0}, {});
    const float turn[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 5, 0, 0, 1};
    std::copy(turn, turn + 16, rotated.matrix);
    KeyNode other;
    MoveMeshToLocalSpace(rotated, other);
    ExpectVec3(rotated.positions[0], 1, 0, 0);

    Mesh identity = MakeMesh({7, 8, 9}, {});
    MoveMeshToLocalSpace(identity, other);
    ExpectVec3(identity.positions[0], 7, 8, 9);
}

TEST(Normals, CubeWithSixSmoothingGroupsSplitsIntoTwentyFourVertices)
{
    Mesh cube = MakeMesh(CubeCorners(), CubeFaces(), {1, 1, 2, 2, 4, 4, 8, 8, 16, 16, 32, 32});
    ComputeMeshNormals(cube);
    ASSERT_EQ(cube.VertexCount(), 24u);
    EXPECT_EQ(cube.texCoords2.size(), 24u);
    const Vec3 sides[6] = {{0, 0, -1}, {0, 0, 1}, {0, -1, 0}, {0, 1, 0}, {-1, 0, 0}, {1, 0, 0}};
    std::vector<int> uses(24, 0);
    for (size_t f = 0; f < cube.faces.size(); ++f) {
        const Face& face = cube.faces[f];
        const Vec3& side = sides[f / 2];
        ExpectVec3(face.normal, side.x, side.y, side.z);
        for (uint16_t v : {face.a, face.b, face.c}) {
            ++uses[v];
            ExpectVec3(cube.normals[v], side.x, side.y, side.z);
        }
    }
    // Every vertex now belongs to exactly one side (used by one or two of its triangles).
    for (int count : uses) EXPECT_TRUE(count == 1 || count == 2);
}

TEST(Normals, SharedGroupKeepsVerticesAndAveragesFaceNormals)
{
    Mesh cube = MakeMesh(CubeCorners(), CubeFaces());
    ComputeMeshNormals(cube);
    ASSERT_EQ(cube.VertexCount(), 8u);
    // Corner 0 touches the -x, -y and -z sides with 2, 2 and 2 triangles: the normalised sum is diagonal.
    const float d = 1.0f / std::sqrt(3.0f);
    ExpectVec3(cube.normals[0], -d, -d, -d);
    ExpectVec3(cube.normals[6], d, d, d);

    // Masks that merely share a bit still count as different groups.
    Mesh pair = MakeMesh({0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}, {{0, 1, 2}, {0, 3, 1}}, {3, 1});
    ComputeMeshNormals(pair);
    EXPECT_EQ(pair.VertexCount(), 6u);
    EXPECT_EQ(pair.faces[0].a, 0);
    EXPECT_EQ(pair.faces[1].a, 4);
    EXPECT_EQ(pair.faces[1].c, 5);
    ExpectVec3(pair.positions[4], 0, 0, 0);
}

TEST(Normals, DegenerateFaceLeavesAZeroNormal)
{
    Mesh line = MakeMesh({0, 0, 0, 1, 0, 0, 2, 0, 0}, {{0, 1, 2}});
    ComputeMeshNormals(line);
    ExpectVec3(line.faces[0].normal, 0, 0, 0, 0);
    ExpectVec3(line.normals[1], 0, 0, 0, 0);
}

TEST(Tangents, FollowTheTextureDirectionsAndStayFiniteOnDegenerateUvs)
{
    // A quad in the xy plane mapped with u along x and v along y.
    Mesh quad = MakeMesh({0, 0, 0, 2, 0, 0, 2, 2, 0, 0, 2, 0}, {{0, 1, 2}, {0, 2, 3}});
    const Vec2 uv[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int v = 0; v < 4; ++v) quad.texCoords[v] = quad.texCoords2[v] = uv[v];
    ComputeMeshNormals(quad);
    ComputeMeshTangents(quad);
    ExpectVec3(quad.faces[0].tangent, 2, 0, 0);
    ExpectVec3(quad.faces[0].binormal, 0, 2, 0);
    for (int v = 0; v < 4; ++v) {
        ExpectVec3(quad.normals[v], 0, 0, 1);
        ExpectVec3(quad.tangents[v], 1, 0, 0);
        ExpectVec3(quad.binormals[v], 0, -1, 0);  // tangent x normal
    }

    // All uvs equal: no usable mapping, so the face adds nothing, and no infinity or NaN appears.
    Mesh flat = MakeMesh({0, 0, 0, 1, 0, 0, 0, 1, 0}, {{0, 1, 2}});
    ComputeMeshNormals(flat);
    ComputeMeshTangents(flat);
    ExpectVec3(flat.faces[0].tangent, 0, 0, 0, 0);
    for (int v = 0; v < 3; ++v) {
        EXPECT_TRUE(Finite(flat.tangents[v]) && Finite(flat.binormals[v]));
        ExpectVec3(flat.tangents[v], 0, 0, 0, 0);
    }

    // A uv area so small that the quotient overflows a float counts as degenerate too.
    Mesh tiny = MakeMesh({0, 0, 0, 1e30f, 0, 0, 0, 1e30f, 0}, {{0, 1, 2}});
    tiny.texCoords[1] = {1e-30f, 0};
    tiny.texCoords[2] = {0, 1e-30f};
    ComputeMeshNormals(tiny);
    ComputeMeshTangents(tiny);
    for (int v = 0; v < 3; ++v) EXPECT_TRUE(Finite(tiny.tangents[v]) && Finite(tiny.binormals[v]));
}

TEST(SmoothingSplit, StopsAtTheSixteenBitVertexLimit)
{
    // 30,000 triangles that all share vertex 0 and each carry their own group: vertex 0 alone asks for
    // 29,999 copies on top of 60,001 vertices.
    std::vector<float> xyz = {0, 0, 0};
    std::vector<BuiltFace> faces;
    std::vector<uint32_t> groups;
    for (uint16_t i = 0; i < 30000; ++i) {
        xyz.insert(xyz.end(), {float(i), 1, 0, float(i), 0, 1});
        faces.push_back({0, uint16_t(1 + 2 * i), uint16_t(2 + 2 * i)});
        groups.push_back(i + 1u);
    }
    Mesh mesh = MakeMesh(xyz, faces, groups);
    ComputeMeshNormals(mesh);
    ComputeMeshTangents(mesh);
    FillIndexTriples(mesh);
    EXPECT_EQ(mesh.VertexCount(), kMaxMeshVertices);
    EXPECT_EQ(mesh.normals.size(), kMaxMeshVertices);
    for (const IndexTriple& t : mesh.indexTriples) EXPECT_LT(t.a, mesh.VertexCount());
    // Faces past the limit keep the shared vertex.
    EXPECT_EQ(mesh.faces.back().a, 0);
    EXPECT_NE(mesh.faces[1].a, 0);
}

TEST(MeshModel, IndexTriplesLookupsAndDroppedFaces)
{
    Mesh mesh = MakeMesh({0, 0, 0, 1, 0, 0, 0, 1, 0}, {{0, 1, 2}, {2, 1, 9}, {1, 2, 0}});
    DropFacesWithMissingVertices(mesh);
    ASSERT_EQ(mesh.faces.size(), 2u);
    FillIndexTriples(mesh);
    ASSERT_EQ(mesh.indexTriples.size(), 2u);
    EXPECT_EQ(mesh.indexTriples[1].a, 1);
    EXPECT_EQ(mesh.indexTriples[1].c, 0);

    Model3ds model;
    EXPECT_EQ(model.normalMode, 2);
    model.materials.resize(2);
    model.materials[0].SetName("Stone");
    model.materials[1].SetName("Stone");
    model.materials[1].index = 1;
    model.meshes.resize(1);
    model.meshes[0].SetName("Rock");
    EXPECT_EQ(model.FindMaterial("Stone"), &model.materials[0]);
    EXPECT_EQ(model.FindMaterial("stone"), nullptr);
    EXPECT_EQ(model.FindMesh("Rock"), &model.meshes[0]);
    EXPECT_EQ(model.FindMesh("Rock "), nullptr);
    model.cameras.resize(1);
    model.normalMode = 5;
    model.Clear();
    EXPECT_TRUE(model.materials.empty() && model.meshes.empty() && model.lights.empty());
    EXPECT_EQ(model.cameras.size(), 1u);
    EXPECT_EQ(model.normalMode, 2);
}
