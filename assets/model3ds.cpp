// The 3D Studio reader: loads the file into memory, walks its chunks with bounded reads and fills the
// Model's lists, then runs the model's post-processing. Depends on assets/mesh_model.h and <cstdio>.
#include "assets/model3ds.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

namespace {

constexpr size_t kLargestModelFile = 64u << 20;

// Chunk ids of the 3DS format that the reader handles.
enum : uint16_t {
    kMainChunk = 0x4D4D,
    kEditorChunk = 0x3D3D,
    kMaterialChunk = 0xAFFF,
    kNamedObjectChunk = 0x4000,
    kTriangleMeshChunk = 0x4100,
    kVertexListChunk = 0x4110,
    kFaceListChunk = 0x4120,
    kMaterialGroupChunk = 0x4130,
    kTexCoordListChunk = 0x4140,
    kSmoothingGroupChunk = 0x4150,
    kMeshMatrixChunk = 0x4160,
    kLightChunk = 0x4600,
    kSpotlightChunk = 0x4610,
    kLightInnerRangeChunk = 0x4659,
    kLightOuterRangeChunk = 0x465A,
    kCameraChunk = 0x4700,
    kCameraRangesChunk = 0x4720,
    kKeyframerChunk = 0xB000,
    kObjectNodeChunk = 0xB002,
    kNodeHeaderChunk = 0xB010,
    kPivotChunk = 0xB013,
    kPositionTrackChunk = 0xB020,
    kRotationTrackChunk = 0xB021,
    kColourFloatChunk = 0x10,
    kColourByteChunk = 0x11,
    kLinearColourByteChunk = 0x12,
    kLinearColourFloatChunk = 0x13,
    kIntPercentageChunk = 0x30,
    kFloatPercentageChunk = 0x31,
    kMaterialNameChunk = 0xA000,
    kAmbientChunk = 0xA010,
    kDiffuseChunk = 0xA020,
    kSpecularChunk = 0xA030,
    kShininessChunk = 0xA040,
    kTransparencyChunk = 0xA050,
    kWireChunk = 0xA085,
    kShadingChunk = 0xA100,
    kTextureMap1Chunk = 0xA200,
    kTextureMap2Chunk = 0xA33A,
    kOpacityMapChunk = 0xA210,
    kBumpMapChunk = 0xA230,
    kSpecularMapChunk = 0xA204,
    kReflectionMapChunk = 0xA220,
    kMapFileNameChunk = 0xA300,
    kMapUScaleChunk = 0xA354,
    kMapVScaleChunk = 0xA356,
    kMapUOffsetChunk = 0xA358,
    kMapVOffsetChunk = 0xA35A,
    kMapRotationChunk = 0xA35C,
};

// Each set bit of a key header announces one float of spline data. 3D Studio and lib3ds use the five low
// bits (tension, continuity, bias, ease to, ease from); files of the older convention use the five high
// bits. A key header carries bits of only one of the two groups, so honouring both reads either kind.
constexpr uint16_t kSplineBits[] = {0x8000, 0x4000, 0x2000, 0x1000, 0x0800,
                                    0x0001, 0x0002, 0x0004, 0x0008, 0x0010};

// Where a chunk's sub-chunks start when it carries `bytes` of its own data first.
uint32_t AfterFixedData(uint32_t dataStart, uint32_t end, uint32_t bytes)
{
    return uint32_t(std::min<uint64_t>(uint64_t(dataStart) + bytes, end));
}

float Clamp01(float value)
{
    return value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Loading

bool Model3ds::Load(const char* fileName)
{
    if (!fileName) return false;
    // A regular file only: a pipe in its place would hang the open, a device fill memory. (A missing or
    // unreadable file fails at the open.)
    namespace fs = std::filesystem;
    std::error_code failure;
    const fs::file_type type = fs::status(fileName, failure).type();
    if (type != fs::file_type::regular && type != fs::file_type::not_found && type != fs::file_type::none) {
        std::fprintf(stderr, "quarnel: %s: not a regular file\n", fileName);
        return false;
    }
    if (type == fs::file_type::regular && fs::file_size(fileName, failure) > kLargestModelFile && !failure) {
        std::fprintf(stderr, "quarnel: %s: larger than %zu MB\n", fileName, kLargestModelFile >> 20);
        return false;
    }
    FILE* file = std::fopen(fileName, "rb");
    if (!file) return false;
    if (std::fseek(file, 0, SEEK_END) != 0) {
        std::fclose(file);
        return false;
    }
    const long length = std::ftell(file);
    // Offsets are 32-bit, so a larger file cannot be addressed (a directory also ends up here).
    if (length < 0 || uint64_t(length) > UINT32_MAX || std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        return false;
    }
    buffer.reset(new (std::nothrow) uint8_t[size_t(length) + 1]());
    if (!buffer) {
        std::fclose(file);
        return false;
    }
    size = uint32_t(length);
    const size_t delivered = std::fread(buffer.get(), 1, size, file);
    std::fclose(file);
    if (delivered != size) {
        buffer.reset();
        size = 0;
        return false;
    }
    return ParseBuffer();
}

bool Model3ds::LoadFromMemory(const uint8_t* data, size_t byteCount)
{
    if (!data && byteCount != 0) return false;
    if (uint64_t(byteCount) > UINT32_MAX) return false;
    buffer.reset(new (std::nothrow) uint8_t[byteCount + 1]());
    if (!buffer) return false;
    if (byteCount != 0) std::memcpy(buffer.get(), data, byteCount);
    size = uint32_t(byteCount);
    return ParseBuffer();
}

bool Model3ds::ParseBuffer()
{
    ResetForLoad();
    const bool result = Parse();
    buffer.reset();
    size = 0;
    position = 0;
    return result;
}

// Clear empties meshes, lights and materials; the rest goes as well, since nodes are paired with meshes by
// position and an earlier file's nodes would otherwise be applied to this file's meshes.
void Model3ds::ResetForLoad()
{
    Clear();
    cameras = {};
    nodes = {};
    frameCount = 0;
    scratchNode.Reset();
    nameBuffer[0] = '\0';
    materialByName = {};
    meshByName = {};
}

bool Model3ds::Parse()
{
    position = 0;
    ChunkHeader main;
    if (!ReadChunkHeader(main) || main.id != kMainChunk) return false;
    ChunkHeader editor;
    if (!FindChunk(kEditorChunk, main, editor)) return false;

    ChunkHeader chunk;
    Seek(editor.dataStart);
    while (FindChunk(kMaterialChunk, editor, chunk)) {
        ReadMaterial(chunk);
        if (chunk.end >= editor.end) break;
        Seek(chunk.end);
    }

    for (const Material& material : materials) materialByName.emplace(material.name, material.index);

    Seek(editor.dataStart);
    while (FindChunk(kNamedObjectChunk, editor, chunk)) {
        ReadString(nameBuffer, 99);
        ChunkHeader first;
        if (ReadChunkHeader(first)) {
            // Only the object's first sub-chunk says what it is; anything else is ignored whole.
            if (first.id == kTriangleMeshChunk)
                ReadMesh(first);
            else if (first.id == kLightChunk)
                ReadLight(first);
            else if (first.id == kCameraChunk)
                ReadCamera(first);
        }
        if (chunk.end >= editor.end) break;
        Seek(chunk.end);
    }

    for (uint32_t i = 0; i < meshes.size(); ++i) meshByName.emplace(meshes[i].name, i);

    Seek(main.dataStart);
    ChunkHeader keyframer;
    if (FindChunk(kKeyframerChunk, main, keyframer)) {
        while (FindChunk(kObjectNodeChunk, keyframer, chunk)) {
            ReadNode(chunk);
            nodes.push_back(std::move(scratchNode));
            scratchNode.Reset();
            if (chunk.end >= keyframer.end) break;
            Seek(chunk.end);
        }
    }

    const bool processed = PostProcess();
    position = 0;
    nameBuffer[0] = '\0';
    materialByName = {};
    meshByName = {};
    for (KeyNode& node : nodes) {
        node.pivots = {};
        node.rotationKeys = {};
        node.positionKeys = {};
    }
    if (!processed) {
        ResetForLoad();
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------------
// Primitive reads

bool Model3ds::Fits(uint32_t count) const
{
    return buffer && size != 0 && uint64_t(position) + count <= size;
}

uint8_t Model3ds::ReadU8()
{
    if (!Fits(1)) return 0;
    return buffer[position++];
}

uint16_t Model3ds::ReadU16()
{
    if (!Fits(2)) return 0;
    const uint8_t* p = buffer.get() + position;
    position += 2;
    return uint16_t(p[0] | (p[1] << 8));
}

uint32_t Model3ds::ReadU32()
{
    if (!Fits(4)) return 0;
    const uint8_t* p = buffer.get() + position;
    position += 4;
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

float Model3ds::ReadFloat()
{
    if (!Fits(4)) return 0.0f;
    const uint32_t bits = ReadU32();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

Vec3 Model3ds::ReadVec3()
{
    const float x = ReadFloat();
    const float y = ReadFloat();
    const float z = ReadFloat();
    return {x, y, z};
}

void Model3ds::Skip(uint32_t count)
{
    if (Fits(count)) position += count;
}

// Stores at most capacity - 1 characters and always terminates. A longer name is cut, but the rest of it
// is still passed over, so that the data behind the name is read from the right place.
void Model3ds::ReadString(char* text, size_t capacity)
{
    size_t stored = 0;
    while (Fits(1)) {
        const char c = char(ReadU8());
        if (c == '\0') break;
        if (stored + 1 < capacity) text[stored++] = c;
    }
    if (capacity != 0) text[stored] = '\0';
}

// Lengths below 6 are taken as 6 so that every chunk moves the reader forward, and ends are clamped to the
// buffer so that a damaged length never points outside it.
bool Model3ds::ReadChunkHeader(ChunkHeader& header)
{
    if (!Fits(6)) return false;
    header.id = ReadU16();
    const uint32_t length = ReadU32();
    header.dataStart = position;
    const uint64_t end = uint64_t(header.dataStart) + std::max<uint32_t>(length, 6) - 6;
    header.end = uint32_t(std::min<uint64_t>(end, size));
    return true;
}

void Model3ds::Seek(uint32_t offset)
{
    if (size == 0) {
        position = 0;
        return;
    }
    position = offset >= size ? size - 1 : offset;
}

bool Model3ds::FindChunk(uint16_t id, const ChunkHeader& parent, ChunkHeader& found)
{
    if (position >= parent.end) return false;
    if (!ReadChunkHeader(found)) return false;
    while (found.id != id) {
        if (found.end > parent.end) return false;
        Seek(found.end);
        if (found.end >= parent.end) return false;
        if (!ReadChunkHeader(found)) return false;
    }
    return true;
}

template <typename Handler>
void Model3ds::ForEachSubChunk(const ChunkHeader& parent, uint32_t from, Handler&& handle)
{
    if (from >= parent.end) return;
    Seek(from);
    ChunkHeader child;
    while (ReadChunkHeader(child)) {
        handle(child);
        if (child.end >= parent.end) break;
        Seek(child.end);
    }
}

// A count from the file, limited to the records that the rest of the buffer can really hold, so that
// lists are never sized by a damaged number.
uint32_t Model3ds::CountThatFits(uint32_t count, uint32_t bytesEach) const
{
    const uint32_t remaining = position < size ? size - position : 0;
    return std::min(count, remaining / bytesEach);
}

// ---------------------------------------------------------------------------------------------------
// Colours, percentages, texture maps, key headers

Vec3 Model3ds::ReadColour(const ChunkHeader& colour)
{
    switch (colour.id) {
        case kColourFloatChunk:
        case kLinearColourFloatChunk:
            return ReadVec3();
        case kColourByteChunk:
        case kLinearColourByteChunk: {
            const float r = ReadU8() / 255.0f;
            const float g = ReadU8() / 255.0f;
            const float b = ReadU8() / 255.0f;
            return {r, g, b};
        }
        default:
            return {};
    }
}

float Model3ds::ReadPercentage(const ChunkHeader& percentage)
{
    if (percentage.id == kIntPercentageChunk) return float(int16_t(ReadU16()) * 0.01);
    if (percentage.id == kFloatPercentageChunk) return ReadFloat();
    return 0.0f;
}

Vec3 Model3ds::ReadColourChunk(const ChunkHeader& parent)
{
    ChunkHeader first;
    if (parent.dataStart >= parent.end) return {};
    Seek(parent.dataStart);
    return ReadChunkHeader(first) ? ReadColour(first) : Vec3{};
}

float Model3ds::ReadPercentageChunk(const ChunkHeader& parent)
{
    ChunkHeader first;
    if (parent.dataStart >= parent.end) return 0.0f;
    Seek(parent.dataStart);
    return ReadChunkHeader(first) ? ReadPercentage(first) : 0.0f;
}

void Model3ds::ReadTextureMap(const ChunkHeader& chunk, TextureMap& map)
{
    ForEachSubChunk(chunk, chunk.dataStart, [&](const ChunkHeader& sub) {
        switch (sub.id) {
            case kIntPercentageChunk:
                map.amount = ReadPercentage(sub);
                break;
            case kMapFileNameChunk: {
                char name[20];
                ReadString(name, sizeof name);
                map.fileName = name;
                break;
            }
            case kMapUScaleChunk:
                map.uScale = ReadFloat();
                break;
            case kMapVScaleChunk:
                map.vScale = ReadFloat();
                break;
            case kMapUOffsetChunk:
                map.uOffset = ReadFloat();
                break;
            case kMapVOffsetChunk:
                map.vOffset = ReadFloat();
                break;
            case kMapRotationChunk:
                map.rotation = ReadFloat();
                break;
            default:
                break;
        }
    });
}

uint32_t Model3ds::ReadKeyHeader()
{
    const uint32_t frame = ReadU32();
    const uint16_t flags = ReadU16();
    for (uint16_t bit : kSplineBits)
        if (flags & bit) Skip(4);
    return frame;
}

// ---------------------------------------------------------------------------------------------------
// Materials

void Model3ds::ReadMaterial(const ChunkHeader& chunk)
{
    Material material;
    ForEachSubChunk(chunk, chunk.dataStart, [&](const ChunkHeader& sub) {
        switch (sub.id) {
            case kMaterialNameChunk: {
                char name[30];
                ReadString(name, sizeof name);
                material.SetName(name);
                break;
            }
            case kAmbientChunk:
                material.ambient = ReadColourChunk(sub);
                break;
            case kDiffuseChunk:
                material.diffuse = ReadColourChunk(sub);
                break;
            case kSpecularChunk:
                material.specular = ReadColourChunk(sub);
                break;
            case kShininessChunk:
                material.shininess = Clamp01(ReadPercentageChunk(sub));
                break;
            case kTransparencyChunk:
                material.transparency = Clamp01(ReadPercentageChunk(sub));
                break;
            case kWireChunk:
                material.shading = 0;
                break;
            case kShadingChunk: {
                const int16_t shading = int16_t(ReadU16());
                if (shading >= 0 && shading <= 4) material.shading = shading;
                break;
            }
            case kTextureMap1Chunk:
                ReadTextureMap(sub, material.textureMap1);
                break;
            case kTextureMap2Chunk:
                ReadTextureMap(sub, material.textureMap2);
                break;
            case kOpacityMapChunk:
                ReadTextureMap(sub, material.opacityMap);
                break;
            case kBumpMapChunk:
                ReadTextureMap(sub, material.bumpMap);
                break;
            case kSpecularMapChunk:
                ReadTextureMap(sub, material.specularMap);
                break;
            case kReflectionMapChunk: {
                // An amount, then the map's file name; an empty name stands for an automatic reflection.
                ChunkHeader amount, fileName;
                if (sub.dataStart >= sub.end) break;
                Seek(sub.dataStart);
                if (!ReadChunkHeader(amount)) break;
                material.reflectionMap.amount = ReadPercentage(amount);
                if (amount.end >= sub.end) break;
                Seek(amount.end);
                if (!ReadChunkHeader(fileName) || fileName.id != kMapFileNameChunk) break;
                char name[30];
                ReadString(name, sizeof name);
                material.reflectionMap.fileName = name[0] == '\0' ? "auto" : name;
                break;
            }
            default:
                break;
        }
    });
    material.index = uint32_t(materials.size());
    materials.push_back(std::move(material));
}

// ---------------------------------------------------------------------------------------------------
// Triangle meshes

void Model3ds::ReadMesh(const ChunkHeader& chunk)
{
    Mesh mesh;
    mesh.SetName(nameBuffer);
    ForEachSubChunk(chunk, chunk.dataStart, [&](const ChunkHeader& sub) {
        switch (sub.id) {
            case kVertexListChunk: {
                const uint32_t count = CountThatFits(ReadU16(), 12);
                mesh.ResizeVertices(count);
                for (Vec3& p : mesh.positions) p = ReadVec3();
                break;
            }
            case kTexCoordListChunk: {
                const uint32_t count = CountThatFits(ReadU16(), 8);
                if (mesh.VertexCount() == 0) mesh.ResizeVertices(count);
                for (uint32_t i = 0; i < count; ++i) {
                    const float u = ReadFloat();
                    const float v = ReadFloat();
                    if (i < mesh.VertexCount()) mesh.texCoords[i] = mesh.texCoords2[i] = {u, v};
                }
                break;
            }
            case kFaceListChunk:
                ReadFaceList(sub, mesh);
                break;
            case kMeshMatrixChunk: {
                float values[12];
                for (float& value : values) value = ReadFloat();
                // Four columns: X axis, Y axis, Z axis (w 0) and the origin (w 1).
                for (int column = 0; column < 4; ++column) {
                    for (int row = 0; row < 3; ++row)
                        mesh.matrix[column * 4 + row] = values[column * 3 + row];
                    mesh.matrix[column * 4 + 3] = column == 3 ? 1.0f : 0.0f;
                }
                break;
            }
            default:
                break;
        }
    });
    meshes.push_back(std::move(mesh));
}

void Model3ds::ReadFaceList(const ChunkHeader& chunk, Mesh& mesh)
{
    const uint32_t count = CountThatFits(ReadU16(), 8);
    mesh.faces.assign(count, Face{});
    mesh.indexTriples.assign(count, IndexTriple{});
    for (Face& face : mesh.faces) {
        face.a = ReadU16();
        face.b = ReadU16();
        face.c = ReadU16();
        face.smoothingGroup = 1;
        Skip(2);  // edge visibility flags
    }
    ForEachSubChunk(chunk, position, [&](const ChunkHeader& sub) {
        if (sub.id == kMaterialGroupChunk) {
            char name[20];
            ReadString(name, sizeof name);
            const auto material = materialByName.find(name);
            // A group naming a material the file does not have is skipped; its faces keep index 0.
            if (material == materialByName.end()) return;
            const uint32_t index = material->second;
            mesh.materialIndices.push_back(index);
            const uint32_t faceCount = CountThatFits(ReadU16(), 2);
            for (uint32_t i = 0; i < faceCount; ++i) {
                const uint16_t face = ReadU16();
                if (face < mesh.faces.size()) mesh.faces[face].materialIndex = index;
            }
        } else if (sub.id == kSmoothingGroupChunk) {
            for (Face& face : mesh.faces) face.smoothingGroup = ReadU32();
        }
    });
}

// ---------------------------------------------------------------------------------------------------
// Lights and cameras

void Model3ds::ReadLight(const ChunkHeader& chunk)
{
    Light light;
    light.SetName(nameBuffer);
    light.position = ReadVec3();
    ForEachSubChunk(chunk, AfterFixedData(chunk.dataStart, chunk.end, 12), [&](const ChunkHeader& sub) {
        switch (sub.id) {
            case kColourFloatChunk:
            case kColourByteChunk:
            case kLinearColourByteChunk:
            case kLinearColourFloatChunk:
                light.colour = ReadColour(sub);
                break;
            case kSpotlightChunk:
                light.target = ReadVec3();
                light.hotspot = ReadFloat();
                light.falloff = ReadFloat();
                break;
            case kLightInnerRangeChunk:
                light.innerRange = ReadFloat();
                break;
            case kLightOuterRangeChunk:
                light.outerRange = ReadFloat();
                break;
            default:
                break;
        }
    });
    lights.push_back(std::move(light));
}

void Model3ds::ReadCamera(const ChunkHeader& chunk)
{
    Camera camera;
    camera.SetName(nameBuffer);
    camera.position = ReadVec3();
    camera.target = ReadVec3();
    camera.roll = ReadFloat();
    const float lens = ReadFloat();
    // A lens of 0 (or a damaged one) has no field of view; the camera keeps its default.
    const float fieldOfView = 2400.0f / lens;
    if (lens > 0.0f && std::isfinite(fieldOfView)) camera.fieldOfView = fieldOfView;
    ForEachSubChunk(chunk, AfterFixedData(chunk.dataStart, chunk.end, 32), [&](const ChunkHeader& sub) {
        if (sub.id == kCameraRangesChunk) {
            camera.nearRange = ReadFloat();
            camera.farRange = ReadFloat();
        }
    });
    cameras.push_back(std::move(camera));
}

// ---------------------------------------------------------------------------------------------------
// Keyframer object nodes

void Model3ds::ReadNode(const ChunkHeader& chunk)
{
    scratchNode.Reset();
    ChunkHeader sub;
    Seek(chunk.dataStart);
    if (!FindChunk(kNodeHeaderChunk, chunk, sub)) return;
    char name[19];
    ReadString(name, sizeof name);
    scratchNode.name = name;
    // A node for something that is not a mesh (a dummy, say) keeps its place in the list but stays empty.
    if (meshByName.find(name) == meshByName.end()) return;

    Seek(chunk.dataStart);
    if (FindChunk(kPivotChunk, chunk, sub)) {
        const Vec3 pivot = ReadVec3();
        scratchNode.pivots.push_back({pivot.x, pivot.y, pivot.z, 0});
    }

    Seek(chunk.dataStart);
    if (FindChunk(kPositionTrackChunk, chunk, sub)) {
        Skip(2);  // flags
        Skip(4);
        const int32_t frames = int32_t(ReadU32());
        frameCount = std::max({frameCount, uint32_t(std::max(frames, 1))});
        const uint32_t count = CountThatFits(ReadU32(), 6 + 12);
        scratchNode.positionKeys.reserve(count);
        for (uint32_t k = 0; k < count; ++k) {
            const uint32_t frame = ReadKeyHeader();
            const Vec3 p = ReadVec3();
            scratchNode.positionKeys.push_back({p.x, p.y, p.z, frame});
        }
    }

    Seek(chunk.dataStart);
    if (FindChunk(kRotationTrackChunk, chunk, sub)) {
        Skip(2);  // flags
        Skip(8);
        const uint32_t count = CountThatFits(ReadU32(), 6 + 16);
        scratchNode.rotationKeys.reserve(count);
        for (uint32_t k = 0; k < count; ++k) {
            const uint32_t frame = ReadKeyHeader();
            const float angle = ReadFloat();
            const Vec3 axis = ReadVec3();
            scratchNode.rotationKeys.push_back({-axis.x, -axis.y, -axis.z, angle, frame});
        }
    }
}
