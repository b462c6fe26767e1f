// Writes the recording fuzz target's seed corpus: sessions written with the format's own writer in the shapes
// the show records (start-up reading, frames, every kind of window message, a minimised window, extra
// readings, the end), and files the reader must refuse or play up to a cut. Usage: recording_fuzz_corpus DIR
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "capture/session_recording.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A session written record by record, counting its frames for the end record.
struct Session {
    Bytes bytes;
    uint64_t frames = 0;
    double time = 0.0;

    explicit Session(bool musicOn, uint32_t version = kRecordingVersion)
    {
        Recording about;
        about.version = version;
        about.musicOn = musicOn;
        about.windowed = !musicOn;
        about.program = "quarnel 1.0.0";
        about.target = "Linux";
        AppendRecordingHeader(bytes, about);
    }

    void Check(uint64_t checksum)
    {
        SessionEvent e;
        e.kind = SessionEventKind::Check;
        e.frames = frames;
        e.checksum = checksum;
        AppendSessionEvent(bytes, e);
    }

    void Clock(double reading)
    {
        SessionEvent e;
        e.kind = SessionEventKind::Clock;
        e.values[0] = reading;
        AppendSessionEvent(bytes, e);
    }
    void Message(uint32_t message, uint64_t wParam = 0, int64_t lParam = 0)
    {
        SessionEvent e;
        e.kind = SessionEventKind::Message;
        e.message = WindowMessage{message, wParam, lParam};
        AppendSessionEvent(bytes, e);
    }
    void Frame(double x, double y, double step)
    {
        SessionEvent e;
        e.kind = SessionEventKind::Frame;
        e.values[0] = x;
        e.values[1] = y;
        e.values[2] = time + step;
        e.values[3] = time + step;
        time += step;
        AppendSessionEvent(bytes, e);
        ++frames;
    }
    void Idle()
    {
        SessionEvent e;
        e.kind = SessionEventKind::Idle;
        AppendSessionEvent(bytes, e);
    }
    void End(uint64_t count)
    {
        SessionEvent e;
        e.kind = SessionEventKind::End;
        e.frames = count;
        AppendSessionEvent(bytes, e);
    }
    void End() { End(frames); }
};

// A mouse move arrives as the three messages Windows sends for one.
void MouseMove(Session& s, int x, int y)
{
    s.Message(WM_NCHITTEST, 0, x | y << 16);
    s.Message(WM_SETCURSOR, 0, 1 | WM_MOUSEMOVE << 16);
    s.Message(WM_MOUSEMOVE, 0, x | y << 16);
}

Bytes Played(bool musicOn, uint32_t version = kRecordingVersion)
{
    Session s(musicOn, version);
    s.Message(WM_ACTIVATE, 1, 0);
    s.Message(WM_SIZE, 0, 800 | 600 << 16);
    s.Clock(0.0);
    for (int i = 0; i < 6; ++i) {
        MouseMove(s, 400 + 13 * i, 300 - 7 * i);
        s.Frame(400 + 13 * i, 300 - 7 * i, 1.0 / 60.0 + i * 1e-4);
        if (version >= 2 && i % 3 == 2) s.Check(0x0123456789abcdefull * static_cast<uint64_t>(i));
    }
    s.Message(WM_KEYDOWN, VK_UP, 0);
    s.Message(WM_KEYDOWN, VK_LEFT, 0);
    s.Frame(478, 258, 0.017);
    s.Message(WM_KEYUP, VK_LEFT, 0);
    s.Message(WM_LBUTTONDOWN, 1, 478 | 258 << 16);
    s.Message(WM_RBUTTONDOWN, 3, 478 | 258 << 16);
    s.Message(WM_MOUSEWHEEL, static_cast<uint64_t>(static_cast<uint16_t>(-120)) << 16, 0);
    s.Frame(480, 250, 0.016);
    s.Message(WM_RBUTTONUP, 1, 0);
    s.Message(WM_LBUTTONUP, 0, 0);
    s.Message(WM_MBUTTONDOWN, 0x10, 0);
    s.Message(WM_MBUTTONUP, 0, 0);
    s.Message(WM_CHAR, 'q', 0);
    s.Message(WM_SYSCOMMAND, 0xF140, 0);  // the screen saver, refused
    s.Frame(480, 250, 0.018);
    s.Message(WM_KEYDOWN, VK_ESCAPE, 0);
    s.Message(WM_KEYUP, VK_ESCAPE, 0);
    for (int i = 0; i < 3; ++i) s.Frame(480, 250, 0.004);
    s.End();
    return s.bytes;
}

// Minimised for a while: idle passes after messages, then restored; a frame with a third reading.
Bytes Minimised()
{
    Session s(true);
    s.Clock(0.0);
    s.Frame(400, 300, 0.02);
    s.Message(WM_ACTIVATE, 1 | 1 << 16, 0);
    s.Idle();
    s.Message(WM_SIZE, 1, 0);
    s.Idle();
    s.Message(WM_ACTIVATE, 1, 0);
    s.Message(WM_SIZE, 0, 800 | 600 << 16);
    s.Frame(400, 300, 12.5);
    s.Clock(s.time + 0.001);
    s.Frame(-1e6, 1e6, 0.0);  // a cursor far off the window, at the edge of the range; no time passes
    s.Message(WM_CLOSE, 0, 0);
    s.Message(WM_QUIT, 0, 0);
    s.End();
    return s.bytes;
}

Bytes Plain(int frames, bool musicOn, double step)
{
    Session s(musicOn);
    s.Clock(0.0);
    for (int i = 0; i < frames; ++i) s.Frame(400, 300, step);
    s.End();
    return s.bytes;
}

Bytes WithFrame(double x, double y, double r1, double r2)
{
    Session s(true);
    s.Clock(0.0);
    SessionEvent e;
    e.kind = SessionEventKind::Frame;
    e.values[0] = x;
    e.values[1] = y;
    e.values[2] = r1;
    e.values[3] = r2;
    AppendSessionEvent(s.bytes, e);
    s.End(1);
    return s.bytes;
}

Bytes WithClock(double reading)
{
    Session s(false);
    s.Clock(reading);
    s.Frame(400, 300, 0.01);
    s.End();
    return s.bytes;
}

Bytes Cut(Bytes bytes, size_t size)
{
    bytes.resize(size);
    return bytes;
}

bool Write(const std::string& dir, const char* name, const Bytes& bytes)
{
    const std::string path = dir + "/" + name + ".qrec";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: recording_fuzz_corpus DIR\n");
        return 1;
    }
    const std::string dir = argv[1];
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Bytes played = Played(true);
    const Bytes plain = Plain(5, false, 1.0 / 60.0);

    const size_t header = Session(false).bytes.size();
    Bytes otherVersion = plain;
    otherVersion[8] = 3;
    Bytes moreFlags = plain;
    moreFlags[12] = 0xFE;  // bits this version does not use; music off
    moreFlags[15] = 0x80;
    Bytes unknown = plain;
    unknown[header] = 'Z';
    Bytes afterEnd = plain;
    afterEnd.push_back('I');
    Bytes miscounted = Cut(plain, plain.size() - 9);
    {
        Session s(false);
        s.End(4);
        miscounted.insert(miscounted.end(), s.bytes.begin() + static_cast<std::ptrdiff_t>(header),
                          s.bytes.end());
    }
    Bytes noEnd = Cut(plain, plain.size() - 9);
    Bytes empty = Cut(plain, header);
    {
        Session s(false);
        s.End(0);
        empty.insert(empty.end(), s.bytes.begin() + static_cast<std::ptrdiff_t>(header), s.bytes.end());
    }
    const std::string text = "just some text, not a recording\n";

    struct Seed {
        const char* name;
        Bytes bytes;
    } seeds[] = {
        {"played-music", played},
        {"played-silent", Played(false)},
        {"minimised", Minimised()},
        {"plain-5-frames", plain},
        {"plain-60-frames", Plain(60, true, 1.0 / 60.0)},
        {"fixed-step", Plain(3, true, 0.25)},
        {"empty-session", empty},
        {"cut-in-header", Cut(plain, 12)},
        {"cut-in-names", Cut(plain, 20)},
        {"cut-after-header", Cut(plain, header)},
        {"cut-in-clock", Cut(plain, header + 4)},
        {"cut-in-frame", Cut(plain, header + 9 + 33 + 20)},
        {"cut-in-message", Cut(played, header + 10)},
        {"version-1", Played(true, 1)},
        {"clock-goes-back", WithFrame(400, 300, 0.02, 0.01)},
        {"step-over-a-day", WithFrame(400, 300, 0.01, 1e6)},
        {"cut-in-end", Cut(plain, plain.size() - 3)},
        {"cut-before-end", noEnd},
        {"other-version", otherVersion},
        {"more-flags", moreFlags},
        {"unknown-record", unknown},
        {"data-after-end", afterEnd},
        {"end-miscounted", miscounted},
        {"nan-reading", WithFrame(400, 300, 0.01, nan)},
        {"infinite-reading", WithFrame(400, 300, -inf, 0.01)},
        {"reading-too-large", WithFrame(400, 300, 0.01, 2e9)},
        {"nan-cursor", WithFrame(nan, 300, 0.01, 0.01)},
        {"cursor-too-far", WithFrame(400, -2e6, 0.01, 0.01)},
        {"nan-clock", WithClock(nan)},
        {"clock-too-large", WithClock(-1e10)},
        {"short-magic", Bytes(played.begin(), played.begin() + 7)},
        {"text", Bytes(text.begin(), text.end())},
    };
    int written = 0;
    for (const Seed& seed : seeds) {
        if (!Write(dir, seed.name, seed.bytes)) {
            std::fprintf(stderr, "cannot write %s/%s.qrec\n", dir.c_str(), seed.name);
            return 1;
        }
        ++written;
    }
    std::printf("%d seed files in %s\n", written, dir.c_str());
    return 0;
}
