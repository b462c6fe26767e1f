// The fragment-effect state kept in the Engine: profiles, program slots and parameter slots.
#pragma once
#include <cstdint>

constexpr int kEffectSlots = 1000;
constexpr int kEffectParameterSlots = 16;

struct EffectState {
    int32_t context = 0;             // counts LoadEffect calls; the latest "context"
    int32_t vertexProfile = 6150;    // ARB vertex profile value, kept for its name only
    int32_t fragmentProfile = 7000;  // ARB fragment profile value
    uint32_t programs[kEffectSlots] = {};                           // GL program objects, 0 = unusable
    int32_t parameters[kEffectSlots][kEffectParameterSlots] = {};  // uniform locations, -1 = none
};
