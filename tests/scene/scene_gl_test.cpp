// The scene on a real GL context: Init's textures and effects, what Draw leaves behind, and the picture it
// composes (intro dimming, the spectrum-torn picture outside the sea, determinism). Runs in a scratch
// folder holding small generated JPEG files and the show's effect programs.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "render/billboards.h"
#include "render/effects.h"
#include "render/engine.h"
#include "render/outline_text.h"
#include "render/render_target.h"
#include "render/texture_loader.h"
#include "scene/demo_scene.h"
#include "scene/mini_game.h"
#include "scene/scene_layers.h"
#include "tests/support/gl_test_window.h"

namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 800;
constexpr int kHeight = 600;

struct Rgb {
    uint8_t r, g, b;
};

template <typename Paint>
void WriteJpeg(const fs::path& path, int width, int height, Paint paint)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(width * 3);
    while (info.next_scanline < info.image_height) {
        for (int x = 0; x < width; ++x) {
            const Rgb c = paint(x, static_cast<int>(info.next_scanline));
            row[x * 3] = c.r, row[x * 3 + 1] = c.g, row[x * 3 + 2] = c.b;
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

// A blob with fine rings, so that shifted copies of the picture can be told apart.
Rgb BlobPixel(int x, int y)
{
    const double dx = (x - 63.5) / 64.0, dy = (y - 63.5) / 64.0;
    const double r = std::sqrt(dx * dx + dy * dy);
    const double fall = std::max(0.0, 1.0 - r);
    const double rings = 0.5 + 0.5 * std::sin(40.0 * r + 3.0 * dx);
    const auto v = static_cast<uint8_t>(std::clamp(255.0 * fall * rings, 0.0, 255.0));
    return Rgb{static_cast<uint8_t>(v / 2), v, v};
}

Rgb Black(int, int)
{
    return Rgb{0, 0, 0};
}

Rgb Grain(int x, int y)
{
    const auto v = static_cast<uint8_t>(((x * 73856093u) ^ (y * 19349663u)) % 251u);
    return Rgb{v, v, v};
}

void WriteTextures(const fs::path& dir)
{
    fs::create_directories(dir / "textures");
    WriteJpeg(dir / "textures/blob41b.jpg", 128, 128, BlobPixel);
    // Black sprites and film grain add nothing under additive blending: the pictures below show the
    // composition of the layers alone.
    for (int g = 1; g <= 7; ++g)
        for (int m = 1; m <= 3; ++m)
            WriteJpeg(dir / ("textures/" + std::to_string(g) + "-" + std::to_string(m) + ".jpg"), 16, 16,
                      Black);
    WriteJpeg(dir / "textures/superfilm3.jpg", 16, 16, Black);
}

void CopyEffects(const fs::path& dir)
{
    fs::create_directories(dir / "cgeffects");
    for (const auto& entry : fs::directory_iterator(fs::path(QUARNEL_EFFECTS_DIR)))
        fs::copy_file(entry.path(), dir / "cgeffects" / entry.path().filename(),
                      fs::copy_options::overwrite_existing);
}

std::vector<uint8_t> ReadWindow()
{
    std::vector<uint8_t> pixels(kWidth * kHeight * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

double MeanChannel(const std::vector<uint8_t>& pixels, int channel)
{
    double sum = 0.0;
    for (size_t i = channel; i < pixels.size(); i += 3) sum += pixels[i];
    return sum / (pixels.size() / 3);
}

// Sideways shift (pixels) that best maps row y of `plain` onto row y of `torn`, by least absolute
// difference of the green channel over the middle of the row.
int RowShift(const std::vector<uint8_t>& plain, const std::vector<uint8_t>& torn, int y)
{
    int best = 0;
    double bestCost = 1e300;
    for (int s = -60; s <= 60; ++s) {
        double cost = 0.0;
        for (int x = 200; x < 600; ++x) {
            const int a = torn[(y * kWidth + x) * 3 + 1];
            const int b = plain[(y * kWidth + x - s) * 3 + 1];
            cost += std::abs(a - b);
        }
        if (cost < bestCost) bestCost = cost, best = s;
    }
    return best;
}

class SceneGl : public testing::Test {
protected:
    // Prepared once per process; a failure fails every test instead of passing as skipped.
    void SetUp() override
    {
        if (!scene_) Prepare();
        ASSERT_NE(scene_, nullptr);
    }

    static void Prepare()
    {
        char pattern[] = "/tmp/quarnel-scene-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        WriteTextures(root_);
        CopyEffects(root_);
        // A second folder where only the slow-card enhance program compiles.
        fs::create_directories(root_ / "slow");
        fs::create_directory_symlink(root_ / "textures", root_ / "slow/textures");
        CopyEffects(root_ / "slow");
        std::FILE* broken = std::fopen((root_ / "slow/cgeffects/fragment_Enhance2.cpp").c_str(), "w");
        ASSERT_NE(broken, nullptr);
        std::fputs("this is not a fragment program\n", broken);
        std::fclose(broken);

        ASSERT_EQ(chdir(root_.c_str()), 0);
        ASSERT_TRUE(OpenTestGlWindow(kWidth, kHeight));
        CreateRenderTarget(gEngine, gRenderTarget);
        SetScreenCopyMode(gEngine, 2);
        SetOutlineFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf");
        BuildOutlineFont(gEngine);
        LoadFilmTexture(gEngine);
        scene_ = new DemoScene;
        scene_->effectsEnabled = 1;
        scene_->Init(&gEngine);
    }

    static void TearDownTestSuite()
    {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    // A game frame a few seconds into a round, with no frame time, so the scene clock stands still.
    static DemoScene RoundAt(double time, bool inside)
    {
        DemoScene scene = *scene_;
        scene.introActive = false;
        scene.time = time;
        scene.timeLeft = 45.0 - time;
        scene.helpTarget = Vec{1, 1000.0f, 0.0f, 0.0f};
        scene.player = Vec{1, 0.0f, 0.0f, 0.0f};
        scene.velocity = Vec{1, 0.0f, 0.0f, 0.0f};
        scene.insideSea = inside;
        for (Vec& p : scene.seaPoints) p = Vec{1, inside ? 0.0f : 60.0f, 0.0f, 0.0f};
        return scene;
    }

    static std::vector<uint8_t> DrawFrame(DemoScene& scene, FrameInputs& inputs, double frameDelta = 0.0)
    {
        scene.Step(frameDelta, inputs);
        scene.Draw(&frameDelta, &gRenderTarget, &gEngine, &inputs);
        return ReadWindow();
    }

    static inline fs::path root_;
    static inline DemoScene* scene_ = nullptr;
};

TEST_F(SceneGl, InitCreatesTexturesEffectsAndGameState)
{
    const int slots[] = {0, 1, 2, 3, 11, 20, 21, 400, 405, 420};
    for (int slot : slots) EXPECT_NE(TextureForSlot(gEngine, slot), 0u) << "slot " << slot;
    EXPECT_NE(TextureForSlot(gEngine, 400), TextureForSlot(gEngine, 420));

    auto sizeAndWrap = [](int slot, int* width, int* wrap) {
        BindSceneTexture(gEngine, slot);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, width);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    };
    int width = 0, wrap = 0;
    sizeAndWrap(0, &width, &wrap);
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(wrap, GL_CLAMP_TO_EDGE);
    sizeAndWrap(1, &width, &wrap);
    EXPECT_EQ(width, 128);
    EXPECT_EQ(wrap, GL_CLAMP_TO_EDGE);
    sizeAndWrap(20, &width, &wrap);
    EXPECT_EQ(width, 512);
    EXPECT_NE(wrap, GL_CLAMP_TO_EDGE);

    EXPECT_TRUE(EffectUsable(gEngine, kBlurEffect));
    EXPECT_TRUE(EffectUsable(gEngine, kEnhanceEffect));
    EXPECT_TRUE(EffectUsable(gEngine, kCircularBlurEffect));

    EXPECT_EQ(scene_->trail[3].x, 5000.0f);
    EXPECT_EQ(scene_->timeLeft, 45.0);
    EXPECT_EQ(scene_->highScore, 0.0);
    EXPECT_TRUE(scene_->introActive);
}

TEST_F(SceneGl, SlowCardsGetTheirOwnEnhanceProgram)
{
    ASSERT_EQ(chdir((root_ / "slow").c_str()), 0);
    DemoScene scene;
    gEngine.cardId = 0;
    scene.Init(&gEngine);
    EXPECT_FALSE(EffectUsable(gEngine, kEnhanceEffect));  // took the broken general program
    gEngine.cardId = 5200;
    scene.Init(&gEngine);
    EXPECT_TRUE(EffectUsable(gEngine, kEnhanceEffect));
    gEngine.cardId = 0;
    ASSERT_EQ(chdir(root_.c_str()), 0);
    scene_->Init(&gEngine);
    EXPECT_TRUE(EffectUsable(gEngine, kEnhanceEffect));
}

TEST_F(SceneGl, DrawRunsTheGameAndLeavesTheWindowStateAsFound)
{
    DemoScene scene = *scene_;
    FrameInputs inputs;
    inputs.musicSteady = 7;
    glBlendFunc(GL_ONE, GL_ONE);
    glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
    GLint stackBefore = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &stackBefore);

    DrawFrame(scene, inputs, 0.02);

    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    GLint source = 0, destination = 0, stackAfter = 0;
    glGetIntegerv(GL_BLEND_SRC, &source);
    glGetIntegerv(GL_BLEND_DST, &destination);
    EXPECT_EQ(source, GL_ONE);
    EXPECT_EQ(destination, GL_ONE);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 0.25f);
    EXPECT_FLOAT_EQ(colour[2], 0.75f);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &stackAfter);
    EXPECT_EQ(stackAfter, stackBefore);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // The first frame: everything at the origin, so the sign is rescued and the player is in the sea.
    EXPECT_EQ(CurrentScene, &scene);
    EXPECT_EQ(gEngine.frameInputs, &inputs);
    EXPECT_EQ(scene.frameCount, 1);
    EXPECT_NEAR(scene.score, 35.0 + 15.0 * 0.02, 1e-9);
    EXPECT_TRUE(scene.insideSea);
    EXPECT_EQ(inputs.musicSteady, 1);
    EXPECT_DOUBLE_EQ(gEngine.nearPlane, 0.01);
    EXPECT_DOUBLE_EQ(gEngine.farPlane, 80.0);

    // The sea layer leaves the blob centres of this frame's clock.
    DemoScene later = RoundAt(9.0, false);
    DrawFrame(later, inputs, 0.0);
    Vec expected[kSeaPointCount];
    PlaceSeaPoints(later.roundSeed, 9.0, expected);
    for (int i = 0; i < kSeaPointCount; ++i) {
        EXPECT_EQ(later.seaPoints[i].x, expected[i].x);
        EXPECT_EQ(later.seaPoints[i].y, expected[i].y);
    }
    EXPECT_FALSE(later.insideSea);
    EXPECT_EQ(inputs.musicSteady, 0);
}

TEST_F(SceneGl, IntroDimsThePicture)
{
    FrameInputs inputs;
    DemoScene game = RoundAt(8.0, true);
    DemoScene intro = game;
    intro.introActive = true;
    const std::vector<uint8_t> introPicture = DrawFrame(intro, inputs);
    const std::vector<uint8_t> gamePicture = DrawFrame(game, inputs);
    // The blue channel: the intro's red lines add nothing there.
    const double introMean = MeanChannel(introPicture, 2);
    const double gameMean = MeanChannel(gamePicture, 2);
    EXPECT_GT(gameMean, 8.0);
    EXPECT_GT(gameMean, 3.0 * introMean) << "intro " << introMean << ", game " << gameMean;
}

TEST_F(SceneGl, OutsideTheSeaThePictureTearsInBands)
{
    FrameInputs quiet;
    FrameInputs loud;
    for (int i = 0; i < 512; ++i) loud.spectrum[i] = 0.5f;
    DemoScene first = RoundAt(8.0, false);
    first.effectsEnabled = 0;  // no glow: its feedback would carry over from frame to frame
    DemoScene second = first;
    const std::vector<uint8_t> plain = DrawFrame(first, quiet);
    const std::vector<uint8_t> torn = DrawFrame(second, loud);
    ASSERT_FALSE(first.insideSea);

    // Each band of 20 strip rows (about 15 window rows) is pushed the other way than its neighbours.
    int strongRows = 0, signChanges = 0, previousSign = 0;
    for (int y = 120; y < 480; ++y) {
        const int shift = RowShift(plain, torn, y);
        if (std::abs(shift) >= 15 && std::abs(shift) <= 45) ++strongRows;
        const int sign = shift > 5 ? 1 : (shift < -5 ? -1 : 0);
        if (sign != 0 && previousSign != 0 && sign != previousSign) ++signChanges;
        if (sign != 0) previousSign = sign;
    }
    EXPECT_GT(strongRows, 360 * 6 / 10);
    // 360 rows hold about 24 bands.
    EXPECT_GE(signChanges, 18);
    EXPECT_LE(signChanges, 32);
}

TEST_F(SceneGl, TheSameStateDrawsTheSamePicture)
{
    // A visible film grain: its jitter must be a function of the scene clock too.
    WriteJpeg(root_ / "textures/superfilm3.jpg", 64, 64, Grain);
    LoadFilmTexture(gEngine);
    FrameInputs inputs;
    for (int i = 0; i < 512; ++i) inputs.spectrum[i] = 0.3f * ((i % 7) / 7.0f);
    DemoScene first = RoundAt(21.5, false);
    first.effectsEnabled = 0;
    DemoScene second = first;
    DemoScene other = first;
    other.time = 21.75;
    const std::vector<uint8_t> a = DrawFrame(first, inputs);
    const std::vector<uint8_t> between = DrawFrame(other, inputs);
    const std::vector<uint8_t> b = DrawFrame(second, inputs);
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a == between);
    WriteJpeg(root_ / "textures/superfilm3.jpg", 16, 16, Black);
    LoadFilmTexture(gEngine);
}

}  // namespace
