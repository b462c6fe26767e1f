// Checks the generated pictures through libjpeg: sizes, light and contrast, black borders for what is
// drawn on quads, channels that survive the red and green tints, distinct sprites, a seamless film.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tests/tools/asset_test_support.h"

using assettest::Picture;

namespace {

std::vector<std::string> SpriteNames()
{
    std::vector<std::string> names;
    for (int g = 1; g <= 7; ++g)
        for (int m = 1; m <= 3; ++m) names.push_back(std::to_string(g) + "-" + std::to_string(m) + ".jpg");
    return names;
}

Picture Load(const std::string& name)
{
    Picture p;
    EXPECT_TRUE(assettest::ReadJpeg(assettest::ShowPath("textures/" + name), &p)) << name;
    return p;
}

double Luma(const Picture& p, int x, int y)
{
    return 0.299 * p.At(x, y, 0) + 0.587 * p.At(x, y, 1) + 0.114 * p.At(x, y, 2);
}

struct Light {
    double mean = 0, deviation = 0, peak = 0;
    double channelMean[3] = {0, 0, 0};
};

Light Measure(const Picture& p)
{
    Light l;
    double sum = 0, sumSq = 0;
    const double n = static_cast<double>(p.width) * p.height;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const double v = Luma(p, x, y);
            sum += v, sumSq += v * v;
            l.peak = std::max(l.peak, v);
            for (int c = 0; c < 3; ++c) l.channelMean[c] += p.At(x, y, c) / n;
        }
    l.mean = sum / n;
    l.deviation = std::sqrt(std::max(0.0, sumSq / n - l.mean * l.mean));
    return l;
}

double MeanDifference(const Picture& a, const Picture& b)
{
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); ++i)
        sum += std::abs(a.pixels[i] - b.pixels[i]);
    return sum / static_cast<double>(a.pixels.size());
}

TEST(AssetPictures, AllDecodeAsColourPicturesOfTheirSizes)
{
    const Picture blob = Load("blob41b.jpg");
    EXPECT_EQ(blob.width, 256);
    EXPECT_EQ(blob.height, 256);
    EXPECT_EQ(blob.components, 3);
    const Picture film = Load("superfilm3.jpg");
    EXPECT_EQ(film.width, 512);
    EXPECT_EQ(film.height, 512);
    EXPECT_EQ(film.components, 3);
    for (const std::string& name : SpriteNames()) {
        const Picture p = Load(name);
        EXPECT_TRUE(p.width == 128 || p.width == 256) << name;
        EXPECT_EQ(p.height, p.width) << name;
        EXPECT_EQ(p.components, 3) << name;
    }
}

// Drawn additively: they need bright light on a mostly dark ground, not a blank or washed-out frame.
TEST(AssetPictures, SpritesAndBlobGlowOnBlack)
{
    std::vector<std::string> names = SpriteNames();
    names.push_back("blob41b.jpg");
    for (const std::string& name : names) {
        const Light l = Measure(Load(name));
        EXPECT_GT(l.peak, 200) << name;
        EXPECT_GT(l.mean, 4) << name;
        EXPECT_LT(l.mean, 90) << name;
        EXPECT_GT(l.deviation, 15) << name;
    }
}

// The cluster tints its sprites pure red or pure green, which keeps one channel only.
TEST(AssetPictures, SpritesKeepLightInTheRedAndGreenChannels)
{
    for (const std::string& name : SpriteNames()) {
        const Light l = Measure(Load(name));
        EXPECT_GT(l.channelMean[0], 3) << name;
        EXPECT_GT(l.channelMean[1], 3) << name;
    }
}

// Quads drawn additively show their edge as a faint square unless the picture ends black all round.
TEST(AssetPictures, SpritesAndBlobEndBlackAtTheirBorders)
{
    std::vector<std::string> names = SpriteNames();
    names.push_back("blob41b.jpg");
    for (const std::string& name : names) {
        const Picture p = Load(name);
        int brightest = 0;
        for (int i = 0; i < p.width; ++i)
            for (int edge = 0; edge < 2; ++edge)
                for (int c = 0; c < 3; ++c) {
                    brightest = std::max({brightest, p.At(i, edge, c), p.At(i, p.height - 1 - edge, c),
                                          p.At(edge, i, c), p.At(p.width - 1 - edge, i, c)});
                }
        EXPECT_LE(brightest, 4) << name;
    }
}

TEST(AssetPictures, EverySpriteIsItsOwnPicture)
{
    const std::vector<std::string> names = SpriteNames();
    std::vector<Picture> pictures;
    for (const std::string& name : names) pictures.push_back(Load(name));
    for (size_t a = 0; a < pictures.size(); ++a)
        for (size_t b = a + 1; b < pictures.size(); ++b)
            EXPECT_GT(MeanDifference(pictures[a], pictures[b]), 1.0) << names[a] << " vs " << names[b];
}

// The grain is added over the whole picture at full strength outside the sea: sparse bright marks on
// a dark ground, and repeated twice across the view, so its opposite edges must meet.
TEST(AssetPictures, FilmIsSparseBrightMarksOnDarkAndTilesWithoutSeams)
{
    const Picture film = Load("superfilm3.jpg");
    const Light l = Measure(film);
    EXPECT_GT(l.mean, 2);
    EXPECT_LT(l.mean, 25);
    EXPECT_GT(l.peak, 150);

    std::vector<double> lumas;
    for (int y = 0; y < film.height; ++y)
        for (int x = 0; x < film.width; ++x) lumas.push_back(Luma(film, x, y));
    std::nth_element(lumas.begin(), lumas.begin() + lumas.size() * 95 / 100, lumas.end());
    EXPECT_LT(lumas[lumas.size() * 95 / 100], 40);

    auto columnStep = [&](int x0, int x1) {
        double sum = 0;
        for (int y = 0; y < film.height; ++y) sum += std::abs(Luma(film, x0, y) - Luma(film, x1, y));
        return sum / film.height;
    };
    auto rowStep = [&](int y0, int y1) {
        double sum = 0;
        for (int x = 0; x < film.width; ++x) sum += std::abs(Luma(film, x, y0) - Luma(film, x, y1));
        return sum / film.width;
    };
    double interiorColumns = 0, interiorRows = 0;
    for (int i = 100; i < 400; i += 50)
        interiorColumns += columnStep(i, i + 1) / 6, interiorRows += rowStep(i, i + 1) / 6;
    EXPECT_LT(columnStep(film.width - 1, 0), 1.5 * interiorColumns + 1.0);
    EXPECT_LT(rowStep(film.height - 1, 0), 1.5 * interiorRows + 1.0);
}

}  // namespace
