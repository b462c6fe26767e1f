// Runs the generators again into a scratch folder and compares the bytes with the build's files: every
// build must produce the same assets. Also checks that the generators refuse bad command lines.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/tools/asset_test_support.h"

namespace fs = std::filesystem;

namespace {

class AssetReproducible : public ::testing::Test {
protected:
    void SetUp() override
    {
        scratch_ = fs::temp_directory_path() / ("quarnel_assets_" + std::to_string(getpid()));
        fs::create_directories(scratch_);
    }
    void TearDown() override { fs::remove_all(scratch_); }

    // Runs a command through the shell; returns its exit status (-1 if it did not exit normally).
    static int Run(const std::string& command)
    {
        const int status = std::system((command + " 2>/dev/null").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

    fs::path scratch_;
};

TEST_F(AssetReproducible, TexturesComeOutByteForByteTheSame)
{
    ASSERT_EQ(Run(Quote(QUARNEL_TEST_GEN_TEXTURES) + " " + Quote(scratch_)), 0);
    int compared = 0;
    for (const auto& entry : fs::directory_iterator(scratch_)) {
        const std::string name = entry.path().filename().string();
        const auto fresh = assettest::ReadBytes(entry.path().string());
        const auto built = assettest::ReadBytes(assettest::ShowPath("textures/" + name));
        EXPECT_FALSE(fresh.empty()) << name;
        EXPECT_TRUE(fresh == built) << name << " differs from the build's copy";
        ++compared;
    }
    EXPECT_EQ(compared, 23);
}

TEST_F(AssetReproducible, MusicComesOutByteForByteTheSame)
{
    const fs::path track = scratch_ / "track.ogg";
    ASSERT_EQ(Run(Quote(QUARNEL_TEST_GEN_MUSIC) + " " + Quote(track)), 0);
    const auto fresh = assettest::ReadBytes(track.string());
    const auto built = assettest::ReadBytes(assettest::ShowPath(assettest::kTrackPath));
    ASSERT_GT(fresh.size(), 100000u);
    EXPECT_TRUE(fresh == built);
}

TEST_F(AssetReproducible, GeneratorsRefuseBadCommandLinesAndUnwritablePlaces)
{
    EXPECT_EQ(Run(Quote(QUARNEL_TEST_GEN_TEXTURES)), 2);
    EXPECT_EQ(Run(Quote(QUARNEL_TEST_GEN_MUSIC) + " a.ogg b.ogg"), 2);
    // A file where the folder should be: the texture generator cannot create its folder.
    const fs::path blocker = scratch_ / "blocker";
    {
        std::ofstream(blocker) << "x";
    }
    EXPECT_EQ(Run(Quote(QUARNEL_TEST_GEN_TEXTURES) + " " + Quote(blocker / "textures")), 1);
    EXPECT_EQ(Run(Quote(QUARNEL_TEST_GEN_MUSIC) + " " + Quote(blocker / "track.ogg")), 1);
}

}  // namespace
