// The executable's entry: reads the command line, finds the data folder and hands over to the program
// entry. On Windows the system enters at WinMain (platform/windows/entry.cpp), which calls ProgramMain.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <new>
#include <string>

#include "capture/video_capture.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/system.h"
#include "shell/command_line.h"
#include "shell/data_folder.h"
#include "shell/program_entry.h"
#include "shell/verify_run.h"

namespace {

int RunProgram(int argc, char** argv)
{
    CommandLine options;
    std::string error;
    if (ParseCommandLine(argc, argv, options, error) != ParseResult::Ok) {
        std::fprintf(stderr, "quarnel: %s\n%s", error.c_str(), UsageText());
        return 2;
    }
    if (options.help) {
        std::fputs(UsageText(), stdout);
        return 0;
    }
    if (options.version) {
        std::puts("quarnel " QUARNEL_VERSION);
        return 0;
    }
    // A recorded round is checked by its steps alone: it needs no display and no data folder.
    if (VerifiesWithoutWindow(options)) EndProcess(VerifyWithoutWindow(options));
    std::string noDisplay;
    if (!DisplayAvailable(noDisplay)) {
        std::fprintf(stderr, "quarnel: no display: %s\n", noDisplay.c_str());
        return 1;
    }
    // The show opens every file relative to its data folder, so it works there; paths the user gave
    // stay relative to where the program was started.
    std::filesystem::path startFolder;
    std::string dataError;
    if (!EnterDataFolderOfThisProcess(argv[0], startFolder, dataError)) {
        SetMessageBoxBatchMode(options.batch);
        ShowMessageBox(dataError.c_str(), "Quarnel", MB_OK | MB_ICONSTOP);
        return 1;
    }
    options.screenshot = ResolveFromStartFolder(startFolder, options.screenshot);
    options.captureDir = ResolveFromStartFolder(startFolder, options.captureDir);
    options.capture.video = ResolveFromStartFolder(startFolder, options.capture.video);
    options.capture.record = ResolveFromStartFolder(startFolder, options.capture.record);
    options.capture.replay = ResolveFromStartFolder(startFolder, options.capture.replay);
    EndProcess(quarnel::WinMain(options));
}

}  // namespace

int ProgramMain(int argc, char** argv)
{
    // Whatever escapes the show ends it with a message and status 1, and takes an unfinished video along.
    try {
        return RunProgram(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "quarnel: out of memory\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quarnel: %s\n", e.what());
    }
    AbandonCapture();
    EndProcess(1);
}
