// The setup dialog (see setup_dialog.h): its template in dialog units and its dialog procedure.
// Depends on platform/dialog.h for the window, platform/process.h for ending the process, and gState.
#include "shell/setup_dialog.h"

#include "platform/process.h"
#include "runtime/global_state.h"

namespace {

// Template order is also the Tab order: "Run ... ", "Quit", "Music", "Windowed".
constexpr DialogControlTemplate kSetupControls[] = {
    {IDOK, "Run ... ", DialogControlKind::DefaultPushButton, true, 9, 69, 54, 21},
    {IDCANCEL, "Quit", DialogControlKind::PushButton, true, 65, 69, 24, 21},
    {-1, "Setup", DialogControlKind::GroupBox, false, 2, 3, 99, 154},
    {IDC_MUSIC, "Music", DialogControlKind::PushLikeCheckBox, true, 10, 15, 80, 15},
    {IDC_WINDOWED, "Windowed", DialogControlKind::PushLikeCheckBox, true, 11, 134, 80, 15},
};

// The client area holds the group box (2, 3 to 101, 157) with a margin of 2 or 3 units all round.
constexpr DialogTemplate kSetupTemplate{"Quarnel", 104, 160, kSetupControls,
                                        static_cast<int>(sizeof kSetupControls / sizeof kSetupControls[0])};

}  // namespace

const DialogTemplate& SetupDialogTemplate()
{
    return kSetupTemplate;
}

intptr_t SetupDialogProc(Dialog* dialog, unsigned message, uintptr_t wParam, intptr_t lParam)
{
    switch (message) {
        case WM_INITDIALOG: {
            const auto* given = reinterpret_cast<const SetupPresets*>(lParam);
            const SetupPresets presets = given ? *given : SetupPresets{};
            CheckDialogButton(dialog, IDC_MUSIC, presets.music);
            CheckDialogButton(dialog, IDC_WINDOWED, presets.windowed);
            return 0;
        }
        case WM_COMMAND:
            switch (CommandId(wParam)) {
                case IDOK:
                    gState.musicOn = IsDialogButtonChecked(dialog, IDC_MUSIC);
                    gState.fullScreen = !IsDialogButtonChecked(dialog, IDC_WINDOWED);
                    EndDialog(dialog, static_cast<intptr_t>(wParam));
                    return 1;
                case IDCANCEL:
                    // Nothing has been created yet, so the process can end right here.
                    EndDialog(dialog, static_cast<intptr_t>(wParam));
                    EndProcess(0);
                default:
                    return 0;  // the toggles check themselves; nothing to do until "Run ... "
            }
        default:
            return 0;
    }
}

namespace {

SetupPresets shownPresets;
void (*afterDialog)() = nullptr;

void TakeResult(const SetupPresets& presets, intptr_t result)
{
    if (result < 0) {
        // The dialog could not be shown: go on with what the command line asked for, so that the window
        // (or its own error message) comes next rather than nothing at all.
        gState.musicOn = presets.music;
        gState.fullScreen = !presets.windowed;
    }
}

}  // namespace

void RunSetupDialog(bool musicPreset, bool windowedPreset)
{
    const SetupPresets presets{musicPreset, windowedPreset};
    TakeResult(presets,
               RunModalDialog(SetupDialogTemplate(), SetupDialogProc, reinterpret_cast<intptr_t>(&presets)));
}

void ShowSetupDialog(bool musicPreset, bool windowedPreset, void (*then)())
{
    shownPresets = SetupPresets{musicPreset, windowedPreset};
    afterDialog = then;
    ShowModalDialog(SetupDialogTemplate(), SetupDialogProc, reinterpret_cast<intptr_t>(&shownPresets),
                    [](intptr_t result) {
                        TakeResult(shownPresets, result);
                        afterDialog();
                    });
}
