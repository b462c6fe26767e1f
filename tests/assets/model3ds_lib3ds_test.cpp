// Cross-checks of the 3DS reader against lib3ds: files written by lib3ds are read by both libraries, and
// our hand-built files are read back by lib3ds, comparing counts, names, positions and settings.
// Depends on assets/model3ds.h, lib3ds, the test chunk writer and GoogleTest.
#include <gtest/gtest.h>
#include <lib3ds/camera.h>
#include <lib3ds/file.h>
#include <lib3ds/light.h>
#include <lib3ds/material.h>
#include <lib3ds/matrix.h>
#include <lib3ds/mesh.h>
#include <lib3ds/node.h>
#include <lib3ds/tracks.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

#include "assets/model3ds.h"
#include "tests/assets/model3ds_builder.h"

namespace {

std::string TempPath(const std::string& name)
{
    return (std::filesystem::temp_directory_path() / ("quarnel_lib3ds_" + name)).string();
}

// A scene written by lib3ds: two materials, a textured grid mesh with a node, a second mesh without one,
// an omni light, a spotlight, a camera, and spline flags on the keys.
std::string WriteSceneWithLib3ds()
{
    Lib3dsFile* file = lib3ds_file_new();
    file->frames = 30;
    for (const char* name : {"Brass", "Glass"}) {
        Lib3dsMaterial* material = lib3ds_material_new();
        std::strcpy(material->name, name);
        material->diffuse[0] = 1.0f;
        material->diffuse[1] = std::strcmp(name, "Brass") == 0 ? 0.5f : 0.25f;
        material->shininess = 0.4f;
        material->transparency = 0.2f;
        material->shading = 3;
        std::strcpy(material->texture1_map.name, "brass.jpg");
        material->texture1_map.percent = 0.6f;
        material->texture1_map.scale[0] = 2.0f;
        material->texture1_map.scale[1] = 4.0f;
        lib3ds_file_insert_material(file, material);
    }

    const int side = 6;
    Lib3dsMesh* grid = lib3ds_mesh_new("Grid");
    lib3ds_matrix_identity(grid->matrix);
    lib3ds_mesh_new_point_list(grid, side * side);
    lib3ds_mesh_new_texel_list(grid, side * side);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            Lib3dsPoint& p = grid->pointL[y * side + x];
            p.pos[0] = float(x);
            p.pos[1] = float(y);
            p.pos[2] = 0.25f * float(x * y);
            grid->texelL[y * side + x][0] = float(x) / (side - 1);
            grid->texelL[y * side + x][1] = float(y) / (side - 1);
        }
    }
    lib3ds_mesh_new_face_list(grid, 2 * (side - 1) * (side - 1));
    int f = 0;
    for (int y = 0; y + 1 < side; ++y) {
        for (int x = 0; x + 1 < side; ++x) {
            const Lib3dsWord v = Lib3dsWord(y * side + x);
            const Lib3dsWord quad[2][3] = {{v, Lib3dsWord(v + 1), Lib3dsWord(v + side + 1)},
                                           {v, Lib3dsWord(v + side + 1), Lib3dsWord(v + side)}};
            for (const auto& corners : quad) {
                Lib3dsFace& face = grid->faceL[f];
                std::memcpy(face.points, corners, sizeof corners);
                face.smoothing = (x < 2) ? 1 : 2;
                std::strcpy(face.material, f % 3 == 0 ? "Glass" : "Brass");
                ++f;
            }
        }
    }
    lib3ds_file_insert_mesh(file, grid);

    Lib3dsMesh* lone = lib3ds_mesh_new("Lone");
    lib3ds_matrix_identity(lone->matrix);
    lib3ds_mesh_new_point_list(lone, 3);
    const float corners[3][3] = {{-1, 0, 2}, {1, 0, 2}, {0, 3, 2}};
    for (int i = 0; i < 3; ++i) std::memcpy(lone->pointL[i].pos, corners[i], sizeof corners[i]);
    lib3ds_mesh_new_face_list(lone, 1);
    lone->faceL[0].points[0] = 0;
    lone->faceL[0].points[1] = 1;
    lone->faceL[0].points[2] = 2;
    lone->faceL[0].smoothing = 1;
    lib3ds_file_insert_mesh(file, lone);

    Lib3dsLight* omni = lib3ds_light_new("Omni");
    omni->position[0] = 10.0f;
    omni->color[0] = 0.5f;
    omni->color[2] = 1.0f;
    omni->inner_range = 5.0f;
    omni->outer_range = 50.0f;
    lib3ds_file_insert_light(file, omni);
    Lib3dsLight* spot = lib3ds_light_new("Spot");
    spot->spot_light = LIB3DS_TRUE;
    spot->position[2] = 20.0f;
    spot->spot[1] = 3.0f;
    spot->hot_spot = 20.0f;
    spot->fall_off = 35.0f;
    lib3ds_file_insert_light(file, spot);

    Lib3dsCamera* camera = lib3ds_camera_new("View");
    camera->position[1] = -30.0f;
    camera->target[2] = 1.0f;
    camera->fov = 48.0f;
    camera->near_range = 2.0f;
    camera->far_range = 900.0f;
    lib3ds_file_insert_camera(file, camera);

    Lib3dsNode* node = lib3ds_node_new_object();
    std::strcpy(node->name, "Grid");
    node->node_id = 0;
    node->parent_id = LIB3DS_NO_PARENT;
    node->data.object.pivot[0] = 1.0f;
    node->data.object.pivot[1] = 2.0f;
    Lib3dsLin3Key* first = lib3ds_lin3_key_new();
    first->tcb.frame = 0;
    first->value[0] = 3.0f;
    lib3ds_lin3_track_insert(&node->data.object.pos_track, first);
    Lib3dsLin3Key* second = lib3ds_lin3_key_new();
    second->tcb.frame = 10;
    second->tcb.flags = 0x0001 | 0x0004;  // tension and bias: two spline floats in the key header
    second->tcb.tens = 0.5f;
    second->tcb.bias = -0.5f;
    second->value[0] = 13.0f;
    lib3ds_lin3_track_insert(&node->data.object.pos_track, second);
    Lib3dsQuatKey* turn = lib3ds_quat_key_new();
    turn->tcb.frame = 0;
    turn->tcb.flags = 0x0008;
    turn->tcb.ease_to = 1.0f;
    turn->axis[2] = 1.0f;
    turn->angle = 1.5f;
    lib3ds_quat_track_insert(&node->data.object.rot_track, turn);
    lib3ds_file_insert_node(file, node);

    const std::string path = TempPath("scene.3ds");
    const bool saved = lib3ds_file_save(file, path.c_str());
    lib3ds_file_free(file);
    return saved ? path : std::string();
}

template <typename T>
int ListLength(T* head)
{
    int n = 0;
    for (; head; head = head->next) ++n;
    return n;
}

}  // namespace

TEST(Model3dsLib3ds, FilesWrittenByLib3dsReadTheSameInBothReaders)
{
    const std::string path = WriteSceneWithLib3ds();
    ASSERT_FALSE(path.empty());
    Lib3dsFile* reference = lib3ds_file_load(path.c_str());
    ASSERT_NE(reference, nullptr);
    Model3ds model;
    ASSERT_TRUE(model.Load(path.c_str()));

    ASSERT_EQ(int(model.materials.size()), ListLength(reference->materials));
    int i = 0;
    for (Lib3dsMaterial* m = reference->materials; m; m = m->next, ++i) {
        const Material& ours = model.materials[i];
        EXPECT_EQ(ours.Name(), m->name);
        EXPECT_NEAR(ours.diffuse.x, m->diffuse[0], 1.0f / 255);
        EXPECT_NEAR(ours.diffuse.y, m->diffuse[1], 1.0f / 255);
        EXPECT_NEAR(ours.shininess, m->shininess, 0.01f);
        EXPECT_NEAR(ours.transparency, m->transparency, 0.01f);
        EXPECT_EQ(ours.shading, m->shading);
        EXPECT_EQ(ours.textureMap1.fileName, m->texture1_map.name);
        EXPECT_NEAR(ours.textureMap1.amount, m->texture1_map.percent, 0.01f);
        EXPECT_EQ(ours.textureMap1.uScale, m->texture1_map.scale[0]);
        EXPECT_EQ(ours.textureMap1.vScale, m->texture1_map.scale[1]);
    }

    ASSERT_EQ(int(model.meshes.size()), ListLength(reference->meshes));
    i = 0;
    for (Lib3dsMesh* m = reference->meshes; m; m = m->next, ++i) {
        const Mesh& ours = model.meshes[i];
        EXPECT_EQ(ours.Name(), m->name);
        ASSERT_EQ(ours.faces.size(), m->faces);
        ASSERT_GE(ours.VertexCount(), m->points);  // the smoothing split only adds vertices
        for (Lib3dsDword f = 0; f < m->faces; ++f) {
            const Face& face = ours.faces[f];
            EXPECT_EQ(face.smoothingGroup, m->faceL[f].smoothing);
            const Material* material = model.FindMaterial(m->faceL[f].material);
            EXPECT_EQ(face.materialIndex, material ? material->index : 0u);
            const uint16_t corners[3] = {face.a, face.b, face.c};
            for (int c = 0; c < 3; ++c) {
                const Lib3dsPoint& p = m->pointL[m->faceL[f].points[c]];
                EXPECT_FLOAT_EQ(ours.positions[corners[c]].x, p.pos[0]);
                EXPECT_FLOAT_EQ(ours.positions[corners[c]].y, p.pos[1]);
                EXPECT_FLOAT_EQ(ours.positions[corners[c]].z, p.pos[2]);
                if (m->texels) {
                    EXPECT_FLOAT_EQ(ours.texCoords[corners[c]].u, m->texelL[m->faceL[f].points[c]][0]);
                }
            }
        }
    }
    EXPECT_EQ(model.meshes[0].materialIndices.size(), 2u);

    ASSERT_EQ(int(model.lights.size()), ListLength(reference->lights));
    i = 0;
    for (Lib3dsLight* l = reference->lights; l; l = l->next, ++i) {
        const Light& ours = model.lights[i];
        EXPECT_EQ(ours.Name(), l->name);
        EXPECT_EQ(ours.position.x, l->position[0]);
        EXPECT_EQ(ours.position.z, l->position[2]);
        EXPECT_NEAR(ours.colour.x, l->color[0], 1e-6);
        EXPECT_NEAR(ours.colour.z, l->color[2], 1e-6);
        if (l->spot_light) {
            EXPECT_EQ(ours.target.y, l->spot[1]);
            EXPECT_EQ(ours.hotspot, l->hot_spot);
            EXPECT_EQ(ours.falloff, l->fall_off);
        }
    }

    ASSERT_EQ(int(model.cameras.size()), ListLength(reference->cameras));
    const Camera& view = model.cameras[0];
    EXPECT_EQ(view.Name(), reference->cameras->name);
    EXPECT_EQ(view.position.y, reference->cameras->position[1]);
    EXPECT_NEAR(view.fieldOfView, reference->cameras->fov, 1e-3);
    EXPECT_EQ(view.nearRange, reference->cameras->near_range);
    EXPECT_EQ(view.farRange, reference->cameras->far_range);

    // The node pairs with the first mesh; the spline floats of the keys were passed over correctly.
    ASSERT_EQ(model.nodes.size(), 1u);
    EXPECT_EQ(model.nodes[0].name, "Grid");
    EXPECT_EQ(model.nodes[0].pivot.x, -1.0f);
    EXPECT_EQ(model.nodes[0].pivot.y, -2.0f);
    ASSERT_GE(model.frameCount, 1u);
    EXPECT_EQ(model.nodes[0].positionSamples[0], 3.0f);
    EXPECT_EQ(model.nodes[0].firstRotation[2], -1.0f);
    EXPECT_FLOAT_EQ(model.nodes[0].firstRotation[3], 1.5f);

    lib3ds_file_free(reference);
    std::filesystem::remove(path);
}

TEST(Model3dsLib3ds, HandBuiltCubeReadsTheSameInLib3ds)
{
    ChunkWriter w;
    w.Begin(0x4D4D).Begin(0x0002).U32(3).End().Begin(0x3D3D);
    w.Begin(0xAFFF)
        .StrChunk(0xA000, "Paint")
        .Begin(0xA020)
        .Begin(0x11)
        .U8(255)
        .U8(128)
        .U8(0)
        .End()
        .End()
        .End();
    WriteMeshObject(w, "Cube", CubeCorners(), CubeFaces(), {1, 1, 2, 2, 4, 4, 8, 8, 16, 16, 32, 32});
    WriteMeshObject(w, "Tri", {0, 0, 5, 1, 0, 5, 0, 1, 5}, {{0, 1, 2}}, {}, {0, 0, 1, 0, 0, 1});
    w.Begin(0x4000).Str("Cam").Begin(0x4700).F3(1, 2, 3).F3(4, 5, 6).F32(0).F32(50.0f).End().End();
    w.End().End();
    const std::string path = TempPath("cube.3ds");
    ASSERT_TRUE(w.WriteFile(path));

    Lib3dsFile* reference = lib3ds_file_load(path.c_str());
    ASSERT_NE(reference, nullptr);
    Model3ds model;
    ASSERT_TRUE(model.Load(path.c_str()));
    ASSERT_EQ(int(model.meshes.size()), ListLength(reference->meshes));
    ASSERT_EQ(int(model.materials.size()), ListLength(reference->materials));
    EXPECT_EQ(model.materials[0].Name(), reference->materials->name);
    EXPECT_NEAR(model.materials[0].diffuse.y, reference->materials->diffuse[1], 1e-6);
    int i = 0;
    for (Lib3dsMesh* m = reference->meshes; m; m = m->next, ++i) {
        EXPECT_EQ(model.meshes[i].Name(), m->name);
        EXPECT_EQ(model.meshes[i].faces.size(), m->faces);
        // Without a smoothing chunk lib3ds says 0 and we say group 1; both mean "one shared group".
        for (Lib3dsDword f = 0; f < m->faces && i == 0; ++f)
            EXPECT_EQ(model.meshes[i].faces[f].smoothingGroup, m->faceL[f].smoothing);
        EXPECT_EQ(model.meshes[i].positions[0].z, m->pointL[0].pos[2]);
    }
    EXPECT_EQ(model.meshes[0].VertexCount(), 24u);
    EXPECT_EQ(reference->meshes->points, 8u);
    ASSERT_EQ(model.cameras.size(), 1u);
    EXPECT_NEAR(model.cameras[0].fieldOfView, reference->cameras->fov, 1e-3);
    EXPECT_EQ(model.cameras[0].target.z, reference->cameras->target[2]);
    lib3ds_file_free(reference);
    std::filesystem::remove(path);
}
