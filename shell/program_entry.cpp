// Program entry and message loop (see program_entry.h).
#include "shell/program_entry.h"

#include "platform/message_box.h"
#include "platform/window.h"
#include "runtime/frame_driver.h"
#include "shell/automation.h"
#include "shell/clock.h"
#include "shell/command_line.h"
#include "shell/global_state.h"
#include "shell/main_window.h"
#include "shell/session_recording.h"
#include "shell/setup_dialog.h"
#include "shell/video_capture.h"
#include "shell/window_proc.h"

int quarnel::WinMain(const CommandLine& options)
{
    SetMessageBoxBatchMode(options.batch);
    SetClockFixedStep(options.fixedStep);
    if (!ConfigureAutomation(options)) return 1;
    ConfigureCapture(options);

    if (options.run) {
        gState.musicOn = !options.noMusic;
        gState.fullScreen = !options.windowed;
    } else {
        RunSetupDialog(!options.noMusic, options.windowed);  // "Quit" ends the process here
    }
    if (!CaptureAllowsMusic()) gState.musicOn = false;  // a replay of a session played without music

    if (!CreateMainWindow(kCreationTitle, 800, 600, 32, gState.fullScreen)) return 0;

    WindowMessage message;
    // A tap of Escape whose press and release both arrive between two idle passes would leave no trace
    // in the key table; remember the press until the next idle pass has seen it.
    bool escapePressed = false;
    for (;;) {
        if (NextLoopMessage(message)) {  // the window's, or a recording's
            if (message.message == WM_QUIT) break;
            MainWindowProc(message.message, message.wParam, message.lParam);
            if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) escapePressed = true;
            continue;
        }
        // Idle pass: draw while active; Escape is noticed and the buffers swapped on every pass.
        if (gState.active) {
            FrameStarted();
            DrawFrame();
            FrameDrawn();
            CaptureFrameDrawn();
        }
        if ((gState.keys[VK_ESCAPE] || escapePressed) && !gState.endingRequested) {
            gState.endingRequested = true;
            gState.endingStartTime = gState.demoTime;
        }
        escapePressed = false;
        SwapWindowBuffers();
    }
    DestroyMainWindow();
    FinishAutomation();
    return static_cast<int>(message.wParam);
}
