// Engine: the one global engine object, passed to every rendering and asset operation. Its fields belong
// to the parts that use them (start-up checks, texture table, camera and planes, font, effects, models).
#pragma once
#include <cstdint>

#include "assets/model3ds.h"
#include "math/vec.h"
#include "render/effect_state.h"
#include "render/outline_font_state.h"

struct FrameInputs;

constexpr int kTextureTableSize = 300000;
constexpr int kAbsoluteSlotStart = 85000;  // slots from here on ignore the base offset
constexpr int kFilmTextureSlot = 90000;

struct Engine {
    // Start-up and card checks.
    void (*loadTickCallback)(double) = nullptr;  // called before every texture load
    bool isAti = false;
    double speedFactor = 1.0;
    int32_t cardId = 0;  // 0 or 5200

    // Texture table: GL texture names by slot (base offset + slot below 85000, absolute above).
    uint32_t textureTable[kTextureTableSize] = {};
    int32_t textureBaseOffset = 0;

    // Camera of the off-screen scenes: eye, centre, up (kind 1 each).
    Vec camera[3];
    double fieldOfViewOffset = 0.0;
    double nearPlane = 1.5;
    double farPlane = 100.0;
    int32_t renderWidth = 800;
    int32_t screenCopyMode = 2;  // copy of the global gScreenCopyMode, always set together with it

    OutlineFontState font;
    EffectState effects;

    Model3ds models[1000];  // the model pool, constructed empty; this production loads none

    FrameInputs* frameInputs = nullptr;  // stored by the scene's Draw
};

extern Engine gEngine;
