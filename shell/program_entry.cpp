// Program entry and message loop (see program_entry.h). In a browser page the loop cannot block: the
// dialog and the show each run one pass per animation frame (platform/page.h), through the same steps.
#include "shell/program_entry.h"

#include <iterator>

#include "capture/session_recording.h"
#include "capture/video_capture.h"
#include "platform/display_scale.h"
#include "platform/message_box.h"
#include "platform/page.h"
#include "platform/process.h"
#include "platform/system.h"
#include "platform/window.h"
#include "runtime/frame_driver.h"
#include "runtime/global_state.h"
#include "runtime/music.h"
#include "scene/frame_inputs.h"
#include "shell/automation.h"
#include "shell/clock.h"
#include "shell/command_line.h"
#include "shell/main_window.h"
#include "shell/setup_dialog.h"
#include "shell/verify_run.h"
#include "shell/window_proc.h"

namespace {

constexpr int kInactiveWaitMs = 100;

// Full screen at the desktop's resolution starts from a window: no display mode is switched for it.
bool Windowed(const CommandLine& options)
{
    return options.windowed || options.fullScreenDesktop;
}

// A tap of Escape whose press and release both arrive between two idle passes would leave no trace in
// the key table; remember the press until the next idle pass has seen it.
bool escapePressed = false;

// One message from the window or a recording through the window procedure; false for WM_QUIT, whose
// wParam is then the exit code.
bool HandleLoopMessage(const WindowMessage& message)
{
    if (message.message == WM_QUIT) return false;
    MainWindowProc(message.message, message.wParam, message.lParam);
    if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) escapePressed = true;
    return true;
}

// Idle pass: draw while active; Escape is noticed on every pass. The buffers are swapped after a frame
// only: swapping those of a window nobody sees would only burn a core.
void IdlePass()
{
    if (gState.active) {
        FrameStarted();
        DrawFrame();
        FrameDrawn();
        NoteGameState();
        CaptureFrameDrawn();
        ReportPageFrame(FramesDrawn(), gState.musicOn ? gFrameInputs.spectrum : nullptr,
                        static_cast<int>(std::size(gFrameInputs.spectrum)));
    }
    const bool endingNow = (gState.keys[VK_ESCAPE] || escapePressed) && !gState.endingRequested;
    if (endingNow) {
        gState.endingRequested = true;
        gState.endingStartTime = gState.demoTime;
    }
    escapePressed = false;
    if (gState.active) SwapWindowBuffers();
    if (endingNow) ReportPageStage("ending");  // the frame shown now is the last before the fade
}

// The show ends inside its last frame, once that is drawn (it is never shown): the page's count takes it in,
// as a recording of the round does.
void DestroyMainWindowAtTheEnd()
{
    ReportPageFrame(FramesDrawn() + 1, nullptr, 0);
    DestroyMainWindow();
}

int EndShow(int exitCode)
{
    DestroyMainWindow();
    FinishAutomation();
    return exitCode;
}

// The page's pass: every waiting message, then one idle pass.
void PagePass()
{
    if (!ReplayFrameDue()) return;  // a replay waits for its recorded time between passes
    WindowMessage message;
    while (NextLoopMessage(message)) {
        if (!HandleLoopMessage(message)) EndProcess(EndShow(static_cast<int>(message.wParam)));
    }
    IdlePass();
}

// After the dialog (or instead of it): the window, and the show in the page's passes. False when the
// window could not be made (its message has been shown).
bool OpenShowWindow()
{
    if (!CaptureAllowsMusic()) gState.musicOn = false;    // a replay of a session played without music
    if (CaptureWantsWindow()) gState.fullScreen = false;  // a replay of a session played in a window
    if (!CreateMainWindow(kCreationTitle, 800, 600, 32, gState.fullScreen)) return false;
    ReportPageStage("show");
    return true;
}

void StartShowNow()
{
    if (!OpenShowWindow()) EndProcess(0);
    RunPagePasses(PagePass);
}

// A page fetches the music only for a show that plays it; the show starts once it has come.
void AwaitMusicPass()
{
    if (PageFileFetched(kMusicFile)) StartShowNow();
}

// In a page the capture is chosen as the show starts: the page's own "Record this round" may ask for a
// recording then, when the command line names none (nor a replay or video).
CaptureOptions pageCapture;
double pageFixedStep = 0.0;
long pageFrames = 0;

void StartShowInPage()
{
    if (pageCapture.record.empty() && pageCapture.replay.empty() && pageCapture.video.empty())
        pageCapture.record = PageRecordingRequest();
    ConfigureCapture(pageCapture, pageFixedStep, pageFrames);
    if (!CaptureAllowsMusic()) gState.musicOn = false;
    if (gState.musicOn && !PageFileFetched(kMusicFile)) RunPagePasses(AwaitMusicPass);
    StartShowNow();
}

}  // namespace

int quarnel::WinMain(const CommandLine& options)
{
    SetFrameDriverHooks({&ClockSeconds, &ReadFrameCursor, &RefreshWindowTitle, &DestroyMainWindowAtTheEnd});
    SetMessageBoxBatchMode(options.batch);
    SetClockFixedStep(options.fixedStep);
    SetDisplayScaleByHand(options.scale);
    StartInDesktopFullScreen(options.fullScreenDesktop);
    if (!ConfigureAutomation(options)) return 1;

    if (!SystemCan(SystemAbility::OwnLoops)) {
        pageCapture = options.capture;
        pageFixedStep = options.fixedStep;
        pageFrames = options.frames;
        if (options.run) {
            gState.musicOn = !options.noMusic;
            gState.fullScreen = !Windowed(options);
            StartShowInPage();
        }
        ShowSetupDialog(!options.noMusic, Windowed(options), StartShowInPage);  // never returns
    }
    ConfigureCapture(options.capture, options.fixedStep, options.frames);

    if (options.run) {
        gState.musicOn = !options.noMusic;
        gState.fullScreen = !Windowed(options);
    } else {
        RunSetupDialog(!options.noMusic, Windowed(options));  // "Quit" ends the process here
    }
    if (!OpenShowWindow()) return 0;

    WindowMessage message;
    for (;;) {
        if (NextLoopMessage(message)) {  // the window's, or a recording's
            if (!HandleLoopMessage(message)) break;
            continue;
        }
        IdlePass();
        // Minimised, the loop sleeps until the window has news (a short limit keeps Escape and a replay's
        // own pace noticed); a replay's messages are its recording's, which never wait.
        if (!gState.active && CurrentSessionMode() != SessionMode::Replay)
            WaitForWindowMessage(kInactiveWaitMs);
    }
    return EndShow(static_cast<int>(message.wParam));
}
