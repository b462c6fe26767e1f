// The setup dialog shown before the show starts: music on or off, windowed or full screen. Its template
// (resource 101) is data here; the modal window and its controls come from platform/dialog.h.
// Writes gState.musicOn and gState.fullScreen. Main thread only.
#pragma once

#include <cstdint>

#include "platform/dialog.h"

constexpr int kSetupDialogResource = 101;
constexpr int IDC_MUSIC = 1011;
constexpr int IDC_WINDOWED = 1012;

// How the two toggles start (the command line's --no-music and --windowed). WM_INITDIALOG's lParam
// points at one of these; a null lParam means the defaults below.
struct SetupPresets {
    bool music = true;
    bool windowed = false;
};

const DialogTemplate& SetupDialogTemplate();

// "Run ... " (IDOK) stores the toggles in gState and ends the dialog; "Quit", Escape and the close box
// (IDCANCEL) end the dialog and then the process with status 0.
intptr_t SetupDialogProc(Dialog* dialog, unsigned message, uintptr_t wParam, intptr_t lParam);

// Shows the setup dialog modally. "Run ... " sets gState.musicOn = Music checked and gState.fullScreen =
// Windowed not checked, and returns. "Quit", the close box and Escape end the process with EndProcess(0).
// When no dialog can be shown (no display, no font) the presets are applied as if "Run ... " had been
// pressed, and the reason is on standard error.
void RunSetupDialog(bool musicPreset = true, bool windowedPreset = false);

// The same in a browser page, which cannot wait for the answer: the dialog runs in the page's passes and
// `then` follows "Run ... " (or a dialog that could not be shown). Never returns.
[[noreturn]] void ShowSetupDialog(bool musicPreset, bool windowedPreset, void (*then)());
