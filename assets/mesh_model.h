// The mesh model: materials, triangle meshes, lights, cameras and keyframe tracks of one loaded 3D scene,
// and the data derived after loading (local-space vertices, smoothed normals, tangent frames, sampled
// tracks, index triples). Depends on math/vec.h; the loader itself lives in assets/model3ds.h.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Vec3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

struct Vec2 {
    float u = 0.0f, v = 0.0f;
};

// Base of the records that carry a name (materials, meshes, lights, cameras).
class NamedItem {
public:
    virtual ~NamedItem() = default;
    virtual const std::string& Name() const { return name; }
    virtual void SetName(const char* text) { name = text ? text : ""; }

    std::string name;
};

struct TextureMap {
    float amount = 0.0f;
    std::string fileName;
    float uScale = 1.0f;
    float vScale = 1.0f;
    float uOffset = 0.0f;
    float vOffset = 0.0f;
    float rotation = 0.0f;
};

class Material : public NamedItem {
public:
    uint32_t index = 0;  // position in the model's material list
    TextureMap textureMap1, textureMap2, opacityMap, reflectionMap, bumpMap, specularMap;
    Vec3 ambient, diffuse, specular;  // red, green, blue in x, y, z
    float shininess = 0.0f;           // 0 .. 1
    float transparency = 0.0f;        // 0 .. 1
    int32_t shading = 2;              // 0 .. 4
};

struct Face {
    uint16_t a = 0, b = 0, c = 0;  // vertex numbers
    uint32_t smoothingGroup = 1;   // faces share a smoothed vertex only when their masks are equal
    Vec3 normal, tangent, binormal;
    uint32_t materialIndex = 0;  // 0 when no material group names the face
};

struct IndexTriple {
    uint16_t a = 0, b = 0, c = 0;
};

// The six per-vertex lists (positions .. texCoords2) always have the same length.
class Mesh : public NamedItem {
public:
    Mesh();
    size_t VertexCount() const { return positions.size(); }
    void ResizeVertices(size_t count);  // all six lists; entries kept, new ones zero

    std::vector<IndexTriple> indexTriples;  // parallel to faces, ready for indexed drawing
    std::vector<Vec3> positions, normals, binormals, tangents;
    std::vector<Vec2> texCoords, texCoords2;
    std::vector<Face> faces;
    float matrix[16];  // column-major: X axis, Y axis, Z axis, origin; identity for a new mesh
    std::vector<uint32_t> materialIndices;  // one per material group, in file order
};

class Light : public NamedItem {
public:
    Vec3 position, colour, target;
    float hotspot = 0.0f;
    float falloff = 0.0f;
    float outerRange = 1000.0f;
    float innerRange = 100.0f;
};

class Camera : public NamedItem {
public:
    Vec3 position, target;
    float roll = 0.0f;
    float fieldOfView = 80.0f;  // degrees
    float nearRange = 10.0f;
    float farRange = 10000.0f;
};

struct PivotKey {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    uint32_t frame = 0;
};

struct RotationKey {
    float x = 0.0f, y = 0.0f, z = 0.0f;  // axis, stored negated as the file's convention needs
    float angle = 0.0f;                  // radians
    uint32_t frame = 0;
};

struct PositionKey {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    uint32_t frame = 0;
};

// One keyframer object node. The key lists exist only while loading; the samples hold one entry per
// frame of the model afterwards.
struct KeyNode {
    std::string name;              // the node header's name, kept for tools
    std::vector<PivotKey> pivots;  // at most one entry
    std::vector<RotationKey> rotationKeys;
    std::vector<PositionKey> positionKeys;
    std::vector<float> rotationSamples;  // frame count x (axis x, y, z, accumulated angle)
    std::vector<float> positionSamples;  // frame count x (x, y, z)
    Vec3 pivot;                          // after loading: the negated pivot, scaled like its mesh
    float firstRotation[4] = {};         // key 0's axis and angle

    void Reset() { *this = KeyNode(); }
};

class Model {
public:
    virtual ~Model() = default;
    virtual bool Load(const char* fileName) = 0;
    virtual void Clear();  // empties meshes, lights and materials

    // First entry whose name equals the given text byte for byte, or nullptr.
    const Material* FindMaterial(const std::string& name) const;
    const Mesh* FindMesh(const std::string& name) const;

    KeyNode scratchNode;  // used while reading
    std::vector<KeyNode> nodes;
    uint32_t frameCount = 0;  // at least 1 once a position track was read
    std::vector<Camera> cameras;
    std::vector<Light> lights;
    std::vector<Mesh> meshes;
    std::vector<Material> materials;
    int32_t normalMode = 2;

protected:
    // The derived data, computed once at the end of a successful parse. Returns false when the sampled
    // tracks would not fit the sample budget (a damaged or hostile frame count).
    bool PostProcess();
};

// Upper bound for the per-frame samples of all nodes together: frame count x nodes x 7 floats.
constexpr uint64_t kMaxKeyframeSampleFloats = uint64_t(1) << 24;
// Vertex numbers are 16-bit, so a mesh never grows past this many vertices when it is split.
constexpr size_t kMaxMeshVertices = 65535;

// The post-processing steps, one per mesh (exposed so that they can be checked one at a time). All but
// the first expect every face to name existing vertices.
void DropFacesWithMissingVertices(Mesh& mesh);  // a damaged file may name vertices it never lists
void SampleKeyNode(KeyNode& node, uint32_t frameCount);
void MoveMeshToLocalSpace(Mesh& mesh, KeyNode& node);
void ComputeMeshNormals(Mesh& mesh);
void ComputeMeshTangents(Mesh& mesh);
void FillIndexTriples(Mesh& mesh);
