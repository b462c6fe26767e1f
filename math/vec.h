// Tagged vectors and 4 x 4 matrices: positions and directions of the game, the layers and the mesh model.
// Depends on nothing.
#pragma once
#include <cstdint>

// kind: 0 empty, 1 point or general vector, 2 unit direction.
struct Vec {
    int32_t kind = 0;
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

// 16 doubles, row-major (row 0 first); the operations use the 3 x 3 rotation part.
struct Mat4 {
    double m[16] = {};
};
