// Fragment effects: GLSL fragment programs in numbered slots of the Engine, their texture ("decal",
// "decal2") and float parameters, and the two feedback passes that run them in the off-screen target.
// Depends on the entry-point table, the shader compiler, the render target and the drawing helpers.
#pragma once

struct Engine;
struct RenderTargetContext;

// Parameter slots of an effect.
constexpr int kCameraPosParameter = 1;
constexpr int kLightPosParameter = 2;
constexpr int kDecalParameter = 7;
constexpr int kDecal2Parameter = 8;
constexpr int kFloatParameter = 14;  // every float lookup by name reuses this slot

void CreateCgContext(Engine& engine);  // a fresh effect context: fixes the two profiles, counts contexts
void CreateEffectProgram(Engine& engine, const char* file, int index);  // reads and compiles the file
void CompileAndLoadEffect(Engine& engine, int index);
void LoadEffect(Engine& engine, const char* file, int index);  // a failure leaves the slot unusable
bool EffectUsable(const Engine& engine, int index);
void BindEffect(Engine& engine, int index);
void GetEffectParameter(Engine& engine, int index, int slot, const char* name);
void SetEffectParameter3f(Engine& engine, int index, int slot, float x, float y, float z);
void SetEffectFloat(Engine& engine, int index, const char* name, double value);
void PrepareEffect(Engine& engine, int index, int textureSlot);                   // "decal" on unit 0
void PrepareEffect2(Engine& engine, int index, int textureSlot, int secondSlot);  // and "decal2" on unit 1
void EnableVertexProfile(Engine& engine);
void EnableFragmentProfile(Engine& engine);  // runs the bound program on the current context
void DisableVertexProfile(Engine& engine);
void DisableFragmentProfile(Engine& engine);  // back to fixed function
void DisableEffects(Engine& engine);          // fragment, then vertex profile off
// Feedback passes in the off-screen target; they leave it current with depth test on, blending off and
// no program running.
void RunFeedbackEffect(Engine& engine, RenderTargetContext& target, int sourceSlot, int targetSlot, int size,
                       double alpha, int iterations, int index);
void RunTwoTextureEffect(Engine& engine, RenderTargetContext& target, int sourceSlot, int targetSlot,
                         int secondSlot, int size, double alpha, int iterations, int index);
