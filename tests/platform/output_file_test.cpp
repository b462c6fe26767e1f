// Tests of the one writer of output files, each rule on its own: a temporary name in the target's folder
// until the commit, permissions, chains of links, dangling links, refusals, devices and pipes in place,
// and what an interrupt leaves. Device nodes are made with mknod (root only; skipped otherwise).
// tests/e2e/output_files_e2e.py runs every program that writes through it against the same kinds of
// output.
#include "platform/output_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

class OutputFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("quarnel-output-file-test-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string At(const std::string& name) const { return (dir / name).string(); }

    // Opens, writes `text` and commits; the cause of a failure, or "" when it worked.
    static std::string Write(const std::string& path, const std::string& text, OutputFile* kept = nullptr)
    {
        OutputFile f;
        std::string error;
        if (!OpenOutputFile(path, f, error)) return error;
        std::fputs(text.c_str(), f.stream);
        if (!CommitOutputFile(f, error)) return error;
        if (kept) *kept = f;
        return "";
    }

    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    static unsigned Mode(const std::string& path)
    {
        struct stat st {};
        return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : ~0u;
    }

    size_t Entries(const fs::path& folder) const
    {
        return static_cast<size_t>(std::distance(fs::directory_iterator(folder), {}));
    }

    fs::path dir;
};

mode_t CurrentUmask()
{
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

TEST_F(OutputFileTest, ANewFileAppearsWhenCommittedWithThePermissionsOfAPlainCreate)
{
    const std::string path = At("film.mp4");
    OutputFile f;
    std::string error;
    ASSERT_TRUE(OpenOutputFile(path, f, error)) << error;
    EXPECT_FALSE(f.inPlace);
    EXPECT_EQ(f.targetPath, path);
    EXPECT_EQ(f.writePath.rfind(path + ".part-", 0), 0u) << f.writePath;
    std::fputs("frames", f.stream);
    EXPECT_FALSE(fs::exists(path));
    ASSERT_TRUE(CommitOutputFile(f, error)) << error;
    EXPECT_EQ(Read(path), "frames");
    EXPECT_EQ(OutputFileSize(f), 6);
    EXPECT_FALSE(fs::exists(f.writePath));
    EXPECT_EQ(Mode(path), 0666u & ~CurrentUmask());

    // A second run that fails leaves the first file as it was, and nothing else.
    ASSERT_TRUE(OpenOutputFile(path, f, error));
    std::fputs("half", f.stream);
    DiscardOutputFile(f);
    EXPECT_EQ(Read(path), "frames");
    EXPECT_EQ(Entries(dir), 1u);

    // A replaced file keeps its mode.
    fs::permissions(path, fs::perms(0640));
    EXPECT_EQ(Write(path, "new frames"), "");
    EXPECT_EQ(Read(path), "new frames");
    EXPECT_EQ(Mode(path), 0640u);

    // A name as long as a folder allows still leaves room for the temporary name.
    const std::string longest = At(std::string(255, 'n'));
    EXPECT_EQ(Write(longest, "long"), "");
    EXPECT_EQ(Read(longest), "long");
}

TEST_F(OutputFileTest, ALinkStaysAndTheFileAtTheEndOfItsChainGetsTheContent)
{
    fs::create_directories(dir / "links");
    fs::create_directories(dir / "data");
    std::ofstream(At("data/real.csv")) << "old";
    fs::permissions(At("data/real.csv"), fs::perms(0600));
    fs::create_symlink("links/hop", At("out.csv"));  // relative, from the link's own folder
    fs::create_symlink("../data/real.csv", At("links/hop"));
    OutputFile f;
    EXPECT_EQ(Write(At("out.csv"), "new", &f), "");
    EXPECT_EQ(Read(At("data/real.csv")), "new");
    EXPECT_EQ(Mode(At("data/real.csv")), 0600u);
    EXPECT_TRUE(fs::is_symlink(At("out.csv")));
    EXPECT_EQ(fs::read_symlink(At("out.csv")), "links/hop");
    EXPECT_EQ(fs::read_symlink(At("links/hop")), "../data/real.csv");
    EXPECT_EQ(fs::canonical(f.targetPath), fs::canonical(At("data/real.csv")));
    EXPECT_EQ(Entries(dir / "data"), 1u);
    EXPECT_EQ(Entries(dir / "links"), 1u);

    // A dangling link creates its target, with an absolute target too.
    fs::create_symlink("made.csv", At("dangling.csv"));
    fs::create_symlink(At("data/absolute.csv"), At("absolute.csv"));
    EXPECT_EQ(Write(At("dangling.csv"), "made"), "");
    EXPECT_EQ(Write(At("absolute.csv"), "absolute"), "");
    EXPECT_TRUE(fs::is_symlink(At("dangling.csv")));
    EXPECT_EQ(Read(At("made.csv")), "made");
    EXPECT_EQ(Read(At("data/absolute.csv")), "absolute");

    // A loop is refused.
    fs::create_symlink("loop.b", At("loop.a"));
    fs::create_symlink("loop.a", At("loop.b"));
    EXPECT_EQ(Write(At("loop.a"), "x"), "Too many levels of symbolic links");
}

TEST_F(OutputFileTest, DirectoriesBlockDevicesAndSocketsAreRefused)
{
    EXPECT_EQ(Write(At("no/film.mp4"), "x"), "No such file or directory");
    EXPECT_EQ(Write(dir.string(), "x"), "it is a directory");
    EXPECT_EQ(Write("", "x"), "no file name");

    const std::string socketPath = At("socket");
    const int s = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(Write(socketPath, "x").rfind("it is a socket", 0), 0u);
    close(s);

    if (mknod(At("block").c_str(), S_IFBLK | 0600, makedev(7, 0)) != 0) GTEST_SKIP() << "mknod needs root";
    EXPECT_EQ(Write(At("block"), "x").rfind("it is a block device", 0), 0u);
    EXPECT_EQ(Entries(dir), 2u);  // the socket and the block device, nothing beside them
}

TEST_F(OutputFileTest, DevicesAndPipesAreWrittenInPlace)
{
    // A pipe: its reader gets the bytes, and the pipe stays.
    ASSERT_EQ(mkfifo(At("pipe").c_str(), 0600), 0);
    std::string drained;
    std::thread reader([&] { drained = Read(At("pipe")); });
    OutputFile f;
    EXPECT_EQ(Write(At("pipe"), "through the pipe", &f), "");
    reader.join();
    EXPECT_TRUE(f.inPlace);
    EXPECT_EQ(f.writePath, At("pipe"));
    EXPECT_EQ(drained, "through the pipe");
    EXPECT_TRUE(fs::is_fifo(At("pipe")));
    EXPECT_EQ(OutputFileSize(f), -1);

    // A private copy of /dev/null, directly and through a link; a copy of /dev/full reports the failure.
    if (mknod(At("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) GTEST_SKIP() << "mknod needs root";
    ASSERT_EQ(mknod(At("full").c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
    fs::create_symlink("null", At("to-null"));
    EXPECT_EQ(Write(At("null"), "nothing"), "");
    EXPECT_EQ(Write(At("to-null"), "nothing"), "");
    EXPECT_EQ(Write(At("full"), "too much"), "No space left on device");
    EXPECT_TRUE(fs::is_character_file(At("null")));
    EXPECT_TRUE(fs::is_symlink(At("to-null")));
    EXPECT_TRUE(fs::is_character_file(At("full")));
    EXPECT_EQ(Entries(dir), 4u);
}

TEST_F(OutputFileTest, AnInterruptRemovesTheTemporaryFileWhenAskedTo)
{
    for (const bool asked : {true, false}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (asked) RemoveOutputFilesOnInterrupt();
            OutputFile f;
            std::string error;
            if (!OpenOutputFile(At("cut.ppm"), f, error)) _exit(3);
            std::fputs("half a picture", f.stream);
            std::fflush(f.stream);
            std::raise(SIGTERM);
            _exit(4);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
        EXPECT_FALSE(fs::exists(At("cut.ppm")));
        EXPECT_EQ(Entries(dir), asked ? 0u : 1u) << "asked: " << asked;  // else the cut file keeps its
                                                                         // temporary name
    }
}

}  // namespace
