// What the system the program runs on can do, for the parts of the program that must choose: one question
// instead of tests for a system scattered through the program. Answered per system (posix/, windows/,
// web/).
#pragma once
#include <string>

enum class SystemAbility {
    // A loop of the program's own may run as long as it likes. Not in a page, which must return to the
    // browser after every pass: the program runs one pass per animation frame (page.h).
    OwnLoops,
    // The sound device mixes on a thread of its own. Not in a page: the music is mixed on the main thread,
    // frame by frame, and queued to the browser's sound.
    SoundThread,
    // Full screen sets a display mode of the system's. Not in a page: it scales the canvas.
    DisplayModes,
    // A window can be destroyed. Not in a page: its window is the canvas, which keeps the last frame.
    DestroyWindows,
    // A window shows a title of its own. Not in a page: the tab keeps the page's short title, and the
    // window's title goes to the page's script (page.h).
    WindowTitles,
};

bool SystemCan(SystemAbility ability);

// The font the setup dialog draws its controls with: the system's DejaVu Sans, or the copy the show carries
// beside its data folders where the system has none.
const char* DialogFontFile();

// The system's name in words, as a recording's header gives it: "Linux", "Windows", "a web page".
const char* SystemName();

// False with the reason in `why` when nothing can show a window: on Linux no X or Wayland display is named
// and SDL_VIDEODRIVER does not choose a driver outright (SDL would fall back to drawing off screen, unseen,
// for as long as the show runs). Windows and a page always have one.
bool DisplayAvailable(std::string& why);

// Whether standard error is a terminal, where a progress line may update in place; a file or a pipe gets
// whole lines instead.
bool StandardErrorIsTerminal();
