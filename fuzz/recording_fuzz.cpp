// libFuzzer target for the recording reader: any byte string is read as a recording file, into the same
// Recording object every time, so that a refused file must leave nothing of the one read before. What the
// reader keeps is written back with the format's writer and must give the same bytes, and what it reports
// (status, frames, end, ranges) must agree with those bytes. The verdict of a replay of what was kept, with
// its frames replayed and its way of stopping taken from the input too, may say "agree" only for a round
// replayed to its end record with every due checksum. Depends on capture/session_recording.h and
// capture/replay_verdict.h.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "capture/replay_verdict.h"
#include "capture/session_recording.h"

namespace {

constexpr size_t kHeaderSize = 16;
// The largest values a reading and a cursor may hold, as the reader's messages promise ("in range").
constexpr double kLargestReading = 1e9, kLargestCursor = 1e6;

[[noreturn]] void Fail()
{
    __builtin_trap();
}

size_t PayloadSize(uint8_t kind)
{
    switch (kind) {
        case 'M':
            return 20;
        case 'F':
            return 32;
        case 'I':
            return 0;
        case 'C':
        case 'E':
            return 8;
        case 'S':
            return 16;
    }
    return SIZE_MAX;
}

bool InRange(double v, double largest)
{
    return std::isfinite(v) && std::fabs(v) <= largest;
}

// A refused file leaves `out` as a fresh Recording.
void CheckEmpty(const Recording& r)
{
    if (!r.events.empty() || r.complete || r.frames != 0 || r.seconds != 0.0 || !r.musicOn || r.windowed ||
        !r.program.empty() || !r.target.empty() || r.checks != 0 || r.version != kRecordingVersion)
        Fail();
}

// Where the header of a recording of version 1 or 2 ends: after the flags, and in version 2 after the
// program's and the system's names (a length byte each). SIZE_MAX when the bytes end inside it.
size_t HeaderEnd(const std::vector<uint8_t>& bytes)
{
    if (bytes.size() < kHeaderSize) return SIZE_MAX;
    size_t at = kHeaderSize;
    if (bytes[8] != 2) return at;
    for (int name = 0; name < 2; ++name) {
        if (at >= bytes.size() || bytes.size() - at - 1 < bytes[at]) return SIZE_MAX;
        at += 1 + bytes[at];
    }
    return at;
}

void CheckKept(const std::vector<uint8_t>& bytes, const Recording& r, RecordingStatus status)
{
    if (HeaderEnd(bytes) == SIZE_MAX) {
        if (status != RecordingStatus::CutShort) Fail();
        CheckEmpty(r);  // cut inside the header: nothing kept
        return;
    }
    if (r.version != bytes[8]) Fail();
    const uint32_t flags =
        bytes[12] | bytes[13] << 8 | bytes[14] << 16 | static_cast<uint32_t>(bytes[15]) << 24;
    if (r.musicOn != ((flags & 1) != 0)) Fail();
    if (r.version == 2 && r.windowed != ((flags & 2) != 0)) Fail();
    if (r.version == 1 && (r.windowed || !r.program.empty() || !r.target.empty() || r.checks != 0)) Fail();

    std::vector<uint8_t> again;
    AppendRecordingHeader(again, r);
    if (again.size() != HeaderEnd(bytes)) Fail();
    uint64_t frames = 0, checks = 0, records = 0;
    double seconds = 0.0, last = 0.0;
    // Readings never go back, and no step is longer than the longest pause a session can hold.
    auto reading = [&](double v) {
        if (!InRange(v, kLargestReading) || v < last || v - last > kLongestRecordedStep) Fail();
        last = v;
    };
    for (size_t i = 0; i < r.events.size(); ++i) {
        const SessionEvent& e = r.events[i];
        records += e.kind == SessionEventKind::Idle ? e.frames : 1;
        switch (e.kind) {
            case SessionEventKind::Frame:
                for (int v = 0; v < 2; ++v)
                    if (!InRange(e.values[v], kLargestCursor)) Fail();
                for (int v = 2; v < 4; ++v) reading(e.values[v]);
                ++frames;
                seconds = e.values[3];
                break;
            case SessionEventKind::Clock:
                reading(e.values[0]);
                break;
            case SessionEventKind::Check:
                if (r.version < 2 || e.frames != frames || frames == 0) Fail();
                if (i > 0 && r.events[i - 1].kind == SessionEventKind::Check) Fail();
                ++checks;
                break;
            case SessionEventKind::End:
                // Only last, and counting the frames before it.
                if (i + 1 != r.events.size() || e.frames != frames) Fail();
                break;
            case SessionEventKind::Idle:
                // Idle records in a row are one event.
                if (e.frames == 0 || (i > 0 && r.events[i - 1].kind == SessionEventKind::Idle)) Fail();
                break;
            case SessionEventKind::Message:
                break;
            default:
                Fail();
        }
        AppendSessionEvent(again, e);
    }
    if (r.frames != frames || r.seconds != seconds || r.checks != checks) Fail();
    if (records > kMostRecordingRecords) Fail();
    const bool ended = !r.events.empty() && r.events.back().kind == SessionEventKind::End;
    if (r.complete != ended || ended != (status == RecordingStatus::Ok)) Fail();

    // The same bytes back, but for the flag bits that this version does not use.
    if (again.size() > bytes.size()) Fail();
    if (std::memcmp(again.data(), bytes.data(), 12) != 0) Fail();
    if (std::memcmp(again.data() + kHeaderSize, bytes.data() + kHeaderSize, again.size() - kHeaderSize) != 0)
        Fail();
    if (status == RecordingStatus::Ok && again.size() != bytes.size()) Fail();
    if (status == RecordingStatus::CutShort) {
        // What is left is one record cut inside its fields.
        if (again.size() == bytes.size()) {
            if (ended) Fail();
            return;
        }
        const size_t payload = PayloadSize(bytes[again.size()]);
        if (payload == SIZE_MAX || bytes.size() - again.size() - 1 >= payload) Fail();
    }
}

// The figures a replay of `r` could give: demo time from the frames' readings as the frame driver sums them,
// checksums due where the writer puts them and carried where the recording has them, all agreeing. How far
// it got and how it stopped come from the input's last bytes, so every way a replay ends is tried.
void CheckVerdict(const Recording& r, RecordingStatus status, const uint8_t* data, size_t size)
{
    ReplayFigures f;
    f.version = r.version;
    f.endRecord = status == RecordingStatus::Ok;
    f.framesRecorded = r.frames;
    const uint8_t reach = size > 0 ? data[size - 1] : 0;
    const uint8_t how = size > 1 ? data[size - 2] : 0;
    f.framesReplayed = reach < 200                   ? r.frames
                       : r.frames + 1 < reach - 200u ? 0
                                                     : r.frames + 1 - (reach - 200u);
    f.stop = static_cast<ReplayStop>(how % 6 == 0 || how > 200 ? how % 6 : 0);
    double last = 0.0, demoTime = 0.0;
    uint64_t frame = 0;
    bool due = false;
    for (const SessionEvent& e : r.events) {
        if (e.kind == SessionEventKind::Clock) last = e.values[0];
        if (e.kind == SessionEventKind::Check && due) {
            ++f.checksDueCarried;
            due = false;
        }
        if (e.kind == SessionEventKind::Check && frame <= f.framesReplayed) ++f.checksCompared;
        if (e.kind != SessionEventKind::Frame || frame >= f.framesReplayed) continue;
        ++frame;
        const double before = demoTime;
        demoTime += e.values[2] > last ? e.values[2] - last : 0.0;
        last = e.values[3];
        due = ChecksumDue(before, demoTime);
        if (due) ++f.checksDue;
    }
    f.checksAgreeing = f.checksCompared;
    f.gameSeconds = demoTime;
    const ReplayVerdict v = JudgeReplay("r.qrec", f);
    const bool whole = f.endRecord && f.framesReplayed == f.framesRecorded && f.framesReplayed > 0 &&
                       f.stop == ReplayStop::Finished && f.checksDueCarried >= f.checksDue &&
                       (f.version >= 2 || f.checksDue == 0);
    if (v.agree && !whole) Fail();
    if (v.agree != (v.status == 0)) Fail();
    if (!v.agree && v.line.find("not verified") == std::string::npos) Fail();
    if (v.line.find('\n') != std::string::npos) Fail();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Recording recording;
    const std::vector<uint8_t> bytes(data, data + size);
    std::string detail;
    const RecordingStatus status = ParseRecording(bytes, recording, detail);
    const bool magic = size >= 8 && std::memcmp(data, "QUARNREC", 8) == 0;
    if ((status == RecordingStatus::NotARecording) == magic) Fail();
    if (status != RecordingStatus::Ok && detail.empty()) Fail();
    switch (status) {
        case RecordingStatus::Ok:
        case RecordingStatus::CutShort:
            CheckKept(bytes, recording, status);
            CheckVerdict(recording, status, data, size);
            break;
        case RecordingStatus::OtherVersion:
            if (size < kHeaderSize ||
                ((data[8] == 1 || data[8] == 2) && data[9] == 0 && data[10] == 0 && data[11] == 0))
                Fail();
            CheckEmpty(recording);
            break;
        case RecordingStatus::NotARecording:
        case RecordingStatus::Damaged:
            CheckEmpty(recording);
            break;
    }
    return 0;
}
