// Recorded play sessions and the message loop's input (see session_recording.h). A recording is written
// pass by pass, so a session that is killed leaves a file that replays up to the last whole pass.
#include "capture/session_recording.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>

#include "capture/replay_verdict.h"
#include "platform/abrupt_end.h"
#include "platform/input_file.h"
#include "platform/message_box.h"
#include "platform/output_file.h"
#include "platform/process.h"
#include "platform/system.h"
#include "runtime/global_state.h"

namespace {

#ifndef QUARNEL_VERSION
#define QUARNEL_VERSION "(unknown version)"
#endif

constexpr size_t kHeaderSize = 16;  // magic, version, flags; version 2 adds two names after it
constexpr uint32_t kFlagMusicOn = 1;
constexpr uint32_t kFlagWindowed = 2;   // version 2
constexpr double kCheckInterval = 1.0;  // seconds of demo time between two checksums
constexpr double kRestingCursorX = 400.0, kRestingCursorY = 300.0;  // the camera's rest position
constexpr double kLargestReading = 1e9;                             // seconds; about 30 years
constexpr double kLargestCursor = 1e6;                              // screen pixels

// ----------------------------------------------------------------------------------------------------------
// Little-endian fields

void PutU32(std::vector<uint8_t>& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutU64(std::vector<uint8_t>& b, uint64_t v)
{
    for (int i = 0; i < 8; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutF64(std::vector<uint8_t>& b, double v)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    PutU64(b, bits);
}

uint64_t GetU64(const uint8_t* p)
{
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

uint32_t GetU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

double GetF64(const uint8_t* p)
{
    const uint64_t bits = GetU64(p);
    double v = 0.0;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// Bytes after the kind byte.
size_t PayloadSize(SessionEventKind kind)
{
    switch (kind) {
        case SessionEventKind::Message:
            return 4 + 8 + 8;
        case SessionEventKind::Frame:
            return 4 * 8;
        case SessionEventKind::Idle:
            return 0;
        case SessionEventKind::Clock:
            return 8;
        case SessionEventKind::End:
            return 8;
        case SessionEventKind::Check:
            return 16;
    }
    return 0;
}

bool KnownKind(uint8_t k, uint32_t version)
{
    return k == 'M' || k == 'F' || k == 'I' || k == 'C' || k == 'E' || (version >= 2 && k == 'S');
}

bool PrintableName(const uint8_t* p, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (p[i] < 0x20 || p[i] > 0x7e) return false;
    return true;
}

bool Reasonable(double v, double largest)
{
    return std::isfinite(v) && std::fabs(v) <= largest;
}

// ----------------------------------------------------------------------------------------------------------
// The session of this run

SessionMode mode = SessionMode::Live;
std::string sessionPath;
bool failed = false;
bool signalClosed = false;  // an end signal was handed to the show as a close

// Recording
bool recordActive = false;  // recording this run, the file made or not yet
OutputFile outFile;
FILE* out = nullptr;
bool headerWritten = false;
std::vector<uint8_t> pending;  // events not yet written
bool framePending = false;     // an idle pass is drawing a frame; its event is written at the next pass
SessionEvent frameEvent;
int frameReadings = 0;
std::vector<double> extraReadings;  // readings of a frame beyond its two (none in this show)
int messagesSincePass = 0;
uint64_t framesRecorded = 0;
double lastReading = 0.0;
bool checkPending = false;  // the frame being drawn ends a second of demo time: its checksum follows it
SessionEvent checkEvent;
double nextCheckTime = kCheckInterval;

// Replay
Recording replay;
size_t nextEvent = 0;
bool haveFrame = false;
bool frameCursorRead = false;
int frameReadingsUsed = 0;
uint64_t framesReplayed = 0;
uint64_t idlePassesUsed = 0;  // of the Idle event at nextEvent
bool viewerClosed = false;
bool quitPosted = false;
bool pace = false;
bool verifying = false;
uint64_t framesDrawn = 0;  // of the replay, the last one included
uint64_t checksCompared = 0, checksAgreeing = 0;
uint64_t firstDisagreement = 0;  // frame; 0: none
uint64_t checksDue = 0, checksDueCarried = 0;
double lastDemoTime = 0.0;
bool replayHadEnd = false;  // the file ends with its end record (a cut one plays up to its cut)
ReplayStop replayStop = ReplayStop::Finished;
std::string replayStopWhy;
bool limitReached = false;  // --frames or --seconds posted the quit
uint64_t roundsSeen = 0;
double lastSceneTime = 0.0;
double bestScore = 0.0, highScore = 0.0;
bool paceStarted = false;
std::chrono::steady_clock::time_point paceStart;

[[noreturn]] void ReplayMismatch(const char* what)
{
    std::fprintf(stderr, "quarnel: %s does not fit this show: %s at frame %llu\n", sessionPath.c_str(), what,
                 static_cast<unsigned long long>(framesReplayed + 1));
    replayStop = ReplayStop::LeftRecording;
    replayStopWhy = std::string(what) + " at frame " + std::to_string(framesReplayed + 1);
    failed = true;
    EndProcess(1);
}

[[noreturn]] void RecordingFailed(const std::string& cause)
{
    std::fprintf(stderr, "quarnel: cannot write %s: %s\n", sessionPath.c_str(), cause.c_str());
    failed = true;
    recordActive = false;
    out = nullptr;
    DiscardOutputFile(outFile);
    EndProcess(1);
}

// Writes what has collected, the header first; every pass reaches the disk, so a cut session keeps it. The
// file is made with the first write, once the round starts: a session that never gets past the dialog
// leaves none.
void WritePending()
{
    if (!recordActive) return;
    if (!out) {
        std::string cause;
        if (!OpenOutputFile(sessionPath, outFile, cause)) RecordingFailed(cause);
        out = outFile.stream;
    }
    if (!headerWritten) {
        Recording about;
        about.musicOn = gState.musicOn;
        about.windowed = !gState.fullScreen;
        about.program = "quarnel " QUARNEL_VERSION;
        about.target = RecordingTarget();
        std::vector<uint8_t> header;
        AppendRecordingHeader(header, about);
        pending.insert(pending.begin(), header.begin(), header.end());
        headerWritten = true;
    }
    if (pending.empty()) return;
    errno = 0;
    if (std::fwrite(pending.data(), 1, pending.size(), out) != pending.size() || std::fflush(out) != 0)
        RecordingFailed(std::strerror(errno ? errno : EIO));
    pending.clear();
}

void EndPendingFrame()
{
    if (!framePending) return;
    framePending = false;
    AppendSessionEvent(pending, frameEvent);
    for (double reading : extraReadings) {
        SessionEvent clock;
        clock.kind = SessionEventKind::Clock;
        clock.values[0] = reading;
        AppendSessionEvent(pending, clock);
    }
    extraReadings.clear();
    ++framesRecorded;
    if (checkPending) {
        checkEvent.frames = framesRecorded;
        AppendSessionEvent(pending, checkEvent);
        checkPending = false;
    }
}

// The viewer's own input during a replay: only closing the window (the close box, Escape) and an end
// signal count. A quit the show posted itself (a replayed close box, a frame limit) comes through the
// window's queue as always.
void PumpRealInput()
{
    WindowMessage real;
    while (PeekWindowMessage(real)) {
        if (real.message == WM_CLOSE) viewerClosed = true;
        if (real.message == WM_KEYDOWN && real.wParam == VK_ESCAPE) viewerClosed = true;
        if (real.message == WM_QUIT) quitPosted = true;
    }
    if (EndSignal() != 0 && !viewerClosed) {
        viewerClosed = true;
        replayStop = ReplayStop::Signal;
    } else if (viewerClosed && replayStop == ReplayStop::Finished) {
        replayStop = ReplayStop::ViewerClosed;
    }
}

std::chrono::steady_clock::duration RecordedDuration(double seconds)
{
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(seconds));
}

// Waits for the recorded time in short slices, reading the viewer's input between them, so that a long
// recorded pause can be closed like any other moment.
void WaitForRecordedTime(std::chrono::steady_clock::time_point when)
{
    constexpr auto kSlice = std::chrono::milliseconds(20);
    while (!viewerClosed && !quitPosted) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= when) return;
        std::this_thread::sleep_for(when - now < kSlice ? when - now : kSlice);
        PumpRealInput();
    }
}

bool ReplayNextMessage(WindowMessage& message)
{
    if (haveFrame && !frameCursorRead) ReplayMismatch("a recorded frame was not drawn");
    if (haveFrame) ++framesReplayed;
    haveFrame = false;
    PumpRealInput();
    const WindowMessage quit{WM_QUIT, 0, 0};
    if (viewerClosed) {
        message = quit;
        return true;
    }
    if (nextEvent >= replay.events.size()) {  // a recording cut short ends where it was cut
        message = quit;
        return true;
    }
    // A checksum belongs to the frame before it, compared once that frame was drawn.
    while (nextEvent < replay.events.size() && replay.events[nextEvent].kind == SessionEventKind::Check)
        ++nextEvent;
    if (nextEvent >= replay.events.size()) {
        message = quit;
        return true;
    }
    const SessionEvent& e = replay.events[nextEvent];
    // A posted quit follows the messages already waiting, as the window's queue delivers it.
    if (quitPosted && e.kind != SessionEventKind::Message) {
        if (limitReached && replayStop == ReplayStop::Finished) replayStop = ReplayStop::Limit;
        message = quit;
        return true;
    }
    switch (e.kind) {
        case SessionEventKind::Message:
            ++nextEvent;
            message = e.message;
            if (message.message == WM_QUIT) message = quit;
            return true;
        case SessionEventKind::Frame:
            ++nextEvent;
            haveFrame = true;
            frameCursorRead = false;
            frameReadingsUsed = 0;
            return false;
        case SessionEventKind::Idle:
            if (++idlePassesUsed >= e.frames) {
                ++nextEvent;
                idlePassesUsed = 0;
            }
            return false;
        case SessionEventKind::Clock:
            ReplayMismatch("a clock reading comes where the show takes a message");
        case SessionEventKind::End:
        case SessionEventKind::Check:
            message = quit;
            return true;
    }
    return false;
}

// A video of the show untouched: no player, so only the ways to end it pass.
bool UntouchedNextMessage(WindowMessage& message)
{
    while (PeekWindowMessage(message)) {
        const bool escape =
            (message.message == WM_KEYDOWN || message.message == WM_KEYUP) && message.wParam == VK_ESCAPE;
        if (message.message == WM_QUIT || message.message == WM_CLOSE || escape) return true;
    }
    return false;
}

bool RecordNextMessage(WindowMessage& message)
{
    EndPendingFrame();
    if (PeekWindowMessage(message)) {
        SessionEvent e;
        e.kind = SessionEventKind::Message;
        e.message = message;
        AppendSessionEvent(pending, e);
        ++messagesSincePass;
        if (message.message == WM_QUIT) WritePending();
        return true;
    }
    // An idle pass: it draws while the window is active (the loop's own test); a pass that draws nothing
    // matters only after messages, since an empty one changes nothing.
    if (gState.active) {
        framePending = true;
        frameEvent = SessionEvent{};
        frameEvent.kind = SessionEventKind::Frame;
        frameReadings = 0;
    } else if (messagesSincePass > 0) {
        SessionEvent e;
        e.kind = SessionEventKind::Idle;
        AppendSessionEvent(pending, e);
    }
    messagesSincePass = 0;
    WritePending();
    return false;
}

}  // namespace

// ------------------------------------------------------------------------------------------------------------
// The file format

void AppendRecordingHeader(std::vector<uint8_t>& bytes, const Recording& about)
{
    bytes.insert(bytes.end(), kRecordingMagic, kRecordingMagic + sizeof kRecordingMagic);
    PutU32(bytes, about.version);
    uint32_t flags = about.musicOn ? kFlagMusicOn : 0;
    if (about.version >= 2 && about.windowed) flags |= kFlagWindowed;
    PutU32(bytes, flags);
    if (about.version < 2) return;
    for (const std::string* name : {&about.program, &about.target}) {
        const size_t n = name->size() < 255 ? name->size() : 255;
        bytes.push_back(static_cast<uint8_t>(n));
        bytes.insert(bytes.end(), name->begin(), name->begin() + static_cast<std::ptrdiff_t>(n));
    }
}

void AppendSessionEvent(std::vector<uint8_t>& bytes, const SessionEvent& e)
{
    bytes.push_back(static_cast<uint8_t>(e.kind));
    switch (e.kind) {
        case SessionEventKind::Message:
            PutU32(bytes, e.message.message);
            PutU64(bytes, e.message.wParam);
            PutU64(bytes, static_cast<uint64_t>(e.message.lParam));
            break;
        case SessionEventKind::Frame:
            for (double v : e.values) PutF64(bytes, v);
            break;
        case SessionEventKind::Idle:
            for (uint64_t i = 1; i < e.frames; ++i) bytes.push_back(static_cast<uint8_t>(e.kind));
            break;
        case SessionEventKind::Clock:
            PutF64(bytes, e.values[0]);
            break;
        case SessionEventKind::End:
            PutU64(bytes, e.frames);
            break;
        case SessionEventKind::Check:
            PutU64(bytes, e.frames);
            PutU64(bytes, e.checksum);
            break;
    }
}

RecordingStatus ParseRecording(const std::vector<uint8_t>& bytes, Recording& out, std::string& detail)
{
    out = Recording{};
    if (bytes.size() < sizeof kRecordingMagic ||
        std::memcmp(bytes.data(), kRecordingMagic, sizeof kRecordingMagic) != 0) {
        detail = "it is not a Quarnel recording";
        return RecordingStatus::NotARecording;
    }
    if (bytes.size() < kHeaderSize) {
        detail = "it is cut short inside its header";
        return RecordingStatus::CutShort;
    }
    const uint32_t version = GetU32(bytes.data() + 8);
    if (version != 1 && version != 2) {
        detail = "it is a recording of version " + std::to_string(version) +
                 ", and this build reads versions 1 and 2";
        return RecordingStatus::OtherVersion;
    }
    Recording r;
    r.version = version;
    const uint32_t flags = GetU32(bytes.data() + 12);
    r.musicOn = (flags & kFlagMusicOn) != 0;
    size_t at = kHeaderSize;
    if (version >= 2) {
        r.windowed = (flags & kFlagWindowed) != 0;
        for (std::string* name : {&r.program, &r.target}) {
            if (at >= bytes.size() || bytes.size() - at - 1 < bytes[at]) {
                detail = "it is cut short inside its header";
                return RecordingStatus::CutShort;
            }
            const size_t n = bytes[at];
            if (!PrintableName(bytes.data() + at + 1, n)) {
                detail = "it is damaged: its header names no program or system at byte " + std::to_string(at);
                return RecordingStatus::Damaged;
            }
            name->assign(reinterpret_cast<const char*>(bytes.data() + at + 1), n);
            at += 1 + n;
        }
    }
    auto damaged = [&](const std::string& what) {
        detail = what + " at byte " + std::to_string(at);
        return RecordingStatus::Damaged;
    };
    uint64_t records = 0;
    double lastReading = 0.0;  // the clock starts at 0 with the reset at the end of start-up
    // What the clock can do: a reading never goes back, and no step between two readings is longer than
    // kLongestRecordedStep. Named by the frame the reading belongs to, counted from 1.
    auto unreal = [&](double reading, std::string& why) {
        char text[160];
        const auto frame = static_cast<unsigned long long>(r.frames + 1);
        if (reading < lastReading) {
            std::snprintf(text, sizeof text, "no session can hold it: its clock goes back at frame %llu",
                          frame);
        } else if (reading - lastReading > kLongestRecordedStep) {
            std::snprintf(text, sizeof text,
                          "no session can hold it: a step of %.0f s at frame %llu, longer than a day",
                          reading - lastReading, frame);
        } else {
            lastReading = reading;
            return false;
        }
        why = text;
        return true;
    };
    std::string why;
    while (at < bytes.size()) {
        if (++records > kMostRecordingRecords) {
            detail = "no session can hold it: more than " + std::to_string(kMostRecordingRecords) +
                     " records (at byte " + std::to_string(at) + ")";
            return RecordingStatus::Damaged;
        }
        const uint8_t kind = bytes[at];
        if (!KnownKind(kind, version)) {
            char text[64];
            std::snprintf(text, sizeof text, "it is damaged: unknown record 0x%02x", kind);
            return damaged(text);
        }
        SessionEvent e;
        e.kind = static_cast<SessionEventKind>(kind);
        const size_t size = PayloadSize(e.kind);
        if (bytes.size() - at - 1 < size) break;  // cut inside this record
        const uint8_t* p = bytes.data() + at + 1;
        switch (e.kind) {
            case SessionEventKind::Message:
                e.message.message = GetU32(p);
                e.message.wParam = GetU64(p + 4);
                e.message.lParam = static_cast<int64_t>(GetU64(p + 12));
                break;
            case SessionEventKind::Frame:
                for (int i = 0; i < 4; ++i) e.values[i] = GetF64(p + 8 * i);
                if (!Reasonable(e.values[0], kLargestCursor) || !Reasonable(e.values[1], kLargestCursor))
                    return damaged("it is damaged: a cursor position out of range");
                if (!Reasonable(e.values[2], kLargestReading) || !Reasonable(e.values[3], kLargestReading))
                    return damaged("it is damaged: a clock reading out of range");
                if (unreal(e.values[2], why) || unreal(e.values[3], why)) {
                    detail = why;
                    return RecordingStatus::Damaged;
                }
                ++r.frames;
                r.seconds = e.values[3];
                break;
            case SessionEventKind::Clock:
                e.values[0] = GetF64(p);
                if (!Reasonable(e.values[0], kLargestReading))
                    return damaged("it is damaged: a clock reading out of range");
                if (unreal(e.values[0], why)) {
                    detail = why;
                    return RecordingStatus::Damaged;
                }
                break;
            case SessionEventKind::End:
                e.frames = GetU64(p);
                if (e.frames != r.frames) return damaged("it is damaged: the end record counts other frames");
                if (at + 1 + size != bytes.size()) {
                    at += 1 + size;
                    return damaged("it is damaged: data after the end record");
                }
                r.complete = true;
                break;
            case SessionEventKind::Check:
                e.frames = GetU64(p);
                e.checksum = GetU64(p + 8);
                // Right after the frame it sums up (and a frame's own clock readings).
                if (e.frames != r.frames || r.frames == 0 ||
                    (!r.events.empty() && r.events.back().kind == SessionEventKind::Check))
                    return damaged("it is damaged: a checksum of another frame");
                ++r.checks;
                break;
            case SessionEventKind::Idle:
                // Idle passes in a row are kept as one event that counts them.
                if (!r.events.empty() && r.events.back().kind == SessionEventKind::Idle) {
                    ++r.events.back().frames;
                    at += 1;
                    continue;
                }
                e.frames = 1;
                break;
        }
        r.events.push_back(e);
        at += 1 + size;
    }
    out = std::move(r);
    if (!out.complete) {
        detail = "it is cut short after " + std::to_string(out.frames) + " frames";
        return RecordingStatus::CutShort;
    }
    return RecordingStatus::Ok;
}

// ------------------------------------------------------------------------------------------------------------
// The session of this run

bool StartSession(SessionMode newMode, const std::string& path, bool paceToClock, std::string& error,
                  bool verify)
{
    mode = newMode;
    sessionPath = path;
    if (mode == SessionMode::Record) {
        recordActive = true;
        pending.reserve(4096);
        return true;
    }
    if (mode == SessionMode::Replay) {
        // Only a regular file, and no larger than a real session writes: a pipe or a link to a device would
        // otherwise be read until memory runs out.
        std::vector<uint8_t> bytes;
        std::string cause;
        if (!ReadInputFile(path, kLargestRecordingBytes, bytes, cause)) {
            error = "cannot read " + path + ": " + cause;
            return false;
        }
        std::string detail;
        const RecordingStatus status = ParseRecording(bytes, replay, detail);
        std::vector<uint8_t>().swap(bytes);  // the events are kept; the file's bytes are not needed
        if (status != RecordingStatus::Ok && status != RecordingStatus::CutShort) {
            error = "cannot replay " + path + ": " + detail;
            return false;
        }
        if (replay.frames == 0) {
            error = "cannot replay " + path + ": " +
                    (status == RecordingStatus::CutShort ? detail : "it holds no frame");
            return false;
        }
        if (status == RecordingStatus::CutShort)
            std::fprintf(stderr, "quarnel: warning: %s: %s; it plays up to the cut\n", path.c_str(),
                         detail.c_str());
        replayHadEnd = status == RecordingStatus::Ok;
        replay.complete = true;  // from here on: whatever was kept ends as a whole recording does
        pace = paceToClock && !verify;
        verifying = verify;
    }
    return true;
}

const char* RecordingTarget()
{
    return SystemName();
}

void NoteFrameState(const GameFrameState& state)
{
    if (mode == SessionMode::Record) {
        // Once a second of demo time, on the frame that reaches it.
        if (framePending && state.demoTime >= nextCheckTime) {
            while (nextCheckTime <= state.demoTime) nextCheckTime += kCheckInterval;
            checkEvent = SessionEvent{};
            checkEvent.kind = SessionEventKind::Check;
            checkEvent.checksum = state.checksum;
            checkPending = true;
        }
        return;
    }
    if (mode != SessionMode::Replay) return;
    if (framesDrawn == 1 || state.sceneTime < lastSceneTime) ++roundsSeen;
    lastSceneTime = state.sceneTime;
    if (state.score > bestScore || framesDrawn == 1) bestScore = state.score;
    highScore = state.highScore;
    const bool due = ChecksumDue(lastDemoTime, state.demoTime);
    lastDemoTime = state.demoTime;
    if (due) ++checksDue;
    if (!haveFrame || nextEvent >= replay.events.size()) return;
    const SessionEvent& e = replay.events[nextEvent];
    if (e.kind != SessionEventKind::Check) return;
    if (due) ++checksDueCarried;
    ++checksCompared;
    if (e.checksum == state.checksum) {
        ++checksAgreeing;
        return;
    }
    if (firstDisagreement != 0) return;
    firstDisagreement = e.frames;
    std::fprintf(stderr, "quarnel: %s leaves the recorded round at frame %llu (recorded by %s on %s)\n",
                 sessionPath.c_str(), static_cast<unsigned long long>(e.frames), replay.program.c_str(),
                 replay.target.c_str());
}

SessionMode CurrentSessionMode()
{
    return mode;
}

const Recording& ReplayedRecording()
{
    return replay;
}

bool NextLoopMessage(WindowMessage& message)
{
    // An end signal closes the show as the close box does, once. A recording keeps the close, so that its
    // replay ends at the same frame; a replay notes it as the reason it stopped.
    if (mode != SessionMode::Replay && EndSignal() != 0 && !signalClosed) {
        signalClosed = true;
        message = WindowMessage{WM_CLOSE, 0, 0};
        if (mode == SessionMode::Record) {
            EndPendingFrame();
            SessionEvent e;
            e.kind = SessionEventKind::Message;
            e.message = message;
            AppendSessionEvent(pending, e);
            ++messagesSincePass;
        }
        return true;
    }
    switch (mode) {
        case SessionMode::Record:
            return RecordNextMessage(message);
        case SessionMode::Replay:
            return ReplayNextMessage(message);
        case SessionMode::Untouched:
            return UntouchedNextMessage(message);
        case SessionMode::Live:
            break;
    }
    return PeekWindowMessage(message);
}

void ReadFrameCursor(double& x, double& y)
{
    switch (mode) {
        case SessionMode::Replay:
            if (!haveFrame) ReplayMismatch("the show draws a frame the recording does not have");
            x = replay.events[nextEvent - 1].values[0];
            y = replay.events[nextEvent - 1].values[1];
            frameCursorRead = true;
            ++framesDrawn;
            return;
        case SessionMode::Untouched:
            x = kRestingCursorX;
            y = kRestingCursorY;
            return;
        case SessionMode::Record:
            GetCursorScreenPos(x, y);
            frameEvent.values[0] = x;
            frameEvent.values[1] = y;
            return;
        case SessionMode::Live:
            GetCursorScreenPos(x, y);
            return;
    }
}

bool ReplayClockReading(double& seconds)
{
    if (mode != SessionMode::Replay) return false;
    if (haveFrame && frameReadingsUsed < 2) {
        seconds = replay.events[nextEvent - 1].values[2 + frameReadingsUsed++];
    } else if (nextEvent < replay.events.size() && replay.events[nextEvent].kind == SessionEventKind::Clock) {
        seconds = replay.events[nextEvent++].values[0];
    } else {
        ReplayMismatch("the show reads the clock where the recording has no reading");
    }
    if (pace) {
        // In step with the recorded time, as it was played; a slower machine simply plays slower. A page
        // cannot wait here (a pass that waits holds up the whole page): ReplayFrameDue holds its frames back.
        const auto now = std::chrono::steady_clock::now();
        const auto at = RecordedDuration(seconds);
        if (!paceStarted) {
            paceStarted = true;
            paceStart = now - at;
        } else if (paceStart + at > now && SystemCan(SystemAbility::OwnLoops)) {
            WaitForRecordedTime(paceStart + at);
        }
    }
    return true;
}

bool ReplayFrameDue()
{
    if (mode != SessionMode::Replay || !pace || !paceStarted) return true;
    PumpRealInput();
    if (viewerClosed || quitPosted) return true;
    // The next frame's first reading, past the messages dispatched before it.
    for (size_t i = nextEvent; i < replay.events.size(); ++i) {
        const SessionEvent& e = replay.events[i];
        if (e.kind == SessionEventKind::Frame)
            return paceStart + RecordedDuration(e.values[2]) <= std::chrono::steady_clock::now();
        if (e.kind != SessionEventKind::Message && e.kind != SessionEventKind::Check) break;
    }
    return true;
}

void RecordClockReading(double seconds)
{
    if (mode != SessionMode::Record || !recordActive) return;
    lastReading = seconds;
    if (framePending && frameReadings < 2) {
        frameEvent.values[2 + frameReadings++] = seconds;
    } else if (framePending) {
        extraReadings.push_back(seconds);
    } else {
        SessionEvent e;
        e.kind = SessionEventKind::Clock;
        e.values[0] = seconds;
        AppendSessionEvent(pending, e);
    }
}

// The verdict of --verify, one line on standard output; true when the whole round was checked and agreed.
bool ReportVerification()
{
    ReplayFigures f;
    f.version = replay.version;
    f.endRecord = replayHadEnd;
    f.framesRecorded = replay.frames;
    f.framesReplayed = framesDrawn;
    f.checksDue = checksDue;
    f.checksDueCarried = checksDueCarried;
    f.checksCompared = checksCompared;
    f.checksAgreeing = checksAgreeing;
    f.firstDisagreement = firstDisagreement;
    f.gameSeconds = lastDemoTime;
    f.stop = replayStop;
    f.why = replayStopWhy;
    if (framesDrawn == 0 && f.stop != ReplayStop::Signal) {
        f.stop = ReplayStop::NotStarted;
        f.why = LastMessageBoxText();
    }
    f.rounds = roundsSeen;
    f.bestScore = bestScore;
    f.highScore = highScore;
    const ReplayVerdict verdict = JudgeReplay(sessionPath, f);
    std::printf("%s\n", verdict.line.c_str());
    std::fflush(stdout);
    return verdict.agree;
}

void NoteReplayLimit()
{
    limitReached = true;
}

bool FinishSession()
{
    if (mode == SessionMode::Replay && verifying) {
        verifying = false;  // once, whichever way the show ends
        return ReportVerification() && !failed;
    }
    if (mode != SessionMode::Record || !recordActive) return !failed;
    EndPendingFrame();  // a frame that ended the show itself (the end of the Escape fade)
    if (framesRecorded == 0) {
        recordActive = false;
        if (out) DiscardOutputFile(outFile);
        out = nullptr;
        std::fprintf(stderr, "quarnel: no frame was drawn, so no recording\n");
        return true;
    }
    SessionEvent end;
    end.kind = SessionEventKind::End;
    end.frames = framesRecorded;
    AppendSessionEvent(pending, end);
    WritePending();
    recordActive = false;
    out = nullptr;
    std::string cause;
    if (!CommitOutputFile(outFile, cause)) {  // closes the file
        std::fprintf(stderr, "quarnel: cannot write %s: %s\n", sessionPath.c_str(), cause.c_str());
        failed = true;
        return false;
    }
    std::fprintf(stderr, "quarnel: recorded %llu frames (%.1f s) in %s\n",
                 static_cast<unsigned long long>(framesRecorded), lastReading, sessionPath.c_str());
    return true;
}
