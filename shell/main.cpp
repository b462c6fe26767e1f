// The executable's entry: reads the command line, finds the data folder and hands over to the program
// entry. On Windows the system enters at WinMain (platform/windows/entry.cpp), which calls ProgramMain.
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/message_box.h"
#include "platform/process.h"
#include "shell/command_line.h"
#include "shell/data_folder.h"
#include "shell/program_entry.h"

int ProgramMain(int argc, char** argv)
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
