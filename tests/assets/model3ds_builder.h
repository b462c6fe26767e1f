// Test helper: writes 3D Studio chunks byte by byte (little-endian, lengths patched when a chunk closes),
// so that the reader's tests can state exactly which bytes a file holds. Depends on the standard library.
#pragma once
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

class ChunkWriter {
public:
    ChunkWriter& Begin(uint16_t id)
    {
        U16(id);
        open_.push_back(bytes_.size());
        U32(0);
        return *this;
    }
    // Closes the innermost chunk; its length counts the 6-byte header.
    ChunkWriter& End()
    {
        const size_t lengthAt = open_.back();
        open_.pop_back();
        const uint32_t length = uint32_t(bytes_.size() - (lengthAt - 2));
        for (int i = 0; i < 4; ++i) bytes_[lengthAt + i] = uint8_t(length >> (8 * i));
        return *this;
    }
    ChunkWriter& U8(uint8_t v)
    {
        bytes_.push_back(v);
        return *this;
    }
    ChunkWriter& U16(uint16_t v) { return U8(uint8_t(v)).U8(uint8_t(v >> 8)); }
    ChunkWriter& U32(uint32_t v) { return U16(uint16_t(v)).U16(uint16_t(v >> 16)); }
    ChunkWriter& F32(float v)
    {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        return U32(bits);
    }
    ChunkWriter& F3(float x, float y, float z) { return F32(x).F32(y).F32(z); }
    ChunkWriter& Str(const std::string& s)
    {
        for (char c : s) U8(uint8_t(c));
        return U8(0);
    }
    // A whole chunk holding only the given string.
    ChunkWriter& StrChunk(uint16_t id, const std::string& s) { return Begin(id).Str(s).End(); }

    std::vector<uint8_t>& Bytes() { return bytes_; }
    size_t Size() const { return bytes_.size(); }

    bool WriteFile(const std::string& path) const
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes_.data()), std::streamsize(bytes_.size()));
        return bool(out);
    }

private:
    std::vector<uint8_t> bytes_;
    std::vector<size_t> open_;
};

struct BuiltFace {
    uint16_t a, b, c;
};

// A mesh object (0x4000 with a 0x4100 inside) with vertices, optional uvs, faces and smoothing groups.
inline void WriteMeshObject(ChunkWriter& w, const std::string& name, const std::vector<float>& xyz,
                            const std::vector<BuiltFace>& faces, const std::vector<uint32_t>& smoothing = {},
                            const std::vector<float>& uv = {})
{
    w.Begin(0x4000).Str(name).Begin(0x4100);
    w.Begin(0x4110).U16(uint16_t(xyz.size() / 3));
    for (float f : xyz) w.F32(f);
    w.End();
    if (!uv.empty()) {
        w.Begin(0x4140).U16(uint16_t(uv.size() / 2));
        for (float f : uv) w.F32(f);
        w.End();
    }
    w.Begin(0x4120).U16(uint16_t(faces.size()));
    for (const BuiltFace& f : faces) w.U16(f.a).U16(f.b).U16(f.c).U16(7);
    if (!smoothing.empty()) {
        w.Begin(0x4150);
        for (uint32_t s : smoothing) w.U32(s);
        w.End();
    }
    w.End();  // face list
    w.End().End();
}

// The unit cube: 8 corners, 12 faces, wound counter-clockwise seen from outside; faces 2k and 2k + 1
// form side k (-z, +z, -y, +y, -x, +x).
inline std::vector<float> CubeCorners()
{
    return {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 1, 1, 0, 1, 1, 1, 1, 0, 1, 1};
}
inline std::vector<BuiltFace> CubeFaces()
{
    return {{0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7}, {0, 1, 5}, {0, 5, 4},
            {3, 6, 2}, {3, 7, 6}, {0, 4, 7}, {0, 7, 3}, {1, 2, 6}, {1, 6, 5}};
}
