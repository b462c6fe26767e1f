// Texture loading into GL textures: orientation, size and format, grey pictures, odd widths, the load
// tick, the film texture's filters, blank textures, and the "Jpg" / "Jpg !" exits. Needs a display.
#include "render/texture_loader.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "render/engine.h"
#include "tests/assets/jpeg_test_files.h"
#include "tests/support/gl_test_window.h"

namespace {

std::vector<double> ticks;
void RecordTick(double value)
{
    ticks.push_back(value);
}

struct Texture {
    int width = 0, height = 0, format = 0;
    std::vector<uint8_t> rgb;  // rows bottom-up, as GL keeps them
};

Texture ReadBoundTexture()
{
    Texture t;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &t.width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &t.height);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &t.format);
    t.rgb.resize(static_cast<size_t>(t.width) * t.height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, t.rgb.data());
    return t;
}

GLuint BoundTexture()
{
    GLint name = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return static_cast<GLuint>(name);
}

class TextureLoader : public testing::Test {
protected:
    void SetUp() override
    {
        SetMessageBoxBatchMode(true);
        ASSERT_TRUE(OpenTestGlWindow());
        engine = std::make_unique<Engine>();
        dir = std::filesystem::temp_directory_path() / ("quarnel_texture_test_" + std::to_string(getpid()));
        std::filesystem::create_directories(dir / "textures");
        startDir = std::filesystem::current_path();
    }
    void TearDown() override
    {
        std::filesystem::current_path(startDir);
        std::filesystem::remove_all(dir);
    }

    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::string path = (dir / name).string();
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        return path;
    }

    std::unique_ptr<Engine> engine;
    std::filesystem::path dir, startDir;
};

// GL may report the internal format as given (3) or by name.
bool IsRgbFormat(int format)
{
    return format == 3 || format == GL_RGB;
}

}  // namespace

TEST_F(TextureLoader, PictureBecomesBottomUpRgbTextureLeftBound)
{
    JpegEncodeOptions o;
    o.width = 256;
    o.height = 128;
    std::vector<uint8_t> file = EncodeTestJpeg(o);
    std::string path = Write("picture.jpg", file);
    DecodedPicture picture;
    ASSERT_TRUE(DecodeWithOurs(file, true, &picture));

    ticks.clear();
    engine->loadTickCallback = RecordTick;
    LoadJpegTexture(*engine, path.c_str(), 42);
    EXPECT_EQ(ticks, std::vector<double>{0.1});
    ASSERT_NE(engine->textureTable[42], 0u);
    EXPECT_EQ(BoundTexture(), engine->textureTable[42]);

    Texture t = ReadBoundTexture();
    EXPECT_EQ(t.width, 256);
    EXPECT_EQ(t.height, 128);
    EXPECT_TRUE(IsRgbFormat(t.format)) << t.format;
    // Texture row t = 1 (the last in memory) is the picture's top row, and so on down.
    for (int y = 0; y < 128; ++y) {
        const uint8_t* textureRow = t.rgb.data() + static_cast<size_t>(127 - y) * 256 * 3;
        const uint8_t* pictureRow = picture.pixels.data() + static_cast<size_t>(y) * 256 * 3;
        ASSERT_TRUE(std::equal(pictureRow, pictureRow + 256 * 3, textureRow)) << "picture row " << y;
    }
    GLint filter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR);
}

TEST_F(TextureLoader, GreyAndOddWidthPicturesKeepEveryRowIntact)
{
    for (int components : {1, 3}) {
        JpegEncodeOptions o;
        o.width = 37;  // 111 bytes per RGB row: not a multiple of 4
        o.height = 23;
        o.components = components;
        std::vector<uint8_t> file = EncodeTestJpeg(o);
        std::string path = Write("odd.jpg", file);
        DecodedPicture picture;
        ASSERT_TRUE(DecodeWithOurs(file, true, &picture));
        engine->textureBaseOffset = 0;
        LoadJpegTexture(*engine, path.c_str(), 7);
        Texture t = ReadBoundTexture();
        ASSERT_EQ(t.width, 37);
        ASSERT_EQ(t.height, 23);
        for (int y = 0; y < 23; ++y) {
            for (int x = 0; x < 37; ++x) {
                const uint8_t* texel = t.rgb.data() + (static_cast<size_t>(22 - y) * 37 + x) * 3;
                const uint8_t* pixel = picture.pixels.data() + (static_cast<size_t>(y) * 37 + x) * components;
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(texel[c], pixel[components == 1 ? 0 : c]) << components << " " << x << "," << y;
            }
        }
    }
}

TEST_F(TextureLoader, SlotsCountFromTheBaseOffset)
{
    JpegEncodeOptions o;
    o.width = o.height = 16;
    std::string path = Write("small.jpg", EncodeTestJpeg(o));
    engine->textureBaseOffset = 100;
    LoadJpegTexture(*engine, path.c_str(), 5);
    EXPECT_NE(engine->textureTable[105], 0u);
    EXPECT_EQ(engine->textureTable[5], 0u);
}

TEST_F(TextureLoader, FilmTextureGetsLinearFiltersInItsSlot)
{
    JpegEncodeOptions o;
    o.width = 64;
    o.height = 32;
    o.components = 1;
    Write("textures/superfilm3.jpg", EncodeTestJpeg(o));
    std::filesystem::current_path(dir);
    LoadFilmTexture(*engine);
    ASSERT_NE(engine->textureTable[kFilmTextureSlot], 0u);
    EXPECT_EQ(BoundTexture(), engine->textureTable[kFilmTextureSlot]);
    GLfloat filter = 0;
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &filter);
    EXPECT_EQ(filter, 9729.0f);
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(filter, 9729.0f);
    EXPECT_EQ(ReadBoundTexture().width, 64);
}

TEST_F(TextureLoader, BlankTextureIsBlackAndStaysBound)
{
    CreateBlankTexture(*engine, 20, 128, 64);
    ASSERT_NE(engine->textureTable[20], 0u);
    EXPECT_EQ(BoundTexture(), engine->textureTable[20]);
    // Callers set the wrap mode right after, relying on the binding.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    GLint wrap = 0;
    glBindTexture(GL_TEXTURE_2D, engine->textureTable[20]);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    EXPECT_EQ(wrap, GL_CLAMP_TO_EDGE);
    Texture t = ReadBoundTexture();
    EXPECT_EQ(t.width, 128);
    EXPECT_EQ(t.height, 64);
    EXPECT_TRUE(IsRgbFormat(t.format)) << t.format;
    for (uint8_t v : t.rgb) ASSERT_EQ(v, 0);
}

using TextureLoaderDeathTest = TextureLoader;

TEST_F(TextureLoaderDeathTest, MissingFileShowsJpgAndEndsWithZero)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::filesystem::current_path(dir);
    EXPECT_EXIT(LoadFilmTexture(*engine), testing::ExitedWithCode(0), "\\[Jpg\\] textures/superfilm3.jpg");
}

TEST_F(TextureLoaderDeathTest, BrokenFilesShowJpgBangAndEndWithZero)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string notJpeg = Write("not.jpg", std::vector<uint8_t>(2000, 'x'));
    EXPECT_EXIT(LoadJpegTexture(*engine, notJpeg.c_str(), 3), testing::ExitedWithCode(0),
                "\\[Jpg !\\] .*not.jpg");

    // Headers fine, rows broken: a restart marker out of order.
    JpegEncodeOptions o;
    o.width = 64;
    o.height = 64;
    o.restartInterval = 1;
    std::vector<uint8_t> file = EncodeTestJpeg(o);
    for (size_t i = file.size() / 2; i + 1 < file.size(); ++i) {
        if (file[i] == 0xFF && file[i + 1] >= 0xD0 && file[i + 1] <= 0xD7) {
            file[i + 1] = static_cast<uint8_t>(0xD0 + ((file[i + 1] - 0xD0 + 3) & 7));
            break;
        }
    }
    std::string broken = Write("broken.jpg", file);
    EXPECT_EXIT(LoadJpegTexture(*engine, broken.c_str(), 3), testing::ExitedWithCode(0),
                "\\[Jpg !\\] .*broken.jpg");
}
