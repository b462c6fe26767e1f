// The three layers the scene renders into textures every frame (sea, detail, world), reached by the
// off-screen renderer through the callbacks below, which call the layer routines of CurrentScene.
// Depends on the scene record (scene/demo_scene.h) and the render target's routine signature.
#pragma once
#include <cstdint>

#include "math/vec.h"

struct Engine;

// Callbacks with the renderer's signature; each draws its layer of CurrentScene (which must be set).
void DrawSeaLayerCallback(Engine& engine);     // 20 additive blobs at the scene's seaPoints
void DrawDetailLayerCallback(Engine& engine);  // nested folding rectangles, digits, sprites and particles
void DrawWorldLayerCallback(Engine& engine);   // the enhanced sea picture and the late red flash

// Growth of the sea around the origin: 0 at time 0, full from 2.5 s of scene time on.
double SeaGrowth(double time);
// The 20 blob centres of the sea at a scene time: paths fixed by the round seed, spread by SeaGrowth.
// Reseeds the runtime generator. The frame's steps place the sea with it; the sea layer draws what they
// placed.
void PlaceSeaPoints(int32_t roundSeed, double time, Vec* points);
