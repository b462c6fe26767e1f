// Recorded play sessions and the input of the message loop. A recording holds what the message loop, the
// window procedure and the frame driver took from the outside world: the window messages dispatched, and
// for every drawn frame the cursor reading and the two clock readings (so the frame's delta). Replaying
// hands the same messages, cursor and readings back in the same order, so the show runs the same way
// every time. The same place gives a video of the show untouched its input: only the close box and Escape
// pass, the cursor rests in the middle. Main thread only; the file format is in the README.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/window.h"

// The file format, in memory.
constexpr char kRecordingMagic[8] = {'Q', 'U', 'A', 'R', 'N', 'R', 'E', 'C'};
constexpr uint32_t kRecordingVersion = 2;  // the version written; 1 is still read

enum class SessionEventKind : uint8_t {
    Message = 'M',  // a window message the loop took and dispatched (or WM_QUIT, which ended it)
    Frame = 'F',    // an idle pass that drew a frame: cursor x, y and the two clock readings
    Idle = 'I',     // idle passes that drew nothing (the window minimised), after messages; one record each
    Clock = 'C',    // a clock reading outside a frame (the one at the end of start-up)
    End = 'E',      // the end of the session: the number of frames drawn; nothing follows
    Check = 'S',    // version 2: the game state's checksum after a frame, and that frame's number
};

struct SessionEvent {
    SessionEventKind kind = SessionEventKind::End;
    WindowMessage message;  // Message
    double values[4] = {};  // Frame: cursor x, cursor y, reading 1, reading 2; Clock: the reading
    uint64_t frames = 0;    // End: the frames drawn; Idle: the passes in a row (0 counts as 1); Check: the
                            // frame, counted from 1
    uint64_t checksum = 0;  // Check
};

// What no real session holds, refused before anything plays.
constexpr size_t kLargestRecordingBytes = 64u << 20;
constexpr uint64_t kMostRecordingRecords = 1000000;
constexpr double kLongestRecordedStep = 86400.0;  // seconds between two clock readings: a day

struct Recording {
    uint32_t version = kRecordingVersion;
    bool musicOn = true;               // the "Music" setting the session was played with
    bool windowed = false;             // version 2: played in a window (version 1 does not say)
    std::string program;               // version 2: the program that recorded it ("quarnel 1.0.0")
    std::string target;                // version 2: the system it ran on ("Linux", "Windows", "a web page")
    std::vector<SessionEvent> events;  // idle records in a row are one Idle event with their count
    bool complete = false;             // ends with its End event; a recording that was cut off has none
    uint64_t frames = 0;               // Frame events
    double seconds = 0.0;              // clock at the last frame
    uint64_t checks = 0;               // Check events
};

enum class RecordingStatus { Ok, CutShort, NotARecording, OtherVersion, Damaged };

// The header of `about`'s version (1 or 2) with its settings and, in version 2, its program and target
// (each at most 255 bytes of printable ASCII).
void AppendRecordingHeader(std::vector<uint8_t>& bytes, const Recording& about);
void AppendSessionEvent(std::vector<uint8_t>& bytes, const SessionEvent& event);

// Reads a whole recording. CutShort keeps every whole event before the cut (a frame's event is written
// once the frame is done, so every frame kept is whole); NotARecording, OtherVersion and Damaged leave
// `out` empty. Damaged also stands for what no real session holds: more than kMostRecordingRecords
// records, a clock reading below the one before, or a step of more than kLongestRecordedStep. `detail`
// says what was found wrong, in words for a message, naming the byte or the frame.
RecordingStatus ParseRecording(const std::vector<uint8_t>& bytes, Recording& out, std::string& detail);

// The session of this run, chosen from the command line; false with the message in `error` when a
// recording cannot be read or written.
enum class SessionMode { Live, Record, Replay, Untouched };
// A replay with `verify` runs as fast as it can and, at its end, prints its figures on standard output and
// fails when a checksum disagreed.
bool StartSession(SessionMode mode, const std::string& path, bool paceToClock, std::string& error,
                  bool verify = false);
SessionMode CurrentSessionMode();
const Recording& ReplayedRecording();  // the recording being replayed (empty otherwise)

// The name of the system this build runs on, as a recording's header gives it.
const char* RecordingTarget();

// After every frame drawn: the game's state. A recording keeps its checksum once a second of demo time;
// a replay compares it with the one recorded for the frame, says once on standard error when the two
// first disagree, and draws on.
struct GameFrameState {
    uint64_t checksum = 0;
    double demoTime = 0.0;
    double sceneTime = 0.0;  // restarts with every round
    double score = 0.0, highScore = 0.0;
};
void NoteFrameState(const GameFrameState& state);

// In place of the platform's message peek in the message loop: false for an idle pass.
bool NextLoopMessage(WindowMessage& message);

// A page's pass may not wait: a replay kept in step with the recorded time holds its next frame back
// instead, false until that frame's recorded time has come (the pass then does nothing; the viewer's
// Escape or close still ends the replay). True whenever the loop may go on, and always outside a page,
// where the clock's reading waits.
bool ReplayFrameDue();

// In place of the cursor reading in the frame driver.
void ReadFrameCursor(double& x, double& y);

// The clock's hooks: a replay supplies every reading; a recording keeps every reading it is given.
bool ReplayClockReading(double& seconds);
void RecordClockReading(double seconds);

// Before the show posts its own quit for --frames or --seconds: a verified replay then names that as why it
// stopped early.
void NoteReplayLimit();

// Writes the rest of a recording and gives it its final name. False, with the message printed, when the
// recording could not be written or the replay did not fit the show.
bool FinishSession();
