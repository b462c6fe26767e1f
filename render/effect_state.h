// The fragment-effect state kept in the Engine: profiles, program slots and parameter slots, and which
// program the fragment profile runs. Written by render/effects.cpp only.
#pragma once
#include <cstdint>

constexpr int kEffectSlots = 1000;
constexpr int kEffectParameterSlots = 16;

struct EffectState {
    int32_t context = 0;                   // counts effect contexts created (one per LoadEffect call)
    int32_t vertexProfile = 6150;          // ARB vertex profile value, kept for its name only
    int32_t fragmentProfile = 7000;        // ARB fragment profile value
    uint32_t programs[kEffectSlots] = {};  // GL program objects, 0 = unusable
    int32_t parameters[kEffectSlots][kEffectParameterSlots];  // uniform locations, -1 = none
    int32_t boundIndex = -1;         // slot of the bound program, -1 = none (fixed function)
    bool fragmentProfileOn = false;  // the bound program runs on the current context
    bool vertexProfileOn = false;    // no vertex programs exist; kept so the enable/disable pairs match

    EffectState()
    {
        for (auto& slots : parameters)
            for (int32_t& location : slots) location = -1;
    }
};
