// A recorded round checked by its steps alone, in this process without a window: the committed rounds,
// recorded by the drawn show on each target, verify to the line the drawn replay prints, every checksum
// agreeing; and sessions ended by Escape, the close box and a frame limit play to their last frame and
// print what the drawn replay prints.
// Each replay runs in a child process of its own (a replay holds the process's one session).
#include "shell/verify_run.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// The file's text with Windows' line ends (standard output is in text mode there) read as "\n".
std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string text(std::istreambuf_iterator<char>(in), {});
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
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
    // Sessions of the first version carry no checksums: one of a second or more cannot be verified
    // (status 1), one shorter than a second needs none.
    struct Session {
        const char* name;
        int status;
        const char* verdict;
    };
    const Session sessions[] = {
        {"show-escape.qrec", 1, "not verified: a version 1 recording carries no checksums"},
        {"show-close-box.qrec", 0, "checksums: none in a round shorter than a second\n"},
        {"show-frame-limit.qrec", 1, "not verified: a version 1 recording carries no checksums"},
    };
    const fs::path dir = fs::path(SourceDir()) / "tests/shell/data/recordings";
    for (const Session& session : sessions) {
        const std::string path = (dir / session.name).string();
        SCOPED_TRACE(path);
        std::ifstream in(path, std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        Recording recording;
        std::string detail;
        ASSERT_EQ(ParseRecording(bytes, recording, detail), RecordingStatus::Ok) << detail;
        // Escape's fade ends the show inside its last frame; every frame of a session is replayed. A
        // replay prints its one line, never the capture text of a recorded middle click.
        const std::string out = VerifyLine(path, session.status);
        EXPECT_EQ(out.rfind(path + ": " + std::to_string(recording.frames) + " frames, ", 0), 0u) << out;
        EXPECT_NE(out.find(session.verdict), std::string::npos) << out;
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    }
}

}  // namespace
