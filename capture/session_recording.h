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
constexpr uint32_t kRecordingVersion = 1;

enum class SessionEventKind : uint8_t {
    Message = 'M',  // a window message the loop took and dispatched (or WM_QUIT, which ended it)
    Frame = 'F',    // an idle pass that drew a frame: cursor x, y and the two clock readings
    Idle = 'I',     // an idle pass that drew nothing (the window minimised), after messages
    Clock = 'C',    // a clock reading outside a frame (the one at the end of start-up)
    End = 'E',      // the end of the session: the number of frames drawn; nothing follows
};

struct SessionEvent {
    SessionEventKind kind = SessionEventKind::End;
    WindowMessage message;  // Message
    double values[4] = {};  // Frame: cursor x, cursor y, reading 1, reading 2; Clock: the reading
    uint64_t frames = 0;    // End
};

struct Recording {
    bool musicOn = true;  // the "Music" setting the session was played with
    std::vector<SessionEvent> events;
    bool complete = false;  // ends with its End event; a recording that was cut off has none
    uint64_t frames = 0;    // Frame events
    double seconds = 0.0;   // clock at the last frame
};

enum class RecordingStatus { Ok, CutShort, NotARecording, OtherVersion, Damaged };

void AppendRecordingHeader(std::vector<uint8_t>& bytes, bool musicOn);
void AppendSessionEvent(std::vector<uint8_t>& bytes, const SessionEvent& event);

// Reads a whole recording. CutShort keeps every whole event before the cut (a frame's event is written
// once the frame is done, so every frame kept is whole); NotARecording, OtherVersion and Damaged leave
// `out` empty. `detail` says what was found wrong, in words for a message.
RecordingStatus ParseRecording(const std::vector<uint8_t>& bytes, Recording& out, std::string& detail);

// The session of this run, chosen from the command line; false with the message in `error` when a
// recording cannot be read or written.
enum class SessionMode { Live, Record, Replay, Untouched };
bool StartSession(SessionMode mode, const std::string& path, bool paceToClock, std::string& error);
const Recording& ReplayedRecording();  // the recording being replayed (empty otherwise)

// In place of the platform's message peek in the message loop: false for an idle pass.
bool NextLoopMessage(WindowMessage& message);

// In place of the cursor reading in the frame driver.
void ReadFrameCursor(double& x, double& y);

// The clock's hooks: a replay supplies every reading; a recording keeps every reading it is given.
bool ReplayClockReading(double& seconds);
void RecordClockReading(double seconds);

// Writes the rest of a recording and gives it its final name. False, with the message printed, when the
// recording could not be written or the replay did not fit the show.
bool FinishSession();
