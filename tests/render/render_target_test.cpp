// The off-screen target on Mesa: scenes rendered into it land in texture slots readable from the window's
// context, the sizing rules reach the GL viewport and copy, lists and textures are shared while state is
// not (each context finds its state as it left it, whatever the off-screen passes did), the depth pass
// fills its texture, and a missing context ends the process quietly.
#include "render/render_target.h"

#include <GL/gl.h>
#include <GL/glext.h>  // names past GL 1.1 (Windows' gl.h stops there)
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include "platform/gl_context.h"
#include "render/billboards.h"
#include "render/effects.h"
#include "render/engine.h"
#include "render/entry_points.h"
#include "render/shader_compiler.h"
#include "tests/render/pixels.h"
#include "tests/support/gl_test_window.h"

namespace {

constexpr Rgba kBlue{0, 0, 255, 255};
constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kGreen{0, 255, 0, 255};
constexpr Rgba kYellow{255, 255, 0, 255};
constexpr Rgba kBlack{0, 0, 0, 0};

struct StartState {
    bool anyEnabled = true;
    int packAlignment = 0;
    GLboolean mapColour = GL_TRUE;
    float projection00 = 0;
} startState;

int capturedViewport[4];
GLuint sharedList = 0;
GLuint sharedTexture = 0;

void CaptureViewport()
{
    glGetIntegerv(GL_VIEWPORT, capturedViewport);
}

void IdentityMatrices()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void Quad(float x0, float y0, float x1, float y1, float z = 0.0f)
{
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0), glVertex3f(x0, y0, z);
    glTexCoord2f(1, 0), glVertex3f(x1, y0, z);
    glTexCoord2f(1, 1), glVertex3f(x1, y1, z);
    glTexCoord2f(0, 1), glVertex3f(x0, y1, z);
    glEnd();
}

// Black picture with a red left half.
void DrawRedLeftHalf(Engine&)
{
    CaptureViewport();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    IdentityMatrices();
    glDisable(GL_TEXTURE_2D);
    glColor3f(1, 0, 0);
    Quad(-1, -1, 0, 1);
}

void DrawAllRed(Engine&)
{
    CaptureViewport();
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
}

// Uses a display list and a texture that were made in the window's context.
void DrawSharedObjects(Engine&)
{
    IdentityMatrices();
    glDisable(GL_TEXTURE_2D);
    glCallList(sharedList);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, sharedTexture);
    glColor3f(1, 1, 1);
    Quad(0, -1, 1, 1);
}

// Depth only: a near quad over the left half of the depth pass.
void DrawDepthLeftHalf(Engine&)
{
    IdentityMatrices();
    Quad(-1, -1, 0, 1, -0.5f);
}

// The state a context keeps for itself, as far as the show sets any of it, by name.
using StateValues = std::map<std::string, std::vector<double>>;

constexpr GLenum kCapabilities[] = {GL_BLEND,  GL_DEPTH_TEST,     GL_CULL_FACE, GL_SCISSOR_TEST,
                                    GL_DITHER, GL_STENCIL_TEST,   GL_LIGHTING,  GL_FOG,
                                    GL_LIGHT0, GL_COLOR_LOGIC_OP, GL_COLOR_SUM, GL_POLYGON_OFFSET_FILL};
constexpr int kUnits = 3;  // the image sum draws with three

StateValues CaptureState()
{
    StateValues s;
    const auto ints = [&](const char* name, GLenum what, int n) {
        std::vector<GLint> v(n);
        glGetIntegerv(what, v.data());
        s[name].assign(v.begin(), v.end());
    };
    const auto floats = [&](const std::string& name, GLenum what, int n) {
        std::vector<GLdouble> v(n);
        glGetDoublev(what, v.data());
        s[name] = v;
    };
    for (GLenum cap : kCapabilities) s["enabled"].push_back(glIsEnabled(cap));
    ints("blend function", GL_BLEND_SRC, 1);
    s["blend function"].push_back([] {
        GLint v = 0;
        glGetIntegerv(GL_BLEND_DST, &v);
        return v;
    }());
    floats("clear colour", GL_COLOR_CLEAR_VALUE, 4);
    ints("colour mask", GL_COLOR_WRITEMASK, 4);
    ints("depth function", GL_DEPTH_FUNC, 1);
    ints("depth mask", GL_DEPTH_WRITEMASK, 1);
    floats("line width", GL_LINE_WIDTH, 1);
    ints("cull face", GL_CULL_FACE_MODE, 1);
    ints("front face", GL_FRONT_FACE, 1);
    floats("polygon offset factor", GL_POLYGON_OFFSET_FACTOR, 1);
    floats("polygon offset units", GL_POLYGON_OFFSET_UNITS, 1);
    ints("viewport", GL_VIEWPORT, 4);
    ints("scissor box", GL_SCISSOR_BOX, 4);
    floats("depth range", GL_DEPTH_RANGE, 2);
    floats("colour", GL_CURRENT_COLOR, 4);
    floats("modelview", GL_MODELVIEW_MATRIX, 16);
    floats("projection", GL_PROJECTION_MATRIX, 16);
    ints("matrix mode", GL_MATRIX_MODE, 1);
    ints("list base", GL_LIST_BASE, 1);
    ints("shade model", GL_SHADE_MODEL, 1);
    ints("pack alignment", GL_PACK_ALIGNMENT, 1);
    ints("program", GL_CURRENT_PROGRAM, 1);
    ints("framebuffer", GL_DRAW_FRAMEBUFFER_BINDING, 1);
    ints("active texture", GL_ACTIVE_TEXTURE, 1);
    const GLint active = static_cast<GLint>(s["active texture"][0]);
    for (int unit = 0; unit < kUnits; ++unit) {
        ActiveTexture(GL_TEXTURE0 + unit);
        const std::string u = " " + std::to_string(unit);
        s["texturing" + u] = {static_cast<double>(glIsEnabled(GL_TEXTURE_2D))};
        ints(("bound texture" + u).c_str(), GL_TEXTURE_BINDING_2D, 1);
        floats("texture coordinates" + u, GL_CURRENT_TEXTURE_COORDS, 4);
        floats("texture matrix" + u, GL_TEXTURE_MATRIX, 16);
    }
    ActiveTexture(static_cast<uint32_t>(active));
    return s;
}

// Variant 0 is GL's initial state (in an 800 x 600 window); 1 and 2 differ from each other in every value
// and from it wherever GL allows more than two. Variant 1 has culling on for back faces, which the scene
// renderer sets in the current context before it switches.
void SetState(int k, const GLuint (&textures)[kUnits], GLuint program)
{
    const bool one = k == 1, any = k != 0;
    const float f = static_cast<float>(k);
    for (GLenum cap : kCapabilities) {
        const bool on = cap == GL_DITHER ? k != 1 : (cap == GL_CULL_FACE || cap == GL_BLEND) ? one : k == 2;
        on ? glEnable(cap) : glDisable(cap);
    }
    glBlendFunc(one      ? GL_DST_COLOR
                : k == 2 ? GL_SRC_ALPHA
                         : GL_ONE,
                one      ? GL_ONE
                : k == 2 ? GL_ONE_MINUS_SRC_ALPHA
                         : GL_ZERO);
    glClearColor(0.1f * f, 0.2f * f, 0.3f * f, 0.4f * f);
    glColorMask(!one, GL_TRUE, k != 2, GL_TRUE);
    glDepthFunc(one ? GL_LEQUAL : k == 2 ? GL_GREATER : GL_LESS);
    glDepthMask(k != 2);
    glLineWidth(1.0f + f);
    glCullFace(k == 2 ? GL_FRONT : GL_BACK);
    glFrontFace(one ? GL_CW : GL_CCW);
    glPolygonOffset(f, 2.0f * f);
    glViewport(k, 2 * k, any ? 100 * k : 800, any ? 50 * k : 600);
    glScissor(3 * k, 4 * k, any ? 20 * k : 800, any ? 30 * k : 600);
    glDepthRange(0.1 * k, 1.0 - 0.1 * k);
    glColor4f(any ? 0.25f * f : 1.0f, any ? 0.5f : 1.0f, any ? 0.125f * f : 1.0f, 1.0f);
    for (int unit = 0; unit < kUnits; ++unit) {
        ActiveTexture(GL_TEXTURE0 + unit);
        glBindTexture(GL_TEXTURE_2D, any ? textures[(unit + k) % kUnits] : 0);
        (any && (unit % 2 == 0) == one) ? glEnable(GL_TEXTURE_2D) : glDisable(GL_TEXTURE_2D);
        MultiTexCoord2f(GL_TEXTURE0 + unit, 0.5f * f + unit, 0.25f * f);
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        if (any) glTranslatef(f, static_cast<float>(unit), 0.0f);
    }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (any) glOrtho(-f, f, -1.0, 1.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (any) glTranslatef(f, 2.0f, 3.0f);
    UseProgram(one ? program : 0);
    ActiveTexture(GL_TEXTURE0 + (any ? k : 0));
    glListBase(10 * k);
    glShadeModel(one ? GL_FLAT : GL_SMOOTH);
    glPixelStorei(GL_PACK_ALIGNMENT, one ? 1 : k == 2 ? 8 : 4);
    glMatrixMode(one ? GL_PROJECTION : k == 2 ? GL_TEXTURE : GL_MODELVIEW);
}

// A colour pass that changes what it can of its context's state.
void DrawStateChurn(Engine&)
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glLineWidth(6.0f);
    glColor3f(0.0f, 1.0f, 1.0f);
    glViewport(0, 0, 64, 64);
    for (int unit = kUnits - 1; unit >= 0; --unit) {
        ActiveTexture(GL_TEXTURE0 + unit);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, 0);
        MultiTexCoord2f(GL_TEXTURE0 + unit, 0.75f, 0.75f);
    }
    glMatrixMode(GL_TEXTURE);
    glScalef(2.0f, 2.0f, 2.0f);
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_ALWAYS);
    glDisable(GL_DITHER);
    glListBase(99);
    glPixelStorei(GL_PACK_ALIGNMENT, 2);
    Quad(-1, -1, 1, 1);
}

class RenderTargetTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(OpenTestGlWindow());
        CreateRenderTarget(gEngine, gRenderTarget);
        static const GLenum kOff[] = {GL_ALPHA_TEST, GL_BLEND,     GL_DEPTH_TEST,     GL_DITHER,
                                      GL_FOG,        GL_LIGHTING,  GL_COLOR_LOGIC_OP, GL_STENCIL_TEST,
                                      GL_TEXTURE_1D, GL_TEXTURE_2D};
        startState.anyEnabled = false;
        for (GLenum cap : kOff) startState.anyEnabled = startState.anyEnabled || glIsEnabled(cap);
        glGetIntegerv(GL_PACK_ALIGNMENT, &startState.packAlignment);
        glGetBooleanv(GL_MAP_COLOR, &startState.mapColour);
        float projection[16];
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        startState.projection00 = projection[0];
    }
    void SetUp() override
    {
        SetScreenCopyMode(gEngine, 2);
        gEngine.renderWidth = 800;
        RestoreWindowContext(gEngine, gRenderTarget);
    }
    void TearDown() override { RestoreWindowContext(gEngine, gRenderTarget); }

    void Render(SceneDrawRoutine routine, int size, int slot, bool toPbuffer = true)
    {
        RenderSceneToTexture(gEngine, gRenderTarget, nullptr, routine, 0, 32, 0, gEngine.camera,
                             gEngine.camera, toPbuffer, size, slot);
    }
};

TEST_F(RenderTargetTest, CreationLeavesTheWindowCurrentWithItsStartState)
{
    EXPECT_EQ(CurrentGlContext(), gRenderTarget.windowContext);
    EXPECT_NE(gRenderTarget.pbufferContext, nullptr);
    EXPECT_NE(gRenderTarget.pbufferContext, gRenderTarget.windowContext);
    EXPECT_NE(gRenderTarget.framebuffer, 0u);
    EXPECT_FALSE(startState.anyEnabled);
    EXPECT_EQ(startState.packAlignment, 4);
    EXPECT_EQ(startState.mapColour, GL_FALSE);
    // gluPerspective(65, 4/3, ...): cot(32.5 degrees) / (4/3).
    EXPECT_NEAR(startState.projection00, 1.0 / std::tan(32.5 * std::numbers::pi / 180.0) / (4.0 / 3.0), 1e-5);

    // The target draws into a complete 1024 x 1024 buffer with depth and stencil.
    MakeRenderTargetCurrent(gRenderTarget);
    GLint depthBits = 0, stencilBits = 0, redBits = 0, alphaBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
    glGetIntegerv(GL_RED_BITS, &redBits);
    glGetIntegerv(GL_ALPHA_BITS, &alphaBits);
    EXPECT_EQ(depthBits, 24);
    EXPECT_EQ(stencilBits, 8);
    EXPECT_EQ(redBits, 8);
    EXPECT_EQ(alphaBits, 8);
    glViewport(0, 0, 1024, 1024);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    const Picture whole = ReadFramebuffer(1024, 1024);
    EXPECT_TRUE(Near(whole.At(1023, 1023), kBlue)) << "the target must be 1024 x 1024 whatever the window";
}

TEST_F(RenderTargetTest, SceneOfSize512LandsInItsSlotAndNotInTheWindow)
{
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    const GLuint texture = MakeSlotTexture(gEngine, 20, 512, 512, kBlue);
    for (int mode : {2, 0, -1}) {
        SetScreenCopyMode(gEngine, mode);
        Render(&DrawRedLeftHalf, 512, 20);
        EXPECT_EQ(capturedViewport[2], 512);
        EXPECT_EQ(capturedViewport[3], 512);
        RestoreWindowContext(gEngine, gRenderTarget);
        const Picture picture = ReadTexture(texture);
        EXPECT_TRUE(Near(picture.At(10, 10), kRed)) << "mode " << mode;
        EXPECT_TRUE(Near(picture.At(250, 500), kRed));
        EXPECT_TRUE(Near(picture.At(262, 10), kBlack));
        EXPECT_TRUE(Near(picture.At(511, 511), kBlack));
        SavePicture(picture, "target_512_mode" + std::to_string(mode + 1));
    }
    const Picture window = ReadFramebuffer(800, 600);
    EXPECT_TRUE(Near(window.At(100, 100), kGreen)) << "off-screen drawing must not reach the window";
}

TEST_F(RenderTargetTest, Size800InMode2RendersAndCopies800By600)
{
    const GLuint texture = MakeSlotTexture(gEngine, 0, 1024, 1024, kBlue);
    Render(&DrawAllRed, 800, 0);
    EXPECT_EQ(capturedViewport[2], 800);
    EXPECT_EQ(capturedViewport[3], 600);
    RestoreWindowContext(gEngine, gRenderTarget);
    const Picture picture = ReadTexture(texture);
    EXPECT_TRUE(Near(picture.At(0, 0), kRed));
    EXPECT_TRUE(Near(picture.At(799, 599), kRed));
    EXPECT_TRUE(Near(picture.At(800, 10), kBlue)) << "copied wider than 800";
    EXPECT_TRUE(Near(picture.At(10, 600), kBlue)) << "copied higher than 600";

    glDeleteTextures(1, &texture);
}

TEST_F(RenderTargetTest, ColourPassWithoutRoutineCopiesTheClearedPicture)
{
    MakeRenderTargetCurrent(gRenderTarget);
    glClearColor(0, 1, 0, 1);
    RestoreWindowContext(gEngine, gRenderTarget);
    glClearColor(0, 0, 0, 0);
    const GLuint texture = MakeSlotTexture(gEngine, 21, 512, 512, kBlue);
    // No routine, and no camera or light either: the pass still clears and copies.
    RenderSceneToTexture(gEngine, gRenderTarget, nullptr, nullptr, 0, 32, 0, nullptr, nullptr, true, 512, 21);
    RestoreWindowContext(gEngine, gRenderTarget);
    const Picture picture = ReadTexture(texture);
    EXPECT_TRUE(Near(picture.At(0, 0), kGreen));
    EXPECT_TRUE(Near(picture.At(511, 511), kGreen));
    GLfloat windowClear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, windowClear);
    EXPECT_EQ(windowClear[1], 0.0f) << "the target's clear colour must not reach the window";
}

TEST_F(RenderTargetTest, ListsAndTexturesOfTheWindowDrawInTheTarget)
{
    sharedList = glGenLists(1);
    glNewList(sharedList, GL_COMPILE);
    glColor3f(1, 1, 0);
    Quad(-1, -1, 0, 1);
    glEndList();
    glGenTextures(1, &sharedTexture);
    std::vector<uint8_t> magenta = {255, 0, 255, 255, 255, 0, 255, 255, 255, 0, 255, 255, 255, 0, 255, 255};
    FillTexture(sharedTexture, 2, 2, magenta);

    const GLuint texture = MakeSlotTexture(gEngine, 3, 512, 512, kBlue);
    Render(&DrawSharedObjects, 512, 3);
    RestoreWindowContext(gEngine, gRenderTarget);
    const Picture picture = ReadTexture(texture);
    EXPECT_TRUE(Near(picture.At(100, 256), kYellow)) << "display list of the window's context";
    EXPECT_TRUE(Near(picture.At(400, 256), Rgba{255, 0, 255, 255})) << "texture of the window's context";
    glDeleteLists(sharedList, 1);
    glDeleteTextures(1, &sharedTexture);
}

TEST_F(RenderTargetTest, EachContextFindsItsStateAsItLeftIt)
{
    GLuint textures[kUnits];
    glGenTextures(kUnits, textures);
    std::string log;
    const GLuint program = CompileFragmentProgram("void main() { gl_FragColor = gl_Color; }", &log);
    ASSERT_NE(program, 0u) << log;

    SetState(1, textures, program);
    const StateValues window = CaptureState();
    MakeRenderTargetCurrent(gRenderTarget);
    SetState(2, textures, program);
    const StateValues target = CaptureState();
    EXPECT_EQ(target.at("framebuffer")[0], static_cast<double>(gRenderTarget.framebuffer))
        << "the target draws into its own buffer";
    EXPECT_EQ(window.at("framebuffer")[0], 0.0) << "the window draws into the window";
    EXPECT_NE(window, target);

    ASSERT_TRUE(MakeGlContextCurrent(gRenderTarget.windowContext));
    EXPECT_EQ(CaptureState(), window);
    MakeRenderTargetCurrent(gRenderTarget);
    EXPECT_EQ(CaptureState(), target);

    // Both contexts back to GL's initial state, as the other tests expect.
    SetState(0, textures, program);
    ASSERT_TRUE(MakeGlContextCurrent(gRenderTarget.windowContext));
    SetState(0, textures, program);
    DeleteFragmentProgram(program);
    glDeleteTextures(kUnits, textures);
}

TEST_F(RenderTargetTest, OffscreenPassesLeaveTheWindowsStateAsTheyFoundIt)
{
    GLuint textures[kUnits];
    glGenTextures(kUnits, textures);
    std::string log;
    const GLuint program = CompileFragmentProgram(
        "uniform sampler2D decal, decal2;\n"
        "void main() { gl_FragColor = texture2D(decal, gl_TexCoord[0].xy) * texture2D(decal2, "
        "gl_TexCoord[0].xy); }",
        &log);
    ASSERT_NE(program, 0u) << log;
    constexpr int kEffect = 5;
    gEngine.effects.programs[kEffect] = program;
    const GLuint layer = MakeSlotTexture(gEngine, 20, 512, 512, kBlue);
    const GLuint frame = MakeSlotTexture(gEngine, 0, 1024, 1024, kBlue);
    const GLuint glow = MakeSlotTexture(gEngine, 1, 128, 128, kBlue);

    SetState(1, textures, program);
    const StateValues window = CaptureState();
    // A frame's off-screen work: a layer, the two-texture pass over it, another layer, the feedback pass.
    RenderSceneToTexture(gEngine, gRenderTarget, nullptr, &DrawStateChurn, 0, 32, 0, gEngine.camera,
                         gEngine.camera, true, 512, 20);
    RunTwoTextureEffect(gEngine, gRenderTarget, 20, 20, 1, 512, 1.0, 1, kEffect);
    RenderSceneToTexture(gEngine, gRenderTarget, nullptr, &DrawStateChurn, 0, 32, 0, gEngine.camera,
                         gEngine.camera, true, 800, 0);
    RunFeedbackEffect(gEngine, gRenderTarget, 0, 1, 128, 0.6, 2, kEffect);
    EXPECT_EQ(CurrentGlContext(), gRenderTarget.pbufferContext);
    ASSERT_TRUE(MakeGlContextCurrent(gRenderTarget.windowContext));
    EXPECT_EQ(CaptureState(), window);

    SetState(0, textures, program);
    MakeRenderTargetCurrent(gRenderTarget);
    SetState(0, textures, program);
    RestoreWindowContext(gEngine, gRenderTarget);
    gEngine.effects.programs[kEffect] = 0;
    DeleteFragmentProgram(program);
    const GLuint made[] = {textures[0], textures[1], textures[2], layer, frame, glow};
    glDeleteTextures(6, made);
}

TEST_F(RenderTargetTest, RestoringTheWindowLoadsTheOffscreenProjection)
{
    const double savedOffset = gEngine.fieldOfViewOffset, savedNear = gEngine.nearPlane,
                 savedFar = gEngine.farPlane;
    gEngine.fieldOfViewOffset = 5.0;
    gEngine.nearPlane = 0.5;
    gEngine.farPlane = 50.0;
    MakeRenderTargetCurrent(gRenderTarget);
    RestoreWindowContext(gEngine, gRenderTarget);
    EXPECT_EQ(CurrentGlContext(), gRenderTarget.windowContext);
    float projection[16], modelview[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    const double f = 1.0 / std::tan(40.0 * std::numbers::pi / 180.0);
    EXPECT_NEAR(projection[0], f, 1e-5) << "aspect 1 and 80 degrees";
    EXPECT_NEAR(projection[5], f, 1e-5);
    EXPECT_NEAR(projection[10], -(50.0 + 0.5) / (50.0 - 0.5), 1e-5);
    EXPECT_NEAR(projection[14], -2.0 * 50.0 * 0.5 / (50.0 - 0.5), 1e-5);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(modelview[i], (i % 5 == 0) ? 1.0f : 0.0f);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    gEngine.fieldOfViewOffset = savedOffset;
    gEngine.nearPlane = savedNear;
    gEngine.farPlane = savedFar;
}

TEST_F(RenderTargetTest, DepthPassFillsTheDepthTexture)
{
    GLuint depth = 0;
    glGenTextures(1, &depth);
    glBindTexture(GL_TEXTURE_2D, depth);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, 32, 32, 0, GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
    gEngine.textureTable[30] = depth;
    RenderSceneToTexture(gEngine, gRenderTarget, &DrawDepthLeftHalf, nullptr, 30, 32, 0, gEngine.camera,
                         gEngine.camera, true, 512, 21);
    RestoreWindowContext(gEngine, gRenderTarget);
    std::vector<float> values(32 * 32, -1.0f);
    glBindTexture(GL_TEXTURE_2D, depth);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, GL_FLOAT, values.data());
    EXPECT_LT(values[16 * 32 + 4], 0.5f) << "the quad's depth (with polygon offset) in the left half";
    EXPECT_GT(values[16 * 32 + 4], 0.2f);
    EXPECT_FLOAT_EQ(values[16 * 32 + 28], 1.0f) << "cleared depth in the right half";
    glDeleteTextures(1, &depth);
}

TEST(RenderTargetDeathTest, WithoutAContextCreationEndsTheProcessQuietly)
{
    // Death tests run first, before any window exists in this process.
    EXPECT_EXIT(
        {
            RenderTargetContext target;
            CreateRenderTarget(gEngine, target);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
