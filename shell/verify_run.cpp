// A recorded round's steps without a window (see verify_run.h). The loop is the show's message loop with
// the drawing left out: what a frame changes is all in the frame driver's steps (StepFrame), so the game
// state after every frame, and with it every checksum, is the drawn show's.
#include "shell/verify_run.h"

#include <filesystem>

#include "capture/session_recording.h"
#include "capture/video_capture.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/window.h"
#include "runtime/frame_driver.h"
#include "runtime/global_state.h"
#include "scene/demo_scene.h"
#include "scene/frame_inputs.h"
#include "scene/game_checksum.h"
#include "shell/automation.h"
#include "shell/clock.h"
#include "shell/command_line.h"
#include "shell/data_folder.h"
#include "shell/window_proc.h"

namespace {

// As in the show's loop: a tap of Escape between two idle passes still starts the ending.
bool escapePressed = false;

// The window procedure without the window; false for WM_QUIT. A size change concerns only the picture.
bool Dispatch(const WindowMessage& message)
{
    if (message.message == WM_QUIT) return false;
    if (message.message != WM_SIZE) MainWindowProc(message.message, message.wParam, message.lParam);
    if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) escapePressed = true;
    return true;
}

void IdlePass()
{
    if (gState.active) {
        if (StepFrame()) EndProcess(0);  // the ending's fade is complete: the show ends here
        FrameDrawn();
        NoteGameState();
    }
    const bool endingNow = (gState.keys[VK_ESCAPE] || escapePressed) && !gState.endingRequested;
    if (endingNow) {
        gState.endingRequested = true;
        gState.endingStartTime = gState.demoTime;
    }
    escapePressed = false;
}

// What the start-up sequence does to the game: a new scene in its intro, the clock started.
void StartGame()
{
    CaptureText.clear();
    auto* scene = new DemoScene();  // lives until the process ends, as the show's does
    scene->effectsEnabled = 1;
    scene->ResetGame();
    gSceneTable[0] = scene;
    ClockReset();
    gState.lastClockReading = ClockSeconds();
    gState.demoTime = 0.0;
    gFrameInputs.pointX = gFrameInputs.pointY = gFrameInputs.pointZ = 0.0;
    gFrameInputs.arrowLeftRight = gFrameInputs.arrowUpDown = 0.0;
}

}  // namespace

bool VerifiesWithoutWindow(const CommandLine& options)
{
    return options.capture.verify && options.screenshot.empty() && options.captureDir.empty() &&
           !options.stats && !options.profile;
}

int VerifyWithoutWindow(const CommandLine& commandLine)
{
    CommandLine options = commandLine;
    // The verdict names the round as the drawn replay does, which runs in the data folder.
    std::error_code ignored;
    options.capture.replay =
        ResolveFromStartFolder(std::filesystem::current_path(ignored), options.capture.replay);
    SetFrameDriverHooks({&ClockSeconds, &ReadFrameCursor, nullptr, nullptr});
    SetMessageBoxBatchMode(options.batch);
    SetClockFixedStep(options.fixedStep);
    if (!ConfigureAutomation(options)) return 1;
    ConfigureCapture(options.capture, options.fixedStep, options.frames);
    // The music steers nothing of the game (its spectrum only shapes the picture), so none is played.
    gState.musicOn = false;
    StartGame();

    WindowMessage message;
    for (;;) {
        if (NextLoopMessage(message)) {  // the recording's, and a quit the show posted itself
            if (!Dispatch(message)) break;
            continue;
        }
        IdlePass();
    }
    FinishAutomation();
    return static_cast<int>(message.wParam);
}

void NoteGameState()
{
    const SessionMode mode = CurrentSessionMode();
    const DemoScene* scene = gSceneTable[0];
    if ((mode != SessionMode::Record && mode != SessionMode::Replay) || !scene) return;
    GameFrameState state;
    state.checksum = GameStateChecksum(*scene, gState.demoTime);
    state.demoTime = gState.demoTime;
    state.sceneTime = scene->time;
    state.score = scene->score;
    state.highScore = scene->highScore;
    NoteFrameState(state);
}
