// Checks the copied outline font with FreeType: the face the show asks for, with outlines for every
// character its texts use.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <string>

#include "tests/tools/asset_test_support.h"

namespace {

TEST(AssetFont, LoadsWithTheShowsFaceNameAndOutlines)
{
    FT_Library library = nullptr;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    FT_Face face = nullptr;
    const std::string path = assettest::ShowPath("meshes/Acknowledge_TT_BRK.ttf");
    ASSERT_EQ(FT_New_Face(library, path.c_str(), 0, &face), 0) << path;
    EXPECT_STREQ(face->family_name, "Acknowledge TT BRK");
    EXPECT_TRUE(FT_IS_SCALABLE(face));

    // Every printable code up to 'z' that the show's texts can contain.
    const std::string used = "0123456789:!ScoreHlpTimYuahdqnigtsfxwkA";
    for (char ch : used) {
        const FT_UInt index = FT_Get_Char_Index(face, static_cast<unsigned char>(ch));
        ASSERT_NE(index, 0u) << "no glyph for '" << ch << "'";
        ASSERT_EQ(FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE), 0) << ch;
        EXPECT_EQ(face->glyph->format, FT_GLYPH_FORMAT_OUTLINE) << ch;
        EXPECT_GT(face->glyph->outline.n_contours, 0) << ch;
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}

TEST(AssetFont, IsThePackagedFontUnchanged)
{
    const auto copied = assettest::ReadBytes(assettest::ShowPath("meshes/Acknowledge_TT_BRK.ttf"));
    const auto packaged = assettest::ReadBytes("/usr/share/fonts/truetype/aenigma/acknowtt.ttf");
    ASSERT_FALSE(packaged.empty());
    EXPECT_TRUE(copied == packaged);
}

}  // namespace
