// The search for the data folder over made-up layouts in a temporary folder: a build folder, an
// installation, the environment variable, a partial folder and no data at all.
#include "shell/data_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

class DataFolderTest : public testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("quarnel-data-folder-" + std::to_string(getpid()) + "-" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "elsewhere");
        fs::create_directories(root / "usr" / "bin");
    }
    void TearDown() override { fs::remove_all(root); }

    void MakeData(const fs::path& folder, int count = 4)
    {
        for (int i = 0; i < count; ++i) fs::create_directories(folder / kDataSubfolders[i]);
    }
    DataFolderSearch Find(const fs::path& work, const char* variable = nullptr)
    {
        return FindDataFolder(work, root / "usr" / "bin", variable, "../share/quarnel");
    }

    fs::path root;
};

TEST_F(DataFolderTest, TheFirstPlaceWithAllFourFoldersWins)
{
    // A build folder: data beside the program, started there.
    MakeData(root / "usr" / "bin");
    DataFolderSearch found = Find(root / "usr" / "bin");
    EXPECT_EQ(found.folder, root / "usr" / "bin");
    EXPECT_EQ(found.note, "");

    // An installation started from elsewhere: the installed data, not the bare program folder.
    fs::remove_all(root / "usr" / "bin" / "music");
    MakeData(root / "usr" / "share" / "quarnel");
    found = Find(root / "elsewhere");
    EXPECT_EQ(found.folder, root / "usr" / "share" / "quarnel");

    // A complete working directory comes first.
    MakeData(root / "elsewhere");
    EXPECT_EQ(Find(root / "elsewhere").folder, root / "elsewhere");
}

TEST_F(DataFolderTest, TheVariableNamesTheFolderOutright)
{
    MakeData(root / "usr" / "share" / "quarnel");
    MakeData(root / "mine", 3);  // no music/: noted, still used
    DataFolderSearch found = Find(root / "elsewhere", (root / "mine").string().c_str());
    EXPECT_EQ(found.folder, root / "mine");
    EXPECT_NE(found.note.find("no music/"), std::string::npos) << found.note;

    // Relative to the working directory.
    EXPECT_EQ(Find(root, "mine").folder, root / "mine");

    found = Find(root / "elsewhere", (root / "nothing-here").string().c_str());
    EXPECT_TRUE(found.folder.empty());
    EXPECT_NE(found.note.find("QUARNEL_DATA_DIR names " + (root / "nothing-here").string()),
              std::string::npos)
        << found.note;

    // Set but empty counts as unset.
    EXPECT_EQ(Find(root / "elsewhere", "").folder, root / "usr" / "share" / "quarnel");
}

TEST_F(DataFolderTest, APartialWorkingDirectoryIsKeptWhenNothingIsComplete)
{
    // The show then names the file it misses, as it does in its build folder.
    MakeData(root / "elsewhere", 3);
    const DataFolderSearch found = Find(root / "elsewhere");
    EXPECT_EQ(found.folder, root / "elsewhere");
    EXPECT_NE(found.note.find("no music/"), std::string::npos) << found.note;
}

TEST_F(DataFolderTest, NoDataNamesEveryPlaceLookedIn)
{
    MakeData(root / "usr" / "bin", 2);
    const DataFolderSearch found = Find(root / "elsewhere");
    EXPECT_TRUE(found.folder.empty());
    const std::string& note = found.note;
    EXPECT_NE(note.find((root / "elsewhere").string() + " (the working directory): none of them"),
              std::string::npos)
        << note;
    EXPECT_NE(note.find((root / "usr" / "bin").string() + " (beside the program): no meshes/, music/"),
              std::string::npos)
        << note;
    EXPECT_NE(
        note.find((root / "usr" / "share" / "quarnel").string() + " (the installed data): no such folder"),
        std::string::npos)
        << note;
    EXPECT_NE(note.find("QUARNEL_DATA_DIR"), std::string::npos) << note;

    // Started in the program's folder, that place is named once.
    const DataFolderSearch same = Find(root / "usr" / "bin" / ".");
    EXPECT_EQ(same.note.find("beside the program"), std::string::npos) << same.note;
}

TEST(DataFolderPaths, RelativePathsStayRelativeToTheStartFolder)
{
    // Joined with the system's separator ("/home/me\\shot.png" on Windows).
    EXPECT_EQ(ResolveFromStartFolder("/home/me", "shot.png"),
              (std::filesystem::path("/home/me") / "shot.png").string());
    EXPECT_EQ(ResolveFromStartFolder("/home/me", "/tmp/shot.png"), "/tmp/shot.png");
    EXPECT_EQ(ResolveFromStartFolder("/home/me", ""), "");
}

}  // namespace
