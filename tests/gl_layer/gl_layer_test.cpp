// The GL 1.x layer on a real OpenGL ES 3.0 context (hidden SDL window, under Xvfb): display lists
// replayed with the caller's colour and matrices, wide lines as the pixels they cover, state blocks that
// keep their own state across switches and attribute pops, and the show's fragment shaders converted and
// linked with the layer's vertex stage.
#include "gl_layer/gl_layer.h"

#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 64;

class GlLayerTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        window = SDL_CreateWindow("gl layer test", 0, 0, kSize, kSize, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        context = SDL_GL_CreateContext(window);
        ASSERT_NE(context, nullptr) << SDL_GetError();
        ASSERT_TRUE(GlLayerStart(&SDL_GL_GetProcAddress, kSize, kSize));
    }
    static void TearDownTestSuite()
    {
        GlLayerStop();
        SDL_GL_DeleteContext(context);
        SDL_DestroyWindow(window);
    }
    void SetUp() override
    {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, kSize, 0, kSize, -1, 1);  // one unit = one pixel
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    // RGB of the pixel whose lower left corner is (x, y).
    static std::vector<int> Pixel(int x, int y)
    {
        unsigned char rgb[3] = {};
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
        return {rgb[0], rgb[1], rgb[2]};
    }

    static inline SDL_Window* window = nullptr;
    static inline SDL_GLContext context = nullptr;
};

const std::vector<int> kBlack{0, 0, 0}, kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255};

TEST_F(GlLayerTest, AListDrawsInTheCallersColourAndMatrixAndLeavesItsAdvance)
{
    const GLuint list = glGenLists(2);
    glNewList(list, GL_COMPILE);
    glBegin(GL_QUADS);  // a 4 x 4 square at the origin, then the pen moves 8 to the right
    glNormal3f(0, 0, 1);
    glVertex3f(0, 0, 0);
    glVertex3f(4, 0, 0);
    glVertex3f(4, 4, 0);
    glVertex3f(0, 4, 0);
    glEnd();
    glTranslatef(8, 0, 0);
    glEndList();
    // Nothing was drawn or moved while compiling.
    EXPECT_EQ(Pixel(1, 1), kBlack);
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_EQ(m[12], 0.0f);

    glTranslatef(10, 10, 0);
    glColor3f(1, 0, 0);
    glCallList(list);
    glColor3f(0, 0, 1);
    glCallList(list);
    EXPECT_EQ(Pixel(11, 11), kRed);
    EXPECT_EQ(Pixel(19, 11), kBlue);
    EXPECT_EQ(Pixel(15, 11), kBlack);
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_EQ(m[12], 26.0f);
    glGetFloatv(GL_CURRENT_NORMAL, m);
    EXPECT_EQ(m[2], 1.0f);

    // A list that sets its own colour draws in it, and leaves it current.
    glNewList(list + 1, GL_COMPILE);
    glColor3f(0, 1, 0);
    glCallList(list);
    glEndList();
    glColor3f(1, 0, 0);
    glLoadIdentity();
    glTranslatef(10, 30, 0);
    glCallList(list + 1);
    EXPECT_EQ(Pixel(11, 31), kGreen);
    glGetFloatv(GL_CURRENT_COLOR, m);
    EXPECT_EQ(m[0], 0.0f);
    EXPECT_EQ(m[1], 1.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GlLayerTest, WideLinesCoverTheirWidthInPixelsAndLinesInListsFollowTheCaller)
{
    glLineWidth(6);
    glColor3f(1, 1, 1);
    glBegin(GL_LINE_STRIP);
    glVertex3f(8, 20, 0);
    glVertex3f(56, 20, 0);
    glEnd();
    // Rows 17 ... 22 (centres 17.5 ... 22.5) lie within 3 pixels of y = 20.
    for (int y = 15; y <= 24; ++y) EXPECT_EQ(Pixel(30, y)[0], (y >= 17 && y <= 22) ? 255 : 0) << "row " << y;
    EXPECT_EQ(Pixel(60, 20)[0], 0);

    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glBegin(GL_LINES);  // vertical, so it widens along x
    glVertex3f(0, 0, 0);
    glVertex3f(0, 10, 0);
    glEnd();
    glEndList();
    glClear(GL_COLOR_BUFFER_BIT);
    glLineWidth(4);
    glColor3f(0, 1, 0);
    glTranslatef(40, 30, 0);
    glCallList(list);
    for (int x = 36; x <= 43; ++x)
        EXPECT_EQ(Pixel(x, 35)[1], (x >= 38 && x <= 41) ? 255 : 0) << "column " << x;
    glLineWidth(1);
}

TEST_F(GlLayerTest, EachBlockKeepsItsOwnStateAndPopsRestoreTheirOwnBlock)
{
    const GlLayerBlock window = GlLayerCurrentBlock();
    const GlLayerBlock other = GlLayerCreateBlock();
    ASSERT_NE(other, nullptr);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glViewport(0, 0, 32, 32);
    glClearColor(0, 0, 1, 1);

    ASSERT_TRUE(GlLayerMakeCurrent(other));
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], kSize);  // a new context's viewport is its drawable
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(5, 0, 0);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);  // the whole window, red: no scissor or viewport of the other block
    EXPECT_EQ(Pixel(50, 50), kRed);
    glPushAttrib(GL_COLOR_BUFFER_BIT);  // this block's stack, not the window's

    ASSERT_TRUE(GlLayerMakeCurrent(window));
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_EQ(m[12], 0.0f);  // the other block's matrix stays there
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(Pixel(10, 10), kBlue);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    glPopAttrib();
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], kSize);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(Pixel(10, 10), kBlack);  // the clear colour came back too

    ASSERT_TRUE(GlLayerMakeCurrent(other));
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, viewport);
    EXPECT_EQ(viewport[0], 1);
    glPopAttrib();
    ASSERT_TRUE(GlLayerMakeCurrent(window));
    GlLayerDestroyBlock(other);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GlLayerTest, TheShowsFragmentShadersLinkWithTheLayersVertexStageAndDraw)
{
    using CreateShader = GLuint (*)(GLenum);
    using ShaderSource = void (*)(GLuint, GLsizei, const char* const*, const GLint*);
    using Id = void (*)(GLuint);
    using Attach = void (*)(GLuint, GLuint);
    using Get = void (*)(GLuint, GLenum, GLint*);
    using Log = void (*)(GLuint, GLsizei, GLsizei*, char*);
    using Create = GLuint (*)();
    auto createShader = reinterpret_cast<CreateShader>(GlLayerProcAddress("glCreateShader"));
    auto shaderSource = reinterpret_cast<ShaderSource>(GlLayerProcAddress("glShaderSource"));
    auto compile = reinterpret_cast<Id>(GlLayerProcAddress("glCompileShader"));
    auto getShader = reinterpret_cast<Get>(GlLayerProcAddress("glGetShaderiv"));
    auto shaderLog = reinterpret_cast<Log>(GlLayerProcAddress("glGetShaderInfoLog"));
    auto createProgram = reinterpret_cast<Create>(GlLayerProcAddress("glCreateProgram"));
    auto attach = reinterpret_cast<Attach>(GlLayerProcAddress("glAttachShader"));
    auto link = reinterpret_cast<Id>(GlLayerProcAddress("glLinkProgram"));
    auto getProgram = reinterpret_cast<Get>(GlLayerProcAddress("glGetProgramiv"));
    auto use = reinterpret_cast<Id>(GlLayerProcAddress("glUseProgram"));
    ASSERT_TRUE(createShader && shaderSource && compile && getShader && createProgram && attach && link &&
                use);

    const std::string dir = std::string(QUARNEL_TEST_SOURCE_DIR) + "/data/cgeffects/";
    for (const char* name : {"fragment_Blur256.cpp", "fragment_Enhance2.cpp", "fragment_Enhance5200.cpp",
                             "fragment_Blur_circular.cpp"}) {
        std::ifstream in(dir + name);
        std::stringstream text;
        text << in.rdbuf();
        ASSERT_FALSE(text.str().empty()) << name;
        const std::string source = text.str();
        const char* s = source.c_str();
        const GLuint shader = createShader(GL_FRAGMENT_SHADER);
        shaderSource(shader, 1, &s, nullptr);
        compile(shader);
        GLint ok = 0;
        getShader(shader, GL_COMPILE_STATUS, &ok);
        char log[2048] = {};
        shaderLog(shader, sizeof log, nullptr, log);
        EXPECT_TRUE(ok) << name << ": " << log;
        const GLuint program = createProgram();
        attach(program, shader);
        link(program);
        getProgram(program, GL_LINK_STATUS, &ok);
        EXPECT_TRUE(ok) << name;
    }

    // A shader of the GL 2.x kind, reading the interpolated colour, draws where the quad is.
    const char* plain = "#version 120\nvoid main() { gl_FragColor = gl_Color.bgra; }\n";
    const GLuint shader = createShader(GL_FRAGMENT_SHADER);
    shaderSource(shader, 1, &plain, nullptr);
    compile(shader);
    const GLuint program = createProgram();
    attach(program, shader);
    link(program);
    use(program);
    glColor3f(1, 0, 0);
    glBegin(GL_QUADS);
    glVertex3f(2, 2, 0);
    glVertex3f(6, 2, 0);
    glVertex3f(6, 6, 0);
    glVertex3f(2, 6, 0);
    glEnd();
    use(0);
    EXPECT_EQ(Pixel(3, 3), kBlue);
    EXPECT_EQ(Pixel(8, 3), kBlack);
}

}  // namespace
