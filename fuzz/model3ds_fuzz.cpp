// libFuzzer target for the 3D Studio reader: any byte string is handed to the reader as a file's contents,
// twice on the same object so that reloading is exercised too. Depends on assets/model3ds.h.
#include <cstddef>
#include <cstdint>

#include "assets/model3ds.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Model3ds model;
    model.LoadFromMemory(data, size);
    // Every face must name a vertex of its mesh, and the lists must stay parallel.
    for (const Mesh& mesh : model.meshes) {
        if (mesh.normals.size() != mesh.VertexCount() || mesh.texCoords2.size() != mesh.VertexCount() ||
            mesh.indexTriples.size() != mesh.faces.size())
            __builtin_trap();
        for (const IndexTriple& t : mesh.indexTriples)
            if (t.a >= mesh.VertexCount() || t.b >= mesh.VertexCount() || t.c >= mesh.VertexCount())
                __builtin_trap();
    }
    return 0;
}
