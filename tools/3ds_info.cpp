// 3ds-info FILE.3ds: loads a 3D Studio file with the project's reader and prints what it holds as one JSON
// object (frames, materials, meshes, lights, cameras, nodes). Depends on assets/model3ds.h.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "assets/model3ds.h"

namespace {

void AppendString(std::string& out, const std::string& text)
{
    out += '"';
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c >= 0x7F) {
            // Names are 8-bit text of unknown encoding: bytes outside ASCII are written as Latin-1 code
            // points so that the output is always valid JSON.
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += char(c);
        }
    }
    out += '"';
}

void AppendNumber(std::string& out, double value)
{
    if (!std::isfinite(value)) {
        out += "null";  // JSON has no infinity or NaN
        return;
    }
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, float(value));
    out.append(text, result.ptr);
}

void AppendVec3(std::string& out, const Vec3& v)
{
    out += '[';
    AppendNumber(out, v.x);
    out += ',';
    AppendNumber(out, v.y);
    out += ',';
    AppendNumber(out, v.z);
    out += ']';
}

void AppendKey(std::string& out, const char* key, bool first = false)
{
    if (!first) out += ',';
    out += '"';
    out += key;
    out += "\":";
}

void AppendMap(std::string& out, const char* kind, const TextureMap& map, bool& firstMap)
{
    if (map.amount == 0.0f && map.fileName.empty()) return;
    if (!firstMap) out += ',';
    firstMap = false;
    out += '{';
    AppendKey(out, "kind", true);
    AppendString(out, kind);
    AppendKey(out, "file");
    AppendString(out, map.fileName);
    AppendKey(out, "amount");
    AppendNumber(out, map.amount);
    AppendKey(out, "u_scale");
    AppendNumber(out, map.uScale);
    AppendKey(out, "v_scale");
    AppendNumber(out, map.vScale);
    AppendKey(out, "u_offset");
    AppendNumber(out, map.uOffset);
    AppendKey(out, "v_offset");
    AppendNumber(out, map.vOffset);
    AppendKey(out, "rotation");
    AppendNumber(out, map.rotation);
    out += '}';
}

template <typename List, typename Writer>
void AppendList(std::string& out, const char* key, const List& list, Writer&& write)
{
    AppendKey(out, key);
    out += '[';
    bool first = true;
    for (const auto& item : list) {
        if (!first) out += ',';
        first = false;
        out += '{';
        write(item);
        out += '}';
    }
    out += ']';
}

std::string Describe(const Model3ds& model)
{
    std::string out = "{";
    AppendKey(out, "frames", true);
    out += std::to_string(model.frameCount);
    AppendList(out, "materials", model.materials, [&](const Material& m) {
        AppendKey(out, "name", true);
        AppendString(out, m.Name());
        AppendKey(out, "ambient");
        AppendVec3(out, m.ambient);
        AppendKey(out, "diffuse");
        AppendVec3(out, m.diffuse);
        AppendKey(out, "specular");
        AppendVec3(out, m.specular);
        AppendKey(out, "shininess");
        AppendNumber(out, m.shininess);
        AppendKey(out, "transparency");
        AppendNumber(out, m.transparency);
        AppendKey(out, "shading");
        out += std::to_string(m.shading);
        AppendKey(out, "maps");
        out += '[';
        bool firstMap = true;
        AppendMap(out, "texture1", m.textureMap1, firstMap);
        AppendMap(out, "texture2", m.textureMap2, firstMap);
        AppendMap(out, "opacity", m.opacityMap, firstMap);
        AppendMap(out, "reflection", m.reflectionMap, firstMap);
        AppendMap(out, "bump", m.bumpMap, firstMap);
        AppendMap(out, "specular", m.specularMap, firstMap);
        out += ']';
    });
    AppendList(out, "meshes", model.meshes, [&](const Mesh& m) {
        AppendKey(out, "name", true);
        AppendString(out, m.Name());
        AppendKey(out, "vertices");
        out += std::to_string(m.VertexCount());
        AppendKey(out, "faces");
        out += std::to_string(m.faces.size());
        AppendKey(out, "materials");
        out += '[';
        for (size_t i = 0; i < m.materialIndices.size(); ++i) {
            if (i) out += ',';
            const uint32_t index = m.materialIndices[i];
            AppendString(out, index < model.materials.size() ? model.materials[index].Name() : std::string());
        }
        out += ']';
        AppendKey(out, "first_vertex");
        if (m.VertexCount())
            AppendVec3(out, m.positions[0]);
        else
            out += "null";
        AppendKey(out, "first_normal");
        if (m.VertexCount())
            AppendVec3(out, m.normals[0]);
        else
            out += "null";
    });
    AppendList(out, "lights", model.lights, [&](const Light& l) {
        AppendKey(out, "name", true);
        AppendString(out, l.Name());
        AppendKey(out, "position");
        AppendVec3(out, l.position);
        AppendKey(out, "colour");
        AppendVec3(out, l.colour);
    });
    AppendList(out, "cameras", model.cameras, [&](const Camera& c) {
        AppendKey(out, "name", true);
        AppendString(out, c.Name());
        AppendKey(out, "position");
        AppendVec3(out, c.position);
        AppendKey(out, "target");
        AppendVec3(out, c.target);
        AppendKey(out, "fov");
        AppendNumber(out, c.fieldOfView);
        AppendKey(out, "near");
        AppendNumber(out, c.nearRange);
        AppendKey(out, "far");
        AppendNumber(out, c.farRange);
    });
    AppendList(out, "nodes", model.nodes, [&](const KeyNode& n) {
        AppendKey(out, "name", true);
        AppendString(out, n.name);
        AppendKey(out, "pivot");
        AppendVec3(out, n.pivot);
        const size_t frames = n.positionSamples.size() / 3;
        AppendKey(out, "first_position");
        if (frames)
            AppendVec3(out, {n.positionSamples[0], n.positionSamples[1], n.positionSamples[2]});
        else
            out += "null";
        AppendKey(out, "last_position");
        if (frames) {
            const float* last = &n.positionSamples[(frames - 1) * 3];
            AppendVec3(out, {last[0], last[1], last[2]});
        } else {
            out += "null";
        }
    });
    out += "}\n";
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || argv[1][0] == '\0' || std::string(argv[1]) == "--help") {
        std::fprintf(stderr, "usage: 3ds-info FILE.3ds\n");
        return argc == 2 && std::string(argv[1]) == "--help" ? 0 : 2;
    }
    Model3ds model;
    if (!model.Load(argv[1])) {
        std::fprintf(stderr, "3ds-info: cannot load '%s': not a readable 3D Studio file\n", argv[1]);
        return 1;
    }
    const std::string json = Describe(model);
    std::fwrite(json.data(), 1, json.size(), stdout);
    return 0;
}
