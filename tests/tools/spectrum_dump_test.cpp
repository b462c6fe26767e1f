// Tests of the spectrum-dump tool, run as a program: one line per frame with the time and the 512 values the
// show would read, a tone where it belongs, and clear failures that leave no partial or clobbered file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_tracks.h"

namespace fs = std::filesystem;

namespace {

struct DumpRun {
    int status = -1;
    std::string errors;
};

// Runs spectrum-dump with the given arguments (each quoted for the shell).
DumpRun Dump(const std::vector<std::string>& args)
{
    const std::string errors = TestTrackFolder() + "/errors.txt";
    std::string command = std::string("'") + QUARNEL_TEST_SPECTRUM_DUMP + "'";
    for (const std::string& a : args) command += " '" + a + "'";
    const int status = std::system((command + " 2>'" + errors + "'").c_str());
    DumpRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(errors);
    run.errors.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return run;
}

std::vector<std::vector<double>> ReadCsv(const std::string& path)
{
    std::vector<std::vector<double>> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::vector<double> fields;
        std::istringstream row(line);
        for (std::string field; std::getline(row, field, ',');) fields.push_back(std::stod(field));
        lines.push_back(fields);
    }
    return lines;
}

bool HasScratchFiles(const std::string& folder)
{
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().find(".part-") != std::string::npos) return true;
    return false;
}

TEST(SpectrumDump, WritesOneLineOfTheShowsSpectrumPerFrame)
{
    // 1.5 s of a 1 kHz tone at -6 dBFS after half a second of silence.
    const std::string track =
        CachedTestTrack("tone-after-silence", 2, 44100, 2.0, [](int64_t frame, int) -> float {
            return frame < 22050
                       ? 0.0f
                       : static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * 1000.0 * frame / 44100));
        });
    ASSERT_FALSE(track.empty());
    const std::string out = TestTrackFolder() + "/tone.csv";
    const DumpRun run = Dump({track, out, "--fps", "30"});
    ASSERT_EQ(run.status, 0) << run.errors;
    const auto lines = ReadCsv(out);
    ASSERT_EQ(lines.size(), 60u) << "2 s at 30 frames a second";
    for (size_t n = 0; n < lines.size(); ++n) {
        ASSERT_EQ(lines[n].size(), 513u) << "line " << n;
        EXPECT_NEAR(lines[n][0], (n + 1) / 30.0, 1e-5);
        for (size_t bin = 1; bin < 513; ++bin) ASSERT_TRUE(lines[n][bin] >= 0.0 && lines[n][bin] <= 1.0);
    }
    // Frame 10 ends at a third of a second: silence. From frame 17 on the window is all tone, in bin 23.
    for (size_t bin = 1; bin < 513; ++bin) EXPECT_EQ(lines[9][bin], 0.0) << bin - 1;
    EXPECT_GT(lines[20][1 + 23], 0.95);
    EXPECT_LT(lines[20][1 + 100], 0.05);
    EXPECT_FALSE(HasScratchFiles(TestTrackFolder()));
}

TEST(SpectrumDump, FailsClearlyAndLeavesNoPartialOrClobberedFile)
{
    const std::string folder = TestTrackFolder();
    const std::string track = CachedTestTrack("short-tone", 1, 22050, 0.5, SineSignal(440.0, 0.3, 22050));
    ASSERT_FALSE(track.empty());
    const std::string out = folder + "/kept.csv";
    std::ofstream(out) << "an earlier dump\n";

    const std::string text = folder + "/notes.ogg";
    std::ofstream(text) << "these are notes, not an Ogg Vorbis stream\n";
    DumpRun run = Dump({text, out});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find("notes.ogg"), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find("Ogg Vorbis"), std::string::npos) << run.errors;
    run = Dump({folder + "/missing.ogg", out});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find("missing.ogg"), std::string::npos) << run.errors;

    // An output that cannot be created, and one that a folder stands in the place of.
    run = Dump({track, text + "/out.csv"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find("cannot write " + text + "/out.csv: Not a directory"), std::string::npos)
        << run.errors;
    const std::string taken = folder + "/taken.csv";
    fs::create_directories(taken);
    run = Dump({track, taken});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find("cannot write " + taken + ": it is a directory"), std::string::npos)
        << run.errors;
    EXPECT_TRUE(fs::is_directory(taken) && fs::is_empty(taken));

    std::ifstream kept(out);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), std::istreambuf_iterator<char>()),
              "an earlier dump\n");
    EXPECT_FALSE(HasScratchFiles(folder));

    EXPECT_EQ(Dump({track}).status, 2);
    EXPECT_EQ(Dump({track, out, "--fps", "0"}).status, 2);
    EXPECT_EQ(Dump({track, out, "--fps", "ten"}).status, 2);
    EXPECT_EQ(Dump({track, out, "--loud"}).status, 2);
}

}  // namespace
