// A recorded round checked by its steps alone, in this process without a window: the committed rounds,
// recorded by the drawn show on each target, verify to the line the drawn replay prints, every checksum
// agreeing; and sessions ended by Escape, the close box and a frame limit play to their last frame and
// print what the drawn replay prints.
// Each replay runs in a child process of its own (a replay holds the process's one session).
#include "shell/verify_run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "capture/session_recording.h"
#include "platform/process.h"
#include "shell/command_line.h"

namespace {

namespace fs = std::filesystem;

std::string SourceDir()
{
    const char* source = std::getenv("QUARNEL_SOURCE_DIR");
    return source ? source : QUARNEL_TEST_SOURCE_DIR;
}

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The line --verify prints for `recording` without a window, from a child process that must end with
// `status`.
std::string VerifyLine(const std::string& recording, int status)
{
    // Named alike in the child, which on some systems runs the test again up to this point.
    const fs::path out =
        fs::temp_directory_path() / ("quarnel-verify-run-test-" + fs::path(recording).filename().string());
    fs::remove(out);
    CommandLine options;
    options.capture.replay = recording;
    options.capture.verify = true;
    options.batch = true;
    EXPECT_TRUE(VerifiesWithoutWindow(options));
    EXPECT_EXIT(
        {
            if (!std::freopen(out.string().c_str(), "w", stdout)) std::abort();
            EndProcess(VerifyWithoutWindow(options));
        },
        ::testing::ExitedWithCode(status), "");
    std::string line = ReadText(out);
    fs::remove(out);
    return line;
}

TEST(VerifyWithoutWindow, TheCommittedRoundsAgreeWithTheDrawnShowsChecksums)
{
    const fs::path rounds = fs::path(SourceDir()) / "tests/data/rounds";
    std::ifstream lines(rounds / "verify-lines.txt");
    std::string entry;
    int checked = 0;
    while (std::getline(lines, entry)) {
        const size_t colon = entry.find(": ");
        ASSERT_NE(colon, std::string::npos) << entry;
        const std::string path = (rounds / entry.substr(0, colon)).string();
        SCOPED_TRACE(path);
        EXPECT_EQ(VerifyLine(path, 0), path + ": " + entry.substr(colon + 2) + "\n");
        ++checked;
    }
    EXPECT_EQ(checked, 3);
}

TEST(VerifyWithoutWindow, SessionsEndWhereTheyWereEnded)
{
    const fs::path dir = fs::path(SourceDir()) / "tests/shell/data/recordings";
    for (const char* name : {"show-escape.qrec", "show-close-box.qrec", "show-frame-limit.qrec"}) {
        const std::string path = (dir / name).string();
        SCOPED_TRACE(path);
        std::ifstream in(path, std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        Recording recording;
        std::string detail;
        ASSERT_EQ(ParseRecording(bytes, recording, detail), RecordingStatus::Ok) << detail;
        // Escape's fade ends the show inside its last frame; every frame of a session is replayed. The
        // capture text of a middle click comes first, as at the end of every show.
        const std::string out = VerifyLine(path, 0);
        const std::string line = out.substr(out.rfind('\n', out.size() - 2) + 1);
        EXPECT_EQ(line.rfind(path + ": " + std::to_string(recording.frames) + " frames, ", 0), 0u) << out;
        EXPECT_NE(line.find("checksums: none in a version 1 recording\n"), std::string::npos) << out;
        EXPECT_EQ(out.find("Cam :") != std::string::npos, std::string(name) == "show-escape.qrec") << out;
    }
}

}  // namespace
