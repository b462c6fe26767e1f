// FrameInputs: the record the frame driver fills every frame and hands to the scene by address.
#pragma once
#include <cstdint>

struct FrameInputs {
    double cameraX = 0.0;         // (cursor x - 400) * 0.0175 while the left button is up
    double cameraY = 0.0;         // (cursor y - 300) * 0.0233... while the left button is up
    double cameraZ = 0.0;         // wheel accumulator while the left button is up
    double arrowLeftRight = 0.0;  // heading, radians, unbounded
    double arrowUpDown = 0.0;     // speed factor, -1 ... 1 after the frame driver's clamp
    double pointX = 0.0, pointY = 0.0, pointZ = 0.0;
    float spectrum[512] = {};  // music spectrum of this frame; all 0 while the music is off
    int32_t musicSteady = 1;   // written by the scene; 0 asks the driver to jitter the music position
};

extern FrameInputs gFrameInputs;
