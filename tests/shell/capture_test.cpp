// Tests of capture without a window: the recording format (round trip, and the files it refuses or plays
// up to a cut), and the capture options and what they imply. The files themselves are written by
// platform/output_file (tests/platform/output_file_test.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "capture/replay_verdict.h"
#include "capture/session_recording.h"
#include "capture/video_encoder.h"
#include "shell/command_line.h"

namespace {

std::vector<SessionEvent> SampleSession()
{
    std::vector<SessionEvent> events;
    SessionEvent e;
    e.kind = SessionEventKind::Clock;
    e.values[0] = 1e-6;
    events.push_back(e);
    e = SessionEvent{};
    e.kind = SessionEventKind::Message;
    e.message = WindowMessage{WM_KEYDOWN, VK_UP, 0};
    events.push_back(e);
    e.message = WindowMessage{WM_MOUSEMOVE, 0, -1234567890123LL};  // a negative lParam survives
    events.push_back(e);
    e = SessionEvent{};
    e.kind = SessionEventKind::Frame;
    e.values[0] = 412.5;
    e.values[1] = -3.0;
    e.values[2] = 0.0166;
    e.values[3] = 1.0 / 3.0;  // every bit of a reading comes back
    events.push_back(e);
    e = SessionEvent{};
    e.kind = SessionEventKind::Idle;
    events.push_back(e);
    return events;
}

Recording About(bool musicOn, uint32_t version = kRecordingVersion)
{
    Recording about;
    about.version = version;
    about.musicOn = musicOn;
    about.windowed = true;
    about.program = "quarnel 9.8.7";
    about.target = "Windows";
    return about;
}

std::vector<uint8_t> Encode(const std::vector<SessionEvent>& events, bool musicOn, bool withEnd,
                            uint32_t version = kRecordingVersion)
{
    std::vector<uint8_t> bytes;
    AppendRecordingHeader(bytes, About(musicOn, version));
    uint64_t frames = 0;
    for (const SessionEvent& e : events) {
        AppendSessionEvent(bytes, e);
        frames += e.kind == SessionEventKind::Frame;
    }
    if (withEnd) {
        SessionEvent end;
        end.kind = SessionEventKind::End;
        end.frames = frames;
        AppendSessionEvent(bytes, end);
    }
    return bytes;
}

void ExpectSameEvent(const SessionEvent& a, const SessionEvent& b)
{
    EXPECT_EQ(a.kind, b.kind);
    EXPECT_EQ(a.message.message, b.message.message);
    EXPECT_EQ(a.message.wParam, b.message.wParam);
    EXPECT_EQ(a.message.lParam, b.message.lParam);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(a.values[i], b.values[i]);
}

TEST(RecordingFormat, RoundTripKeepsEveryEventBitForBit)
{
    std::vector<SessionEvent> events = SampleSession();
    SessionEvent check;
    check.kind = SessionEventKind::Check;
    check.frames = 1;
    check.checksum = 0xfedcba9876543210ull;
    events.insert(events.begin() + 4, check);
    for (bool music : {true, false}) {
        Recording r;
        std::string detail;
        ASSERT_EQ(ParseRecording(Encode(events, music, true), r, detail), RecordingStatus::Ok) << detail;
        EXPECT_EQ(r.musicOn, music);
        EXPECT_EQ(r.version, 2u);
        EXPECT_TRUE(r.windowed);
        EXPECT_EQ(r.program, "quarnel 9.8.7");
        EXPECT_EQ(r.target, "Windows");
        EXPECT_EQ(r.checks, 1u);
        EXPECT_EQ(r.events[4].checksum, check.checksum);
        EXPECT_TRUE(r.complete);
        EXPECT_EQ(r.frames, 1u);
        EXPECT_EQ(r.seconds, 1.0 / 3.0);
        ASSERT_EQ(r.events.size(), events.size() + 1);
        for (size_t i = 0; i < events.size(); ++i) ExpectSameEvent(r.events[i], events[i]);
    }
}

TEST(RecordingFormat, RefusesWhatIsNotARecordingOfThisVersion)
{
    Recording r;
    std::string detail;
    const std::vector<uint8_t> good = Encode(SampleSession(), true, true);

    EXPECT_EQ(ParseRecording({}, r, detail), RecordingStatus::NotARecording);
    const std::string png = "\x89PNG\r\n\x1a\n and more";
    EXPECT_EQ(ParseRecording(std::vector<uint8_t>(png.begin(), png.end()), r, detail),
              RecordingStatus::NotARecording);
    EXPECT_NE(detail.find("not a Quarnel recording"), std::string::npos) << detail;

    std::vector<uint8_t> other = good;
    other[8] = 3;
    EXPECT_EQ(ParseRecording(other, r, detail), RecordingStatus::OtherVersion);
    EXPECT_NE(detail.find("version 3"), std::string::npos) << detail;
    EXPECT_TRUE(r.events.empty());

    const size_t headerSize = Encode({}, true, false).size();
    std::vector<uint8_t> unknown = good;
    unknown[headerSize] = 'Z';
    EXPECT_EQ(ParseRecording(unknown, r, detail), RecordingStatus::Damaged);
    EXPECT_NE(detail.find("unknown record 0x5a at byte " + std::to_string(headerSize)), std::string::npos)
        << detail;

    // A checksum record is version 2's: in version 1 it is unknown.
    SessionEvent check;
    check.kind = SessionEventKind::Check;
    check.frames = 1;
    std::vector<SessionEvent> checked = SampleSession();
    checked.insert(checked.begin() + 4, check);
    EXPECT_EQ(ParseRecording(Encode(checked, true, true, 1), r, detail), RecordingStatus::Damaged);
    EXPECT_NE(detail.find("unknown record 0x53"), std::string::npos) << detail;
    checked[4].frames = 2;  // the frame before it is the first
    EXPECT_EQ(ParseRecording(Encode(checked, true, true), r, detail), RecordingStatus::Damaged);
    EXPECT_NE(detail.find("checksum of another frame"), std::string::npos) << detail;

    std::vector<uint8_t> unnamed = good;
    unnamed[17] = '\n';  // a control character in the program's name
    EXPECT_EQ(ParseRecording(unnamed, r, detail), RecordingStatus::Damaged);

    std::vector<uint8_t> trailing = good;
    trailing.push_back('I');
    EXPECT_EQ(ParseRecording(trailing, r, detail), RecordingStatus::Damaged);

    // A reading that is not a number would poison demo time; a cursor far off the screen is no reading.
    for (double bad :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 1e12}) {
        std::vector<SessionEvent> events = SampleSession();
        events[3].values[3] = bad;
        EXPECT_EQ(ParseRecording(Encode(events, true, true), r, detail), RecordingStatus::Damaged) << bad;
        events = SampleSession();
        events[3].values[0] = bad;
        EXPECT_EQ(ParseRecording(Encode(events, true, true), r, detail), RecordingStatus::Damaged) << bad;
    }

    std::vector<SessionEvent> events = SampleSession();
    std::vector<uint8_t> miscounted = Encode(events, true, false);
    SessionEvent end;
    end.kind = SessionEventKind::End;
    end.frames = 7;
    AppendSessionEvent(miscounted, end);
    EXPECT_EQ(ParseRecording(miscounted, r, detail), RecordingStatus::Damaged);
}

TEST(RecordingFormat, ACutRecordingKeepsItsWholeEvents)
{
    const std::vector<SessionEvent> events = SampleSession();
    const std::vector<uint8_t> whole = Encode(events, true, true);
    Recording r;
    std::string detail;

    // Without its end record, and cut at every byte: never more than the whole events before the cut.
    const std::vector<uint8_t> noEnd = Encode(events, true, false);
    for (size_t cut = Encode({}, true, false).size(); cut < whole.size(); ++cut) {
        const std::vector<uint8_t> part(whole.begin(), whole.begin() + cut);
        ASSERT_EQ(ParseRecording(part, r, detail), RecordingStatus::CutShort) << cut;
        EXPECT_FALSE(r.complete);
        std::vector<uint8_t> again = Encode({}, true, false);
        for (const SessionEvent& e : r.events) AppendSessionEvent(again, e);
        EXPECT_EQ(r.program, "quarnel 9.8.7");
        EXPECT_LE(again.size(), cut);
        EXPECT_GT(again.size() + 33, cut) << "no more than one record lost";
        EXPECT_TRUE(std::equal(again.begin(), again.end(), whole.begin()));
    }
    EXPECT_EQ(ParseRecording(noEnd, r, detail), RecordingStatus::CutShort);
    EXPECT_EQ(r.frames, 1u);
    EXPECT_NE(detail.find("cut short after 1 frames"), std::string::npos) << detail;

    for (size_t cut : {12, 20, 28}) {  // in the fixed part, in the program's name, in the system's
        const std::vector<uint8_t> header(whole.begin(), whole.begin() + cut);
        EXPECT_EQ(ParseRecording(header, r, detail), RecordingStatus::CutShort) << cut;
        EXPECT_EQ(r.frames, 0u);
    }
}

SessionEvent FrameAt(double reading)
{
    SessionEvent e;
    e.kind = SessionEventKind::Frame;
    e.values[0] = 400.0;
    e.values[1] = 300.0;
    e.values[2] = e.values[3] = reading;
    return e;
}

// What no real session holds is refused before anything plays, naming the frame or the size; idle
// records, however many, take no memory of their own.
TEST(RecordingFormat, WhatNoSessionHoldsIsRefusedBeforeItPlays)
{
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("quarnel-crafted-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    const std::vector<uint8_t> header = Encode({}, true, false);
    auto write = [&](const char* name, const std::vector<uint8_t>& bytes) {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return (dir / name).string();
    };
    std::vector<uint8_t> manyIdle = header;
    manyIdle.resize(header.size() + kMostRecordingRecords + 1, 'I');

    struct Case {
        std::string path;
        const char* message;
    } cases[] = {
        {write("back.qrec", Encode({FrameAt(1.0), FrameAt(0.5)}, true, true)), "clock goes back at frame 2"},
        {write("day.qrec", Encode({FrameAt(1.0), FrameAt(1e8)}, true, true)),
         "a step of 99999999 s at frame 2, longer than a day"},
        {write("records.qrec", manyIdle), "more than 1000000 records"},
        {(dir / "huge.qrec").string(), "larger than 64 MB"},
        {dir.string(), "not a regular file"},
#ifndef _WIN32
        {(dir / "fifo.qrec").string(), "not a regular file"},
        {(dir / "zero.qrec").string(), "not a regular file"},
#endif
    };
    fs::resize_file(write("huge.qrec", header), kLargestRecordingBytes + 1);  // sparse: no disk used
#ifndef _WIN32
    ASSERT_EQ(mkfifo((dir / "fifo.qrec").c_str(), 0600), 0);  // never opened by a writer: must not wait
    fs::create_symlink("/dev/zero", dir / "zero.qrec");
#endif
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(StartSession(SessionMode::Replay, c.path, false, error)) << c.path;
        EXPECT_NE(error.find(" " + c.path + ": "), std::string::npos) << error;  // cannot read, or replay
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }

    // A million idle records are one event; a step of a day and no more is a real pause.
    manyIdle.pop_back();
    Recording r;
    std::string detail;
    EXPECT_EQ(ParseRecording(manyIdle, r, detail), RecordingStatus::CutShort) << detail;
    ASSERT_EQ(r.events.size(), 1u);
    EXPECT_EQ(r.events[0].frames, kMostRecordingRecords);
    EXPECT_EQ(
        ParseRecording(Encode({FrameAt(1.0), FrameAt(1.0 + kLongestRecordedStep)}, true, true), r, detail),
        RecordingStatus::Ok)
        << detail;
    fs::remove_all(dir);
}

std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool HasMessage(const Recording& r, uint32_t message)
{
    return std::any_of(r.events.begin(), r.events.end(), [message](const SessionEvent& e) {
        return e.kind == SessionEventKind::Message && e.message.message == message;
    });
}

// Sessions recorded by the show itself (fuzz/recording/record_sessions.py): each reads whole, writes back
// to the same bytes, and holds how it ended.
TEST(RecordingFormat, SessionsRecordedByTheShowReadWhole)
{
    const char* source = std::getenv("QUARNEL_SOURCE_DIR");
    if (!source) source = QUARNEL_TEST_SOURCE_DIR;
    const std::string dir = std::string(source) + "/tests/shell/data/recordings/";
    struct Expected {
        const char* name;
        bool musicOn;
        uint32_t ending;  // a message the ending leaves in the recording
    } sessions[] = {{"show-escape.qrec", true, WM_KEYDOWN},
                    {"show-close-box.qrec", false, WM_CLOSE},
                    {"show-frame-limit.qrec", true, WM_QUIT}};
    for (const Expected& expected : sessions) {
        SCOPED_TRACE(expected.name);
        const std::vector<uint8_t> bytes = ReadFile(dir + expected.name);
        ASSERT_GT(bytes.size(), 16u);
        Recording r;
        std::string detail;
        ASSERT_EQ(ParseRecording(bytes, r, detail), RecordingStatus::Ok) << detail;
        EXPECT_EQ(r.musicOn, expected.musicOn);
        EXPECT_GT(r.frames, 0u);
        EXPECT_GT(r.seconds, 0.0);
        EXPECT_EQ(r.events.front().kind, SessionEventKind::Clock) << "the reading at the end of start-up";
        EXPECT_TRUE(HasMessage(r, expected.ending));
        EXPECT_EQ(r.version, 1u) << "recorded before version 2";
        std::vector<uint8_t> again;
        AppendRecordingHeader(again, r);
        for (const SessionEvent& e : r.events) AppendSessionEvent(again, e);
        EXPECT_EQ(again, bytes);
    }
}

// The committed Linux round as a whole replay gives it: 103 frames, 27 checksums in 27 s of game.
ReplayFigures WholeRound()
{
    ReplayFigures f;
    f.framesRecorded = f.framesReplayed = 103;
    f.checksDue = f.checksDueCarried = f.checksCompared = f.checksAgreeing = 27;
    f.gameSeconds = 27.4;
    f.rounds = 2;
    f.bestScore = 63.9;
    return f;
}

// Rounds crafted as a hostile or unlucky user would, each with what its replay gives the verdict: only a
// round replayed to its end record with every due checksum carried and agreeing says "agree".
TEST(ReplayVerdict, OnlyAWholeCheckedRoundAgrees)
{
    struct Case {
        const char* change;  // what was done to the round's bytes (or to its run)
        void (*apply)(ReplayFigures&);
        int status;
        std::vector<const char*> words;
    } cases[] = {
        {"none",
         [](ReplayFigures&) {},
         0,
         {"103 frames, 2 rounds, best score 63, high score 0", "all 27 agree"}},
        {"keys changed, checksum records deleted",
         [](ReplayFigures& f) {
             f.checksDueCarried = f.checksCompared = f.checksAgreeing = 0;
             f.bestScore = 76;
         },
         1,
         {"best score 76", "not verified: no checksum in 27 seconds of game"}},
        {"a close message inserted at record 40",
         [](ReplayFigures& f) {
             f.framesReplayed = 8;
             f.checksDue = f.checksDueCarried = f.checksCompared = f.checksAgreeing = 2;
         },
         1,
         {"8 frames", "replayed 8 of 103 frames: the round has a close at frame 8",
          "2 checksums agree so far"}},
        {"Ctrl-C 4 s into verifying",
         [](ReplayFigures& f) {
             f.framesReplayed = 35;
             f.checksDue = f.checksDueCarried = f.checksCompared = f.checksAgreeing = 9;
             f.stop = ReplayStop::Signal;
         },
         1,
         {"stopped by a signal after 35 of 103 frames"}},
        {"a texture file of 0 bytes",
         [](ReplayFigures& f) {
             f = ReplayFigures{};
             f.framesRecorded = 103;
             f.stop = ReplayStop::NotStarted;
             f.why = "[Jpg !] textures/2-1.jpg";
         },
         1,
         {"0 frames", "the show could not start: [Jpg !] textures/2-1.jpg"}},
        {"a round shorter than a second",
         [](ReplayFigures& f) {
             f.checksDue = f.checksDueCarried = f.checksCompared = f.checksAgreeing = 0;
             f.gameSeconds = 0.9;
         },
         0,
         {"checksums: none in a round shorter than a second"}},
        {"a reading's bit changed at frame 40",
         [](ReplayFigures& f) {
             f.checksAgreeing = 10;
             f.firstDisagreement = 40;
         },
         1,
         {"checksums: 10 of 27 agree, the first to disagree is at frame 40"}},
        {"the end record cut off",
         [](ReplayFigures& f) {
             f.endRecord = false;
             f.framesRecorded = f.framesReplayed = 90;
         },
         1,
         {"not verified: the recording is cut short after 90 frames"}},
        {"written as version 1",
         [](ReplayFigures& f) {
             f.version = 1;
             f.checksDueCarried = f.checksCompared = f.checksAgreeing = 0;
         },
         1,
         {"a version 1 recording carries no checksums (27 seconds of game)"}},
        {"every third checksum record deleted",
         [](ReplayFigures& f) { f.checksDueCarried = f.checksCompared = f.checksAgreeing = 18; },
         1,
         {"only 18 of the 27 checksums that 27 seconds of game need"}},
        {"a checksum moved to a frame where none is due",
         [](ReplayFigures& f) { f.checksDueCarried = 26; },
         1,
         {"only 26 of the 27"}},
        {"a frame record deleted, the end record kept",
         [](ReplayFigures& f) {
             f.framesReplayed = 51;
             f.stop = ReplayStop::LeftRecording;
             f.why = "the show draws a frame the recording does not have\nat frame 52";
         },
         1,
         {"replayed 51 of 103 frames: the show draws a frame the recording does not have at frame 52"}},
        {"the viewer's Escape",
         [](ReplayFigures& f) { f.framesReplayed = 60, f.stop = ReplayStop::ViewerClosed; },
         1,
         {"closed by the viewer after 60 of 103 frames"}},
        {"--frames 50",
         [](ReplayFigures& f) { f.framesReplayed = 50, f.stop = ReplayStop::Limit; },
         1,
         {"replayed 50 of 103 frames: --frames or --seconds ended it"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.change);
        ReplayFigures f = WholeRound();
        c.apply(f);
        const ReplayVerdict v = JudgeReplay("linux.qrec", f);
        EXPECT_EQ(v.status, c.status) << v.line;
        EXPECT_EQ(v.agree, c.status == 0);
        EXPECT_EQ(v.line.rfind("linux.qrec: ", 0), 0u) << v.line;
        EXPECT_EQ(v.line.find('\n'), std::string::npos) << v.line;
        EXPECT_EQ(v.line.find("agree") != std::string::npos &&
                      v.line.find("not verified") == std::string::npos &&
                      v.line.find("disagree") == std::string::npos,
                  c.status == 0 && f.checksDue > 0)
            << v.line;
        for (const char* word : c.words)
            EXPECT_NE(v.line.find(word), std::string::npos) << word << " in " << v.line;
    }
    EXPECT_EQ(JudgeReplay("linux.qrec", WholeRound()).line,
              "linux.qrec: 103 frames, 2 rounds, best score 63, high score 0, checksums: all 27 agree");
}

// The verdict counts the checksums due as the writer puts them: once demo time reaches the next whole
// second past the last checksum, however long or short the steps.
TEST(ReplayVerdict, ChecksumsAreDueWhereTheWriterPutsThem)
{
    std::mt19937 random(35);
    std::uniform_real_distribution<double> shortStep(0.0, 0.05), longStep(0.0, 5000.0);
    for (int run = 0; run < 20; ++run) {
        double demoTime = 0.0, before = 0.0, nextCheck = 1.0;
        for (int frame = 0; frame < 2000; ++frame) {
            demoTime += frame % 97 == 5 ? longStep(random) : frame % 13 == 0 ? 1.0 : shortStep(random);
            bool written = false;
            if (demoTime >= nextCheck) {  // the writer's own rule
                while (nextCheck <= demoTime) nextCheck += 1.0;
                written = true;
            }
            ASSERT_EQ(ChecksumDue(before, demoTime), written) << before << " to " << demoTime;
            before = demoTime;
        }
    }
}

ParseResult Parse(std::vector<const char*> args, CommandLine& out, std::string& error)
{
    args.insert(args.begin(), "quarnel");
    out = CommandLine{};
    error.clear();
    return ParseCommandLine(static_cast<int>(args.size()), args.data(), out, error);
}

TEST(CaptureOptions, AVideoRunsUntouchedAtAFixedStepForOneRound)
{
    CommandLine c;
    std::string error;
    ASSERT_EQ(Parse({"--video", "out.mp4"}, c, error), ParseResult::Ok) << error;
    EXPECT_TRUE(c.run);
    EXPECT_TRUE(c.windowed);
    EXPECT_DOUBLE_EQ(c.fixedStep, 1.0 / 60.0);
    EXPECT_EQ(c.capture.videoFrames, 3600);

    ASSERT_EQ(
        Parse({"--video", "out.webm", "--fps", "25", "--seconds", "2.5", "--video-quality", "30"}, c, error),
        ParseResult::Ok)
        << error;
    EXPECT_DOUBLE_EQ(c.fixedStep, 0.04);
    EXPECT_EQ(c.capture.videoFrames, 63);  // 62.5 frames, rounded
    EXPECT_EQ(c.capture.videoQuality, 30);

    ASSERT_EQ(Parse({"--video", "out.mkv", "--fixed-step", "0.1", "--frames", "7"}, c, error),
              ParseResult::Ok);
    EXPECT_EQ(c.capture.videoFrames, 7);

    // A replay takes its steps from the recording and plays it whole.
    ASSERT_EQ(Parse({"--replay", "r.qrec", "--video", "out.mp4"}, c, error), ParseResult::Ok) << error;
    EXPECT_EQ(c.fixedStep, 0.0);
    EXPECT_EQ(c.capture.videoFrames, 0);
    EXPECT_TRUE(c.run);

    ASSERT_EQ(Parse({"--record", "r.qrec"}, c, error), ParseResult::Ok);
    EXPECT_FALSE(c.run) << "live play keeps its dialog";
    EXPECT_FALSE(c.batch) << "and its boxes";

    // Nobody waits at a box for a film or a check.
    ASSERT_EQ(Parse({"--video", "out.mp4"}, c, error), ParseResult::Ok);
    EXPECT_TRUE(c.batch);
    ASSERT_EQ(Parse({"--replay", "r.qrec", "--verify"}, c, error), ParseResult::Ok);
    EXPECT_TRUE(c.batch);
    ASSERT_EQ(Parse({"--replay", "r.qrec"}, c, error), ParseResult::Ok);
    EXPECT_FALSE(c.batch) << "a replay to watch keeps its boxes";
    ASSERT_EQ(Parse({"--video", "out.mp4", "--fixed-step", "0.001"}, c, error), ParseResult::Ok) << error;
}

TEST(CaptureOptions, OptionsThatCannotGoTogether)
{
    CommandLine c;
    std::string error;
    const std::vector<std::vector<const char*>> bad = {
        {"--replay", "r.qrec", "--fixed-step", "0.02"},
        {"--replay", "r.qrec", "--fps", "30"},
        {"--record", "r.qrec", "--replay", "s.qrec"},
        {"--record", "r.qrec", "--video", "out.mp4"},
        {"--video", "out.mp4", "--fps", "30", "--fixed-step", "0.02"},
        {"--video", "out.mp4", "--seconds", "3", "--frames", "10"},
        {"--seconds", "3"},
        {"--video-quality", "20"},
        {"--video", "out.mp4", "--video-quality", "52"},  // H.264 stops at 51
        {"--video", "out.mp4", "--video-quality", "2.5"},
        {"--video", "out.mp4", "--seconds", "0"},
        {"--video", "out.mp4", "--fps", "-1"},
        {"--video", ""},
        {"--video"},
        {"--verify"},
        {"--replay", "r.qrec", "--verify", "--video", "out.mp4"},
        {"--fixed-step", "1e-300"},  // more than a thousand frames a second: a film that never ends
        {"--video", "out.mp4", "--fixed-step", "0.0009"},
        {"--fixed-step", "10.5"},
    };
    for (const auto& args : bad) {
        EXPECT_EQ(Parse(args, c, error), ParseResult::Error)
            << args[0] << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(Parse({"--video", "out.webm", "--video-quality", "60"}, c, error), ParseResult::Ok) << error;
}

// --help names a video format only where this build writes it (the Windows build has no VP9 or Opus), and
// every format it names opens for writing.
TEST(CaptureOptions, TheUsageOffersTheVideoFormatsThisBuildWrites)
{
    const std::string usage = UsageText();
    const std::vector<VideoFormat> formats = WritableVideoFormats();
    ASSERT_FALSE(formats.empty());
    auto writes = [&](const std::string& word) {
        return std::any_of(formats.begin(), formats.end(),
                           [&](const VideoFormat& f) { return word == f.extension || word == f.videoCodec; });
    };
    for (const char* word : {".mp4", ".mkv", ".webm", "H.264", "VP9"})
        EXPECT_EQ(usage.find(word) != std::string::npos, writes(word)) << word << " in\n" << usage;

    const std::filesystem::path folder = std::filesystem::temp_directory_path();
    for (const VideoFormat& f : formats) {
        VideoEncoderSettings settings;
        settings.path = (folder / ("quarnel-format-probe" + std::string(f.extension))).string();
        settings.writePath = settings.path;
        std::string error;
        VideoEncoder* encoder = OpenVideoEncoder(settings, error);
        EXPECT_NE(encoder, nullptr) << f.extension << ": " << error;
        if (encoder) AbandonVideoEncoder(encoder);
        std::filesystem::remove(settings.path);
    }
}

}  // namespace
