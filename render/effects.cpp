// Fragment effects (see effects.h): GLSL programs in the Engine's effect slots, their parameters, and the
// two feedback passes run in the off-screen target. Failed programs leave their slot unusable; the
// passes then draw with fixed function. Depends on the shader compiler, the entry points, the render
// target and the drawing helpers.
#include "render/effects.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/input_file.h"
#include "render/billboards.h"
#include "render/engine.h"
#include "render/entry_points.h"
#include "render/render_target.h"
#include "render/shader_compiler.h"

namespace {

constexpr int32_t kVertexProfileArb = 6150;
constexpr int32_t kFragmentProfileArb = 7000;
constexpr uint32_t kCurrentProgram = 0x8B8D;
constexpr uint32_t kTextureUnit0 = 0x84C0;
constexpr int kDecalUnit = 0;
constexpr int kDecal2Unit = 1;

bool ValidIndex(int index)
{
    return index >= 0 && index < kEffectSlots;
}
bool ValidSlot(int slot)
{
    return slot >= 0 && slot < kEffectParameterSlots;
}

uint32_t ProgramAt(const Engine& engine, int index)
{
    return ValidIndex(index) ? engine.effects.programs[index] : 0;
}

// Uniforms belong to their program, which need not be the one running: switch to it for the store and
// back, so setting a parameter never changes what draws.
template <typename Store>
void WithProgram(uint32_t program, Store store)
{
    int running = 0;
    glGetIntegerv(kCurrentProgram, &running);
    if (static_cast<uint32_t>(running) != program) UseProgram(program);
    store();
    if (static_cast<uint32_t>(running) != program) UseProgram(static_cast<uint32_t>(running));
}

constexpr size_t kLargestEffectFile = 1u << 20;  // a fragment program's source

bool ReadFile(const char* file, std::string* text, std::string& cause)
{
    std::vector<unsigned char> bytes;
    if (!ReadInputFile(file, kLargestEffectFile, bytes, cause)) return false;
    text->assign(bytes.begin(), bytes.end());
    return true;
}

// Binds a texture slot to a sampler parameter's unit and points the sampler there.
void SetTextureParameter(Engine& engine, int index, int parameterSlot, const char* name, int unit,
                         int textureSlot)
{
    if (!ValidIndex(index)) return;
    GetEffectParameter(engine, index, parameterSlot, name);
    const int32_t location = engine.effects.parameters[index][parameterSlot];
    if (location < 0) return;
    WithProgram(ProgramAt(engine, index), [&] { Uniform1i(location, unit); });
    ActiveTexture(kTextureUnit0 + static_cast<uint32_t>(unit));
    glBindTexture(GL_TEXTURE_2D, TextureForSlot(engine, textureSlot));
    ActiveTexture(kTextureUnit0);
}

// True when the source, drawn at this alpha, covers every pixel below it: full alpha and a texture
// without an alpha channel, whose texels all read alpha 1.
bool SourceReplacesAll(const Engine& engine, int sourceSlot, double alpha)
{
    if (alpha < 1.0) return false;
    BindSceneTexture(engine, sourceSlot);
    int alphaBits = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alphaBits);
    return alphaBits == 0;
}

void CommonPassSetUp(Engine& engine, RenderTargetContext& target, int size)
{
    MakeRenderTargetCurrent(target);
    glViewport(0, 0, size, size);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(65.0, 1.0, 0.01, 124.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHT0);
    glDisable(GL_DEPTH_TEST);
    glColor3f(1.0f, 1.0f, 1.0f);
    // Looking down -y from 2.03 with x up: a billboard of half-size 1.295 at the origin fills the view.
    gluLookAt(0.0, 2.03, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0);
    glDisable(GL_DEPTH_TEST);
    DisableEffects(engine);
}

// Where the steps of a feedback pass draw. Step 0 is the composite, steps 1 ... n the program runs, and
// each reads what the step before drew. Drawing straight into textures, the steps alternate between a
// spare texture and the target's own, starting with the spare, since the composite reads the target;
// when the last step lands in the spare, that one is copied into the target. Without the spare every
// step draws into the renderbuffer and is copied into the target.
struct FeedbackTargets {
    uint32_t target = 0, spare = 0;
    bool direct = false;
    uint32_t Step(int step) const { return step % 2 == 0 ? spare : target; }
};

FeedbackTargets ChooseFeedbackTargets(RenderTargetContext& renderTarget, uint32_t texture, int size)
{
    FeedbackTargets t;
    t.target = texture;
    t.spare = SpareTextureLike(renderTarget, texture);
    const TargetExtent region{size, size};
    t.direct = t.spare != 0 && DrawTargetInto(renderTarget, t.target, region) &&
               DrawTargetInto(renderTarget, t.spare, region);
    return t;
}

// Starts a step: its drawing goes to its texture, or to the renderbuffer.
void BeginStep(RenderTargetContext& renderTarget, const FeedbackTargets& t, int step, int size)
{
    if (t.direct)
        DrawTargetInto(renderTarget, t.Step(step), TargetExtent{size, size});
    else
        DrawTargetIntoRenderbuffer(renderTarget);
}

// The feedback composite: the previous result shrunk to 98.5 %, the source blended over it at alpha.
// When the source replaces everything below it (source x 1 + below x 0), the clear and the shrunk copy
// would not show, and the source is drawn without blending: the same bytes.
void FeedbackComposite(Engine& engine, int sourceSlot, int targetSlot, int size, double alpha, bool replaces)
{
    if (!replaces) {
        ClearRegion(TargetExtent{size, size}, GL_COLOR_BUFFER_BIT);  // the pass reads no more
        BindSceneTexture(engine, targetSlot);
        DrawBillboard(0.0, 1.275, 1.275);
        glEnable(GL_BLEND);
    }
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1.0f, 1.0f, 1.0f, static_cast<float>(alpha));
    BindSceneTexture(engine, sourceSlot);
    DrawScreenCopyBillboard(engine.renderWidth, 0.0, 1.295, 1.295);
    glDisable(GL_BLEND);
}

// Both feedback passes; the program reads secondSlot as "decal2" only with twoTextures.
void RunFeedbackPass(Engine& engine, RenderTargetContext& target, int sourceSlot, int targetSlot,
                     bool twoTextures, int secondSlot, int size, double alpha, int iterations, int index)
{
    CommonPassSetUp(engine, target, size);
    const bool replaces = SourceReplacesAll(engine, sourceSlot, alpha);
    const FeedbackTargets t = ChooseFeedbackTargets(target, TextureForSlot(engine, targetSlot), size);
    BeginStep(target, t, 0, size);
    FeedbackComposite(engine, sourceSlot, targetSlot, size, alpha, replaces);
    if (!t.direct) CopyScreenToTexture(t.target, size, size);

    if (twoTextures)
        PrepareEffect2(engine, index, targetSlot, secondSlot);
    else
        PrepareEffect(engine, index, targetSlot);
    for (int step = 1; step <= iterations; ++step) {
        BeginStep(target, t, step, size);
        // The program reads "decal" on unit 0: the previous step's picture.
        if (t.direct) glBindTexture(GL_TEXTURE_2D, t.Step(step - 1));
        DrawBillboard(0.0, 1.295, 1.295);
        if (!t.direct) CopyScreenToTexture(t.target, size, size);
    }
    if (t.direct) {
        if (t.Step(iterations) != t.target) CopyScreenToTexture(t.target, size, size);
        glBindTexture(GL_TEXTURE_2D, t.target);  // bound as the copies leave it
        DrawTargetIntoRenderbuffer(target);
    }
    glEnable(GL_DEPTH_TEST);
    DisableEffects(engine);
}

}  // namespace

void CreateCgContext(Engine& engine)
{
    engine.effects.vertexProfile = kVertexProfileArb;
    engine.effects.fragmentProfile = kFragmentProfileArb;
    ++engine.effects.context;
}

void CreateEffectProgram(Engine& engine, const char* file, int index)
{
    if (!ValidIndex(index)) {
        std::fprintf(stderr, "effect %s: slot %d out of range 0 ... %d\n", file ? file : "(null)", index,
                     kEffectSlots - 1);
        return;
    }
    EffectState& effects = engine.effects;
    if (effects.programs[index]) {
        if (effects.boundIndex == index && effects.fragmentProfileOn) UseProgram(0);
        DeleteFragmentProgram(effects.programs[index]);
        effects.programs[index] = 0;
    }
    for (int32_t& location : effects.parameters[index]) location = -1;

    std::string source, cause = "no file named";
    if (!file || !ReadFile(file, &source, cause)) {
        std::fprintf(stderr, "effect %s: cannot read the file (%s); drawing without it\n",
                     file ? file : "(null)", cause.c_str());
        return;
    }
    std::string log;
    effects.programs[index] = CompileFragmentProgram(source, &log);
    if (!effects.programs[index])
        std::fprintf(stderr, "effect %s: does not compile; drawing without it\n%s\n", file, log.c_str());
}

void CompileAndLoadEffect(Engine& engine, int index)
{
    // Compiling happened on creation; loading fixes the sampler units so the program is ready to run.
    const uint32_t program = ProgramAt(engine, index);
    EnableFragmentProfile(engine);
    if (!program) return;
    WithProgram(program, [&] {
        const int decal = GetUniformLocation(program, "decal");
        const int decal2 = GetUniformLocation(program, "decal2");
        if (decal >= 0) Uniform1i(decal, kDecalUnit);
        if (decal2 >= 0) Uniform1i(decal2, kDecal2Unit);
    });
}

void LoadEffect(Engine& engine, const char* file, int index)
{
    CreateCgContext(engine);
    EnableFragmentProfile(engine);
    CreateEffectProgram(engine, file, index);
    CompileAndLoadEffect(engine, index);
    DisableFragmentProfile(engine);
    DisableVertexProfile(engine);
}

bool EffectUsable(const Engine& engine, int index)
{
    return ProgramAt(engine, index) != 0;
}

void BindEffect(Engine& engine, int index)
{
    EffectState& effects = engine.effects;
    effects.boundIndex = EffectUsable(engine, index) ? index : -1;
    if (effects.fragmentProfileOn) UseProgram(ProgramAt(engine, effects.boundIndex));
}

void GetEffectParameter(Engine& engine, int index, int slot, const char* name)
{
    if (!ValidIndex(index) || !ValidSlot(slot)) return;
    const uint32_t program = engine.effects.programs[index];
    engine.effects.parameters[index][slot] = program && name ? GetUniformLocation(program, name) : -1;
}

void SetEffectParameter3f(Engine& engine, int index, int slot, float x, float y, float z)
{
    if (!ValidIndex(index) || !ValidSlot(slot)) return;
    const int32_t location = engine.effects.parameters[index][slot];
    const uint32_t program = engine.effects.programs[index];
    if (location < 0 || !program) return;
    WithProgram(program, [&] { Uniform3f(location, x, y, z); });
}

void SetEffectFloat(Engine& engine, int index, const char* name, double value)
{
    GetEffectParameter(engine, index, kFloatParameter, name);
    if (!ValidIndex(index)) return;
    const int32_t location = engine.effects.parameters[index][kFloatParameter];
    const uint32_t program = engine.effects.programs[index];
    if (location < 0 || !program) return;
    WithProgram(program, [&] { Uniform1f(location, static_cast<float>(value)); });
}

void PrepareEffect(Engine& engine, int index, int textureSlot)
{
    DisableVertexProfile(engine);
    EnableFragmentProfile(engine);
    BindEffect(engine, index);
    if (!EffectUsable(engine, index)) return;
    SetTextureParameter(engine, index, kDecalParameter, "decal", kDecalUnit, textureSlot);
}

void PrepareEffect2(Engine& engine, int index, int textureSlot, int secondSlot)
{
    PrepareEffect(engine, index, textureSlot);
    if (!EffectUsable(engine, index)) return;
    SetTextureParameter(engine, index, kDecal2Parameter, "decal2", kDecal2Unit, secondSlot);
}

void EnableVertexProfile(Engine& engine)
{
    engine.effects.vertexProfileOn = true;
}

void EnableFragmentProfile(Engine& engine)
{
    engine.effects.fragmentProfileOn = true;
    UseProgram(ProgramAt(engine, engine.effects.boundIndex));
}

void DisableVertexProfile(Engine& engine)
{
    engine.effects.vertexProfileOn = false;
}

void DisableFragmentProfile(Engine& engine)
{
    engine.effects.fragmentProfileOn = false;
    UseProgram(0);
}

void DisableEffects(Engine& engine)
{
    DisableFragmentProfile(engine);
    DisableVertexProfile(engine);
}

void RunFeedbackEffect(Engine& engine, RenderTargetContext& target, int sourceSlot, int targetSlot, int size,
                       double alpha, int iterations, int index)
{
    RunFeedbackPass(engine, target, sourceSlot, targetSlot, false, 0, size, alpha, iterations, index);
}

void RunTwoTextureEffect(Engine& engine, RenderTargetContext& target, int sourceSlot, int targetSlot,
                         int secondSlot, int size, double alpha, int iterations, int index)
{
    RunFeedbackPass(engine, target, sourceSlot, targetSlot, true, secondSlot, size, alpha, iterations, index);
}
