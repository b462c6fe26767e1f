// A tiny program that shows only the setup dialog and prints its outcome, for the end-to-end tests:
// "run music=<0|1> fullscreen=<0|1>" after "Run ... ", "quit" when the dialog ended the process.
// Options --no-music and --windowed preset the toggles as the show's command line does.
#include <cstdio>
#include <cstring>

#include "platform/process.h"
#include "runtime/global_state.h"
#include "shell/setup_dialog.h"

namespace {
void ReportQuit()
{
    std::printf("quit\n");
}
}  // namespace

int main(int argc, char** argv)
{
    bool music = true, windowed = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-music") == 0) {
            music = false;
        } else if (std::strcmp(argv[i], "--windowed") == 0) {
            windowed = true;
        } else {
            std::fprintf(stderr, "usage: %s [--no-music] [--windowed]\n", argv[0]);
            return 2;
        }
    }
    AddExitHook(ReportQuit);  // runs only when the dialog ends the process
    // Values the dialog must overwrite, so that a "Run ... " that forgot them shows up.
    gState.musicOn = !music;
    gState.fullScreen = windowed;
    RunSetupDialog(music, windowed);
    std::printf("run music=%d fullscreen=%d\n", gState.musicOn ? 1 : 0, gState.fullScreen ? 1 : 0);
    return 0;
}
