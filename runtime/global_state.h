// GlobalState: the shell's one record of flags, keys, clock readings and mouse state.
// Written by the setup dialog, the window procedure, the message loop and the frame driver; main thread only.
#pragma once
#include <string>

struct GlobalState {
    bool musicOn = true;
    bool fullScreen = false;
    bool active = true;   // false only while the window is minimised
    bool keys[256] = {};  // by virtual-key code
    bool endingRequested = false;
    double endingStartTime = 0.0;
    double demoTime = 0.0;
    double frameDelta = 0.0;
    double lastClockReading = 0.0;
    bool leftButtonDown = false;
    bool rightButtonDown = false;
    double wheelAccumulator = 0.0;
    double previousCursorX = 0.0, previousCursorY = 0.0;  // screen pixels
    bool windowHeld = false;                              // the platform window exists
    bool contextHeld = false;                             // the GL context exists
};

extern GlobalState gState;

// The text that middle-button clicks append to; emptied at start-up, never shortened afterwards. The
// frame driver places it on the clipboard at the end of the show.
extern std::string CaptureText;
