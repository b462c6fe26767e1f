// The verdict of verifying a replayed round: from what the replay did (frames, checksums, game time, how it
// stopped) to one line and an exit status. A pure function, so that a replay drawn in a window and one that
// runs the game's steps alone judge alike. Depends on nothing but the standard library.
#pragma once
#include <cstdint>
#include <string>

// How a replay being verified stopped.
enum class ReplayStop {
    Finished,       // the show ended on its own (the recording's end, its close, its Escape fade)
    Signal,         // an interrupt, terminate or hang-up signal
    ViewerClosed,   // the viewer closed the window or pressed Escape
    Limit,          // --frames or --seconds
    LeftRecording,  // the show and the recording parted; `why` says where
    NotStarted,     // the show ended before its first frame; `why` is the message it ended with
};

struct ReplayFigures {
    uint32_t version = 2;           // the recording's: version 1 carries no checksums
    bool endRecord = true;          // the recording ends with its end record (one cut short does not)
    uint64_t framesRecorded = 0;    // as the end record counts them (or, cut short, the frames kept)
    uint64_t framesReplayed = 0;    // frames the show drew from the recording
    uint64_t checksDue = 0;         // replayed frames after which the writer puts a checksum
    uint64_t checksDueCarried = 0;  // of those, the frames the recording carries a checksum for
    uint64_t checksCompared = 0, checksAgreeing = 0;
    uint64_t firstDisagreement = 0;  // frame of the first checksum that disagreed; 0: none
    double gameSeconds = 0.0;        // demo time after the last frame replayed
    ReplayStop stop = ReplayStop::Finished;
    std::string why;
    // Shown only: rounds begun, the best score of any frame, the high score at the end.
    uint64_t rounds = 0;
    double bestScore = 0.0, highScore = 0.0;
};

struct ReplayVerdict {
    bool agree = false;  // every recorded frame replayed, and every checksum its length needs agreed
    int status = 1;      // the exit status: 0 only when `agree`
    std::string line;    // "FILE: N frames, R rounds, best score S, high score H, checksums: ..."
};

ReplayVerdict JudgeReplay(const std::string& name, const ReplayFigures& figures);

// Whether the recording writer puts a checksum after a frame that moved demo time from `before` to `after`:
// on the first frame of every new second (a long step that passes several seconds gives one).
bool ChecksumDue(double before, double after);
