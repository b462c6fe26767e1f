// The frame driver: turns clock, mouse and music into FrameInputs once per idle pass, lets the scene draw
// the frame, and carries out the ending of the show. Main thread only.
#pragma once

class DemoScene;

// What the driver takes from the shell above it, handed over once before the first frame.
struct FrameDriverHooks {
    double (*clockSeconds)() = nullptr;                  // the clock, read twice per frame
    void (*readCursor)(double& x, double& y) = nullptr;  // the pointer (or a recording's reading)
    void (*refreshWindowTitle)() = nullptr;              // after the scene has drawn
    void (*destroyMainWindow)() = nullptr;               // at the end of the ending fade
};
void SetFrameDriverHooks(const FrameDriverHooks& hooks);

constexpr int kSceneTableSize = 1;
extern DemoScene* gSceneTable[kSceneTableSize];  // the first entry is the scene the driver draws

// One frame: StepFrame, then the scene draws what it left, the title, and during the ending the fade.
// Always true; ends the process itself once the ending fade is complete.
bool DrawFrame();
// Everything a frame changes, before anything is drawn and without GL: the clock, the pointer, the music's
// steering and spectrum (while the music is on), the arrows, the scene's game steps and the ending's fade
// of the music. True when this frame completes the ending fade: the show ends with it.
bool StepFrame();
bool CopyTextToClipboard(const char* text);

// The window procedure's default path for every message: held arrow keys move the arrow values.
void ApplyArrowKeys(double frameDelta);

// Steps a held arrow key once per drawn frame as the three messages of one mouse move would, so that
// holding a key steers even while no other message passes the window procedure.
void StepHeldArrowKeys(double frameDelta);

// The ending's fade for a demo time: (demoTime - endingStartTime) * 100.8, clamped to 0 ... 1.
double EndingFade(double demoTime, double endingStartTime);
bool EndingComplete(double fade);  // past 0.999: the frame with this fade is the show's last

// Draws arrowUpDown back toward 0 at 1.45 per second, then clamps it to -1 ... 1.
void RelaxAndClampArrows(double frameDelta);

// Steps 4 to 6 of a frame without drawing: mouse to camera and point, screen-copy mode, demo time.
void UpdateFrameInputs(double cursorX, double cursorY);
