// libFuzzer target for the 3D Studio reader: any byte string is handed to the reader as a file's contents,
// twice on the same object so that reloading is exercised too; inputs of odd length go through Load and a
// file, the others through LoadFromMemory. Depends on assets/model3ds.h.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "assets/model3ds.h"

namespace {

// The input as a file: an in-memory file opened again by its /proc name.
bool AsFile(const uint8_t* data, size_t size, char* path, size_t pathSize)
{
    static int fd = memfd_create("model3ds_fuzz", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0) return false;
    if (size && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return false;
    std::snprintf(path, pathSize, "/proc/self/fd/%d", fd);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Model3ds model;
    char path[64];
    if ((size & 1) && AsFile(data, size, path, sizeof path))
        model.Load(path);
    else
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
