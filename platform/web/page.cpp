// The page the browser build runs in (see page.h): emscripten's main loop and a few calls into the page's
// script (dist/web/index.html), which keeps what it is told on `window` and shows it.
#include "platform/page.h"

#include <SDL.h>
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

void RunPagePasses(void (*pass)())
{
    emscripten_cancel_main_loop();
    // Paced by requestAnimationFrame; "simulate an infinite loop" leaves the caller's frame for good.
    emscripten_set_main_loop(pass, 0, 1);
    std::abort();  // not reached: the call above unwinds
}

void ReportPageStage(const char* stage)
{
    EM_ASM(
        {
            window.quarnelStage = UTF8ToString($0);
            if (window.quarnelPage) window.quarnelPage.stageChanged(window.quarnelStage);
        },
        stage);
}

void ReportPageFrame(long framesDrawn, const float* spectrum, int spectrumSize)
{
    double mean = -1.0;
    if (spectrum && spectrumSize > 0) {
        double sum = 0.0;
        for (int i = 0; i < spectrumSize; ++i) sum += spectrum[i];
        mean = sum / spectrumSize;
    }
    // The newest 10,000 to 20,000 values stay: a page left running must not grow without end.
    EM_ASM(
        {
            window.quarnelFrames = $0;
            if ($1 >= 0) {
                var values = (window.quarnelSpectrum = window.quarnelSpectrum || []);
                values.push($1);
                if (values.length > 20000) values.splice(0, 10000);
            }
        },
        framesDrawn, mean);
}

void ReportPageSound(int64_t queuedFrames, int64_t waitingFrames)
{
    // (Commas in the script stand inside parentheses: the macro would take them for its own.)
    EM_ASM({ window.quarnelSound = ({queued : $0, waiting : $1}); }, static_cast<double>(queuedFrames),
           static_cast<double>(waitingFrames));
}

void ReportPageDialogControl(const char* text, int centreX, int centreY)
{
    char name[32] = {};
    for (int i = 0; text[i] && text[i] != ' ' && i < 31; ++i)
        name[i] = (text[i] >= 'A' && text[i] <= 'Z') ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
    EM_ASM(
        {
            (window.quarnelDialogButtons = window.quarnelDialogButtons || {})[UTF8ToString($0)] =
                Array.of($1, $2);
        },
        name, centreX, centreY);
}

void ReportPageWindowTitle(const char* title)
{
    EM_ASM({ window.quarnelWindowTitle = UTF8ToString($0); }, title);
}

void EndPage(int status)
{
    std::fflush(stdout);
    std::fflush(stderr);
    emscripten_cancel_main_loop();
    // Keys, pointer, touches and pads on the page reach nothing of this program from now on: a show
    // started again on the same page is a program of its own.
    emscripten_html5_remove_all_event_listeners();
    // Nor does its sound go on: Web Audio would keep asking the device for more.
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    EM_ASM(
        {
            if (window.quarnelEnded) window.quarnelEnded($0);
        },
        status);
    // Ends the runtime: nothing of the program runs after this, and the canvas keeps the last frame.
    emscripten_force_exit(status);
    std::abort();  // not reached
}

void ReplacePageCanvas()
{
    EM_ASM({
        var old = Module.canvas;
        var fresh = old.cloneNode(false);
        old.parentNode.replaceChild(fresh, old);
        Module.canvas = fresh;
    });
}

void PreparePageCanvas(int width, int height, bool fullScreen)
{
    EM_ASM(
        {
            if (window.quarnelPage) window.quarnelPage.prepareCanvas(Module.canvas, $0, $1, !!$2);
        },
        width, height, fullScreen ? 1 : 0);
}

bool PageFileFetched(const char* path)
{
    // A page without the script that fetches (another page around the program) has the file or not.
    return EM_ASM_INT(
               {
                   if (!window.quarnelPage) return 1;
                   return window.quarnelPage.fetchFile(Module, UTF8ToString($0)) ? 1 : 0;
               },
               path) != 0;
}

std::string PageRecordingRequest()
{
    // The page writes a path in the program's files, its folder made, or nothing; a path that does not
    // fit is none (the page's own paths are short).
    char path[1024] = {};
    EM_ASM(
        {
            var page = window.quarnelPage;
            var path = page && page.recordingPath ? page.recordingPath(Module) : "";
            if (path && lengthBytesUTF8(path) < $1) stringToUTF8(path, $0, $1);
        },
        path, static_cast<int>(sizeof path));
    return path;
}
