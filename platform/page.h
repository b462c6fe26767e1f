// The web page the browser build runs in. A page cannot block: the program runs one pass per animation
// frame instead of loops of its own, and it tells the page how far it got (its stage, the frames drawn,
// the spectrum, the sound handed to Web Audio, its end) for the people and the tests watching.
// On a desktop (platform/desktop/page.cpp) the reports do nothing and RunPagePasses is a plain loop; the
// rest of the program asks SystemCan (system.h) whether it runs in a page. Main thread.
#pragma once
#include <cstdint>
#include <string>

// From now on `pass` runs once per animation frame (the browser's frame pace); the caller's own frame is
// left behind and never returns. Called again, the new pass replaces the old one.
[[noreturn]] void RunPagePasses(void (*pass)());

// The stage: "dialog", "show", then "ending" once the show's end is asked for (the frame on the canvas
// then is the last one before the fade: the page keeps it); after each frame, the frames drawn and the
// spectrum (null without music).
void ReportPageStage(const char* stage);
void ReportPageFrame(long framesDrawn, const float* spectrum, int spectrumSize);
void ReportPageSound(int64_t queuedFrames, int64_t waitingFrames);
// A control of a dialog drawn in the canvas, by its text's first word in lower case ("run", "quit" ...),
// at its centre in canvas pixels: for whoever drives the page.
void ReportPageDialogControl(const char* text, int centreX, int centreY);
// A window's title, where the system shows none (system.h: WindowTitles): the page keeps it for its
// script, and the tab's title stays the page's own.
void ReportPageWindowTitle(const char* title);

// The end: the page's title says "quarnel: done N frames" or "quarnel: failed: MESSAGE" (the last line
// on standard error) and a line under the canvas says how to start again. Then the program stops.
[[noreturn]] void EndPage(int status);

// The dialog draws in the canvas with a 2D context and the show with WebGL, which one canvas cannot both
// have: the show gets a fresh canvas in its place.
void ReplacePageCanvas();

// The show's canvas, before its window is made: the page scales it to the screen keeping width:height
// (the whole width on a phone, the whole height in landscape), and with fullScreen takes the screen for
// it, with bars, as soon as a tap, click or key allows (a page may take the screen only then).
void PreparePageCanvas(int width, int height, bool fullScreen);

// A file the page fetches only when the program needs it (the music, which most of the download would
// otherwise be). The first call asks the page for it; true once the fetch has ended, the file then at
// `path` in the program's files (or, when the fetch failed, still missing, for whoever opens it to
// report). On a desktop the file is on disk already: true at once.
bool PageFileFetched(const char* path);

// The file the page's own controls ask the round to be recorded into ("Record this round" ticked as the
// show starts), or empty for none. Asked once, as a live show starts; the page offers the file for
// download once the show has ended. On a desktop: empty (the command line says what to record).
std::string PageRecordingRequest();
