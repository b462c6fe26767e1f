// Model3ds: reads a 3D Studio (.3ds) file into a Model: materials, triangle meshes, lights, cameras and the
// keyframer's object nodes. The whole file is read into memory and parsed from there through bounded
// reads. Depends on assets/mesh_model.h (the records and the post-processing).
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "assets/mesh_model.h"

class Model3ds : public Model {
public:
    // True when the file was read and its main (0x4D4D) and editor (0x3D3D) chunks were found. A file that
    // cannot be opened or read leaves the model as it was; otherwise the model holds only this file's
    // contents (earlier meshes, lights, materials, cameras, nodes and frame count are dropped).
    bool Load(const char* fileName) override;
    // The same for bytes already in memory (the file's complete contents).
    bool LoadFromMemory(const uint8_t* data, size_t byteCount);

private:
    struct ChunkHeader {
        uint16_t id = 0;
        uint32_t dataStart = 0;  // first byte after the 6-byte header
        uint32_t end = 0;        // one past the chunk's last byte, never past the buffer
    };

    bool ParseBuffer();
    void ResetForLoad();
    bool Parse();

    // Bounded primitives: a read that does not fit yields 0 and leaves the position unchanged.
    bool Fits(uint32_t count) const;
    uint8_t ReadU8();
    uint16_t ReadU16();
    uint32_t ReadU32();
    float ReadFloat();
    Vec3 ReadVec3();
    void Skip(uint32_t count);
    void ReadString(char* text, size_t capacity);
    bool ReadChunkHeader(ChunkHeader& header);
    void Seek(uint32_t offset);
    bool FindChunk(uint16_t id, const ChunkHeader& parent, ChunkHeader& found);
    template <typename Handler>
    void ForEachSubChunk(const ChunkHeader& parent, uint32_t from, Handler&& handle);
    uint32_t CountThatFits(uint32_t count, uint32_t bytesEach) const;

    Vec3 ReadColour(const ChunkHeader& colour);
    float ReadPercentage(const ChunkHeader& percentage);
    Vec3 ReadColourChunk(const ChunkHeader& parent);
    float ReadPercentageChunk(const ChunkHeader& parent);
    void ReadTextureMap(const ChunkHeader& chunk, TextureMap& map);
    uint32_t ReadKeyHeader();

    void ReadMaterial(const ChunkHeader& chunk);
    void ReadMesh(const ChunkHeader& chunk);
    void ReadFaceList(const ChunkHeader& chunk, Mesh& mesh);
    void ReadLight(const ChunkHeader& chunk);
    void ReadCamera(const ChunkHeader& chunk);
    void ReadNode(const ChunkHeader& chunk);

    char nameBuffer[100] = {};          // name of the named object being parsed
    std::unique_ptr<uint8_t[]> buffer;  // the file's contents, only while loading
    uint32_t size = 0;
    uint32_t position = 0;
    // Name lookups while parsing (first entry of each name), so that material groups and nodes cost the
    // same however many materials and meshes a file has.
    std::unordered_map<std::string, uint32_t> materialByName;
    std::unordered_map<std::string, uint32_t> meshByName;
};
