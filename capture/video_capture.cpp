// Capture of a run (see video_capture.h). Every frame lasts the samples its time step mixed: frame n starts
// at round(44100 x the time before it) and ends at round(44100 x its own time), so picture and sound stay
// in step to the sample however the steps fall. A frame whose step rounds to no sample is left out.
#include "capture/video_capture.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "capture/session_recording.h"
#include "capture/video_encoder.h"
#include "capture/video_formats.h"
#include "platform/abrupt_end.h"
#include "platform/output_file.h"
#include "platform/process.h"
#include "platform/system.h"
#include "platform/window.h"
#include "runtime/global_state.h"
#include "runtime/music.h"
#include "sound/sound.h"
#include "sound/sound_stream.h"

namespace {

constexpr int kWidth = 800, kHeight = 600;
constexpr double kTerminalUpdateSeconds = 0.25;  // progress line on a terminal
constexpr double kLogUpdateSeconds = 5.0;        // progress lines into a file or pipe
// The recorded time a film of a replay holds unless --seconds asks for a length: an hour of film is made in
// well under two minutes of encoding its sound, even where a long step makes it all silence, and the
// muxers' index of an hour stays small. A round of recorded days would take hours and gigabytes.
constexpr double kLongestReplayFilm = 3600.0;

using Clock = std::chrono::steady_clock;

CaptureOptions options;
bool replaying = false;
bool allowsMusic = true;
bool playsMixedSound = false;  // the offline music goes to the speakers (a replay, or in a page)
bool soundStreamOpen = false;
bool soundStreamFailed = false;

// The video file
VideoEncoder* encoder = nullptr;
OutputFile file;
std::vector<unsigned char> pixels;
std::vector<float> sound;    // this frame's mixed sound, taken from the music
std::vector<float> silence;  // with the music off
double filmTime = 0.0;       // seconds, summed from the frame deltas as the offline music sums them
int64_t filmEnd = 0;         // samples encoded
int64_t soundAhead = 0;      // samples of the frame being drawn that were encoded before its picture
int64_t soundEncoded = 0;    // samples encoded, also inside a long step
long framesEncoded = 0;
int64_t sampleLimit = 0;  // a replay's --seconds; 0: none
bool quitPosted = false;
bool finished = false;

// Progress
Clock::time_point started;
Clock::time_point lastReport;
bool terminal = false;
bool progressShown = false;
long totalFrames = 0;       // the show untouched: the frames asked for
double totalSeconds = 0.0;  // a replay: the recorded time to render

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

[[noreturn]] void FailVideo(const std::string& cause)
{
    if (progressShown && terminal) std::fputc('\n', stderr);
    std::fprintf(stderr, "quarnel: cannot write %s: %s\n", options.video.c_str(), cause.c_str());
    if (encoder) AbandonVideoEncoder(encoder);
    encoder = nullptr;
    DiscardOutputFile(file);
    RemoveOnAbruptEnd("");
    finished = true;
    EndProcess(1);
}

void FormatDuration(double seconds, char* out, size_t size)
{
    const long s = seconds > 0.0 && seconds < 1e7 ? std::lround(seconds) : 0;
    std::snprintf(out, size, "%ld:%02ld", s / 60, s % 60);
}

void ReportProgress(bool force)
{
    const Clock::time_point now = Clock::now();
    if (!force && Seconds(now - lastReport) < (terminal ? kTerminalUpdateSeconds : kLogUpdateSeconds)) return;
    lastReport = now;
    const double elapsed = Seconds(now - started);
    const double fps = elapsed > 0.0 ? framesEncoded / elapsed : 0.0;
    const double done = static_cast<double>(std::max(filmEnd, soundEncoded)) / kSoundMixRate;
    double fraction = 0.0;
    if (totalFrames > 0) fraction = static_cast<double>(framesEncoded) / totalFrames;
    if (totalSeconds > 0.0) fraction = done / totalSeconds;
    if (fraction > 1.0) fraction = 1.0;
    char left[32] = "-:--";
    if (fraction > 0.0) FormatDuration(elapsed * (1.0 - fraction) / fraction, left, sizeof left);
    char line[160];
    std::snprintf(line, sizeof line, "quarnel: %s: frame %ld, %.1f s, %3.0f%%, %.1f frames/s, %s left",
                  options.video.c_str(), framesEncoded, done, fraction * 100.0, fps, left);
    if (terminal)
        std::fprintf(stderr, "\r%-79s", line);
    else
        std::fprintf(stderr, "%s\n", line);
    std::fflush(stderr);
    progressShown = true;
}

void FinishVideo(bool sessionOk)
{
    if (!encoder) return;
    if (progressShown && terminal) std::fputc('\n', stderr);
    if (!sessionOk || framesEncoded == 0) {
        AbandonVideoEncoder(encoder);
        encoder = nullptr;
        DiscardOutputFile(file);
        RemoveOnAbruptEnd("");
        if (!sessionOk) return;
        std::fprintf(stderr, "quarnel: no frame was drawn, so no video in %s\n", options.video.c_str());
        EndProcess(1);  // the file asked for is not there
    }
    std::string cause;
    VideoEncoder* e = encoder;
    encoder = nullptr;
    if (!FinishVideoEncoder(e, cause) || !CommitOutputFile(file, cause)) FailVideo(cause);
    RemoveOnAbruptEnd("");
    const double elapsed = Seconds(Clock::now() - started);
    const long long bytes = OutputFileSize(file);  // unknown for a device or pipe
    char size[32] = "";
    if (bytes >= 0) std::snprintf(size, sizeof size, ", %.1f MB", bytes / 1e6);
    std::fprintf(stderr, "quarnel: wrote %s: %ld frames, %.2f s%s, %.1f frames per second on average\n",
                 options.video.c_str(), framesEncoded, static_cast<double>(filmEnd) / kSoundMixRate, size,
                 elapsed > 0.0 ? framesEncoded / elapsed : 0.0);
}

// An exit hook of a page: Web Audio would otherwise go on asking the ended program for sound.
void StopMixedSound()
{
    if (soundStreamOpen) CloseSoundStream();
    soundStreamOpen = false;
}

// An exit hook: every end of the show (the Escape fade, the close box, the frame limit) comes here.
void FinishCapture()
{
    if (finished) return;
    finished = true;
    // A show that ends in failure (a replay that left the show, a file that could not be read, memory
    // running out) keeps no video: the film would stop somewhere in the middle.
    const bool sessionOk = FinishSession() && EndingStatus() == 0;
    StopMixedSound();
    // A film ended by Ctrl-C keeps what was made: flushing the codec and putting the file under its name
    // may take longer than the second an end signal otherwise leaves.
    if (encoder && sessionOk) FinishingAfterEndSignal();
    FinishVideo(sessionOk);
    if (!sessionOk) EndProcess(1);
}

// h:mm:ss
std::string LongDuration(double seconds)
{
    const long long s = seconds > 0.0 && seconds < 1e15 ? std::llround(seconds) : 0;
    char text[48];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    return text;
}

// A replay whose recorded time is longer than a film holds is refused before anything is made, naming its
// longest step (the usual cause: a window left minimised).
void RefuseLongReplayFilm()
{
    const Recording& r = ReplayedRecording();
    if (!replaying || options.seconds > 0.0 || !(r.seconds > kLongestReplayFilm)) return;
    double last = 0.0, longest = 0.0;
    uint64_t frame = 0, longestFrame = 0;
    for (const SessionEvent& e : r.events) {
        if (e.kind != SessionEventKind::Frame && e.kind != SessionEventKind::Clock) continue;
        if (e.kind == SessionEventKind::Frame) ++frame;
        const double first = e.kind == SessionEventKind::Frame ? e.values[2] : e.values[0];
        const double reading = e.kind == SessionEventKind::Frame ? e.values[3] : e.values[0];
        const double step = std::max(first - last, reading - first);
        if (step > longest) {
            longest = step;
            longestFrame = frame;
        }
        last = reading;
    }
    char step[96];
    std::snprintf(step, sizeof step, "%.0f s at frame %llu", longest,
                  static_cast<unsigned long long>(longestFrame));
    FailVideo("the round lasts " + LongDuration(r.seconds) + " of recorded time (its longest step: " + step +
              "), and a film of a replay holds at most " + LongDuration(kLongestReplayFilm) +
              "; give --seconds S to film its start");
}

void OpenVideo(double fixedStep, long frames)
{
    if (!VideoFormatForPath(options.video))
        FailVideo("unknown extension; this build writes " + WritableVideoFormatsText());
    RefuseLongReplayFilm();
    std::string cause;
    if (!OpenOutputFile(options.video, file, cause)) FailVideo(cause);
    if (!file.inPlace) RemoveOnAbruptEnd(file.writePath);
    VideoEncoderSettings settings;
    settings.path = options.video;
    // FFmpeg writes a device or pipe through the descriptor the writer opened (opening a pipe again could
    // find it without its reader), and a temporary file by its name (MP4 reads it back at the end).
    settings.writePath = file.inPlace ? "pipe:" + std::to_string(OutputFileDescriptor(file)) : file.writePath;
    settings.stream = file.inPlace;
    settings.width = kWidth;
    settings.height = kHeight;
    settings.quality = options.videoQuality;
    settings.sampleRate = kSoundMixRate;
    settings.framesVary = replaying;
    double rate = 60.0;
    if (fixedStep > 0.0) rate = 1.0 / fixedStep;
    if (replaying) {
        const Recording& r = ReplayedRecording();
        if (r.seconds > 0.0) rate = r.frames / r.seconds;
    }
    if (std::fabs(rate - std::round(rate)) < 1e-6 && rate >= 1.0) {
        settings.frameRateNum = static_cast<int>(std::lround(rate));
        settings.frameRateDen = 1;
    } else {
        settings.frameRateNum = static_cast<int>(std::lround(rate * 1000.0));
        settings.frameRateDen = 1000;
        if (settings.frameRateNum < 1) settings.frameRateNum = 1;
    }
    encoder = OpenVideoEncoder(settings, cause);
    if (!encoder) FailVideo(cause);
    pixels.resize(static_cast<size_t>(kWidth) * kHeight * 3);
    sound.reserve(kSoundMixRate * 2);
    silence.assign(kSoundMixRate * 2, 0.0f);

    totalFrames = options.videoFrames;
    if (replaying) {
        totalFrames = 0;
        totalSeconds = ReplayedRecording().seconds;
        if (options.seconds > 0.0) {
            sampleLimit = std::llround(options.seconds * kSoundMixRate);
            if (options.seconds < totalSeconds) totalSeconds = options.seconds;
        }
    }
    if (frames > 0 && (totalFrames == 0 || frames < totalFrames) && !replaying) totalFrames = frames;
    terminal = StandardErrorIsTerminal();
    started = lastReport = Clock::now();
}

// The music's pieces of a long step, encoded as they are mixed (before the frame's picture exists), so
// that the step never has to be held whole.
void EncodeSoundPiece(const float* stereo, int64_t frames)
{
    if (sampleLimit > 0) frames = std::min(frames, sampleLimit - soundEncoded);  // the length asked for
    if (frames <= 0) return;
    std::string cause;
    if (!EncodeVideoSound(encoder, stereo, frames, cause)) FailVideo(cause);
    soundAhead += frames;
    soundEncoded += frames;
    ReportProgress(false);  // a long step shows its progress too
}

void EncodeFrame(int64_t end)
{
    const int64_t length = end - filmEnd;
    std::string cause;
    ReadWindowPixels(kWidth, kHeight, pixels.data());
    if (!EncodeVideoPicture(encoder, pixels.data(), filmEnd, length, cause)) FailVideo(cause);
    int64_t left = length - soundAhead;  // what the pieces of a long step have not given yet
    soundAhead = 0;
    if (gState.musicOn) {
        // The music mixed exactly this frame's samples; keep to the picture's length all the same.
        sound.resize(static_cast<size_t>(left > 0 ? left : 0) * 2, 0.0f);
        if (left > 0 && !EncodeVideoSound(encoder, sound.data(), left, cause)) FailVideo(cause);
        if (left > 0) soundEncoded += left;
    } else {
        // Silence a second at a time, however long the step, with its progress; an end signal leaves the
        // rest of the step out (the film ends with what was made).
        while (left > 0 && EndSignal() == 0) {
            const int64_t n = std::min<int64_t>(left, static_cast<int64_t>(silence.size() / 2));
            if (!EncodeVideoSound(encoder, silence.data(), n, cause)) FailVideo(cause);
            left -= n;
            soundEncoded += n;
            ReportProgress(false);
        }
    }
    filmEnd = end;
    ++framesEncoded;
}

}  // namespace

void ConfigureCapture(const CaptureOptions& capture, double fixedStep, long frames)
{
    options = capture;
    replaying = !options.replay.empty();
    SessionMode mode = SessionMode::Live;
    std::string path;
    if (replaying) {
        mode = SessionMode::Replay;
        path = options.replay;
    } else if (!options.record.empty()) {
        mode = SessionMode::Record;
        path = options.record;
    } else if (!options.video.empty()) {
        mode = SessionMode::Untouched;
    }
    if (mode == SessionMode::Live) {
        // A page has no thread to mix on: the music is mixed frame by frame and handed to Web Audio.
        if (!SystemCan(SystemAbility::SoundThread)) {
            MusicUseOfflineSound(true);
            playsMixedSound = true;
            AddExitHook(StopMixedSound);
        }
        return;
    }

    std::string error;
    if (!StartSession(mode, path, replaying && options.video.empty(), error, options.verify)) {
        std::fprintf(stderr, "quarnel: %s\n", error.c_str());
        EndProcess(1);
    }
    AddExitHook(FinishCapture);
    if (replaying) allowsMusic = ReplayedRecording().musicOn;
    if (!options.video.empty()) OpenVideo(fixedStep, frames);
    // The music is mixed frame by frame, so that it follows the frames' time steps and not a device.
    const bool mixesOnMainThread = !SystemCan(SystemAbility::SoundThread);  // a page's music
    if (!options.video.empty() || replaying || mixesOnMainThread) MusicUseOfflineSound(true);
    // A long step's music goes into the film piece by piece; on the speakers only its end is heard, so
    // that the music stays with the picture after a recorded pause.
    if (encoder) MusicSetOfflineSink(EncodeSoundPiece);
    playsMixedSound =
        options.video.empty() && (replaying || mixesOnMainThread) && allowsMusic && !options.verify;
}

void AbandonCapture()
{
    if (finished) return;
    finished = true;
    StopMixedSound();
    FinishVideo(false);
}

bool CaptureAllowsMusic()
{
    return allowsMusic;
}

bool CaptureWantsWindow()
{
    return replaying && (options.verify || ReplayedRecording().windowed);
}

namespace {

// The mixed music to the speakers: the device opens with the first sound, once the music is known to
// play (in a page, after the dialog's click, which lets the page play sound).
void PlayMixedSound()
{
    if (sound.empty()) return;
    if (!soundStreamOpen && !soundStreamFailed) {
        std::string cause;
        soundStreamOpen = OpenSoundStream(kSoundMixRate, cause);
        soundStreamFailed = !soundStreamOpen;
        if (soundStreamFailed)
            std::fprintf(stderr, "quarnel: the music plays without sound: %s\n", cause.c_str());
    }
    if (soundStreamOpen) QueueSoundStream(sound.data(), static_cast<int64_t>(sound.size() / 2));
}

}  // namespace

void CaptureFrameDrawn()
{
    if (!encoder && !playsMixedSound) return;
    // This frame's end, in samples: the offline music's count when it plays, else the same sum here.
    if (gState.frameDelta > 0.0) filmTime += gState.frameDelta;
    int64_t end = std::llround(filmTime * kSoundMixRate);
    sound.clear();
    if (gState.musicOn) {
        MusicTakeOfflineSound(sound);
        end = MusicOfflineFramesMixed();
    }
    if (!encoder) {
        PlayMixedSound();
        return;
    }
    if (sampleLimit > 0 && end > sampleLimit) end = sampleLimit;  // a long step past the length asked for
    if (end > filmEnd) EncodeFrame(end);
    ReportProgress(false);
    const bool enough = (options.videoFrames > 0 && !replaying && framesEncoded >= options.videoFrames) ||
                        (sampleLimit > 0 && filmEnd >= sampleLimit);
    if (enough && !quitPosted) {
        quitPosted = true;
        NoteReplayLimit();
        QueueQuitMessage(0);  // ends as the close box does
    }
}
