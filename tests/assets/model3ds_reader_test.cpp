// Checks of the 3DS reader on files written byte by byte: every chunk it understands, the bounded reads,
// damaged and hostile files, and what a second Load keeps.
// Depends on assets/model3ds.h, the test chunk writer and GoogleTest.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "assets/model3ds.h"
#include "tests/assets/model3ds_builder.h"

namespace {

bool LoadBytes(Model3ds& model, const std::vector<uint8_t>& bytes)
{
    return model.LoadFromMemory(bytes.data(), bytes.size());
}

void ExpectVec3(const Vec3& v, float x, float y, float z, float tolerance = 1e-5f)
{
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

void WriteMaterial(ChunkWriter& w, const std::string& name, uint8_t r, uint8_t g, uint8_t b)
{
    w.Begin(0xAFFF).StrChunk(0xA000, name);
    w.Begin(0xA020).Begin(0x11).U8(r).U8(g).U8(b).End().End();
    w.End();
}

// A file with a bit of everything: two materials, a textured mesh with material and smoothing groups and
// a matrix, a light, a camera, and a keyframer node with pivot, position and rotation tracks.
ChunkWriter RichFile()
{
    ChunkWriter w;
    w.Begin(0x4D4D).Begin(0x0002).U32(3).End().Begin(0x3D3D);
    w.Begin(0xAFFF).StrChunk(0xA000, "Gold");
    w.Begin(0xA010).Begin(0x10).F3(0.1f, 0.2f, 0.3f).End().End();
    w.Begin(0xA020).Begin(0x11).U8(255).U8(128).U8(0).End().End();
    w.Begin(0xA030).Begin(0x13).F3(0.5f, 0.5f, 0.5f).End().End();
    w.Begin(0xA040).Begin(0x30).U16(150).End().End();
    w.Begin(0xA050).Begin(0x30).U16(50).End().End();
    w.Begin(0xA100).U16(3).End();
    w.Begin(0xA200).Begin(0x30).U16(75).End().StrChunk(0xA300, "gold.jpg");
    w.Begin(0xA354).F32(2.0f).End().Begin(0xA356).F32(3.0f).End();
    w.Begin(0xA358).F32(0.25f).End().Begin(0xA35A).F32(0.5f).End().Begin(0xA35C).F32(45.0f).End();
    w.End();
    w.End();
    WriteMaterial(w, "Lead", 10, 20, 30);
    w.Begin(0x4000).Str("Box").Begin(0x4100);
    w.Begin(0x4110).U16(4).F3(0, 0, 0).F3(1, 0, 0).F3(1, 1, 0).F3(0, 1, 0).End();
    w.Begin(0x4140).U16(4).F32(0).F32(0).F32(1).F32(0).F32(1).F32(1).F32(0).F32(1).End();
    w.Begin(0x4120).U16(2).U16(0).U16(1).U16(2).U16(7).U16(0).U16(2).U16(3).U16(7);
    w.Begin(0x4130).Str("Lead").U16(1).U16(1).End();
    w.Begin(0x4150).U32(1).U32(1).End();
    w.End();
    w.Begin(0x4160).F3(1, 0, 0).F3(0, 1, 0).F3(0, 0, 1).F3(0, 0, 0).End();
    w.End().End();
    w.Begin(0x4000).Str("Sun").Begin(0x4600).F3(1, 2, 3);
    w.Begin(0x11).U8(255).U8(255).U8(0).End();
    w.Begin(0x4610).F3(4, 5, 6).F32(30.0f).F32(40.0f).End();
    w.Begin(0x4659).F32(7.0f).End().Begin(0x465A).F32(70.0f).End();
    w.End().End();
    w.Begin(0x4000).Str("Eye").Begin(0x4700).F3(0, -10, 0).F3(0, 0, 0).F32(0.0f).F32(50.0f);
    w.Begin(0x4720).F32(1.0f).F32(500.0f).End();
    w.End().End();
    w.End();  // editor
    w.Begin(0xB000).Begin(0xB002);
    w.Begin(0xB030).U16(0).End();
    w.Begin(0xB010).Str("Box").U16(0).U16(0).U16(0xFFFF).End();
    w.Begin(0xB013).F3(0.5f, 0.5f, 0.0f).End();
    w.Begin(0xB020).U16(0).U32(0).U32(0).U32(1).U32(0).U16(0).F3(2, 3, 4).End();
    w.Begin(0xB021).U16(0).U32(0).U32(0).U32(1).U32(0).U16(0).F32(1.5f).F3(0, 0, 1).End();
    w.End().End();
    w.End();  // main
    return w;
}

std::string TempPath(const std::string& name)
{
    return (std::filesystem::temp_directory_path() / ("quarnel_model3ds_" + name)).string();
}

}  // namespace

TEST(Model3dsFile, RejectsFilesWithoutMainOrEditorChunk)
{
    Model3ds model;
    ASSERT_TRUE(LoadBytes(model, RichFile().Bytes()));
    ChunkWriter wrongId;
    wrongId.Begin(0x4D4C).Begin(0x3D3D).End().End();
    EXPECT_FALSE(LoadBytes(model, wrongId.Bytes()));
    EXPECT_TRUE(model.meshes.empty() && model.lights.empty() && model.materials.empty());

    ChunkWriter noEditor;
    noEditor.Begin(0x4D4D).Begin(0x0002).U32(3).End().End();
    EXPECT_FALSE(LoadBytes(model, noEditor.Bytes()));
    EXPECT_FALSE(LoadBytes(model, {}));
    EXPECT_FALSE(LoadBytes(model, {0x4D, 0x4D, 0x06}));

    ChunkWriter empty;
    empty.Begin(0x4D4D).Begin(0x3D3D).End().End();
    EXPECT_TRUE(LoadBytes(model, empty.Bytes()));
    EXPECT_EQ(model.frameCount, 0u);
}

TEST(Model3dsFile, ReadsMaterials)
{
    Model3ds model;
    ASSERT_TRUE(LoadBytes(model, RichFile().Bytes()));
    ASSERT_EQ(model.materials.size(), 2u);
    const Material& gold = model.materials[0];
    EXPECT_EQ(gold.Name(), "Gold");
    EXPECT_EQ(gold.index, 0u);
    EXPECT_EQ(model.materials[1].index, 1u);
    ExpectVec3(gold.ambient, 0.1f, 0.2f, 0.3f, 0);
    EXPECT_EQ(gold.diffuse.x, 1.0f);
    EXPECT_EQ(gold.diffuse.y, 128.0f / 255.0f);
    EXPECT_EQ(gold.diffuse.z, 0.0f);
    ExpectVec3(gold.specular, 0.5f, 0.5f, 0.5f, 0);
    EXPECT_EQ(gold.shininess, 1.0f);  // 150 % clamped
    EXPECT_EQ(gold.transparency, 0.5f);
    EXPECT_EQ(gold.shading, 3);
    EXPECT_FLOAT_EQ(gold.textureMap1.amount, 0.75f);
    EXPECT_EQ(gold.textureMap1.fileName, "gold.jpg");
    EXPECT_EQ(gold.textureMap1.uScale, 2.0f);
    EXPECT_EQ(gold.textureMap1.vScale, 3.0f);
    EXPECT_EQ(gold.textureMap1.uOffset, 0.25f);
    EXPECT_EQ(gold.textureMap1.vOffset, 0.5f);
    EXPECT_EQ(gold.textureMap1.rotation, 45.0f);
    EXPECT_EQ(gold.textureMap2.amount, 0.0f);
    EXPECT_EQ(gold.textureMap2.uScale, 1.0f);
    EXPECT_TRUE(gold.bumpMap.fileName.empty());
    ExpectVec3(model.materials[1].diffuse, 10 / 255.0f, 20 / 255.0f, 30 / 255.0f);
    EXPECT_EQ(model.materials[1].shading, 2);
    EXPECT_NE(model.FindMaterial("Lead"), nullptr);
}

TEST(Model3dsFile, MaterialShadingPercentagesMapKindsAndColourForms)
{
    ChunkWriter w;
    w.Begin(0x4D4D).Begin(0x3D3D);
    w.Begin(0xAFFF).StrChunk(0xA000, "A");
    w.Begin(0xA100).U16(1).End().Begin(0xA100).U16(7).End();  // 7 is no shading: keeps 1
    w.Begin(0xA010).Begin(0x12).U8(51).U8(0).U8(255).End().End();
    w.Begin(0xA020).Begin(0x99).F3(1, 1, 1).End().End();  // unknown colour form
    w.Begin(0xA030).Begin(0x10).F3(0.25f, 0.5f, 0.75f).End().End();
    w.Begin(0xA040).Begin(0x31).F32(0.3f).End().End();
    w.Begin(0xA050).Begin(0x30).U16(uint16_t(-20)).End().End();
    w.Begin(0xA33A).StrChunk(0xA300, "two.jpg").End();
    w.Begin(0xA210).StrChunk(0xA300, "opacity.jpg").End();
    w.Begin(0xA230).StrChunk(0xA300, "bump.jpg").End();
    w.Begin(0xA204).StrChunk(0xA300, "specular.jpg").End();
    w.Begin(0xA220).Begin(0x30).U16(40).End().StrChunk(0xA300, "").End();
    w.End();
    w.Begin(0xAFFF).StrChunk(0xA000, "B").Begin(0xA100).U16(4).End().Begin(0xA085).End();
    w.Begin(0xA220).Begin(0x30).U16(10).End().StrChunk(0xA300, "chrome.jpg").End();
    w.End();
    // A reflection map without its file name chunk: the map stays unnamed, the material is kept.
    w.Begin(0xAFFF).StrChunk(0xA000, "C").Begin(0xA220).Begin(0x30).U16(10).End().End();
    w.Begin(0xA020).Begin(0x11).U8(0).U8(255).U8(0).End().End().End();
    w.End().End();
    Model3ds model;
    ASSERT_TRUE(LoadBytes(model, w.Bytes()));
    ASSERT_EQ(model.materials.size(), 3u);
    const Material& a = model.materials[0];
    EXPECT_EQ(a.shading, 1);
    ExpectVec3(a.ambient, 0.2f, 0.0f, 1.0f);
    ExpectVec3(a.diffuse, 0, 0, 0, 0);
    ExpectVec3(a.specular, 0.25f, 0.5f, 0.75f, 0);
    EXPECT_FLOAT_EQ(a.shininess, 0.3f);
    EXPECT_EQ(a.transparency, 0.0f);
    EXPECT_EQ(a.textureMap2.fileName, "two.jpg");
    EXPECT_EQ(a.opacityMap.fileName, "opacity.jpg");
    EXPECT_EQ(a.bumpMap.fileName, "bump.jpg");
    EXPECT_EQ(a.specularMap.fileName, "specular.jpg");
    EXPECT_EQ(a.reflectionMap.fileName, "auto");
    EXPECT_FLOAT_EQ(a.reflectionMap.amount, 0.4f);
    EXPECT_EQ(model.materials[1].shading, 0);
    EXPECT_EQ(model.materials[1].reflectionMap.fileName, "chrome.jpg");
    EXPECT_EQ(model.materials[2].Name(), "C");
    EXPECT_TRUE(model.materials[2].reflectionMap.fileName.empty());
    EXPECT_EQ(model.materials[2].diffuse.y, 1.0f);
    EXPECT_EQ(model.materials[2].index, 2u);
}

TEST(Model3dsFile, ReadsMeshesLightsAndCameras)
{
    Model3ds model;
    ASSERT_TRUE(LoadBytes(model, RichFile().Bytes()));
    ASSERT_EQ(model.meshes.size(), 1u);
    const Mesh& box = model.meshes[0];
    EXPECT_EQ(box.Name(), "Box");
    ASSERT_EQ(box.VertexCount(), 4u);
    ExpectVec3(box.positions[2], 1, 1, 0, 0);
    EXPECT_EQ(box.texCoords[2].u, 1.0f);
    EXPECT_EQ(box.texCoords2[3].v, 1.0f);
    ASSERT_EQ(box.faces.size(), 2u);
    EXPECT_EQ(box.faces[1].c, 3);
    EXPECT_EQ(box.faces[0].materialIndex, 0u);
    EXPECT_EQ(box.faces[1].materialIndex, 1u);
    ASSERT_EQ(box.materialIndices.size(), 1u);
    EXPECT_EQ(box.materialIndices[0], 1u);
    ASSERT_EQ(box.indexTriples.size(), 2u);
    EXPECT_EQ(box.indexTriples[1].b, 2);
    ExpectVec3(box.normals[0], 0, 0, 1);
    ExpectVec3(box.tangents[0], 1, 0, 0);

    ASSERT_EQ(model.lights.size(), 1u);
    const Light& sun = model.lights[0];
    EXPECT_EQ(sun.Name(), "Sun");
    ExpectVec3(sun.position, 1, 2, 3, 0);
    ExpectVec3(sun.colour, 1, 1, 0, 0);
    ExpectVec3(sun.target, 4, 5, 6, 0);
    EXPECT_EQ(sun.hotspot, 30.0f);
    EXPECT_EQ(sun.falloff, 40.0f);
    EXPECT_EQ(sun.innerRange, 7.0f);
    EXPECT_EQ(sun.outerRange, 70.0f);

    ASSERT_EQ(model.cameras.size(), 1u);
    const Camera& eye = model.cameras[0];
    EXPECT_EQ(eye.Name(), "Eye");
    ExpectVec3(eye.position, 0, -10, 0, 0);
    EXPECT_EQ(eye.fieldOfView, 48.0f);
    EXPECT_EQ(eye.nearRange, 1.0f);
    EXPECT_EQ(eye.farRange, 500.0f);
}

TEST(Model3dsFile, MeshDetailsAndDefaults)
{
    ChunkWriter w;
    w.Begin(0x4D4D).Begin(0x3D3D);
    WriteMaterial(w, "Known", 1, 2, 3);
    // Object whose first sub-chunk is neither mesh, light nor camera: ignored, though a mesh follows.
    w.Begin(0x4000).Str("Hidden").Begin(0x4010).End().Begin(0x4100);
    w.Begin(0x4110).U16(1).F3(1, 1, 1).End().End().End();
    // UVs before vertices size the lists; surplus uvs are dropped; an unknown material group is skipped.
    w.Begin(0x4000).Str("Plain").Begin(0x4100);
    w.Begin(0x4140).U16(3).F32(0.5f).F32(0.25f).F32(1).F32(0).F32(0).F32(1).End();
    w.Begin(0x4110).U16(3).F3(0, 0, 0).F3(1, 0, 0).F3(0, 1, 0).End();  // the uvs read before stay
    w.Begin(0x4120).U16(1).U16(0).U16(1).U16(2).U16(0);
    w.Begin(0x4130).Str("Missing").U16(1).U16(0).End();
    w.Begin(0x4130).Str("Known").U16(2).U16(0).U16(40).End();
    w.End();
    w.End().End();
    w.Begin(0x4000).Str("Moved").Begin(0x4100);
    w.Begin(0x4110).U16(3).F3(5, 1, 0).F3(5, 2, 0).F3(4, 1, 0).End();
    w.Begin(0x4140).U16(5).F32(0.1f).F32(0.2f).F32(0).F32(0).F32(0).F32(0).F32(9).F32(9).F32(9).F32(9).End();
    w.Begin(0x4120).U16(1).U16(0).U16(1).U16(2).U16(0).End();
    w.Begin(0x4160).F3(0, 1, 0).F3(-1, 0, 0).F3(0, 0, 1).F3(5, 0, 0).End();
    w.End().End();
    // Light and camera with nothing but their fixed data keep the documented defaults.
    w.Begin(0x4000).Str("Lamp").Begin(0x4600).F3(0, 0, 9).End().End();
    w.Begin(0x4000).Str("Cam").Begin(0x4700).F3(0, 0, 0).F3(1, 0, 0).F32(0.5f).F32(0.0f).End().End();
    w.End().End();
    Model3ds model;
    ASSERT_TRUE(LoadBytes(model, w.Bytes()));
    ASSERT_EQ(model.meshes.size(), 2u);
    const Mesh& plain = model.meshes[0];
    EXPECT_EQ(plain.Name(), "Plain");
    ASSERT_EQ(plain.VertexCount(), 3u);
    EXPECT_EQ(plain.texCoords[0].u, 0.5f);
    EXPECT_EQ(plain.texCoords2[0].v, 0.25f);
    EXPECT_EQ(plain.texCoords[2].v, 1.0f);
    EXPECT_EQ(plain.positions[1].x, 1.0f);
    ASSERT_EQ(plain.materialIndices.size(), 1u);
    EXPECT_EQ(plain.materialIndices[0], 0u);
    EXPECT_EQ(plain.faces[0].materialIndex, 0u);
    EXPECT_EQ(plain.faces[0].smoothingGroup, 1u);
    EXPECT_EQ(plain.matrix[0], 1.0f);
    EXPECT_EQ(plain.matrix[5], 1.0f);
    EXPECT_EQ(plain.matrix[12], 0.0f);

    // Without a keyframer node the mesh keeps its file positions; the matrix is stored column by column.
    const Mesh& moved = model.meshes[1];
    ExpectVec3(moved.positions[0], 5, 1, 0, 0);
    EXPECT_EQ(moved.texCoords[0].u, 0.1f);
    EXPECT_EQ(moved.texCoords.size(), 3u);
    EXPECT_EQ(moved.matrix[1], 1.0f);
    EXPECT_EQ(moved.matrix[4], -1.0f);
    EXPECT_EQ(moved.matrix[12], 5.0f);
    EXPECT_EQ(moved.matrix[15], 1.0f);
    EXPECT_EQ(moved.matrix[3], 0.0f);

    ASSERT_EQ(model.lights.size(), 1u);
    EXPECT_EQ(model.lights[0].innerRange, 100.0f);
    EXPECT_EQ(model.lights[0].outerRange, 1000.0f);
    ExpectVec3(model.lights[0].colour, 0, 0, 0, 0);
    ASSERT_EQ(model.cameras.size(), 1u);
    EXPECT_EQ(model.cameras[0].roll, 0.5f);
    EXPECT_EQ(model.cameras[0].fieldOfView, 80.0f);  // lens 0 has no field of view
    EXPECT_EQ(model.cameras[0].nearRange, 10.0f);
    EXPECT_EQ(model.cameras[0].farRange, 10000.0f);
}

TEST(Model3dsFile, KeyframerNodes)
{
    Model3ds model;
    ASSERT_TRUE(LoadBytes(model, RichFile().Bytes()));
    EXPECT_EQ(model.frameCount, 1u);  // the track header said 0
    ASSERT_EQ(model.nodes.size(), 1u);
    const KeyNode& node = model.nodes[0];
    EXPECT_EQ(node.name, "Box");
    ExpectVec3(node.pivot, -0.5f, -0.5f, 0.0f);
    // The rotation axis is stored negated.
    EXPECT_EQ(node.firstRotation[0], 0.0f);
    EXPECT_EQ(node.firstRotation[2], -1.0f);
    EXPECT_EQ(node.firstRotation[3], 1.5f);
    ASSERT_EQ(node.positionSamples.size(), 3u);
    EXPECT_EQ(node.positionSamples[1], 3.0f);
    ASSERT_EQ(node.rotationSamples.size(), 4u);
    for (float s : node.rotationSamples) EXPECT_EQ(s, 0.0f);
    EXPECT_TRUE(node.pivots.empty() && node.positionKeys.empty() && node.rotationKeys.empty());

    // Nodes pair with meshes by position; key headers announce spline floats with either bit group.
    ChunkWriter w;
    w.Begin(0x4D4D).Begin(0x3D3D);
    WriteMeshObject(w, "M1", {0, 0, 0, 1, 0, 0, 0, 1, 0}, {{0, 1, 2}});
    WriteMeshObject(w, "M2", {0, 0, 0, 1, 0, 0, 0, 1, 0}, {{0, 1, 2}});
    w.End();
    w.Begin(0xB000);
    w.Begin(0xB002).Begin(0xB010).Str("$$$DUMMY").U16(0).U16(0).U16(0).End();
    w.Begin(0xB020).U16(0).U32(0).U32(50).U32(1).U32(0).U16(0).F3(9, 9, 9).End().End();
    w.Begin(0xB002).Begin(0xB010).Str("M2").U16(0).U16(0).U16(0).End();
    w.Begin(0xB020).U16(0).U32(0).U32(20).U32(2);
    w.U32(0).U16(0x8000 | 0x0800).F32(11).F32(12).F3(0, 0, 0);
    w.U32(10).U16(0x0001 | 0x0010).F32(13).F32(14).F3(10, 20, 30).End();
    w.Begin(0xB021).U16(0).U32(0).U32(0).U32(2);
    w.U32(0).U16(0).F32(0.5f).F3(0, 0, 1);
    w.U32(10).U16(0x2000).F32(99).F32(1.0f).F3(0, 1, 0).End();
    w.End().End().End();
    ASSERT_TRUE(LoadBytes(model, w.Bytes()));
    EXPECT_EQ(model.frameCount, 20u);  // the dummy's track is never read
    ASSERT_EQ(model.nodes.size(), 2u);
    EXPECT_EQ(model.nodes[0].name, "$$$DUMMY");
    for (float s : model.nodes[0].positionSamples) EXPECT_EQ(s, 0.0f);
    const KeyNode& second = model.nodes[1];
    ASSERT_EQ(second.positionSamples.size(), 60u);
    EXPECT_FLOAT_EQ(second.positionSamples[5 * 3 + 0], 5.0f);
    EXPECT_FLOAT_EQ(second.positionSamples[5 * 3 + 2], 15.0f);
    EXPECT_FLOAT_EQ(second.positionSamples[19 * 3 + 1], 20.0f);
    ASSERT_EQ(second.rotationSamples.size(), 80u);
    EXPECT_FLOAT_EQ(second.rotationSamples[5 * 4 + 3], 0.5f);
    EXPECT_FLOAT_EQ(second.rotationSamples[5 * 4 + 1], -0.5f);
    EXPECT_FLOAT_EQ(second.rotationSamples[15 * 4 + 3], 1.5f);
    EXPECT_FLOAT_EQ(second.firstRotation[3], 0.5f);
}

TEST(Model3dsFile, ValueEndingAtTheEndOfTheFileIsRead)
{
    ChunkWriter w;
    w.Begin(0x4D4D).Begin(0x3D3D);
    w.Begin(0x4000).Str("Cam").Begin(0x4700).F3(0, 0, 0).F3(1, 0, 0).F32(0).F32(24.0f);
    w.Begin(0x4720).F32(2.0f).F32(321.0f).End();
    w.End().End().End().End();
    Model3ds model;
    ASSERT_TRUE(LoadBytes(model, w.Bytes()));
    ASSERT_EQ(model.cameras.size(), 1u);
    EXPECT_EQ(model.cameras[0].fieldOfView, 100.0f);
    EXPECT_EQ(model.cameras[0].farRange, 321.0f);

    // One byte short: the last float cannot be read and yields the default's replacement, 0.
    std::vector<uint8_t> bytes = w.Bytes();
    bytes.pop_back();
    ASSERT_TRUE(LoadBytes(model, bytes));
    ASSERT_EQ(model.cameras.size(), 1u);
    EXPECT_EQ(model.cameras[0].nearRange, 2.0f);
    EXPECT_EQ(model.cameras[0].farRange, 0.0f);
}

TEST(Model3dsFile, LongNamesAreCutWithoutLosingTheDataBehindThem)
{
    const std::string longName(120, 'n');
    const std::string longMaterial(25, 'm');
    ChunkWriter w;
    w.Begin(0x4D4D).Begin(0x3D3D);
    WriteMaterial(w, longMaterial, 0, 0, 0);
    w.Begin(0x4000).Str(longName).Begin(0x4100);
    w.Begin(0x4110).U16(3).F3(0, 0, 0).F3(1, 0, 0).F3(0, 1, 0).End();
    w.Begin(0x4120).U16(1).U16(0).U16(1).U16(2).U16(0);
    w.Begin(0x4130).Str(longMaterial).U16(1).U16(0).End();
    w.Begin(0x4150).U32(4).End();
    w.End().End().End().End().End();
    Model3ds model;
    ASSERT_TRUE(LoadBytes(model, w.Bytes()));
    ASSERT_EQ(model.meshes.size(), 1u);
    EXPECT_EQ(model.meshes[0].Name(), std::string(98, 'n'));
    EXPECT_EQ(model.meshes[0].VertexCount(), 3u);
    EXPECT_EQ(model.materials[0].Name(), longMaterial);
    // The group's name is cut to 19 characters and matches nothing; the smoothing chunk is still found.
    EXPECT_TRUE(model.meshes[0].materialIndices.empty());
    EXPECT_EQ(model.meshes[0].faces[0].smoothingGroup, 4u);
}

TEST(Model3dsLoad, SecondLoadHoldsOnlyTheNewFile)
{
    Model3ds model;
    ASSERT_TRUE(LoadBytes(model, RichFile().Bytes()));
    ChunkWriter w;
    w.Begin(0x4D4D).Begin(0x3D3D);
    WriteMeshObject(w, "Other", {0, 0, 0, 1, 0, 0, 0, 1, 0}, {{0, 1, 2}});
    w.End().End();
    ASSERT_TRUE(LoadBytes(model, w.Bytes()));
    ASSERT_EQ(model.meshes.size(), 1u);
    EXPECT_EQ(model.meshes[0].Name(), "Other");
    EXPECT_TRUE(model.materials.empty());
    EXPECT_TRUE(model.lights.empty());
    EXPECT_TRUE(model.cameras.empty());
    EXPECT_TRUE(model.nodes.empty());
    EXPECT_EQ(model.frameCount, 0u);

    // A file that cannot be read leaves the model as it was.
    EXPECT_FALSE(model.Load(TempPath("does_not_exist.3ds").c_str()));
    EXPECT_FALSE(model.Load(std::filesystem::temp_directory_path().string().c_str()));
    EXPECT_FALSE(model.Load(nullptr));
    ASSERT_EQ(model.meshes.size(), 1u);

    const std::string path = TempPath("rich.3ds");
    ASSERT_TRUE(RichFile().WriteFile(path));
    Model3ds fromFile;
    ASSERT_TRUE(fromFile.Load(path.c_str()));
    EXPECT_EQ(fromFile.meshes.size(), 1u);
    EXPECT_EQ(fromFile.cameras.size(), 1u);
    EXPECT_EQ(fromFile.nodes.size(), 1u);
    std::filesystem::remove(path);
}

// Every prefix of a file, and the file with each chunk length replaced by hostile values, loads without a
// crash, a hang or an out-of-bounds read (the unit tests also run under AddressSanitizer).
TEST(Model3dsDamage, TruncatedAndDamagedFilesNeverBreakTheReader)
{
    const std::vector<uint8_t> full = RichFile().Bytes();
    Model3ds model;
    for (size_t length = 0; length < full.size(); ++length) {
        const std::vector<uint8_t> prefix(full.begin(), full.begin() + length);
        const bool loaded = LoadBytes(model, prefix);
        EXPECT_EQ(loaded, length >= 22) << length;  // main header, version chunk, editor header
        EXPECT_LE(model.meshes.size(), 1u);
        for (const Mesh& mesh : model.meshes)
            for (const Face& face : mesh.faces)
                EXPECT_TRUE(face.a < mesh.VertexCount() && face.b < mesh.VertexCount() &&
                            face.c < mesh.VertexCount());
    }

    // Walk the chunk tree to find each length field, then damage one at a time.
    std::vector<size_t> lengthFields;
    for (size_t at = 0; at + 6 <= full.size(); ++at) {
        const uint16_t id = uint16_t(full[at] | (full[at + 1] << 8));
        if (id == 0x4D4D || id == 0x3D3D || id == 0xAFFF || id == 0x4000 || id == 0x4100 || id == 0x4110 ||
            id == 0x4120 || id == 0xB000 || id == 0xB002 || id == 0xB020 || id == 0xA020 || id == 0x4600)
            lengthFields.push_back(at + 2);
    }
    ASSERT_GE(lengthFields.size(), 12u);
    const auto started = std::chrono::steady_clock::now();
    for (size_t field : lengthFields) {
        for (uint32_t length : {0u, 1u, 5u, 6u, 7u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
            std::vector<uint8_t> damaged = full;
            for (int i = 0; i < 4; ++i) damaged[field + i] = uint8_t(length >> (8 * i));
            LoadBytes(model, damaged);
        }
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
}

TEST(Model3dsDamage, CountsLargerThanTheFileHolds)
{
    // A vertex count of 65,535 followed by two vertices, a face naming vertex 9, and a key count of 4e9.
    ChunkWriter w;
    w.Begin(0x4D4D).Begin(0x3D3D);
    w.Begin(0x4000).Str("Big").Begin(0x4100);
    w.Begin(0x4120).U16(2).U16(0).U16(1).U16(0).U16(0).U16(0).U16(1).U16(9).U16(0).End();
    w.Begin(0x4110).U16(0xFFFF).F3(0, 0, 0).F3(1, 0, 0).End();
    w.End().End().End();
    w.Begin(0xB000).Begin(0xB002).Begin(0xB010).Str("Big").U16(0).U16(0).U16(0).End();
    w.Begin(0xB021).U16(0).U32(0).U32(0).U32(0xFFFFFFFF).U32(0).U16(0xFFFF).End();
    w.Begin(0xB020).U16(0).U32(0).U32(0).U32(0xFFFFFFFF).U32(0).U16(0).F3(1, 1, 1).End();
    w.End().End().End();
    Model3ds model;
    ASSERT_TRUE(LoadBytes(model, w.Bytes()));
    ASSERT_EQ(model.meshes.size(), 1u);
    EXPECT_LE(model.meshes[0].VertexCount(), w.Size() / 12);  // never more than the file can hold
    ASSERT_EQ(model.meshes[0].faces.size(), 1u);              // the face naming vertex 9 is dropped
    EXPECT_EQ(model.meshes[0].indexTriples.size(), 1u);

    // A frame count whose samples would need gigabytes makes the load fail, with nothing left behind.
    ChunkWriter frames;
    frames.Begin(0x4D4D).Begin(0x3D3D);
    WriteMeshObject(frames, "A", {0, 0, 0}, {});
    frames.End().Begin(0xB000).Begin(0xB002).Begin(0xB010).Str("A").U16(0).U16(0).U16(0).End();
    frames.Begin(0xB020).U16(0).U32(0).U32(0x7FFFFFFF).U32(0).End();
    frames.End().End().End();
    EXPECT_FALSE(LoadBytes(model, frames.Bytes()));
    EXPECT_TRUE(model.meshes.empty() && model.nodes.empty());
    EXPECT_EQ(model.frameCount, 0u);

    // A negative frame count counts as none, so the model still has its one frame.
    std::vector<uint8_t> negative = frames.Bytes();
    const size_t at = negative.size() - 8;  // the frame count field of the position track
    for (int i = 0; i < 4; ++i) negative[at + i] = 0xFF;
    ASSERT_TRUE(LoadBytes(model, negative));
    EXPECT_EQ(model.frameCount, 1u);
}

// Files found by fuzzing and other damaged files kept in the source tree.
TEST(Model3dsDamage, RegressionFilesLoadSafely)
{
    const char* source = std::getenv("QUARNEL_SOURCE_DIR");
    if (!source) source = QUARNEL_TEST_SOURCE_DIR;
    const std::filesystem::path folder = std::filesystem::path(source) / "tests/assets/data/3ds";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        Model3ds model;
        model.Load(entry.path().string().c_str());
        for (const Mesh& mesh : model.meshes) {
            EXPECT_EQ(mesh.normals.size(), mesh.VertexCount()) << entry.path();
            EXPECT_EQ(mesh.indexTriples.size(), mesh.faces.size()) << entry.path();
            for (const Vec3& t : mesh.tangents)
                EXPECT_TRUE(std::isfinite(t.x) && std::isfinite(t.y) && std::isfinite(t.z));
        }
        ++files;
    }
    EXPECT_GT(files, 0);
}
