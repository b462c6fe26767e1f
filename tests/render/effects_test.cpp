// Fragment effects on Mesa: the shipped programs compile and look the part, parameters reach the
// shader, the feedback passes composite, run and copy as they should, and broken programs leave the
// passes drawing without them.
#include "render/effects.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/gl_context.h"
#include "render/billboards.h"
#include "render/engine.h"
#include "render/render_target.h"
#include "tests/render/pixels.h"
#include "tests/support/gl_test_window.h"

namespace {

constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kBlue{0, 0, 255, 255};
constexpr Rgba kGreen{0, 255, 0, 255};

constexpr int kSource = 50, kTarget = 51, kSecond = 52;
constexpr int kUniformEffect = 40, kDecal2Effect = 41, kInvertEffect = 42;

const char* const kUniformShader = R"(#version 120
uniform float alpha, alpha2, alpha3, alpha4;
void main() { gl_FragColor = vec4(alpha, alpha2, alpha3, alpha4); }
)";
const char* const kDecal2Shader = R"(#version 120
uniform sampler2D decal, decal2;
void main() { gl_FragColor = texture2D(decal2, gl_TexCoord[0].st); }
)";
const char* const kInvertShader = R"(#version 120
uniform sampler2D decal;
void main() { gl_FragColor = vec4(1.0 - texture2D(decal, gl_TexCoord[0].st).rgb, 1.0); }
)";

// Each test case runs in a process of its own, and CTest runs them side by side: every process writes its
// shaders under names of its own (a shared name let one process read another's file while it was being
// rewritten, and a program compiled from half a file failed now and then).
std::vector<std::string> shaderFiles;  // removed once the suite ends

std::string WriteShader(const std::string& name, const std::string& text)
{
    static const std::string process = std::to_string(std::random_device{}());
    const std::string path = testing::TempDir() + "quarnel_" + process + "_" + name;
    std::ofstream(path) << text;
    shaderFiles.push_back(path);
    return path;
}

std::string SourceDir()
{
    const char* dir = std::getenv("QUARNEL_SOURCE_DIR");
    return dir ? dir : QUARNEL_RENDER_SOURCE_DIR;
}

std::string BuildDir()
{
    const char* dir = std::getenv("QUARNEL_BUILD_DIR");
    return dir ? dir : QUARNEL_RENDER_BUILD_DIR;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<uint8_t> Pattern(int size, Rgba (*colour)(double x, double y))
{
    std::vector<uint8_t> rgba(static_cast<size_t>(size) * size * 4);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const Rgba c = colour((x + 0.5) / size, (y + 0.5) / size);
            uint8_t* p = &rgba[(static_cast<size_t>(y) * size + x) * 4];
            p[0] = static_cast<uint8_t>(c.r), p[1] = static_cast<uint8_t>(c.g),
            p[2] = static_cast<uint8_t>(c.b);
            p[3] = static_cast<uint8_t>(c.a);
        }
    return rgba;
}

class EffectsTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(OpenTestGlWindow());
        CreateRenderTarget(gEngine, gRenderTarget);
        LoadEffect(gEngine, WriteShader("uniforms.glsl", kUniformShader).c_str(), kUniformEffect);
        LoadEffect(gEngine, WriteShader("decal2.glsl", kDecal2Shader).c_str(), kDecal2Effect);
        LoadEffect(gEngine, WriteShader("invert.glsl", kInvertShader).c_str(), kInvertEffect);
    }
    static void TearDownTestSuite()
    {
        for (const std::string& path : shaderFiles) std::remove(path.c_str());
    }
    void SetUp() override
    {
        SetScreenCopyMode(gEngine, 2);
        gEngine.renderWidth = 512;
        MakeRenderTargetCurrent(gRenderTarget);
        glClearColor(0, 0, 0, 0);
        RestoreWindowContext(gEngine, gRenderTarget);
    }
    void TearDown() override { RestoreWindowContext(gEngine, gRenderTarget); }

    static Picture Slot(int slot)
    {
        RestoreWindowContext(gEngine, gRenderTarget);
        return ReadTexture(TextureForSlot(gEngine, slot));
    }
};

TEST_F(EffectsTest, ShippedProgramsCompileAndAreCopiedBesideTheShow)
{
    for (const char* name : {"fragment_Blur256.cpp", "fragment_Enhance2.cpp", "fragment_Enhance5200.cpp",
                             "fragment_Blur_circular.cpp"}) {
        const std::string source = SourceDir() + "/data/cgeffects/" + name;
        testing::internal::CaptureStderr();
        LoadEffect(gEngine, source.c_str(), 60);
        const std::string messages = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(EffectUsable(gEngine, 60)) << name << ": " << messages;
        EXPECT_EQ(messages, "") << name;
        EXPECT_EQ(ReadAll(BuildDir() + "/show/cgeffects/" + name), ReadAll(source)) << name;
    }
}

TEST_F(EffectsTest, FloatParametersReachTheShader)
{
    MakeSlotTexture(gEngine, kSource, 128, 128, kRed);
    MakeSlotTexture(gEngine, kTarget, 128, 128, kBlue);
    SetEffectFloat(gEngine, kUniformEffect, "alpha", 0.25);
    SetEffectFloat(gEngine, kUniformEffect, "alpha2", 0.5);
    SetEffectFloat(gEngine, kUniformEffect, "alpha3", 0.75);
    SetEffectFloat(gEngine, kUniformEffect, "alpha4", 1.0);
    SetEffectFloat(gEngine, kUniformEffect, "noSuchParameter", 0.0);  // ignored
    SetEffectFloat(gEngine, 7000, "alpha", 0.0);                      // out of range: ignored
    GLint running = -1;
    glGetIntegerv(0x8B8D, &running);
    EXPECT_EQ(running, 0) << "setting parameters must not leave a program running";

    RunFeedbackEffect(gEngine, gRenderTarget, kSource, kTarget, 128, 1.0, 1, kUniformEffect);
    // The pass leaves the target current, depth test on, blending off and no program running.
    EXPECT_EQ(CurrentGlContext(), gRenderTarget.pbufferContext);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    glGetIntegerv(0x8B8D, &running);
    EXPECT_EQ(running, 0);
    const Picture picture = Slot(kTarget);
    EXPECT_TRUE(Near(picture.At(64, 64), Rgba{64, 128, 191, 255}, 2));
    EXPECT_TRUE(Near(picture.At(2, 125), Rgba{64, 128, 191, 255}, 2)) << "the program covers the whole view";
}

TEST_F(EffectsTest, WithoutIterationsTheTargetGetsOnlyTheFeedbackComposite)
{
    MakeSlotTexture(gEngine, kSource, 128, 128, kRed);
    MakeSlotTexture(gEngine, kTarget, 128, 128, kBlue);
    RunFeedbackEffect(gEngine, gRenderTarget, kSource, kTarget, 128, 1.0, 0, kUniformEffect);
    Picture picture = Slot(kTarget);
    EXPECT_TRUE(Near(picture.At(64, 64), kRed, 2)) << "alpha 1: the source covers the shrunk target";
    EXPECT_TRUE(Near(picture.At(0, 0), kRed, 2));

    // Half alpha: inside, half source over the shrunk previous result; in the 1.5 % rim, over black.
    MakeSlotTexture(gEngine, kTarget, 128, 128, kBlue);
    RunFeedbackEffect(gEngine, gRenderTarget, kSource, kTarget, 128, 0.5, 0, kUniformEffect);
    picture = Slot(kTarget);
    EXPECT_TRUE(Near(picture.At(64, 64), Rgba{128, 0, 127, picture.At(64, 64).a}, 3));
    EXPECT_TRUE(Near(picture.At(0, 64), Rgba{128, 0, 0, picture.At(0, 64).a}, 3));
    EXPECT_TRUE(Near(picture.At(127, 127), Rgba{128, 0, 0, picture.At(127, 127).a}, 3));
}

TEST_F(EffectsTest, TwoTexturePassReadsBothTextures)
{
    MakeSlotTexture(gEngine, kSource, 256, 256, kRed);
    MakeSlotTexture(gEngine, kTarget, 256, 256, kBlue);
    MakeSlotTexture(gEngine, kSecond, 256, 256, kGreen);
    RunTwoTextureEffect(gEngine, gRenderTarget, kSource, kTarget, kSecond, 256, 1.0, 1, kDecal2Effect);
    EXPECT_TRUE(Near(Slot(kTarget).At(128, 128), kGreen, 2)) << "decal2 is the second texture";

    // "decal" is the target after the composite (red), and each iteration reads the one before: one
    // inversion gives cyan, two give red again.
    RunTwoTextureEffect(gEngine, gRenderTarget, kSource, kTarget, kSecond, 256, 1.0, 1, kInvertEffect);
    EXPECT_TRUE(Near(Slot(kTarget).At(128, 128), Rgba{0, 255, 255, 255}, 2));
    RunTwoTextureEffect(gEngine, gRenderTarget, kSource, kTarget, kSecond, 256, 1.0, 2, kInvertEffect);
    EXPECT_TRUE(Near(Slot(kTarget).At(128, 128), kRed, 2));
}

TEST_F(EffectsTest, BrokenProgramsLeaveTheirSlotUnusableAndThePassesPlain)
{
    testing::internal::CaptureStderr();
    LoadEffect(gEngine, "cgeffects/no_such_effect.cpp", 70);
    std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(EffectUsable(gEngine, 70));
    EXPECT_NE(messages.find("cgeffects/no_such_effect.cpp"), std::string::npos) << messages;

    const std::string broken =
        WriteShader("broken.glsl", "#version 120\nvoid main() { gl_FragColor = oops; }\n");
    testing::internal::CaptureStderr();
    LoadEffect(gEngine, broken.c_str(), 71);
    messages = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(EffectUsable(gEngine, 71));
    EXPECT_NE(messages.find("does not compile"), std::string::npos) << messages;
    EXPECT_NE(messages.find("oops"), std::string::npos) << "the compiler's log is shown: " << messages;

    // A slot that held a good program and is reloaded with a bad one loses the good one.
    LoadEffect(gEngine, WriteShader("uniforms2.glsl", kUniformShader).c_str(), 72);
    ASSERT_TRUE(EffectUsable(gEngine, 72));
    testing::internal::CaptureStderr();
    LoadEffect(gEngine, broken.c_str(), 72);
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(EffectUsable(gEngine, 72));

    testing::internal::CaptureStderr();
    MakeSlotTexture(gEngine, kSource, 128, 128, kRed);
    MakeSlotTexture(gEngine, kTarget, 128, 128, kBlue);
    MakeSlotTexture(gEngine, kSecond, 128, 128, kGreen);
    SetEffectFloat(gEngine, 71, "alpha", 1.0);
    RunFeedbackEffect(gEngine, gRenderTarget, kSource, kTarget, 128, 1.0, 2, 71);
    EXPECT_TRUE(Near(Slot(kTarget).At(64, 64), kRed, 2)) << "drawn without the effect";
    RunTwoTextureEffect(gEngine, gRenderTarget, kSource, kTarget, kSecond, 128, 1.0, 1, 70);
    EXPECT_TRUE(Near(Slot(kTarget).At(64, 64), kRed, 2));
    LoadEffect(gEngine, broken.c_str(), 5000);  // out of range: reported, nothing written
    messages = testing::internal::GetCapturedStderr();
    EXPECT_EQ(messages.find("does not compile"), std::string::npos) << "the log is shown once, at loading";
    EXPECT_NE(messages.find("out of range"), std::string::npos);
}

// A small bright square on black, blurred twice as the glow pass does.
TEST_F(EffectsTest, BlurSpreadsSoftlyAndKeepsItsLight)
{
    LoadEffect(gEngine, (SourceDir() + "/data/cgeffects/fragment_Blur256.cpp").c_str(), 0);
    ASSERT_TRUE(EffectUsable(gEngine, 0));
    GLuint source = MakeSlotTexture(gEngine, kSource, 128, 128, Rgba{0, 0, 0, 255});
    FillTexture(source, 128, 128, Pattern(128, [](double x, double y) {
                    const bool inside = std::fabs(x - 0.5) < 4.0 / 128 && std::fabs(y - 0.5) < 4.0 / 128;
                    return inside ? Rgba{255, 200, 120, 255} : Rgba{0, 0, 0, 255};
                }));
    MakeSlotTexture(gEngine, kTarget, 128, 128, Rgba{0, 0, 0, 255});
    gEngine.renderWidth = 128;
    RunFeedbackEffect(gEngine, gRenderTarget, kSource, kTarget, 128, 1.0, 2, 0);
    const Picture picture = Slot(kTarget);
    SavePicture(picture, "effect_blur");
    const Rgba centre = picture.At(64, 64);
    EXPECT_GT(centre.r, 120) << "the square stays bright";
    EXPECT_GT(picture.At(64 + 8, 64).r, 10) << "light spreads beyond the square";
    EXPECT_GT(picture.At(64, 64 + 8).r, 10);
    EXPECT_LT(picture.At(64 + 8, 64).r, centre.r) << "and falls off with distance";
    EXPECT_EQ(picture.At(10, 10).r, 0) << "far away stays black";
    double total = 0;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) total += picture.At(x, y).r;
    EXPECT_GT(total, 64 * 255 * 0.95) << "a glow keeps (or adds) light";
    EXPECT_GT(centre.r, centre.b) << "colour is kept";
}

// A soft white blob on black with a striped detail layer, enhanced with the show's parameters.
TEST_F(EffectsTest, EnhanceGivesContrastColourDetailAndGlow)
{
    for (const char* name : {"fragment_Enhance2.cpp", "fragment_Enhance5200.cpp"}) {
        SCOPED_TRACE(name);
        LoadEffect(gEngine, (SourceDir() + "/data/cgeffects/" + name).c_str(), 12);
        ASSERT_TRUE(EffectUsable(gEngine, 12));
        const GLuint sea = MakeSlotTexture(gEngine, kTarget, 512, 512, Rgba{0, 0, 0, 255});
        FillTexture(sea, 512, 512, Pattern(512, [](double x, double y) {
                        const double d = std::hypot(x - 0.5, y - 0.5);
                        const int v = static_cast<int>(255 * std::exp(-d * d / (2 * 0.08 * 0.08)));
                        return Rgba{v, v, v, 255};
                    }));
        const GLuint detail = MakeSlotTexture(gEngine, kSecond, 512, 512, Rgba{0, 0, 0, 255});
        FillTexture(detail, 512, 512, Pattern(512, [](double x, double) {
                        return static_cast<int>(x * 16) % 2 ? Rgba{255, 60, 0, 255} : Rgba{0, 0, 0, 255};
                    }));
        const Picture before = Slot(kTarget);
        SetEffectFloat(gEngine, 12, "alpha", 1.0);
        SetEffectFloat(gEngine, 12, "alpha2", 2.0);
        SetEffectFloat(gEngine, 12, "alpha3", 1.0);
        SetEffectFloat(gEngine, 12, "alpha4", 3.0);
        RunTwoTextureEffect(gEngine, gRenderTarget, kTarget, kTarget, kSecond, 512, 1.0, 1, 12);
        const Picture after = Slot(kTarget);
        SavePicture(after, std::string("effect_") + name);

        const Rgba centre = after.At(256, 256);
        const int spread =
            std::max({centre.r, centre.g, centre.b}) - std::min({centre.r, centre.g, centre.b});
        EXPECT_GT(spread, 25) << "the grey blob is coloured";
        // Contrast: the blob's quarter-bright shoulder sinks relative to its half-bright flank.
        auto luma = [](const Rgba& p) { return 0.299 * p.r + 0.587 * p.g + 0.114 * p.b; };
        const double ratioBefore = luma(before.At(256 + 68, 256)) / luma(before.At(256 + 48, 256));
        const double ratioAfter = luma(after.At(256 + 68, 256)) / luma(after.At(256 + 48, 256));
        EXPECT_LT(ratioAfter, ratioBefore * 0.85);
        // The detail stripes show through the blob: neighbouring stripes differ.
        const Rgba stripeA = after.At(256 + 8, 256), stripeB = after.At(256 + 8 + 32, 256);
        EXPECT_GT(std::abs(stripeA.r - stripeB.r) + std::abs(stripeA.g - stripeB.g) +
                      std::abs(stripeA.b - stripeB.b),
                  30);
        // Glow: just outside the blob is lifted above the far corner.
        const int ringLum = after.At(256 + 100, 256).b + after.At(256 + 100, 256).g;
        const int farLum = after.At(20, 20).b + after.At(20, 20).g;
        EXPECT_GT(ringLum, farLum);
    }
}

}  // namespace
