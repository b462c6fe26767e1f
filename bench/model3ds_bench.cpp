// Load time of a generated 3D Studio scene of 100,352 faces (four textured 113 x 113 grids with several
// smoothing groups and a keyframer node each), including all post-processing, from memory and from a file.
// Depends on assets/model3ds.h, the test chunk writer and Google Benchmark.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>

#include "assets/model3ds.h"
#include "tests/assets/model3ds_builder.h"

namespace {

constexpr int kSide = 113;  // vertices per grid side
constexpr int kMeshes = 4;  // 4 x 2 x 112 x 112 = 100,352 faces

ChunkWriter BuildScene()
{
    ChunkWriter w;
    w.Begin(0x4D4D).Begin(0x3D3D);
    w.Begin(0xAFFF).StrChunk(0xA000, "Ground").End();
    for (int m = 0; m < kMeshes; ++m) {
        std::vector<float> xyz, uv;
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                xyz.insert(xyz.end(), {float(x), float(y),
                                       std::sin(0.1f * float(x * (m + 1))) * std::cos(0.1f * float(y))});
                uv.insert(uv.end(), {float(x) / (kSide - 1), float(y) / (kSide - 1)});
            }
        }
        std::vector<BuiltFace> faces;
        std::vector<uint32_t> groups;
        for (int y = 0; y + 1 < kSide; ++y) {
            for (int x = 0; x + 1 < kSide; ++x) {
                const uint16_t v = uint16_t(y * kSide + x);
                faces.push_back({v, uint16_t(v + 1), uint16_t(v + kSide + 1)});
                faces.push_back({v, uint16_t(v + kSide + 1), uint16_t(v + kSide)});
                // Bands of eight rows share a group, so the band edges are split.
                groups.push_back(1u << ((y / 8) % 4));
                groups.push_back(1u << ((y / 8) % 4));
            }
        }
        WriteMeshObject(w, "Grid" + std::to_string(m), xyz, faces, groups, uv);
    }
    w.End();
    w.Begin(0xB000);
    for (int m = 0; m < kMeshes; ++m) {
        w.Begin(0xB002).Begin(0xB010).Str("Grid" + std::to_string(m)).U16(0).U16(0).U16(0xFFFF).End();
        w.Begin(0xB020)
            .U16(0)
            .U32(0)
            .U32(100)
            .U32(2)
            .U32(0)
            .U16(0)
            .F3(0, 0, 0)
            .U32(99)
            .U16(0)
            .F3(10, 0, 0)
            .End();
        w.End();
    }
    w.End().End();
    return w;
}

const std::vector<uint8_t>& Scene()
{
    static const std::vector<uint8_t> bytes = BuildScene().Bytes();
    return bytes;
}

void BM_LoadFromMemory100kFaces(benchmark::State& state)
{
    const std::vector<uint8_t>& bytes = Scene();
    Model3ds model;
    size_t faces = 0;
    for (auto _ : state) {
        if (!model.LoadFromMemory(bytes.data(), bytes.size())) state.SkipWithError("load failed");
        faces = 0;
        for (const Mesh& mesh : model.meshes) faces += mesh.faces.size();
        benchmark::DoNotOptimize(model.meshes.data());
    }
    state.counters["faces"] = double(faces);
    state.counters["bytes"] = double(bytes.size());
}
BENCHMARK(BM_LoadFromMemory100kFaces)->Unit(benchmark::kMillisecond);

void BM_LoadFile100kFaces(benchmark::State& state)
{
    const std::string path = (std::filesystem::temp_directory_path() / "quarnel_bench_100k.3ds").string();
    ChunkWriter scene = BuildScene();
    scene.WriteFile(path);
    Model3ds model;
    for (auto _ : state) {
        if (!model.Load(path.c_str())) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(model.meshes.data());
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_LoadFile100kFaces)->Unit(benchmark::kMillisecond);

// The post-processing alone for one flat grid of side x side vertices (normals with the smoothing split,
// tangents, index triples). Grids of 57 and 113 vertices a side differ four times in faces: linear work
// shows as a time ratio near 4.
void BM_PostProcessGrid(benchmark::State& state)
{
    const int side = int(state.range(0));
    Mesh original;
    original.ResizeVertices(size_t(side) * side);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            original.positions[y * side + x] = {float(x), float(y), 0.0f};
            original.texCoords[y * side + x] = {float(x) / side, float(y) / side};
        }
    }
    for (int y = 0; y + 1 < side; ++y) {
        for (int x = 0; x + 1 < side; ++x) {
            const uint16_t v = uint16_t(y * side + x);
            Face first, second;
            first.a = v;
            first.b = uint16_t(v + 1);
            first.c = uint16_t(v + side + 1);
            second.a = v;
            second.b = uint16_t(v + side + 1);
            second.c = uint16_t(v + side);
            first.smoothingGroup = second.smoothingGroup = 1u << ((y / 8) % 4);
            original.faces.push_back(first);
            original.faces.push_back(second);
        }
    }
    for (auto _ : state) {
        Mesh mesh = original;
        ComputeMeshNormals(mesh);
        ComputeMeshTangents(mesh);
        FillIndexTriples(mesh);
        benchmark::DoNotOptimize(mesh.normals.data());
    }
    state.counters["faces"] = double(original.faces.size());
}
BENCHMARK(BM_PostProcessGrid)->Arg(57)->Arg(113)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
