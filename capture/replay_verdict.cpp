// The verdict of a verified replay (see replay_verdict.h). "agree" is said only for a round replayed to its
// end record whose every due checksum was carried and agreed; everything else names what is missing.
#include "capture/replay_verdict.h"

#include <cmath>
#include <cstdio>

namespace {

std::string Number(uint64_t v)
{
    return std::to_string(static_cast<unsigned long long>(v));
}

// Scores and times are shown whole; a value that is not a finite number shows as 0.
long long Whole(double v)
{
    return std::isfinite(v) && std::fabs(v) < 9e18 ? static_cast<long long>(v) : 0LL;
}

std::string GameSeconds(double seconds)
{
    return std::to_string(Whole(std::floor(seconds))) + " seconds of game";
}

// A message of several lines, on the verdict's one line.
std::string OneLine(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
        if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
        out += c;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// Why the replay did not reach the recording's end, or "" when it did.
std::string Shortfall(const ReplayFigures& f)
{
    const std::string of = Number(f.framesReplayed) + " of " + Number(f.framesRecorded) + " frames";
    switch (f.stop) {
        case ReplayStop::NotStarted:
            return "the show could not start: " +
                   (f.why.empty() ? std::string("it ended before its first frame") : OneLine(f.why));
        case ReplayStop::Signal:
            return "stopped by a signal after " + of;
        case ReplayStop::ViewerClosed:
            return "closed by the viewer after " + of;
        case ReplayStop::Limit:
            return "replayed " + of + ": --frames or --seconds ended it";
        case ReplayStop::LeftRecording:
            return "replayed " + of + ": " + OneLine(f.why);
        case ReplayStop::Finished:
            break;
    }
    if (f.framesReplayed == 0) return "no frame was replayed";
    if (!f.endRecord) return "the recording is cut short after " + Number(f.framesRecorded) + " frames";
    if (f.framesReplayed < f.framesRecorded)
        return "replayed " + of + ": the round has a close at frame " + Number(f.framesReplayed);
    if (f.framesReplayed > f.framesRecorded) return "replayed " + of + ": more than the round holds";
    return "";
}

}  // namespace

bool ChecksumDue(double before, double after)
{
    return std::floor(after) > std::floor(before);
}

ReplayVerdict JudgeReplay(const std::string& name, const ReplayFigures& f)
{
    ReplayVerdict v;
    char head[256];
    std::snprintf(head, sizeof head, ": %llu frames, %llu rounds, best score %lld, high score %lld, ",
                  static_cast<unsigned long long>(f.framesReplayed),
                  static_cast<unsigned long long>(f.rounds), Whole(f.bestScore), Whole(f.highScore));
    v.line = name + head;

    const std::string shortfall = Shortfall(f);
    if (f.stop == ReplayStop::NotStarted) {
        v.line += "not verified: " + shortfall;
        return v;
    }
    if (f.firstDisagreement != 0) {
        v.line += "checksums: " + Number(f.checksAgreeing) + " of " + Number(f.checksCompared) +
                  " agree, the first to disagree is at frame " + Number(f.firstDisagreement);
        if (!shortfall.empty()) v.line += "; " + shortfall;
        return v;
    }
    const std::string soFar =
        f.checksCompared > 0 ? " (" + Number(f.checksCompared) + " checksums agree so far)" : "";
    if (!shortfall.empty()) {
        v.line += "not verified: " + shortfall + soFar;
        return v;
    }
    if (f.checksDue > 0 && f.version < 2) {
        v.line += "not verified: a version " + std::to_string(f.version) +
                  " recording carries no checksums (" + GameSeconds(f.gameSeconds) + ")";
        return v;
    }
    if (f.checksDueCarried == 0 && f.checksDue > 0) {
        v.line += "not verified: no checksum in " + GameSeconds(f.gameSeconds);
        return v;
    }
    if (f.checksDueCarried < f.checksDue) {
        v.line += "not verified: only " + Number(f.checksDueCarried) + " of the " + Number(f.checksDue) +
                  " checksums that " + GameSeconds(f.gameSeconds) + " need";
        return v;
    }
    v.agree = true;
    v.status = 0;
    if (f.checksDue == 0)
        v.line += "checksums: none in a round shorter than a second";
    else
        v.line += "checksums: all " + Number(f.checksCompared) + " agree";
    return v;
}
